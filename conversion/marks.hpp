// Every mark the conversion looks for, declared once: the entry marker, the
// bytes that end a line or the text, and the marks of the URL rules. The
// scanner's searches, the rule functions and the tests all derive from here:
// a new URL mark is one line in kUrlMarks (and its test).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "url_facts.hpp"

namespace m3u2lst {

/// The entry marker: an entry starts wherever it stands.
inline constexpr std::string_view kEntryMarker = "#EXTINF:";
/// What starts an entry's name: the first comma after its marker, or the
/// first one outside double quotes on the marker's line.
inline constexpr char kNameStart = ',';
/// An LF ends a line (a CR right before it belongs to the line end); only
/// where no LF follows an entry's comma does a bare CR end its lines.
inline constexpr char kLineEnd = '\n';
inline constexpr char kBareLineEnd = '\r';
/// The first zero byte ends the text.
inline constexpr char kTextEnd = '\0';

/// Whether `c` is a blank: spaces and tabs may stand before an option line's
/// '#', and before a marker that starts a line.
constexpr bool is_blank(char c) {
  return c == ' ' || c == '\t';
}

/// Whether `c` is lost at the ends of an address: blanks and CRs, which an
/// editor may leave there. A name loses only the CRs at its end.
constexpr bool is_trimmed(char c) {
  return is_blank(c) || c == kBareLineEnd;
}

/// What an address keeps: `s` without the blanks and CRs at its ends.
constexpr std::string_view trimmed(std::string_view s) {
  while (!s.empty() && is_trimmed(s.front())) {
    s.remove_prefix(1);
  }
  while (!s.empty() && is_trimmed(s.back())) {
    s.remove_suffix(1);
  }
  return s;
}

/// What a name keeps: `s` without the CRs at its end.
constexpr std::string_view without_end_crs(std::string_view s) {
  while (!s.empty() && s.back() == kBareLineEnd) {
    s.remove_suffix(1);
  }
  return s;
}

/// What a URL mark does to its URL line.
enum class MarkRule : std::uint8_t {
  kSkips,            // the line is left out
  kSkipsWithOthers,  // the line is left out where every such mark stands in it
  kRtmpAddress,      // the line is cut down to the address that starts in the mark
};

struct UrlMark {
  std::string_view text;
  MarkRule rule;
  std::uint8_t address_at = 0;  // kRtmpAddress: where in the mark the address starts
  bool word_end = false;        // a mark only where no ASCII letter or digit follows it
};

/// Whether `c` is an ASCII letter or digit, which continues a word.
constexpr bool is_ascii_alnum(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

/// The marks of the skip rule and the rtmp extraction. Of the rtmp marks, the
/// one listed first wins, wherever each stands in the line. The skip rule
/// sees the address as read, before any extraction. ".url" means a link to
/// a ".url" shortcut file ("x.url", "x.url?a=1"), not a CDN's ".urlset".
inline constexpr UrlMark kUrlMarks[] = {
    {".url", MarkRule::kSkips, 0, true},     {"?id", MarkRule::kSkipsWithOthers},
    {"&ip", MarkRule::kSkipsWithOthers},     {"&auth", MarkRule::kSkipsWithOthers},
    {"=rtmp://", MarkRule::kRtmpAddress, 1}, {";;rtmp://", MarkRule::kRtmpAddress, 2},
};
inline constexpr std::size_t kUrlMarkCount = std::size(kUrlMarks);

// A URL line's search stops where a mark may start, and the scan then tells
// a line end, an entry marker and a mark apart by the byte it stopped at: no
// mark may start like them, or hold a byte that ends a line or the text.
static_assert(
    [] {
      for (const UrlMark& mark : kUrlMarks) {
        if (mark.text.size() < 2 || mark.text[0] == kEntryMarker[0] ||
            mark.text.find_first_of(std::string_view("\0\n\r", 3)) != std::string_view::npos ||
            (mark.rule == MarkRule::kRtmpAddress) != (mark.address_at != 0) ||
            mark.address_at >= mark.text.size()) {
          return false;
        }
      }
      return kUrlMarkCount <= 32;
    }(),
    "a URL mark of fewer than two bytes, starting like an entry marker, holding a "
    "line or text end, or with no address where it needs one");

/// What the skip rule and the rtmp extraction need to know of a URL line,
/// gathered mark by mark while the line is scanned once.
class UrlMarks {
 public:
  /// Notes the marks that begin `from_here`: the URL line's text from
  /// `offset` in the line on. The text may run past the line's end, as no
  /// mark holds a byte that ends a line or the text to match across it.
  void note(std::string_view from_here, std::size_t offset) {
    for (std::size_t i = 0; i < kUrlMarkCount; ++i) {
      const std::uint32_t bit = std::uint32_t{1} << i;
      const UrlMark& mark = kUrlMarks[i];
      if ((found_ & bit) == 0 && from_here.starts_with(mark.text) &&
          !(mark.word_end && from_here.size() > mark.text.size() &&
            is_ascii_alnum(from_here[mark.text.size()]))) {
        found_ |= bit;
        first_at_[i] = offset;
      }
    }
  }

  UrlFacts facts() const {
    UrlFacts facts;
    bool all_others = kSkippingTogether != 0;
    for (std::size_t i = 0; i < kUrlMarkCount; ++i) {
      const bool found = (found_ & std::uint32_t{1} << i) != 0;
      switch (kUrlMarks[i].rule) {
        case MarkRule::kSkips:
          facts.skipped = facts.skipped || found;
          break;
        case MarkRule::kSkipsWithOthers:
          all_others = all_others && found;
          break;
        case MarkRule::kRtmpAddress:
          if (found && facts.rtmp_offset == 0) {
            facts.rtmp_offset = first_at_[i] + kUrlMarks[i].address_at;
          }
          break;
      }
    }
    facts.skipped = facts.skipped || all_others;
    return facts;
  }

 private:
  static constexpr std::uint32_t kSkippingTogether = [] {
    std::uint32_t bits = 0;
    for (std::size_t i = 0; i < kUrlMarkCount; ++i) {
      if (kUrlMarks[i].rule == MarkRule::kSkipsWithOthers) {
        bits |= std::uint32_t{1} << i;
      }
    }
    return bits;
  }();
  std::uint32_t found_ = 0;
  std::array<std::size_t, kUrlMarkCount> first_at_{};
};

}  // namespace m3u2lst
