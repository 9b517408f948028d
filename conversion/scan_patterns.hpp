// The stops of the scanner, derived from the marks (marks.hpp): every place
// where the scan of a playlist may have something to do.
#pragma once

#include "byte_patterns.hpp"
#include "marks.hpp"

namespace m3u2lst::search {

/// Every stop of the scan: the text's end and the line end (one class), an
/// entry marker, an entry's comma, and each URL mark's start. `line_end` is
/// the LF; in a playlist with no LF left, the bare CR.
constexpr Patterns stops(char line_end) {
  const char ends[] = {kTextEnd, line_end};
  Patterns p;
  p.bytes({ends, 2}).pair(kEntryMarker[0], kEntryMarker[1]).bytes({&kNameStart, 1});
  for (const UrlMark& mark : kUrlMarks) {
    p.pair(mark.text[0], mark.text[1]);
  }
  return p;
}
inline constexpr Patterns kStopsLf = stops(kLineEnd);
inline constexpr Patterns kStopsCr = stops(kBareLineEnd);

// Every mark starts where the scan stops, and no stop falls inside an entry
// marker: the scan goes on from a marker's first byte to its comma.
static_assert(
    [] {
      for (const Patterns* p : {&kStopsLf, &kStopsCr}) {
        for (const UrlMark& mark : kUrlMarks) {
          if (!stops_at(*p, mark.text[0], mark.text[1])) {
            return false;
          }
        }
        for (std::size_t i = 1; i < kEntryMarker.size(); ++i) {
          const char next = i + 1 < kEntryMarker.size() ? kEntryMarker[i + 1] : '\0';
          if (stops_at(*p, kEntryMarker[i], next) || stops_at(*p, kEntryMarker[i], ',')) {
            return false;
          }
        }
      }
      return kStopsLf.count <= Patterns::kBudget;
    }(),
    "a URL mark that the scan does not stop at, or a stop inside the entry marker");

}  // namespace m3u2lst::search
