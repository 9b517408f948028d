// The scan of a playlist, written once against a small vocabulary that each
// instruction set gives (kernel_*.cpp): load a block of bytes (16 to 64, as
// wide as its registers), compare them with a byte, look their four-bit
// halves up in tables, and and/or such blocks into a mask of the places that
// matter. Each kernel file includes this
// with its own vocabulary, compiled for its instruction set; everything here
// has internal linkage, so no code compiled for one instruction set is ever
// shared with another's.
//
// A vocabulary V gives:
//   using Block;                                  kBytes bytes
//   static constexpr std::size_t kBytes;          16, 32 or 64
//   static constexpr bool kLookup;                whether V::classify is there
//   static Block load(const char* at);            kBytes bytes from `at`
//   static Block zero();
//   static Block eq(Block, char);                 0xFF where equal, else 0
//   Block & Block, Block | Block
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

/// Up to this many byte compares per byte, comparing is cheaper than the tables.
constexpr std::size_t kMostCompares = 3;

/// How far ahead of a search the text is asked into the cache.
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

  /// Index of the first byte in [from, size) where one of `P`'s classes
  /// starts (a pair's second byte before `size` too), or `size`. Reads
  /// nothing outside [0, size): the last bytes are searched in a copy
  /// padded with zeros, by the same code, and a zero past the end stops
  /// the search only where the text's end stops it anyway.
  template <const search::Patterns& P>
  static std::size_t find_first(const char* bytes, std::size_t size, std::size_t from) {
    constexpr std::size_t kBytes = V::kBytes;
    std::size_t i = from;
    for (; i + kBytes + 1 <= size; i += kBytes) {
      // The text a page ahead is asked for: the processor's own prefetching
      // stops at each page's end, and a long search would wait at every page.
      if (i + kPrefetchAhead < size) {
        V::prefetch(bytes + i + kPrefetchAhead);
      }
      if (std::uint64_t mask = match<P>(bytes + i)) {
        return i + static_cast<std::size_t>(std::countr_zero(mask));
      }
    }
    if (i >= size) {
      return size;
    }
    alignas(64) char padded[2 * kBytes] = {};
    const std::size_t left = size - i;  // at most kBytes
    std::memcpy(padded, bytes + i, left);
    std::uint64_t mask = match<P>(padded);
    if (left < 64) {
      mask &= (std::uint64_t{1} << left) - 1;
    }
    return mask != 0 ? i + static_cast<std::size_t>(std::countr_zero(mask)) : size;
  }
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

/// The scan of one text, with the searches of vocabulary V.
template <typename V>
class Scan {
 public:
  explicit Scan(detail::ScanState& state) : s_(state) {}

  bool fill(RecordChunk& out, std::size_t fill_to);

 private:
  /// Finds the first byte at or after `from` where one of `P`'s classes, or
  /// a zero byte, starts. A zero byte is where the text ends: the text is cut
  /// there. Returns the index, which is the text's size at its end.
  template <const search::Patterns& P>
  std::size_t find(std::size_t from) {
    const std::size_t at = Generic<V>::template find_first<P>(s_.text.data(), s_.text.size(), from);
    // Every byte before `from` has been looked at already, so the first zero
    // byte found is the first of the text.
    if (at < s_.text.size() && s_.text[at] == kTextEnd) {
      s_.text = s_.text.substr(0, at);
    }
    return at;
  }

  /// First LF at or after `from`, or npos. Once none is left after some
  /// point, it is never looked for there again: in a playlist whose lines
  /// end in bare CR, only the first entry's search runs to the text's end.
  std::size_t find_lf(std::size_t from) {
    // Searches start later and later, so where none was found, none will be.
    if (from >= s_.no_lf_from) {
      return npos;
    }
    for (std::size_t at = from;; ++at) {
      at = find<search::kLineEndLf>(at);
      if (at >= s_.text.size()) {
        s_.no_lf_from = from;
        return npos;
      }
      if (s_.text[at] == kLineEnd) {
        return at;
      }
    }
  }

  /// Where the line that ends at `end` stops holding bytes: a CR right
  /// before its LF belongs to the line end. A bare CR line end, or the end
  /// of the text, takes no byte off.
  std::size_t content_end(std::size_t begin, std::size_t end) const {
    return end > begin && end < s_.text.size() && s_.text[end] == kLineEnd &&
                   s_.text[end - 1] == kBareLineEnd
               ? end - 1
               : end;
  }

  /// A URL line as one scan of it finds it.
  struct UrlLine {
    std::size_t end = 0;        // its line end (LF or CR), or the end of the text
    std::size_t marker = npos;  // its first entry marker, if any
    UrlFacts facts;
  };

  /// Scans the URL line that starts at `begin`, which ends at an LF when
  /// `lf_lines`, else at a bare CR. One pass finds its end, the marks the
  /// rules look for, and any entry marker inside it. The search stops at
  /// each of these, and at a few places that are none (the tables' extra
  /// bytes), which the marks pass over.
  template <bool lf_lines>
  UrlLine scan_url_line(std::size_t begin) {
    constexpr char line_end = lf_lines ? kLineEnd : kBareLineEnd;
    UrlLine line;
    UrlMarks marks;
    std::size_t at = begin;
    for (;; ++at) {
      at = find < lf_lines ? search::kUrlLineLf : search::kUrlLineCr > (at);
      if (at >= s_.text.size() || s_.text[at] == line_end) {
        break;
      }
      if (s_.text[at] == kEntryMarker[0]) {
        if (line.marker == npos && s_.text.substr(at).starts_with(kEntryMarker)) {
          line.marker = at;
        }
      } else {
        marks.note(s_.text.substr(at), at - begin);
      }
    }
    line.end = at;
    line.facts = marks.facts();
    return line;
  }

  detail::ScanState& s_;
};

template <typename V>
bool Scan<V>::fill(RecordChunk& out, std::size_t fill_to) {
  const std::string_view& text = s_.text;
  while (s_.more_entries && out.size() < fill_to) {
    // In most playlists the next entry line follows the URL line's end.
    std::size_t marker = s_.cursor + s_.line_end_size;
    if (!text.substr(std::min(marker, text.size())).starts_with(kEntryMarker)) {
      for (marker = s_.cursor;; ++marker) {
        marker = find<search::kMarkerStart>(marker);
        if (marker >= text.size() || text.substr(marker).starts_with(kEntryMarker)) {
          break;
        }
      }
    }
    if (marker >= text.size()) {
      s_.more_entries = false;
      break;
    }
    std::size_t comma = marker + kEntryMarker.size();
    for (;; ++comma) {
      comma = find<search::kNameStartOrEnd>(comma);
      if (comma >= text.size() || text[comma] == kNameStart) {
        break;
      }
    }
    if (comma >= text.size()) {
      // A marker with no comma after it names no channel, and neither can any later one.
      s_.more_entries = false;
      break;
    }
    const std::size_t name_begin = comma + 1;
    std::size_t name_end = find_lf(name_begin);
    const bool lf_lines = name_end != npos;
    if (!lf_lines) {
      // No LF anywhere after the comma: the playlist ends its lines in bare CR.
      for (name_end = name_begin;; ++name_end) {
        name_end = find<search::kLineEndCr>(name_end);
        if (name_end >= text.size() || text[name_end] == kBareLineEnd) {
          break;
        }
      }
    }
    const std::size_t url_begin = std::min(name_end + 1, text.size());
    name_end = content_end(name_begin, name_end);
    UrlLine url = lf_lines ? scan_url_line<true>(url_begin) : scan_url_line<false>(url_begin);
    if (url.end >= text.size()) {
      s_.more_entries = false;
    }
    // The next marker search starts at the URL line, so a URL line that is
    // itself an entry line opens the next entry. The scan of the line has
    // told where its first marker stands, if it holds one.
    s_.cursor = url.marker != npos ? url.marker : url.end;
    s_.line_end_size = url.marker != npos || url.end >= text.size() ? 0 : 1;
    if (url.facts.skipped) {
      continue;
    }
    // Everything up to the end of the text as given may be read.
    const std::size_t url_start = url_begin + url.facts.rtmp_offset;
    const std::size_t url_end = content_end(url_begin, url.end);
    append_record(out, text.substr(name_begin, name_end - name_begin),
                  s_.readable_size - name_begin, text.substr(url_start, url_end - url_start),
                  s_.readable_size - url_start);
  }
  return s_.more_entries;
}

}  // namespace
}  // namespace m3u2lst::kernels
