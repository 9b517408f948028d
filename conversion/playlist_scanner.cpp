// Parsing of the playlist text into entries and assembly of list records.
#include <algorithm>
#include <cstring>

#include "byte_search.hpp"
#include "playlist_conversion.hpp"
#include "url_marks.hpp"

namespace m3u2lst {

namespace {

constexpr std::string_view kEntryMarker = "#EXTINF:";
constexpr std::string_view kOpenTag = "<servername=>";
constexpr std::string_view kMiddleTag = "</servername><serverurl=>";
constexpr std::string_view kClosingTag = "</serverurl><servercategory=>TV</servercategory>\r\n";
constexpr std::size_t npos = std::string_view::npos;

/// First byte at or after `from` that is `c`, or npos.
std::size_t find_byte(std::string_view text, char c, std::size_t from) {
  if (from >= text.size()) {
    return npos;
  }
  const void* hit = std::memchr(text.data() + from, c, text.size() - from);
  return hit == nullptr ? npos
                        : static_cast<std::size_t>(static_cast<const char*>(hit) - text.data());
}

/// End of a line that ends in a bare LF or a bare CR: the first LF or CR at or
/// after `from`, or the end of the text.
std::size_t find_bare_line_end(std::string_view text, std::size_t from) {
  return byte_search::find_either<'\n', '\r'>(text.data(), text.size(), from);
}

}  // namespace

void append_list_record(std::string& out, std::string_view name, std::string_view url) {
  out.append(kOpenTag).append(name).append(kMiddleTag).append(url).append(kClosingTag);
}

std::size_t find_last_crlf(std::string_view text) {
  return byte_search::find_last_crlf(text.data(), text.size(), npos);
}

PlaylistScanner::PlaylistScanner(std::string_view text) noexcept
    : PlaylistScanner(text, find_last_crlf(text)) {}

PlaylistScanner::PlaylistScanner(std::string_view text, std::size_t last_crlf) noexcept
    : text_(text), last_crlf_(last_crlf) {}

std::size_t PlaylistScanner::find_crlf(std::size_t from) const {
  // Where the last CR LF stands is known, so a text with no CR LF left is
  // never searched to its end again.
  if (last_crlf_ == npos || from > last_crlf_) {
    return npos;
  }
  for (std::size_t at = from;; ++at) {
    at = find_byte(text_, '\r', at);
    if (at == npos || at > last_crlf_) {
      return npos;  // only with a wrong hint: never read past the text
    }
    if (at + 1 < text_.size() && text_[at + 1] == '\n') {
      return at;
    }
  }
}

PlaylistScanner::UrlLine PlaylistScanner::scan_url_line(std::size_t begin, bool crlf_lines) const {
  // One pass over the line finds its end, the marks the rules look for, and
  // any entry marker inside it.
  UrlLine line;
  UrlMarks marks;
  const char* bytes = text_.data() + begin;
  const std::size_t rest = text_.size() - begin;
  std::size_t end = byte_search::visit_set_bytes<'\r', '\n', '#', '.', '?', '&', '=', ';'>(
      bytes, rest, [&](std::size_t i) {
        switch (bytes[i]) {
          case '\r':
            // CR LF lines end only at CR LF; other lines at a bare CR too.
            return crlf_lines && (i + 1 >= rest || bytes[i + 1] != '\n');
          case '\n':
            return crlf_lines;
          case '#':
            if (line.marker == npos && text_.substr(begin + i).starts_with(kEntryMarker)) {
              line.marker = begin + i;
            }
            return true;
          default:
            marks.note(text_.substr(begin + i), i);
            return true;
        }
      });
  line.end = begin + end;
  line.facts = marks.facts();
  return line;
}

bool PlaylistScanner::fill(std::string& out, std::size_t fill_to) {
  while (more_entries_ && out.size() < fill_to) {
    std::size_t marker = text_.find(kEntryMarker, cursor_);
    if (marker == npos) {
      more_entries_ = false;
      break;
    }
    std::size_t comma = find_byte(text_, ',', marker + kEntryMarker.size());
    if (comma == npos) {
      // A marker with no comma after it names no channel, and neither can any later one.
      more_entries_ = false;
      break;
    }
    std::size_t name_begin = comma + 1;
    std::size_t name_end = find_crlf(name_begin);
    const bool crlf_lines = name_end != npos;
    if (!crlf_lines) {
      // No CR LF anywhere after the comma: the playlist ends its lines in bare LF or CR.
      name_end = find_bare_line_end(text_, name_begin);
    }
    std::size_t url_begin = std::min(name_end + (crlf_lines ? 2 : 1), text_.size());
    UrlLine url = scan_url_line(url_begin, crlf_lines);
    if (url.end == text_.size()) {
      more_entries_ = false;
    }
    // The next marker search starts at the URL line, so a URL line that is
    // itself an entry line opens the next entry. The scan of the line has
    // told where its first marker stands, if it holds one.
    cursor_ = url.marker != npos ? url.marker : url.end;
    if (url.facts.skipped) {
      continue;
    }
    append_list_record(out, text_.substr(name_begin, name_end - name_begin),
                       text_.substr(url_begin + url.facts.rtmp_offset,
                                    url.end - url_begin - url.facts.rtmp_offset));
  }
  return more_entries_;
}

std::string convert_text(std::string_view text) {
  std::string records;
  PlaylistScanner scanner(text);
  scanner.fill(records, npos);
  return records;
}

}  // namespace m3u2lst
