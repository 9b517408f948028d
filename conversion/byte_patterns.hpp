// What a search of the scanner stops at, worked out at compile time: up to
// eight classes of places, each a byte of a set, or a byte of a set followed
// by a byte of another (".u" rather than every '.'). Playlists are mostly
// long runs of bytes that matter to no rule; looking for pairs lets a search
// pass over the dots, '?' and '=' of ordinary URLs instead of stopping at
// each. Every kernel (kernels.hpp) searches for the same classes: by byte
// compares where there are few bytes to compare with, else by looking up
// each byte's low and high four bits in two 16-entry tables, which costs the
// same however many classes there are.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace m3u2lst::search {

/// One class: a byte of `first`, followed by a byte of `second`; any byte
/// may follow where `second` is empty.
struct ByteClass {
  std::array<char, 8> first{};
  std::size_t first_count = 0;
  std::array<char, 8> second{};
  std::size_t second_count = 0;

  constexpr bool pair() const { return second_count != 0; }
  constexpr bool has_first(char c) const { return holds(first, first_count, c); }
  constexpr bool has_second(char c) const { return holds(second, second_count, c); }
  constexpr void add_first(char c) { add(first, first_count, c); }
  constexpr void add_second(char c) { add(second, second_count, c); }

 private:
  static constexpr bool holds(const std::array<char, 8>& set, std::size_t count, char c) {
    for (std::size_t i = 0; i < count; ++i) {
      if (set[i] == c) {
        return true;
      }
    }
    return false;
  }
  static constexpr void add(std::array<char, 8>& set, std::size_t& count, char c) {
    if (!holds(set, count, c)) {
      set.at(count++) = c;  // more than 8 bytes in a set does not compile
    }
  }
};

/// The classes as the table lookup sees them: a byte is in class k where bit
/// k is set in both its low four bits' entry and its high four bits' entry.
/// That takes in every byte made of the low bits of one byte of a set and
/// the high bits of another, so the tables may stop a search at a few more
/// places than the classes name; every stop is looked at by the scanner,
/// which passes over those.
struct Tables {
  std::array<std::uint8_t, 16> first_low{}, first_high{}, second_low{}, second_high{};
  std::uint8_t single_classes = 0;  // classes of one byte: any byte may follow
};

/// What a search stops at.
struct Patterns {
  /// The class budget: one bit of a byte for each class, so eight. The
  /// scan's stops (scan_patterns.hpp) spend three (the zero byte with the
  /// line end, the entry marker, the comma) and one for each first byte of
  /// the URL marks (five: . ? & = ;), which is all eight; a new mark whose
  /// first byte another mark has costs none. Past the budget, pairs share
  /// the last class: the scan then stops at more places (the last class
  /// takes every pairing of its first and second bytes), and gives the same
  /// answers.
  static constexpr std::size_t kBudget = 8;

  std::array<ByteClass, kBudget> classes{};
  std::size_t count = 0;
  Tables tables{};
  bool has_pairs = false;
  std::size_t compares = 0;  // byte compares a search by compares makes per byte

  /// Adds a class of the single bytes `bytes`.
  constexpr Patterns& bytes(std::string_view bytes) {
    ByteClass& c = next_class();
    for (char b : bytes) {
      c.add_first(b);
    }
    return finish();
  }

  /// Adds the pair `first` then `second`, to the class of pairs that start
  /// with `first` if there is one.
  constexpr Patterns& pair(char first, char second) {
    if (second == '\0') {
      // A search past the text's end reads zeros there: no pair may end in one.
      throw "a pair cannot end in a zero byte";
    }
    for (std::size_t i = 0; i < count; ++i) {
      ByteClass& c = classes[i];
      if (c.pair() && c.first_count == 1 && c.first[0] == first) {
        c.add_second(second);
        return finish();
      }
    }
    ByteClass& c = next_class();
    c.add_first(first);
    c.add_second(second);
    return finish();
  }

 private:
  constexpr ByteClass& next_class() {
    if (count < kBudget) {
      return classes[count++];
    }
    // Over budget: the last class takes the new bytes too.
    return classes[kBudget - 1];
  }

  constexpr Patterns& finish() {
    tables = Tables{};
    has_pairs = false;
    compares = 0;
    for (std::size_t i = 0; i < count; ++i) {
      const ByteClass& c = classes[i];
      const auto bit = static_cast<std::uint8_t>(1u << i);
      for (std::size_t k = 0; k < c.first_count; ++k) {
        const auto b = static_cast<std::uint8_t>(c.first[k]);
        tables.first_low[b & 15] |= bit;
        tables.first_high[b >> 4] |= bit;
      }
      for (std::size_t k = 0; k < c.second_count; ++k) {
        const auto b = static_cast<std::uint8_t>(c.second[k]);
        tables.second_low[b & 15] |= bit;
        tables.second_high[b >> 4] |= bit;
      }
      if (!c.pair()) {
        tables.single_classes |= bit;
      }
      has_pairs = has_pairs || c.pair();
      compares += c.first_count + c.second_count;
    }
    return *this;
  }
};

/// Whether a search for `p` stops at `b`, the byte after it being `next`,
/// by the classes themselves: what the byte compares of every kernel give.
constexpr bool stops_at(const Patterns& p, char b, char next) {
  for (std::size_t i = 0; i < p.count; ++i) {
    const ByteClass& c = p.classes[i];
    if (c.has_first(b) && (!c.pair() || c.has_second(next))) {
      return true;
    }
  }
  return false;
}

}  // namespace m3u2lst::search
