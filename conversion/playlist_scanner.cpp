// Parsing of the playlist text into entries and assembly of list records.
#include <cstring>

#include "playlist_conversion.hpp"

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
  std::size_t lf = find_byte(text, '\n', from);
  std::size_t limit = lf == npos ? text.size() : lf;
  std::size_t cr = find_byte(text.substr(0, limit), '\r', from);
  return cr != npos ? cr : limit;
}

}  // namespace

void append_list_record(std::string& out, std::string_view name, std::string_view url) {
  out.append(kOpenTag).append(name).append(kMiddleTag).append(url).append(kClosingTag);
}

PlaylistScanner::PlaylistScanner(std::string_view text) noexcept : text_(text) {}

std::size_t PlaylistScanner::find_crlf(std::size_t from) {
  // Searches only ever move forward, so a result found earlier still answers a
  // later search that starts at or before it; a text without any further CR LF
  // is searched once, not once per entry.
  if (crlf_searched_ && from >= crlf_searched_from_ &&
      (crlf_found_at_ == npos || crlf_found_at_ >= from)) {
    return crlf_found_at_;
  }
  std::size_t at = from;
  std::size_t found = npos;
  while ((at = find_byte(text_, '\r', at)) != npos) {
    if (at + 1 < text_.size() && text_[at + 1] == '\n') {
      found = at;
      break;
    }
    ++at;
  }
  crlf_searched_ = true;
  crlf_searched_from_ = from;
  crlf_found_at_ = found;
  return found;
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
    std::size_t url_begin;
    std::size_t url_end;
    if (name_end != npos) {
      url_begin = name_end + 2;
      url_end = find_crlf(url_begin);
    } else {
      // No CR LF anywhere after the comma: the playlist ends its lines in bare LF or CR.
      name_end = find_bare_line_end(text_, name_begin);
      url_begin = name_end < text_.size() ? name_end + 1 : name_end;
      url_end = url_begin < text_.size() ? find_bare_line_end(text_, url_begin) : text_.size();
      if (url_end == text_.size()) {
        url_end = npos;
      }
    }
    if (url_end == npos) {
      url_end = text_.size();
      more_entries_ = false;
    }
    // The next marker search starts at the URL line, so a URL line that is
    // itself an entry line opens the next entry.
    cursor_ = url_begin;

    std::string_view url = text_.substr(url_begin, url_end - url_begin);
    if (is_skipped_url(url) != 0) {
      continue;
    }
    append_list_record(out, text_.substr(name_begin, name_end - name_begin),
                       url.substr(rtmp_url_offset(url)));
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
