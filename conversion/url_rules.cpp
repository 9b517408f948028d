// The skip rule and the rtmp extraction, both over one URL line.
#include <cstring>

#include "playlist_conversion.hpp"

namespace m3u2lst {

namespace {

bool contains(std::string_view text, std::string_view part) {
  return text.find(part) != std::string_view::npos;
}

}  // namespace

int is_skipped_url(std::string_view url_line) {
  if (contains(url_line, ".url")) {
    return 1;
  }
  // Token-authenticated links carry all three parameters; one or two alone do not count.
  return contains(url_line, "?id") && contains(url_line, "&ip") && contains(url_line, "&auth") ? 1
                                                                                               : 0;
}

std::size_t rtmp_url_offset(std::string_view url_line) {
  if (std::size_t at = url_line.find("=rtmp://"); at != std::string_view::npos) {
    return at + 1;
  }
  if (std::size_t at = url_line.find(";;rtmp://"); at != std::string_view::npos) {
    return at + 2;
  }
  return 0;
}

void extract_rtmp_url(char* line) {
  std::size_t offset = rtmp_url_offset(line);
  if (offset != 0) {
    // The kept tail lies later in the same buffer, so the copy overlaps.
    std::memmove(line, line + offset, std::strlen(line + offset) + 1);
  }
}

}  // namespace m3u2lst
