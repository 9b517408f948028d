// The part of the scan's vocabulary (scan_stops.hpp) that SSE2 gives, 16
// bytes a block, shared by the SSE2 and SSSE3 kernels. Each includes it into
// its own file, compiled for its instruction set; it has internal linkage,
// so neither kernel's code is shared with the other's.
#pragma once

#include <emmintrin.h>

#include <cstddef>
#include <cstdint>

namespace m3u2lst::kernels {
namespace {

struct Sse2Vocabulary {
  struct Block {
    __m128i v;
    [[maybe_unused]] friend Block operator|(Block x, Block y) { return {_mm_or_si128(x.v, y.v)}; }
    friend Block operator&(Block x, Block y) { return {_mm_and_si128(x.v, y.v)}; }
  };
  static constexpr std::size_t kBytes = 16;
  static Block load(const char* at) {
    return {_mm_loadu_si128(reinterpret_cast<const __m128i*>(at))};
  }
  static Block zero() { return {_mm_setzero_si128()}; }
  static Block eq(Block x, char c) { return {_mm_cmpeq_epi8(x.v, _mm_set1_epi8(c))}; }
  static std::uint64_t nonzero(Block x) {
    const auto zeros =
        static_cast<std::uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(x.v, _mm_setzero_si128())));
    return ~zeros & 0xFFFFu;
  }
  static void prefetch(const char* at) { _mm_prefetch(at, _MM_HINT_T0); }
};

}  // namespace
}  // namespace m3u2lst::kernels
