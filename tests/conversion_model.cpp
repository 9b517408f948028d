#include "conversion_model.hpp"

#include "conversion/marks.hpp"

namespace m3u2lst::testing {

std::string model_records(const std::string& file_bytes) {
  // The text ends at its first zero byte.
  const std::string text = file_bytes.substr(0, file_bytes.find('\0'));
  const auto npos = std::string::npos;
  std::string records;
  std::size_t cursor = 0;
  for (;;) {
    std::size_t marker = text.find("#EXTINF:", cursor);
    if (marker == npos) {
      break;
    }
    std::size_t comma = text.find(',', marker);
    if (comma == npos) {
      break;
    }
    // An LF ends a line, and a CR right before it belongs to the line end.
    // Only where no LF follows the comma does a bare CR end the lines.
    const bool lf_lines = text.find('\n', comma) != npos;
    const char line_end = lf_lines ? '\n' : '\r';
    auto content_end = [&](std::size_t end) {
      return lf_lines && text[end - 1] == '\r' ? end - 1 : end;
    };
    std::size_t name_end = text.find(line_end, comma + 1);
    std::size_t url_begin = text.size();
    if (name_end == npos) {
      name_end = text.size();
    } else {
      url_begin = name_end + 1;
      name_end = content_end(name_end);
    }
    std::size_t url_end = text.find(line_end, url_begin);
    const bool last = url_end == npos;
    url_end = last ? text.size() : content_end(url_end);
    std::string name = text.substr(comma + 1, name_end - comma - 1);
    std::string url = text.substr(url_begin, url_end - url_begin);
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
    if (last) {
      break;
    }
    cursor = url_begin;
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
