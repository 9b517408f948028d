// Stage two of the scan: the walk over the stops that stage one
// (scan_stops.hpp) finds, entry by entry (marker, comma, name's line end,
// address line with its marks and its end), assembling the records of the
// kept entries. Each kernel file includes this with its own vocabulary,
// compiled for its instruction set; everything here has internal linkage.
#pragma once

#include <algorithm>
#include <cstddef>
#include <string_view>

#include "marks.hpp"
#include "record_assembly.hpp"
#include "scan_state.hpp"
#include "scan_stops.hpp"

namespace m3u2lst::kernels {
namespace {

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
    // No mark holds a blank or a CR, so the marks of the whole line are those
    // of the address it keeps, and an rtmp address starts inside it.
    const std::string_view& text = s_.text;
    const std::string_view line = trimmed(text.substr(address.begin, address.end - address.begin));
    const std::size_t url = address.facts.rtmp_offset == 0
                                ? static_cast<std::size_t>(line.data() - text.data())
                                : address.begin + address.facts.rtmp_offset;
    const std::size_t url_end = static_cast<std::size_t>(line.data() - text.data()) + line.size();
    // Everything up to the end of the text as given may be read.
    append_record(out, without_end_crs(text.substr(name_begin, name_end - name_begin)),
                  s_.readable_size - name_begin, text.substr(url, url_end - url),
                  s_.readable_size - url);
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
    return BlockClassifier<V>::odd_count(s_.text.data() + from, to - from, s_.readable_size - from,
                                         '"');
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
