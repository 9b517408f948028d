#include "conversion_model.hpp"

namespace m3u2lst::testing {

std::string model_records(const std::string& file_bytes) {
  // The text ends at its first zero byte.
  const std::string text = file_bytes.substr(0, file_bytes.find('\0'));
  const auto npos = std::string::npos;
  const std::size_t last_crlf = text.rfind("\r\n");
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
    // Lines end in CR LF when one follows the comma anywhere; else in LF or CR.
    const bool crlf_lines = last_crlf != npos && last_crlf > comma;
    std::size_t name_end = crlf_lines ? text.find("\r\n", comma) : npos;
    std::size_t url_begin;
    std::size_t url_end;
    if (crlf_lines) {
      url_begin = name_end + 2;
      url_end = text.find("\r\n", url_begin);
    } else {
      name_end = text.find_first_of("\r\n", comma + 1);
      if (name_end == npos) {
        name_end = text.size();
        url_begin = text.size();
      } else {
        url_begin = name_end + 1;
      }
      url_end = text.find_first_of("\r\n", url_begin);
    }
    bool last = url_end == npos;
    if (last) {
      url_end = text.size();
    }
    std::string name = text.substr(comma + 1, name_end - comma - 1);
    std::string url = text.substr(url_begin, url_end - url_begin);
    bool skipped =
        url.find(".url") != npos ||
        (url.find("?id") != npos && url.find("&ip") != npos && url.find("&auth") != npos);
    if (!skipped) {
      if (std::size_t at = url.find("=rtmp://"); at != npos) {
        url = url.substr(at + 1);
      } else if (std::size_t at2 = url.find(";;rtmp://"); at2 != npos) {
        url = url.substr(at2 + 2);
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
