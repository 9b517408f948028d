// The searches of the scanner, derived from the marks (marks.hpp).
#pragma once

#include "byte_patterns.hpp"
#include "marks.hpp"

namespace m3u2lst::search {

/// Where an entry marker may start.
inline constexpr Patterns kMarkerStart =
    Patterns().bytes({&kTextEnd, 1}).pair(kEntryMarker[0], kEntryMarker[1]);
/// Where an entry's name starts.
inline constexpr Patterns kNameStartOrEnd =
    Patterns().bytes({&kTextEnd, 1}).bytes({&kNameStart, 1});
/// Where a line ends: at an LF; or, in a playlist with no LF left, at a CR.
inline constexpr char kLfOrEnd[] = {kTextEnd, kLineEnd};
inline constexpr char kCrOrEnd[] = {kTextEnd, kBareLineEnd};
inline constexpr Patterns kLineEndLf = Patterns().bytes({kLfOrEnd, 2});
inline constexpr Patterns kLineEndCr = Patterns().bytes({kCrOrEnd, 2});

/// A URL line's search: its end, an entry marker, or a URL mark's start.
constexpr Patterns url_line(std::string_view ends) {
  Patterns p;
  p.bytes(ends).pair(kEntryMarker[0], kEntryMarker[1]);
  for (const UrlMark& mark : kUrlMarks) {
    p.pair(mark.text[0], mark.text[1]);
  }
  return p;
}
inline constexpr Patterns kUrlLineLf = url_line({kLfOrEnd, 2});
inline constexpr Patterns kUrlLineCr = url_line({kCrOrEnd, 2});

// Every mark starts where its line's search stops, in every kernel.
static_assert(
    [] {
      for (const UrlMark& mark : kUrlMarks) {
        if (!stops_at(kUrlLineLf, mark.text[0], mark.text[1]) ||
            !stops_at(kUrlLineCr, mark.text[0], mark.text[1])) {
          return false;
        }
      }
      return kUrlLineLf.count <= Patterns::kBudget;
    }(),
    "a URL mark that its line's search does not stop at");

}  // namespace m3u2lst::search
