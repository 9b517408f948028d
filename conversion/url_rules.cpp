// The skip rule and the rtmp extraction, both over one URL line.
#include <cstring>

#include "byte_search.hpp"
#include "playlist_conversion.hpp"
#include "url_marks.hpp"

namespace m3u2lst {

UrlFacts read_url_facts(std::string_view url_line) {
  using Marks = byte_search::Patterns<mark_start::Url, mark_start::Id, mark_start::IpOrAuth,
                                      mark_start::EqualsRtmp, mark_start::SemicolonsRtmp>;
  UrlMarks marks;
  for (std::size_t at = 0;; ++at) {
    at = byte_search::find_first<Marks>(url_line.data(), url_line.size(), at);
    if (at >= url_line.size()) {
      return marks.facts();
    }
    marks.note(url_line.substr(at), at);
  }
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
