// The scan of a playlist, written once against a small vocabulary that each
// instruction set gives (kernel_*.cpp), in two stages. Stage one classifies
// 64 bytes at a time into one 64-bit mask of the places where the scan may
// have something to do (its stops: scan_patterns.hpp): the vocabulary loads
// a block of bytes (16 to 64, as wide as its registers), compares them with
// a byte, or looks their four-bit halves up in tables. Stage two walks the
// stops in order, entry by entry (marker, comma, name's line end, URL line
// with its marks and its end), and assembles the records. Each kernel file
// includes this with its own vocabulary, compiled for its instruction set;
// everything here has internal linkage, so no code compiled for one
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

#include "kernels.hpp"
#include "marks.hpp"
#include "playlist_conversion.hpp"
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

template <typename V>
struct Generic {
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
      return Generic<V>::template match64<P>(text_.data() + at);
    }
    if (at >= size) {
      return 0;
    }
    alignas(64) char padded[2 * 64] = {};
    const std::size_t left = size - at;  // at most 64
    std::memcpy(padded, text_.data() + at, left);
    const std::uint64_t mask = Generic<V>::template match64<P>(padded);
    return left < 64 ? mask & ((std::uint64_t{1} << left) - 1) : mask;
  }

  std::string_view text_;
  std::size_t window_ = 0;  // where the 64 bytes of the mask start
  std::uint64_t mask_ = 0;  // the stops left among them
};

/// Copies the `n` bytes at `from` to `to`. Where `readable` bytes from `from`
/// leave room to read past them, it copies whole 32-byte blocks, the last
/// reaching past them: a few wide moves instead of a call. What lands past
/// `to + n` is overwritten by the record's next field, or lies in the
/// chunk's slack.
inline void copy_field(char* to, const char* from, std::size_t n, std::size_t readable) {
  constexpr std::size_t kBlock = 32;
  if ((n + kBlock - 1) / kBlock * kBlock <= readable) {
    for (std::size_t i = 0; i < n; i += kBlock) {
      std::memcpy(to + i, from + i, kBlock);
    }
  } else if (n > 0) {
    std::memcpy(to, from, n);
  }
}

/// Appends one record to `out`; `name_readable` and `url_readable` bytes may
/// be read from the starts of `name` and `url`.
inline void append_record(RecordChunk& out, std::string_view name, std::size_t name_readable,
                          std::string_view url, std::size_t url_readable) {
  const std::size_t size = kRecordOpenTag.size() + name.size() + kRecordMiddleTag.size() +
                           url.size() + kRecordClosingTag.size();
  char* at = out.reserve(size);
  std::memcpy(at, kRecordOpenTag.data(), kRecordOpenTag.size());
  at += kRecordOpenTag.size();
  copy_field(at, name.data(), name.size(), name_readable);
  at += name.size();
  std::memcpy(at, kRecordMiddleTag.data(), kRecordMiddleTag.size());
  at += kRecordMiddleTag.size();
  copy_field(at, url.data(), url.size(), url_readable);
  at += url.size();
  std::memcpy(at, kRecordClosingTag.data(), kRecordClosingTag.size());
  out.commit(size);
}

/// Whether `c` is a blank that may stand before an option line's `#`.
constexpr bool is_blank(char c) {
  return c == ' ' || c == '\t';
}

/// Whether `c` is lost at the ends of an address.
constexpr bool is_trimmed(char c) {
  return is_blank(c) || c == kBareLineEnd;
}

/// The scan of one text, with the stops that vocabulary V finds.
template <typename V>
class Scan {
 public:
  explicit Scan(detail::ScanState& state) : s_(state) {}

  bool fill(RecordChunk& out, std::size_t fill_to) {
    while (s_.more_entries && out.size() < fill_to) {
      if (s_.no_lf_from == npos) {
        entries<true>(out, fill_to);
      } else {
        entries<false>(out, fill_to);
      }
    }
    return s_.more_entries;
  }

 private:
  template <bool lf_lines>
  using LineStops = Stops<V, lf_lines ? search::kStopsLf : search::kStopsCr>;

  /// An entry's name: it starts after `comma`, and its line ends at
  /// `line_end`; `first_comma` is the first comma after the marker.
  struct Name {
    std::size_t first_comma = npos;
    std::size_t comma = npos;
    std::size_t line_end = npos;
  };

  /// Where an entry's address search ended: the address line, if it found
  /// one, and where the next entry's marker search goes on.
  struct Address {
    std::size_t begin = npos;  // npos: the entry has no address
    std::size_t end = npos;
    UrlFacts facts;
    std::size_t resume = npos;  // where the next marker search starts
  };

  /// Assembles the records of the entries from the cursor on, until `out`
  /// holds `fill_to` bytes or the text is done. Lines end at an LF when
  /// `lf_lines`, else at a bare CR. Where no LF follows an entry's comma,
  /// it returns with the cursor at that entry, to be scanned again with
  /// bare CR line ends: as no LF is left from there, so is every later one.
  template <bool lf_lines>
  void entries(RecordChunk& out, std::size_t fill_to) {
    const std::string_view& text = s_.text;
    LineStops<lf_lines> stops(text, s_.cursor);
    while (out.size() < fill_to) {
      const std::size_t marker = find_marker(stops);
      const Name name = marker < text.size() ? find_name<lf_lines>(stops, marker) : Name{};
      if (name.comma >= text.size()) {
        // No marker, or a marker with no comma after it, which names no
        // channel; neither can any later one.
        s_.more_entries = false;
        return;
      }
      if (lf_lines && name.line_end >= text.size()) {
        // No LF anywhere after the comma: the playlist ends its lines in bare CR.
        s_.no_lf_from = name.first_comma + 1;
        s_.cursor = marker;
        s_.last_search = {};
        return;
      }
      const Address address =
          find_address<lf_lines>(stops, std::min(name.line_end + 1, text.size()));
      s_.cursor = address.resume;
      add_record(out, name.comma + 1, name.line_end, address);
    }
  }

  /// Appends the record of the entry named by the bytes from `name_begin`
  /// to `name_end` to `out`, unless it has no address or the skip rule
  /// leaves it out.
  M3U2LST_ALWAYS_INLINE void add_record(RecordChunk& out, std::size_t name_begin,
                                        std::size_t name_end, const Address& address) {
    if (address.begin == npos || address.facts.skipped) {
      return;
    }
    // An address loses the blanks and CRs at its ends, a name the CRs at its
    // end (an editor that wrote CR CR LF). No mark holds such a byte, so the
    // marks found in the whole line are those of what is left.
    const std::string_view& text = s_.text;
    std::size_t url_stop = address.end;
    while (url_stop > address.begin && is_trimmed(text[url_stop - 1])) {
      --url_stop;
    }
    std::size_t url_start = address.begin + address.facts.rtmp_offset;
    if (address.facts.rtmp_offset == 0) {
      while (url_start < url_stop && is_trimmed(text[url_start])) {
        ++url_start;
      }
    }
    while (name_end > name_begin && text[name_end - 1] == kBareLineEnd) {
      --name_end;
    }
    // Everything up to the end of the text as given may be read.
    append_record(out, text.substr(name_begin, name_end - name_begin),
                  s_.readable_size - name_begin, text.substr(url_start, url_stop - url_start),
                  s_.readable_size - url_start);
  }

  /// The next entry marker the stops reach, or the text's size.
  template <typename S>
  M3U2LST_ALWAYS_INLINE std::size_t find_marker(S& stops) {
    std::size_t at = stops.next();
    while (!ends_text(at) && !(s_.text[at] == kEntryMarker[0] && starts_marker(at))) {
      at = stops.next();
    }
    return at;
  }

  /// The name of the entry at `marker`: it starts after the first comma on
  /// the marker's line that stands outside double quotes (each `"` after the
  /// marker opens or closes a quote), so a quoted attribute value may hold
  /// commas; where that line holds none, after the first comma after the
  /// marker. It ends at the end of its line. `stops` gave the marker last,
  /// and are left after that line end.
  template <bool lf_lines, typename S>
  M3U2LST_ALWAYS_INLINE Name find_name(S& stops, std::size_t marker) {
    const std::string_view& text = s_.text;
    // No stop falls inside the marker: the next one may be its comma.
    std::size_t at = stops.next();
    while (!ends_text(at) && text[at] != kNameStart) {
      at = stops.next();
    }
    if (at >= text.size()) {
      return {};
    }
    // The first comma is the name's unless it stands inside quotes on the
    // marker's line and a comma outside them follows on that line; so the
    // quotes are looked at only where the name's line holds another comma.
    Name name{at, at};
    bool settled = false;
    bool quoted = false;
    std::size_t counted_from = npos;  // npos: nothing counted yet
    name.line_end = line_end<lf_lines>(stops, [&](std::size_t comma) {
      if (settled || text[comma] != kNameStart) {
        return;
      }
      if (counted_from == npos) {
        settled = !first_comma_quoted<lf_lines>(marker, name.first_comma);
        counted_from = name.first_comma + 1;
        quoted = true;
        if (settled) {
          return;
        }
      }
      quoted = quoted != odd_quotes(counted_from, comma);
      counted_from = comma + 1;
      if (!quoted) {
        name.comma = comma;
        settled = true;
      }
    });
    return name;
  }

  /// Whether the first comma after the marker at `marker`, at `comma`,
  /// stands inside quotes on the marker's line: not where a line end comes
  /// between them. In a CR playlist, an LF ends the lines before the LFs
  /// run out: the marker's line of the entry the scan began again at.
  template <bool lf_lines>
  bool first_comma_quoted(std::size_t marker, std::size_t comma) const {
    const std::string_view between = s_.text.substr(marker, comma - marker);
    if (between.find(lf_lines ? kLineEnd : kBareLineEnd) != npos ||
        (!lf_lines && marker < s_.no_lf_from && between.find(kLineEnd) != npos)) {
      return false;
    }
    return odd_quotes(marker + kEntryMarker.size(), comma);
  }

  /// Whether an odd number of double quotes stands from `from` to `to`.
  bool odd_quotes(std::size_t from, std::size_t to) const {
    return Generic<V>::odd_count(s_.text.data() + from, to - from, s_.readable_size - from, '"');
  }

  /// Walks the stops to the end of the current line: its line end, or the
  /// end of the text. `inside` is called with each stop before it.
  template <bool lf_lines, typename S, typename F>
  M3U2LST_ALWAYS_INLINE std::size_t line_end(S& stops, F inside) {
    constexpr char end = lf_lines ? kLineEnd : kBareLineEnd;
    std::size_t at = stops.next();
    while (!ends_text(at) && s_.text[at] != end) {
      inside(at);
      at = stops.next();
    }
    return at;
  }

  /// The address of the entry whose name's line ends right before `line`:
  /// the first line from there on that is neither blank (nothing but spaces,
  /// tabs and CRs) nor an option line or comment (a `#` first after spaces
  /// and tabs). An entry line (a marker first) or the text's end comes
  /// first where the entry has none. Walks `stops` to the address line's end
  /// and notes its marks, or to where the search ended; the next entry's
  /// marker may stand anywhere in what it walked.
  template <bool lf_lines, typename S>
  M3U2LST_ALWAYS_INLINE Address find_address(S& stops, std::size_t line) {
    if (line < s_.text.size() && !may_start_other_line(s_.text[line])) {
      return address_line<lf_lines>(stops, line, npos);  // right after the name, as most are
    }
    return search_address<lf_lines>(stops, line);
  }

  /// find_address where the line right after the name may be passed over.
  template <bool lf_lines, typename S>
  Address search_address(S& stops, std::size_t line) {
    const std::string_view& text = s_.text;
    detail::ScanState::AddressSearch& last = s_.last_search;
    if (last.searched_from <= line && line <= last.outcome_line) {
      // Every line from here to the last search's outcome was passed over.
      Address address;
      if (last.address_end != npos) {
        address = {last.outcome_line, last.address_end, last.facts};
      }
      address.resume = line;
      return address;
    }
    last.searched_from = line;
    Address address;
    std::size_t next_marker = npos;
    for (;;) {
      std::size_t first = line;
      while (first < text.size() && is_blank(text[first])) {
        ++first;
      }
      const bool option = first < text.size() && text[first] == '#';
      if (option && starts_marker(first)) {
        address.resume = std::min(next_marker, first);
        stops.seek(address.resume);
        break;
      }
      if (!option && !blank_from<lf_lines>(first)) {
        address = address_line<lf_lines>(stops, line, next_marker);
        last.facts = address.facts;
        break;
      }
      // Passed over; an entry marker inside it opens the next entry.
      const std::size_t end = line_end<lf_lines>(stops, [&](std::size_t at) {
        if (next_marker == npos && text[at] == kEntryMarker[0] && starts_marker(at)) {
          next_marker = at;
        }
      });
      if (end >= text.size()) {
        line = text.size();
        address.resume = next_marker;
        if (next_marker != npos) {
          stops.seek(next_marker);
        }
        break;
      }
      line = end + 1;
    }
    last.outcome_line = line;
    last.address_end = address.begin != npos ? address.end : npos;
    if (address.resume == npos) {
      address.resume = text.size();
    }
    return address;
  }

  /// The address line at `line`: walks `stops` to its end and notes its
  /// marks. The next entry's marker search goes on at `next_marker`, or at
  /// the first marker in the line, or after it.
  template <bool lf_lines, typename S>
  M3U2LST_ALWAYS_INLINE Address address_line(S& stops, std::size_t line, std::size_t next_marker) {
    UrlMarks marks;
    const std::size_t end = line_end<lf_lines>(stops, [&](std::size_t at) {
      if (s_.text[at] != kEntryMarker[0]) {
        marks.note(s_.text.substr(at), at - line);
      } else if (next_marker == npos && starts_marker(at)) {
        next_marker = at;
      }
    });
    Address address{line, end, marks.facts(), end};
    if (next_marker != npos) {
      address.resume = next_marker;
      stops.seek(next_marker);
    }
    return address;
  }

  /// Whether a line that starts with `c` may be blank, an option line or an
  /// entry line rather than an address line.
  static bool may_start_other_line(char c) {
    static_assert(' ' <= '#' && '\t' <= '#' && kBareLineEnd <= '#' && kLineEnd <= '#');
    return static_cast<unsigned char>(c) <= '#';
  }

  /// Whether the line holds nothing but spaces, tabs and CRs from `at` to
  /// its end.
  template <bool lf_lines>
  bool blank_from(std::size_t at) const {
    const std::string_view& text = s_.text;
    while (at < text.size() && (is_blank(text[at]) || (lf_lines && text[at] == kBareLineEnd))) {
      ++at;
    }
    return at >= text.size() || text[at] == kTextEnd ||
           text[at] == (lf_lines ? kLineEnd : kBareLineEnd);
  }

  /// Whether an entry marker starts at `at`.
  bool starts_marker(std::size_t at) const { return s_.text.substr(at).starts_with(kEntryMarker); }

  /// Whether the stop `at` is the end of the text: its size, or a zero
  /// byte, where the text is then cut. Stops are walked in order, so the
  /// first zero byte found is the first of the text.
  M3U2LST_ALWAYS_INLINE bool ends_text(std::size_t at) {
    if (at >= s_.text.size()) {
      return true;
    }
    if (s_.text[at] == kTextEnd) {
      s_.text = s_.text.substr(0, at);
      return true;
    }
    return false;
  }

  detail::ScanState& s_;
};

}  // namespace
}  // namespace m3u2lst::kernels
