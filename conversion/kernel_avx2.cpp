// The AVX2 kernel: the scan 32 bytes at a time, for the x86-64 processors
// that have AVX2 (most made since 2013). This file is compiled for AVX2;
// kernels.cpp calls it only where the processor has it.
#include <immintrin.h>

#include <array>
#include <cstdint>

#include "scan_entries.hpp"

namespace m3u2lst::kernels {
namespace {

struct Avx2 {
  struct Block {
    __m256i v;
    [[maybe_unused]] friend Block operator|(Block x, Block y) {
      return {_mm256_or_si256(x.v, y.v)};
    }
    friend Block operator&(Block x, Block y) { return {_mm256_and_si256(x.v, y.v)}; }
  };
  static constexpr std::size_t kBytes = 32;
  static constexpr bool kLookup = true;
  static Block load(const char* at) {
    return {_mm256_loadu_si256(reinterpret_cast<const __m256i*>(at))};
  }
  static Block zero() { return {_mm256_setzero_si256()}; }
  static Block eq(Block x, char c) { return {_mm256_cmpeq_epi8(x.v, _mm256_set1_epi8(c))}; }
  static Block classify(Block x, const std::array<std::uint8_t, 16>& low,
                        const std::array<std::uint8_t, 16>& high) {
    const __m256i l =
        _mm256_broadcastsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(low.data())));
    const __m256i h =
        _mm256_broadcastsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(high.data())));
    const __m256i nibble = _mm256_set1_epi8(0x0F);
    return {_mm256_and_si256(
        _mm256_shuffle_epi8(l, _mm256_and_si256(x.v, nibble)),
        _mm256_shuffle_epi8(h, _mm256_and_si256(_mm256_srli_epi16(x.v, 4), nibble)))};
  }
  static Block or_bits(Block x, std::uint8_t bits) {
    return {_mm256_or_si256(x.v, _mm256_set1_epi8(static_cast<char>(bits)))};
  }
  static std::uint64_t nonzero(Block x) {
    const auto zeros = static_cast<std::uint32_t>(
        _mm256_movemask_epi8(_mm256_cmpeq_epi8(x.v, _mm256_setzero_si256())));
    return ~zeros;
  }
  static void prefetch(const char* at) { _mm_prefetch(at, _MM_HINT_T0); }
};

}  // namespace

bool fill_avx2(detail::ScanState& state, RecordChunk& out, std::size_t fill_to) {
  return Scan<Avx2>(state).fill(out, fill_to);
}

}  // namespace m3u2lst::kernels
