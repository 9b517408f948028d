// Finding bytes of a small set in a text, 16 bytes at a time where the
// processor has SSE2 (every x86-64 one), byte by byte elsewhere. Playlists are
// mostly long runs of bytes that matter to no rule; this skips them quickly.
#pragma once

#include <cstddef>
#include <cstring>

#if defined(__SSE2__) || defined(_M_X64) || (defined(_M_IX86_FP) && _M_IX86_FP >= 2)
#define M3U2LST_SSE2 1
#include <emmintrin.h>
#endif
#if defined(_MSC_VER) && !defined(__clang__)
#include <intrin.h>  // _BitScanForward, _BitScanReverse
#endif

namespace m3u2lst::byte_search {

/// Calls `visit(i)` for each index i in [0, size), in order, whose byte is one
/// of `Set`, until `visit` returns false. Returns the index it stopped at, or
/// `size` when it ran to the end.
template <char... Set, typename Visit>
std::size_t visit_set_bytes(const char* bytes, std::size_t size, Visit visit) {
  std::size_t i = 0;
#ifdef M3U2LST_SSE2
  for (; i + 16 <= size; i += 16) {
    __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + i));
    __m128i hits = _mm_setzero_si128();
    ((hits = _mm_or_si128(hits, _mm_cmpeq_epi8(block, _mm_set1_epi8(Set)))), ...);
    auto mask = static_cast<unsigned>(_mm_movemask_epi8(hits));
    while (mask != 0) {
#if defined(_MSC_VER) && !defined(__clang__)
      unsigned long bit;
      _BitScanForward(&bit, mask);
#else
      auto bit = static_cast<unsigned>(__builtin_ctz(mask));
#endif
      if (!visit(i + bit)) {
        return i + bit;
      }
      mask &= mask - 1;
    }
  }
#endif
  for (; i < size; ++i) {
    if (((bytes[i] == Set) || ...) && !visit(i)) {
      return i;
    }
  }
  return size;
}

/// Index of the first byte in [from, size) that is `A` or `B`, or `size`.
template <char A, char B>
std::size_t find_either(const char* bytes, std::size_t size, std::size_t from) {
  if (from >= size) {
    return size;
  }
  return from + visit_set_bytes<A, B>(bytes + from, size - from, [](std::size_t) { return false; });
}

/// Index of the CR of the last CR LF that lies wholly in [0, size), or `none`.
/// Searches backwards, so a text that ends in CR LF lines answers at once.
inline std::size_t find_last_crlf(const char* bytes, std::size_t size, std::size_t none) {
  std::size_t end = size;  // bytes at and after `end` are searched
#ifdef M3U2LST_SSE2
  const __m128i cr = _mm_set1_epi8('\r');
  while (end >= 16) {
    std::size_t block_start = end - 16;
    __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + block_start));
    auto mask = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(block, cr)));
    while (mask != 0) {
#if defined(_MSC_VER) && !defined(__clang__)
      unsigned long high;
      _BitScanReverse(&high, mask);
#else
      auto high = static_cast<unsigned>(31 - __builtin_clz(mask));
#endif
      std::size_t at = block_start + high;
      if (at + 1 < size && bytes[at + 1] == '\n') {
        return at;
      }
      mask &= ~(1u << high);
    }
    end = block_start;
  }
#endif
  while (end > 0) {
    --end;
    if (bytes[end] == '\r' && end + 1 < size && bytes[end + 1] == '\n') {
      return end;
    }
  }
  return none;
}

}  // namespace m3u2lst::byte_search
