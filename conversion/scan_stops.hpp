// Stage one of the scan: a search's classes of stops (scan_patterns.hpp)
// found 64 bytes at a time, written once against a small vocabulary that
// each instruction set gives (kernel_*.cpp), and the walk over the stops in
// order that stage two (scan_entries.hpp) asks for its next stop. The
// vocabulary loads a block of bytes (16 to 64, as wide as its registers),
// compares them with a byte, or looks their four-bit halves up in tables.
// Everything here has internal linkage, so no code compiled for one
// instruction set is ever shared with another's.
//
// A vocabulary V gives:
//   using Block;                                  kBytes bytes
//   static constexpr std::size_t kBytes;          16, 32 or 64
//   static constexpr bool kLookup;                whether V::classify is there
//   static Block load(const char* at);            kBytes bytes from `at`
//   static Block zero();
//   static Block eq(Block, char);                 0xFF where equal, else 0
//   Block & Block, Block | Block                 (| only where the search compares bytes)
//   static Block classify(Block, low, high);      low[b & 15] & high[b >> 4]
//   static Block or_bits(Block, std::uint8_t);
//   static void prefetch(const char* at);         asks for the line at `at`
//   static std::uint64_t nonzero(Block);          bit i set where byte i is not 0
#pragma once

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>
#include <utility>

#include "scan_patterns.hpp"

namespace m3u2lst::kernels {
namespace {

constexpr std::size_t npos = std::string_view::npos;

// The walk asks for the next stop from many places; a call at each would
// cost more than the step itself.
#if defined(_MSC_VER) && !defined(__clang__)
#define M3U2LST_ALWAYS_INLINE __forceinline
#else
#define M3U2LST_ALWAYS_INLINE [[gnu::always_inline]] inline
#endif

/// Up to this many byte compares per byte, comparing is cheaper than the tables.
constexpr std::size_t kMostCompares = 3;

/// How far ahead of the scan the text is asked into the cache.
constexpr std::size_t kPrefetchAhead = 4096;

/// Stage one's matching, over the vocabulary V: which of a block's bytes
/// start a class of a search's patterns.
template <typename V>
struct BlockClassifier {
  using Block = typename V::Block;

  template <const search::Patterns& P, std::size_t I, std::size_t... K>
  static Block firsts(Block b, std::index_sequence<K...>) {
    return (V::zero() | ... | V::eq(b, P.classes[I].first[K]));
  }
  template <const search::Patterns& P, std::size_t I, std::size_t... K>
  static Block seconds(Block b, std::index_sequence<K...>) {
    return (V::zero() | ... | V::eq(b, P.classes[I].second[K]));
  }
  template <const search::Patterns& P, std::size_t I>
  static Block class_hits(Block b, Block next) {
    Block hits = firsts<P, I>(b, std::make_index_sequence<P.classes[I].first_count>{});
    if constexpr (P.classes[I].pair()) {
      hits = hits & seconds<P, I>(next, std::make_index_sequence<P.classes[I].second_count>{});
    }
    return hits;
  }
  template <const search::Patterns& P, std::size_t... I>
  static Block all_hits(Block b, Block next, std::index_sequence<I...>) {
    return (V::zero() | ... | class_hits<P, I>(b, next));
  }

  /// The places among the kBytes bytes at `at` where one of `P`'s classes
  /// starts; kBytes + 1 bytes from `at` may be read.
  template <const search::Patterns& P>
  static std::uint64_t match(const char* at) {
    const Block b = V::load(at);
    if constexpr (!V::kLookup || P.compares <= kMostCompares) {
      const Block next = P.has_pairs ? V::load(at + 1) : b;
      return V::nonzero(all_hits<P>(b, next, std::make_index_sequence<P.count>{}));
    } else {
      constexpr const search::Tables& t = P.tables;
      Block classes = V::classify(b, t.first_low, t.first_high);
      if constexpr (P.has_pairs) {
        classes = classes & V::or_bits(V::classify(V::load(at + 1), t.second_low, t.second_high),
                                       t.single_classes);
      }
      return V::nonzero(classes);
    }
  }

  /// Whether an odd number of the `n` bytes at `at` are `byte`; `readable`
  /// bytes from `at` may be read.
  static bool odd_count(const char* at, std::size_t n, std::size_t readable, char byte) {
    std::uint64_t parity = 0;
    for (; n >= V::kBytes; at += V::kBytes, n -= V::kBytes, readable -= V::kBytes) {
      parity ^= V::nonzero(V::eq(V::load(at), byte));
    }
    if (n > 0 && readable >= V::kBytes) {
      parity ^= V::nonzero(V::eq(V::load(at), byte)) & ((std::uint64_t{1} << n) - 1);
    } else {
      parity ^= static_cast<std::uint64_t>(std::count(at, at + n, byte) % 2);
    }
    return std::popcount(parity) % 2 != 0;
  }

  /// The places among the 64 bytes at `at` where one of `P`'s classes
  /// starts; 65 bytes from `at` may be read.
  template <const search::Patterns& P>
  static std::uint64_t match64(const char* at) {
    std::uint64_t mask = 0;
    for (std::size_t i = 0; i < 64; i += V::kBytes) {
      mask |= match<P>(at + i) << i;
    }
    return mask;
  }
};

/// The stops of `P` in a text, in order from a given place: stage one fills
/// a mask of the stops in the next 64 bytes whenever the last is used up.
/// Reads nothing outside the text: its last bytes are classified in a copy
/// padded with zeros, by the same code, and the mask is cut at its end.
template <typename V, const search::Patterns& P>
class Stops {
 public:
  Stops(std::string_view text, std::size_t from) : text_(text) { seek(from); }

  /// Starts again at `from`.
  void seek(std::size_t from) {
    window_ = from;
    mask_ = classify(from);
  }

  /// The next stop, or the text's size when none is left.
  M3U2LST_ALWAYS_INLINE std::size_t next() {
    while (mask_ == 0) {
      window_ += 64;
      if (window_ >= text_.size()) {
        return text_.size();
      }
      mask_ = classify(window_);
    }
    const std::size_t at = window_ + static_cast<std::size_t>(std::countr_zero(mask_));
    mask_ &= mask_ - 1;
    return at;
  }

 private:
  std::uint64_t classify(std::size_t at) const {
    const std::size_t size = text_.size();
    if (at + 64 + 1 <= size) {
      // The text a page ahead is asked for: the processor's own prefetching
      // stops at each page's end, and the scan would wait at every page.
      if (at + kPrefetchAhead < size) {
        V::prefetch(text_.data() + at + kPrefetchAhead);
      }
      return BlockClassifier<V>::template match64<P>(text_.data() + at);
    }
    if (at >= size) {
      return 0;
    }
    alignas(64) char padded[2 * 64] = {};
    const std::size_t left = size - at;  // at most 64
    std::memcpy(padded, text_.data() + at, left);
    const std::uint64_t mask = BlockClassifier<V>::template match64<P>(padded);
    return left < 64 ? mask & ((std::uint64_t{1} << left) - 1) : mask;
  }

  std::string_view text_;
  std::size_t window_ = 0;  // where the 64 bytes of the mask start
  std::uint64_t mask_ = 0;  // the stops left among them
};

}  // namespace
}  // namespace m3u2lst::kernels
