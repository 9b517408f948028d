// The skip rule and the rtmp extraction, both over one URL line.
#include <array>
#include <cstring>

#include "marks.hpp"
#include "playlist_conversion.hpp"

namespace m3u2lst {

namespace {

/// The bytes a URL mark starts with: the line is looked at only there.
constexpr auto kMarkStarts = [] {
  std::array<bool, 256> starts{};
  for (const UrlMark& mark : kUrlMarks) {
    starts[static_cast<unsigned char>(mark.text[0])] = true;
  }
  return starts;
}();

}  // namespace

UrlFacts read_url_facts(std::string_view url_line) {
  UrlMarks marks;
  for (std::size_t at = 0; at < url_line.size(); ++at) {
    if (kMarkStarts[static_cast<unsigned char>(url_line[at])]) {
      marks.note(url_line.substr(at), at);
    }
  }
  return marks.facts();
}

int is_skipped_url(std::string_view url_line) {
  return read_url_facts(url_line).skipped ? 1 : 0;
}

std::size_t rtmp_url_offset(std::string_view url_line) {
  return read_url_facts(url_line).rtmp_offset;
}

void extract_rtmp_url(char* line) {
  std::size_t offset = rtmp_url_offset(line);
  if (offset != 0) {
    // The kept tail lies later in the same buffer, so the copy overlaps.
    std::memmove(line, line + offset, std::strlen(line + offset) + 1);
  }
}

}  // namespace m3u2lst
