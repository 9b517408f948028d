// Finding the first place in a text where one of a few patterns starts: a
// byte of a set, or a pair of bytes (".u" rather than every '.'). Playlists
// are mostly long runs of bytes that matter to no rule; looking for pairs lets
// a search pass over the dots, '?' and '=' of ordinary URLs instead of
// stopping at each.
//
// Three ways to search give the same answers: byte by byte (anywhere); 16
// bytes at a time with SSE2 (every x86-64 processor); and 32 bytes at a time
// with AVX2 where the processor has it (most made since 2013), asked at run
// time. The AVX2 search sorts each byte into up to eight pattern classes by
// looking up its low and its high four bits in two 16-entry tables, so it
// costs the same however many patterns there are.
#pragma once

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>

#if defined(__x86_64__) || defined(_M_X64)
#define M3U2LST_X86_64 1
#include <immintrin.h>
#if defined(_MSC_VER) && !defined(__clang__)
#include <intrin.h>  // __cpuid
#define M3U2LST_AVX2_TARGET
#else
#define M3U2LST_AVX2_TARGET __attribute__((target("avx2")))
#endif
#endif

namespace m3u2lst::byte_search {

/// A set of bytes.
template <char... Cs>
struct Set {
  static constexpr std::array<char, sizeof...(Cs)> bytes{Cs...};
  static constexpr bool has(char c) { return ((c == Cs) || ...); }
};

/// In place of a second set: the class is one of single bytes, whatever
/// follows them.
struct AnyByte {};

/// A pattern class: a byte of `First`, followed by a byte of `Second`. The
/// AVX2 tables sort bytes exactly only when each set holds every byte made of
/// the low four bits of one of its bytes and the high four bits of one of its
/// bytes: {'\0', '\n', '\r'} does (high 0 with low 0, A or D); {'\0', ','}
/// does not (it would take in 0x0C and 0x20 as well). A class that breaks
/// this does not compile.
template <typename First, typename Second = AnyByte>
struct Class {};

namespace detail {

struct Tables {
  std::array<std::uint8_t, 16> first_low{}, first_high{}, second_low{}, second_high{};
  std::uint8_t single_classes = 0;  // classes of one byte: any byte may follow
};

template <typename S>
constexpr void add_set(std::array<std::uint8_t, 16>& low, std::array<std::uint8_t, 16>& high,
                       std::uint8_t bit) {
  for (char c : S::bytes) {
    low[static_cast<std::uint8_t>(c) & 15] |= bit;
    high[static_cast<std::uint8_t>(c) >> 4] |= bit;
  }
}

/// Whether every byte the tables give class `bit` is in `S`.
template <typename S>
constexpr bool exact(const std::array<std::uint8_t, 16>& low,
                     const std::array<std::uint8_t, 16>& high, std::uint8_t bit) {
  for (std::size_t h = 0; h < 16; ++h) {
    for (std::size_t l = 0; l < 16; ++l) {
      if ((low[l] & high[h] & bit) != 0) {
        bool in = false;
        for (char c : S::bytes) {
          in = in || static_cast<std::uint8_t>(c) == (h << 4 | l);
        }
        if (!in) {
          return false;
        }
      }
    }
  }
  return true;
}

#ifdef M3U2LST_X86_64
/// Lanes of 0xFF where a byte of `b` is in `S`, by compares.
template <typename S>
__m128i set_bytes_sse2(__m128i b) {
  __m128i in = _mm_setzero_si128();
  for (char c : S::bytes) {
    in = _mm_or_si128(in, _mm_cmpeq_epi8(b, _mm_set1_epi8(c)));
  }
  return in;
}
template <typename S>
M3U2LST_AVX2_TARGET inline __m256i set_bytes_avx2(__m256i b) {
  __m256i in = _mm256_setzero_si256();
  for (char c : S::bytes) {
    in = _mm256_or_si256(in, _mm256_cmpeq_epi8(b, _mm256_set1_epi8(c)));
  }
  return in;
}
#endif

/// One class's matching, byte by byte, by vector compares, and its entries
/// in the AVX2 tables.
template <typename C>
struct ClassTraits;
template <typename First, typename Second>
struct ClassTraits<Class<First, Second>> {
  static_assert(!Second::has('\0'), "a pair cannot end in a zero byte");
  static constexpr bool kPair = true;
  static constexpr std::size_t kCompares = First::bytes.size() + Second::bytes.size();
  static bool match(char b, char next) { return First::has(b) && Second::has(next); }
#ifdef M3U2LST_X86_64
  static __m128i match_sse2(__m128i b, __m128i next) {
    return _mm_and_si128(set_bytes_sse2<First>(b), set_bytes_sse2<Second>(next));
  }
  M3U2LST_AVX2_TARGET static __m256i match_avx2(__m256i b, __m256i next) {
    return _mm256_and_si256(set_bytes_avx2<First>(b), set_bytes_avx2<Second>(next));
  }
#endif
  static constexpr void add(Tables& t, std::uint8_t bit) {
    add_set<First>(t.first_low, t.first_high, bit);
    add_set<Second>(t.second_low, t.second_high, bit);
  }
  static constexpr bool exact(const Tables& t, std::uint8_t bit) {
    return detail::exact<First>(t.first_low, t.first_high, bit) &&
           detail::exact<Second>(t.second_low, t.second_high, bit);
  }
};
template <typename First>
struct ClassTraits<Class<First, AnyByte>> {
  static constexpr bool kPair = false;
  static constexpr std::size_t kCompares = First::bytes.size();
  static bool match(char b, char /*next*/) { return First::has(b); }
#ifdef M3U2LST_X86_64
  static __m128i match_sse2(__m128i b, __m128i /*next*/) {
    return set_bytes_sse2<First>(b);
  }
  M3U2LST_AVX2_TARGET static __m256i match_avx2(__m256i b, __m256i /*next*/) {
    return set_bytes_avx2<First>(b);
  }
#endif
  static constexpr void add(Tables& t, std::uint8_t bit) {
    add_set<First>(t.first_low, t.first_high, bit);
    t.single_classes |= bit;
  }
  static constexpr bool exact(const Tables& t, std::uint8_t bit) {
    return detail::exact<First>(t.first_low, t.first_high, bit);
  }
};

}  // namespace detail

/// What a search looks for: up to eight pattern classes.
template <typename... Classes>
struct Patterns {
  static_assert(sizeof...(Classes) >= 1 && sizeof...(Classes) <= 8, "one to eight classes");

  /// Whether a match needs the byte after the one it starts at.
  static constexpr bool kHasPairs = (detail::ClassTraits<Classes>::kPair || ...);

  /// How many byte compares a search for these patterns makes per byte.
  static constexpr std::size_t kCompares = (detail::ClassTraits<Classes>::kCompares + ...);

  static constexpr detail::Tables kTables = [] {
    detail::Tables t;
    std::uint8_t bit = 1;
    ((detail::ClassTraits<Classes>::add(t, bit), bit = static_cast<std::uint8_t>(bit << 1)), ...);
    return t;
  }();
  static_assert(
      [] {
        std::uint8_t bit = 1;
        bool all = true;
        ((all = all && detail::ClassTraits<Classes>::exact(kTables, bit),
          bit = static_cast<std::uint8_t>(bit << 1)),
         ...);
        return all;
      }(),
      "a class's set is not exact under the four-bit tables");

  /// Whether a pattern starts at `b`, the byte after it being `next`.
  static bool match(char b, char next) {
    return (detail::ClassTraits<Classes>::match(b, next) || ...);
  }

#ifdef M3U2LST_X86_64
  /// The same for the 16 (32) bytes `b`, the bytes one further on being
  /// `next`, by compares: one bit per byte where a pattern starts.
  static std::uint32_t match_sse2(__m128i b, __m128i next) {
    __m128i hits = _mm_setzero_si128();
    ((hits = _mm_or_si128(hits, detail::ClassTraits<Classes>::match_sse2(b, next))), ...);
    return static_cast<std::uint32_t>(_mm_movemask_epi8(hits));
  }
  M3U2LST_AVX2_TARGET static std::uint32_t match_avx2(__m256i b, __m256i next) {
    __m256i hits = _mm256_setzero_si256();
    ((hits = _mm256_or_si256(hits, detail::ClassTraits<Classes>::match_avx2(b, next))), ...);
    return static_cast<std::uint32_t>(_mm256_movemask_epi8(hits));
  }
#endif
};

/// Index of the lowest set bit of a mask that is not zero.
template <typename Mask>
std::size_t lowest_bit(Mask mask) {
  return static_cast<std::size_t>(std::countr_zero(mask));
}

/// Index of the first byte in [from, size) where one of `P`'s patterns
/// starts, or `size`, looking at one byte after another. A pair's second byte
/// must lie before `size` too. Reads nothing outside [0, size).
template <typename P>
std::size_t find_first_bytewise(const char* bytes, std::size_t size, std::size_t from) {
  for (std::size_t i = from; i < size; ++i) {
    // Past the end, a zero stands in for the next byte: no pair ends in one.
    if (P::match(bytes[i], i + 1 < size ? bytes[i + 1] : '\0')) {
      return i;
    }
  }
  return size;
}

#ifdef M3U2LST_X86_64

/// How far ahead of a search the text is asked into the cache: a page, so
/// that the next page is on its way before the search reaches it. The
/// processor's own prefetcher stops at each page's end, and a long search
/// then waits for memory at every page.
constexpr std::size_t kPrefetchAhead = 4096;

/// Asks for the line `kPrefetchAhead` bytes past `bytes + i`, if that lies
/// within [0, size). A prefetch reads nothing the program sees.
inline void prefetch_ahead(const char* bytes, std::size_t size, std::size_t i) {
  if (i + kPrefetchAhead < size) {
    _mm_prefetch(bytes + i + kPrefetchAhead, _MM_HINT_T0);
  }
}

/// find_first_bytewise, 16 bytes at a time with SSE2 compares.
template <typename P>
std::size_t find_first_sse2(const char* bytes, std::size_t size, std::size_t from) {
  std::size_t i = from;
  // With pairs, each step reads 17 bytes: 16 and the one after them.
  constexpr std::size_t kRead = P::kHasPairs ? 17 : 16;
  for (; i + kRead <= size; i += 16) {
    prefetch_ahead(bytes, size, i);
    __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + i));
    __m128i next = b;
    if constexpr (P::kHasPairs) {
      next = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + i + 1));
    }
    if (std::uint32_t mask = P::match_sse2(b, next)) {
      return i + lowest_bit(mask);
    }
  }
  return find_first_bytewise<P>(bytes, size, i);
}

namespace detail {

M3U2LST_AVX2_TARGET inline __m256i table_avx2(const std::array<std::uint8_t, 16>& table) {
  return _mm256_broadcastsi128_si256(
      _mm_loadu_si128(reinterpret_cast<const __m128i*>(table.data())));
}

/// The classes of 32 bytes: each byte's low four bits looked up in `low`,
/// its high four bits in `high`, and the two answers' common bits kept.
M3U2LST_AVX2_TARGET inline __m256i classify_avx2(__m256i b, __m256i low, __m256i high) {
  const __m256i nibble = _mm256_set1_epi8(0x0F);
  return _mm256_and_si256(
      _mm256_shuffle_epi8(low, _mm256_and_si256(b, nibble)),
      _mm256_shuffle_epi8(high, _mm256_and_si256(_mm256_srli_epi16(b, 4), nibble)));
}

}  // namespace detail

/// find_first_bytewise, 32 bytes at a time with AVX2 class tables.
template <typename P>
M3U2LST_AVX2_TARGET std::size_t find_first_tables_avx2(const char* bytes, std::size_t size,
                                                       std::size_t from) {
  constexpr const detail::Tables& t = P::kTables;
  const __m256i first_low = detail::table_avx2(t.first_low);
  const __m256i first_high = detail::table_avx2(t.first_high);
  const __m256i second_low = detail::table_avx2(t.second_low);
  const __m256i second_high = detail::table_avx2(t.second_high);
  const __m256i singles = _mm256_set1_epi8(static_cast<char>(t.single_classes));
  const __m256i none = _mm256_setzero_si256();
  std::size_t i = from;
  constexpr std::size_t kRead = P::kHasPairs ? 33 : 32;
  for (; i + kRead <= size; i += 32) {
    prefetch_ahead(bytes, size, i);
    __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(bytes + i));
    __m256i classes = detail::classify_avx2(b, first_low, first_high);
    if constexpr (P::kHasPairs) {
      __m256i next = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(bytes + i + 1));
      classes = _mm256_and_si256(
          classes, _mm256_or_si256(detail::classify_avx2(next, second_low, second_high), singles));
    }
    auto mask = ~static_cast<std::uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(classes, none)));
    if (mask != 0) {
      return i + lowest_bit(mask);
    }
  }
  return find_first_sse2<P>(bytes, size, i);
}

namespace detail {

/// The bits of the 32 bytes at `at` where one of `P`'s patterns starts, by
/// compares.
template <typename P>
M3U2LST_AVX2_TARGET std::uint32_t compare_avx2(const char* at) {
  __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(at));
  __m256i next = b;
  if constexpr (P::kHasPairs) {
    next = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(at + 1));
  }
  return P::match_avx2(b, next);
}

/// The same for the 64 bytes at `at`.
template <typename P>
M3U2LST_AVX2_TARGET std::uint64_t compare_64_avx2(const char* at) {
  return compare_avx2<P>(at) | std::uint64_t{compare_avx2<P>(at + 32)} << 32;
}

/// Up to this many compares per byte, comparing is cheaper than the tables.
constexpr std::size_t kMostCompares = 3;

}  // namespace detail

/// find_first_bytewise, 32 bytes at a time with AVX2: by compares for a few
/// bytes, else by class tables. Call only where has_avx2() holds.
template <typename P>
M3U2LST_AVX2_TARGET std::size_t find_first_avx2(const char* bytes, std::size_t size,
                                                std::size_t from) {
  constexpr std::size_t kRead = P::kHasPairs ? 33 : 32;
  std::size_t i = from;
  if constexpr (P::kCompares <= detail::kMostCompares) {
    // Two blocks a step: long stretches with nothing to find (a long line,
    // searched for its end) go at the speed of memory.
    for (; i + 32 + kRead <= size; i += 64) {
      prefetch_ahead(bytes, size, i);
      if (std::uint64_t mask = detail::compare_64_avx2<P>(bytes + i); mask != 0) {
        return i + lowest_bit(mask);
      }
    }
    for (; i + kRead <= size; i += 32) {
      if (std::uint32_t mask = detail::compare_avx2<P>(bytes + i)) {
        return i + lowest_bit(mask);
      }
    }
    return find_first_bytewise<P>(bytes, size, i);
  } else {
    return find_first_tables_avx2<P>(bytes, size, i);
  }
}

/// Whether the processor, and the system, can run AVX2 code.
inline bool has_avx2() {
#if defined(_MSC_VER) && !defined(__clang__)
  static const bool avx2 = [] {
    int info[4];
    __cpuid(info, 0);
    if (info[0] < 7) {
      return false;
    }
    __cpuid(info, 1);
    const bool os_saves_ymm = (info[2] & (1 << 27)) != 0 && (_xgetbv(0) & 6) == 6;
    __cpuidex(info, 7, 0);
    return os_saves_ymm && (info[1] & (1 << 5)) != 0;
  }();
  return avx2;
#else
  // Checks that the system saves the AVX registers, too.
  static const bool avx2 = __builtin_cpu_supports("avx2");
  return avx2;
#endif
}

#endif  // M3U2LST_X86_64

/// Index of the first byte in [from, size) where one of `P`'s patterns
/// starts, or `size`, in the fastest way the processor allows. Reads nothing
/// outside [0, size).
template <typename P>
std::size_t find_first(const char* bytes, std::size_t size, std::size_t from) {
#ifdef M3U2LST_X86_64
  if (has_avx2()) {
    return find_first_avx2<P>(bytes, size, from);
  }
  return find_first_sse2<P>(bytes, size, from);
#else
  return find_first_bytewise<P>(bytes, size, from);
#endif
}

}  // namespace m3u2lst::byte_search
