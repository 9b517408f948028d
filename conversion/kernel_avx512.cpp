// The AVX-512BW kernel: the scan 64 bytes at a time, a whole window in one
// block, for the x86-64 processors that have AVX-512BW (Intel server parts
// since 2017, AMD since Zen 4). This file is compiled for AVX-512BW;
// kernels.cpp calls it only where the processor and its system have it.
#include <immintrin.h>

#include <array>
#include <cstdint>
#include <cstring>

#include "scan_entries.hpp"

namespace m3u2lst::kernels {
namespace {

struct Avx512 {
  struct Block {
    __m512i v;
    [[maybe_unused]] friend Block operator|(Block x, Block y) {
      return {_mm512_or_si512(x.v, y.v)};
    }
    friend Block operator&(Block x, Block y) { return {_mm512_and_si512(x.v, y.v)}; }
  };
  static constexpr std::size_t kBytes = 64;
  static constexpr bool kLookup = true;
  static Block load(const char* at) { return {_mm512_loadu_si512(at)}; }
  static Block zero() { return {_mm512_setzero_si512()}; }
  static Block eq(Block x, char c) {
    return {_mm512_movm_epi8(_mm512_cmpeq_epi8_mask(x.v, _mm512_set1_epi8(c)))};
  }
  /// The 16 entries of `t` in each of the four 16-byte lanes. (Built in
  /// memory: GCC's broadcast intrinsics warn of an unset register.)
  static __m512i table(const std::array<std::uint8_t, 16>& t) {
    alignas(64) std::uint8_t lanes[64];
    for (std::size_t i = 0; i < 64; i += 16) {
      std::memcpy(lanes + i, t.data(), 16);
    }
    return _mm512_load_si512(lanes);
  }
  static Block classify(Block x, const std::array<std::uint8_t, 16>& low,
                        const std::array<std::uint8_t, 16>& high) {
    const __m512i nibble = _mm512_set1_epi8(0x0F);
    return {_mm512_and_si512(
        _mm512_shuffle_epi8(table(low), _mm512_and_si512(x.v, nibble)),
        _mm512_shuffle_epi8(table(high), _mm512_and_si512(_mm512_srli_epi16(x.v, 4), nibble)))};
  }
  static Block or_bits(Block x, std::uint8_t bits) {
    return {_mm512_or_si512(x.v, _mm512_set1_epi8(static_cast<char>(bits)))};
  }
  static std::uint64_t nonzero(Block x) { return _mm512_test_epi8_mask(x.v, x.v); }
  static void prefetch(const char* at) { _mm_prefetch(at, _MM_HINT_T0); }
};

}  // namespace

bool fill_avx512(detail::ScanState& state, RecordChunk& out, std::size_t fill_to) {
  return Scan<Avx512>(state).fill(out, fill_to);
}

}  // namespace m3u2lst::kernels
