// The SSE2 kernel: the scan 16 bytes at a time, for every x86-64 processor.
// SSE2 has no byte table lookup (that came with SSSE3), so every search here
// is made by byte compares.
#include <emmintrin.h>

#include <array>
#include <cstdint>

#include "scan_generic.hpp"

namespace m3u2lst::kernels {
namespace {

struct Sse2 {
  struct Block {
    __m128i v;
    friend Block operator|(Block x, Block y) { return {_mm_or_si128(x.v, y.v)}; }
    friend Block operator&(Block x, Block y) { return {_mm_and_si128(x.v, y.v)}; }
  };
  static constexpr std::size_t kBytes = 16;
  static constexpr bool kLookup = false;
  static Block load(const char* at) {
    return {_mm_loadu_si128(reinterpret_cast<const __m128i*>(at))};
  }
  static Block zero() { return {_mm_setzero_si128()}; }
  static Block eq(Block x, char c) { return {_mm_cmpeq_epi8(x.v, _mm_set1_epi8(c))}; }
  // No lookup: never called.
  static Block classify(Block x, const std::array<std::uint8_t, 16>&,
                        const std::array<std::uint8_t, 16>&) {
    return x;
  }
  static Block or_bits(Block x, std::uint8_t) { return x; }
  static std::uint64_t nonzero(Block x) {
    const auto zeros =
        static_cast<std::uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(x.v, _mm_setzero_si128())));
    return ~zeros & 0xFFFFu;
  }
  static void prefetch(const char* at) { _mm_prefetch(at, _MM_HINT_T0); }
};

}  // namespace

bool fill_sse2(detail::ScanState& state, RecordChunk& out, std::size_t fill_to) {
  return Scan<Sse2>(state).fill(out, fill_to);
}

}  // namespace m3u2lst::kernels
