#include "conversion_model.hpp"

#include <algorithm>

#include "conversion/marks.hpp"

namespace m3u2lst::testing {

std::string model_records(const std::string& file_bytes) {
  // The text ends at its first zero byte.
  const std::string text = file_bytes.substr(0, file_bytes.find('\0'));
  const auto npos = std::string::npos;
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
    const std::string name = text.substr(comma + 1, name_end - comma - 1);
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
        url = text.substr(line, content_end(line, end) - line);
        break;
      }
      line = end + 1;
    }
    cursor = next_line;
    if (!found) {
      continue;
    }
    // The marks' rules, read from the table of marks: one mark that skips
    // alone, or all that skip together; else the first listed rtmp mark
    // found cuts the line at its address.
    bool skipped = false;
    bool together = false;
    bool all_together = true;
    std::size_t address = npos;
    for (const UrlMark& mark : kUrlMarks) {
      const std::size_t at = url.find(mark.text);
      if (mark.rule == MarkRule::kSkips) {
        skipped = skipped || at != npos;
      } else if (mark.rule == MarkRule::kSkipsWithOthers) {
        together = true;
        all_together = all_together && at != npos;
      } else if (address == npos && at != npos) {
        address = at + mark.address_at;
      }
    }
    skipped = skipped || (together && all_together);
    if (!skipped) {
      if (address != npos) {
        url = url.substr(address);
      }
      records += "<servername=>" + name + "</servername><serverurl=>" + url +
                 "</serverurl><servercategory=>TV</servercategory>\r\n";
    }
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
  return text;
}

}  // namespace m3u2lst::testing
