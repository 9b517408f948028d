#include "conversion_model.hpp"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <vector>

#include "conversion/marks.hpp"

namespace m3u2lst::testing {

namespace {

const auto npos = std::string::npos;

std::string record(const std::string& name, const std::string& url) {
  return "<servername=>" + name + "</servername><serverurl=>" + url +
         "</serverurl><servercategory=>TV</servercategory>\r\n";
}

/// The text of a UTF-16 file after its byte order mark, as UTF-8, up to its
/// first U+0000.
std::string utf16_text(const std::string& file, bool big_endian) {
  std::vector<std::uint32_t> units;
  for (std::size_t at = 2; at + 1 < file.size(); at += 2) {
    const auto a = static_cast<unsigned char>(file[at]);
    const auto b = static_cast<unsigned char>(file[at + 1]);
    units.push_back(big_endian ? a * 256u + b : b * 256u + a);
  }
  std::vector<std::uint32_t> points;
  for (std::size_t i = 0; i < units.size(); ++i) {
    const std::uint32_t u = units[i];
    const bool high = u >= 0xD800 && u < 0xDC00;
    const bool low = u >= 0xDC00 && u < 0xE000;
    if (high && i + 1 < units.size() && units[i + 1] >= 0xDC00 && units[i + 1] < 0xE000) {
      points.push_back(0x10000 + (u - 0xD800) * 0x400 + (units[i + 1] - 0xDC00));
      ++i;
    } else {
      points.push_back(high || low ? 0xFFFD : u);
    }
  }
  if (file.size() % 2 != 0) {
    points.push_back(0xFFFD);
  }
  std::string text;
  for (std::uint32_t c : points) {
    if (c == 0) {
      break;
    }
    if (c < 0x80) {
      text += char(c);
    } else if (c < 0x800) {
      text += {char(0xC0 + c / 64), char(0x80 + c % 64)};
    } else if (c < 0x10000) {
      text += {char(0xE0 + c / 4096), char(0x80 + c / 64 % 64), char(0x80 + c % 64)};
    } else {
      text += {char(0xF0 + c / 262144), char(0x80 + c / 4096 % 64), char(0x80 + c / 64 % 64),
               char(0x80 + c % 64)};
    }
  }
  return text;
}

/// Whether `url` holds `mark`: for a mark that must end a word, at a place
/// no ASCII letter or digit follows.
std::size_t find_mark(const std::string& url, const UrlMark& mark) {
  for (std::size_t at = url.find(mark.text); at != npos; at = url.find(mark.text, at + 1)) {
    const std::size_t after = at + mark.text.size();
    if (!mark.word_end || after >= url.size() ||
        !std::isalnum(static_cast<unsigned char>(url[after]))) {
      return at;
    }
  }
  return npos;
}

/// The record of a channel named `name` at the address `url`, by the marks'
/// rules read from the table of marks: one mark that skips alone, or all
/// that skip together, leave it out; else the first listed rtmp mark found
/// cuts the address there.
std::string kept_record(const std::string& name, std::string url) {
  bool skipped = false;
  bool together = false;
  bool all_together = true;
  std::size_t address = npos;
  for (const UrlMark& mark : kUrlMarks) {
    const std::size_t at = find_mark(url, mark);
    if (mark.rule == MarkRule::kSkips) {
      skipped = skipped || at != npos;
    } else if (mark.rule == MarkRule::kSkipsWithOthers) {
      together = true;
      all_together = all_together && at != npos;
    } else if (address == npos && at != npos) {
      address = at + mark.address_at;
    }
  }
  if (skipped || (together && all_together)) {
    return "";
  }
  return record(name, address == npos ? url : url.substr(address));
}

std::string trim(const std::string& s, const char* what) {
  const std::size_t first = s.find_first_not_of(what);
  return first == npos ? "" : s.substr(first, s.find_last_not_of(what) - first + 1);
}

std::string trim_end(const std::string& s, const char* what) {
  const std::size_t last = s.find_last_not_of(what);
  return last == npos ? "" : s.substr(0, last + 1);
}

bool has_scheme(const std::string& s) {
  const std::size_t colon = s.find("://");
  if (colon == npos || colon == 0 || !std::isalpha(static_cast<unsigned char>(s[0])) ||
      static_cast<unsigned char>(s[0]) >= 0x80) {
    return false;
  }
  for (std::size_t i = 1; i < colon; ++i) {
    const auto c = static_cast<unsigned char>(s[i]);
    if (c >= 0x80 || !(std::isalnum(c) || c == '+' || c == '-' || c == '.')) {
      return false;
    }
  }
  return true;
}

/// The records of a "name,URL" text list.
std::string text_list_records(std::string text) {
  if (text.rfind("\xEF\xBB\xBF", 0) == 0) {
    text.erase(0, 3);
  }
  const char line_end = text.find('\n') != npos ? '\n' : '\r';
  std::string records;
  std::size_t begin = 0;
  while (begin < text.size()) {
    std::size_t end = std::min(text.find(line_end, begin), text.size());
    const std::string line = text.substr(begin, end - begin);
    begin = end + 1;
    const std::string content = trim(line, " \t");
    const std::size_t comma = line.find(',');
    if ((!content.empty() && content[0] == '#') || comma == npos) {
      continue;
    }
    const std::string name = trim_end(line.substr(0, comma), "\r");
    const std::string sources = trim(line.substr(comma + 1), " \t\r");
    if (!has_scheme(sources) || name.find("://") != npos) {
      continue;
    }
    // Split at each '#' that a scheme follows.
    std::vector<std::string> parts{""};
    for (std::size_t i = 0; i < sources.size(); ++i) {
      if (sources[i] == '#' && has_scheme(sources.substr(i + 1))) {
        parts.push_back("");
      } else {
        parts.back() += sources[i];
      }
    }
    for (const std::string& part : parts) {
      const std::string source = trim(part.substr(0, part.find('$')), " \t\r");
      if (!source.empty()) {
        records += kept_record(name, source);
      }
    }
  }
  return records;
}

/// Whether an entry marker starts a line of `text`: at its start after a
/// UTF-8 byte order mark, or after an LF or a CR, past spaces and tabs.
bool marker_starts_a_line(const std::string& text) {
  const std::size_t start = text.rfind("\xEF\xBB\xBF", 0) == 0 ? 3 : 0;
  for (std::size_t line = start; line < text.size();) {
    const std::size_t first = text.find_first_not_of(" \t", line);
    if (first != npos && text.compare(first, 8, "#EXTINF:") == 0) {
      return true;
    }
    line = text.find_first_of("\r\n", line);
    if (line == npos) {
      break;
    }
    ++line;
  }
  return false;
}

}  // namespace

std::string model_records(const std::string& file_bytes) {
  // A UTF-16 file is read as its UTF-8 text; any other text ends at its
  // first zero byte.
  std::string text;
  if (file_bytes.rfind("\xFF\xFE", 0) == 0 || file_bytes.rfind("\xFE\xFF", 0) == 0) {
    text = utf16_text(file_bytes, file_bytes[0] == '\xFE');
  } else {
    text = file_bytes.substr(0, file_bytes.find('\0'));
  }
  if (!marker_starts_a_line(text)) {
    return text_list_records(text);
  }
  std::string records;
  std::size_t cursor = 0;
  for (;;) {
    const std::size_t marker = text.find("#EXTINF:", cursor);
    if (marker == npos) {
      break;
    }
    // The marker's line ends at the first LF after it; where none follows,
    // at the first CR. Its first comma outside double quotes starts the
    // name; where it holds none, the first comma after the marker does.
    std::size_t marker_line_end = text.find('\n', marker);
    if (marker_line_end == npos) {
      marker_line_end = std::min(text.find('\r', marker), text.size());
    }
    std::size_t comma = npos;
    bool quoted = false;
    for (std::size_t at = marker + 8; at < marker_line_end && comma == npos; ++at) {
      if (text[at] == '"') {
        quoted = !quoted;
      } else if (text[at] == ',' && !quoted) {
        comma = at;
      }
    }
    if (comma == npos) {
      comma = text.find(',', marker);
    }
    if (comma == npos) {
      break;
    }
    // An LF ends a line, and a CR right before it belongs to the line end.
    // Only where no LF follows the comma does a bare CR end the lines.
    const bool lf_lines = text.find('\n', comma) != npos;
    const char line_end = lf_lines ? '\n' : '\r';
    auto content_end = [&](std::size_t begin, std::size_t end) {
      return lf_lines && end > begin && end < text.size() && text[end - 1] == '\r' ? end - 1 : end;
    };
    std::size_t name_end = text.find(line_end, comma + 1);
    std::size_t next_line = text.size();
    if (name_end == npos) {
      name_end = text.size();
    } else {
      next_line = name_end + 1;
      name_end = content_end(comma + 1, name_end);
    }
    // A name loses the CRs at its end.
    const std::string name = trim_end(text.substr(comma + 1, name_end - comma - 1), "\r");
    // The address is the first line that is neither blank (spaces, tabs
    // and CRs) nor begins, after spaces and tabs, with '#'; an entry line
    // or the text's end coming first leaves the entry without one.
    bool found = false;
    std::string url;
    for (std::size_t line = next_line; line < text.size();) {
      std::size_t end = text.find(line_end, line);
      if (end == npos) {
        end = text.size();
      }
      const std::string content = text.substr(line, end - line);
      const std::size_t first = content.find_first_not_of(" \t");
      if (first != npos && content[first] == '#') {
        if (content.compare(first, 8, "#EXTINF:") == 0) {
          break;
        }
      } else if (content.find_first_not_of(" \t\r") != npos) {
        found = true;
        // An address loses the blanks and CRs at its ends.
        url = trim(content, " \t\r");
        break;
      }
      line = end + 1;
    }
    cursor = next_line;
    if (!found) {
      continue;
    }
    records += kept_record(name, url);
  }
  return records;
}

std::string random_playlist(std::mt19937& random, std::size_t pieces) {
  static const std::vector<std::string> kPieces = {"#EXTINF:",
                                                   "#EXTINF:-1 tvg-id=\"a\",",
                                                   "#extinf:",
                                                   ",",
                                                   ",",
                                                   "\r\n",
                                                   "\r\n",
                                                   "\r\n",
                                                   "\n",
                                                   "\n",
                                                   "\r",
                                                   "Name",
                                                   "x",
                                                   " ",
                                                   "http://h.example/s",
                                                   ".url",
                                                   "?id=1",
                                                   "&ip=2",
                                                   "&auth=3",
                                                   "=rtmp://r.example/a",
                                                   ";;rtmp://r.example/b",
                                                   "rtmp://",
                                                   "=",
                                                   ";;",
                                                   "#EXTM3U",
                                                   "#EXTVLCOPT:x=y",
                                                   "#KODIPROP:",
                                                   "#",
                                                   " \t",
                                                   "\"",
                                                   " a=\"1,2\"",
                                                   "\xc3\xa9",
                                                   "CCTV-1,http://a/1.m3u8",
                                                   "News,#genre#",
                                                   "#http://b/2",
                                                   "$Line 1",
                                                   "udp://@239.1.1.1:5000",
                                                   "x.urlset",
                                                   "\xEF\xBB\xBF",
                                                   std::string(1, '\0'),
                                                   std::string(300, 'u')};
  std::uniform_int_distribution<std::size_t> pick(0, kPieces.size() - 1);
  std::string text;
  for (std::size_t i = 0; i < pieces; ++i) {
    const std::string& piece = kPieces[pick(random)];
    // Zero bytes are rare, so most texts run their whole length.
    if (piece.size() == 1 && piece[0] == '\0' && random() % 8 != 0) {
      continue;
    }
    text += piece;
  }
  if (random() % 6 != 0) {
    return text;
  }
  // Now and then the same as UTF-16, in either byte order, each byte a code
  // unit of its own, with a lone surrogate or an odd last byte at times.
  const bool big_endian = random() % 2 == 0;
  std::string file = big_endian ? "\xFE\xFF" : "\xFF\xFE";
  auto unit = [&](unsigned u) {
    const char high = static_cast<char>(u >> 8);
    const char low = static_cast<char>(u & 0xFF);
    file += big_endian ? std::string{high, low} : std::string{low, high};
  };
  for (char c : text) {
    if (random() % 64 == 0) {
      unit(random() % 2 == 0 ? 0xD83D : 0xDCFA);
    }
    unit(static_cast<unsigned char>(c));
  }
  if (random() % 4 == 0) {
    file += 'x';
  }
  return file;
}

}  // namespace m3u2lst::testing
