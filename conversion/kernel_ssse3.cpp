// The SSSE3 kernel: the scan 16 bytes at a time, with SSSE3's byte table
// lookup, for the x86-64 processors that have it but not AVX2 (Intel since
// the Core 2, AMD since 2011, and the Atom, Celeron and Pentium parts made
// without AVX). This file is compiled for SSSE3; kernels.cpp calls it only
// where the processor has it.
#include <tmmintrin.h>

#include <array>
#include <cstdint>

#include "scan_entries.hpp"
#include "sse2_vocabulary.hpp"

namespace m3u2lst::kernels {
namespace {

struct Ssse3 : Sse2Vocabulary {
  static constexpr bool kLookup = true;
  static Block classify(Block x, const std::array<std::uint8_t, 16>& low,
                        const std::array<std::uint8_t, 16>& high) {
    const __m128i l = _mm_loadu_si128(reinterpret_cast<const __m128i*>(low.data()));
    const __m128i h = _mm_loadu_si128(reinterpret_cast<const __m128i*>(high.data()));
    const __m128i nibble = _mm_set1_epi8(0x0F);
    return {_mm_and_si128(_mm_shuffle_epi8(l, _mm_and_si128(x.v, nibble)),
                          _mm_shuffle_epi8(h, _mm_and_si128(_mm_srli_epi16(x.v, 4), nibble)))};
  }
  static Block or_bits(Block x, std::uint8_t bits) {
    return {_mm_or_si128(x.v, _mm_set1_epi8(static_cast<char>(bits)))};
  }
};

}  // namespace

bool fill_ssse3(detail::ScanState& state, RecordChunk& out, std::size_t fill_to) {
  return Scan<Ssse3>(state).fill(out, fill_to);
}

}  // namespace m3u2lst::kernels
