// A realistic IPTV playlist generator: attributes, channel names, long
// tokenised URLs, a share of entries the skip rule drops and of URLs with an
// embedded rtmp address, with CR LF or LF line ends. Shared by make_playlist
// and the conversion benchmark, so both measure the same kind of text.
#pragma once

#include <cstddef>
#include <random>
#include <string>

namespace m3u2lst::bench {

namespace detail {

inline const char* const kGroups[] = {"News",  "Sports",      "Movies",        "Kids",
                                      "Music", "Documentary", "Entertainment", "Regional"};
inline const char* const kWords[] = {"One",     "Plus",    "World",  "Cinema", "Live",
                                     "Arena",   "Classic", "Family", "Nature", "Action",
                                     "Channel", "TV",      "24"};
inline const char kTokenAlphabet[] =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_";

inline std::string token(std::mt19937_64& random, std::size_t length) {
  std::string out(length, 'x');
  for (char& c : out) {
    c = kTokenAlphabet[random() % (sizeof kTokenAlphabet - 1)];
  }
  return out;
}

/// URL lengths as published lists have them: mostly 40 to 150 bytes, about
/// 5% over 199 bytes, a few over 2 KB.
inline std::size_t token_length(std::mt19937_64& random) {
  unsigned roll = static_cast<unsigned>(random() % 1000);
  if (roll < 900) {
    return 8 + random() % 90;
  }
  if (roll < 950) {
    return 100 + random() % 100;
  }
  if (roll < 995) {
    return 200 + random() % 600;
  }
  return 2000 + random() % 1000;
}

}  // namespace detail

/// The shapes of entry the generator writes.
enum class Shape {
  kPlain,     // the address right after the name, attributes without commas
  kOptions,   // two #EXTVLCOPT lines before each address, a quoted comma in an attribute
  kUtf16,     // the plain shape saved as UTF-16 (little-endian, with its byte order mark)
  kTextList,  // "name,URL" lines in groups, some with two sources joined by '#' and labels
};

/// The text of `piece` as UTF-16 little-endian: the generator writes ASCII only.
inline std::string widened(const std::string& piece) {
  std::string out;
  out.reserve(2 * piece.size());
  for (char c : piece) {
    out += c;
    out += '\0';
  }
  return out;
}

/// Hands `text` to `sink` once it holds a piece of about 1 MiB, and starts
/// it again. Returns how many bytes it handed over.
template <typename Sink>
unsigned long long hand_over_piece(std::string& text, Sink& sink) {
  if (text.size() <= (1 << 20)) {
    return 0;
  }
  const unsigned long long size = text.size();
  sink(text);
  text.clear();
  return size;
}

/// Writes a "name,URL" text list of about `target` bytes to `sink`, in
/// pieces of about 1 MiB: groups of channels under "Group,#genre#" lines.
template <typename Sink>
void generate_text_list(unsigned long long target, const char* eol, std::mt19937_64& random,
                        Sink sink) {
  using namespace detail;
  std::string text;
  unsigned long long written = 0;
  for (unsigned long long i = 0; written + text.size() < target; ++i) {
    if (i % 40 == 0) {
      text += std::string(kGroups[random() % 8]) + ",#genre#" + eol;
    }
    text += std::string("CCTV-") + std::to_string(i % 200) + " " + kWords[random() % 13] + ",";
    const std::string host = "http://cdn" + std::to_string(random() % 40) + ".example.net:8080";
    text +=
        host + "/live/" + std::to_string(i) + ".m3u8?token=" + token(random, token_length(random));
    if (random() % 4 == 0) {
      text += "$Line 1#" + host + "/backup/" + std::to_string(i) + ".flv$Line 2";
    }
    text += eol;
    written += hand_over_piece(text, sink);
  }
  sink(text);
}

/// Writes an M3U playlist of the plain or the options shape.
template <typename Sink>
void generate_m3u(unsigned long long target, const char* eol, std::mt19937_64& random, Sink sink,
                  Shape shape) {
  using namespace detail;
  std::string text = std::string("#EXTM3U x-tvg-url=\"http://epg.example.com/guide.xml.gz\"") + eol;
  unsigned long long written = 0;
  for (unsigned long long i = 0; written + text.size() < target; ++i) {
    std::string name = std::string(kWords[random() % 13]) + " " + kWords[random() % 13];
    if (random() % 3 == 0) {
      name += " HD";
    }
    const char* group = kGroups[random() % 8];
    text += "#EXTINF:-1 tvg-id=\"ch" + std::to_string(i) + ".example\" tvg-name=\"" + name +
            "\" tvg-logo=\"http://logos.example.com/" + std::to_string(i % 5000) +
            ".png\" group-title=\"" + group + "\"" +
            (shape == Shape::kOptions ? " user-agent=\"Mozilla/5.0 (X11, Linux) Gecko\"," : ",") +
            name + eol;
    if (shape == Shape::kOptions) {
      text += std::string("#EXTVLCOPT:http-user-agent=Mozilla/5.0 (X11; Linux) Gecko") + eol +
              "#EXTVLCOPT:http-referrer=http://www.example.com/" + std::to_string(i % 300) + eol;
    }
    unsigned kind = static_cast<unsigned>(random() % 100);
    std::string host = "http://cdn" + std::to_string(random() % 40) + ".example.net:8080";
    if (kind < 2) {
      text += host + "/bookmarks/" + std::to_string(i) + ".url";  // dropped by the skip rule
    } else if (kind < 4) {
      text += host + "/play?id=" + std::to_string(i) +
              "&ip=198.51.100.7&auth=" + token(random, 32);  // dropped by the skip rule
    } else if (kind < 7) {
      text += host + "/relay?stream=rtmp://203.0.113." + std::to_string(random() % 250) + "/live/" +
              std::to_string(i);
    } else if (kind < 8) {
      text += host + "/relay;;rtmp://203.0.113." + std::to_string(random() % 250) + "/live/" +
              std::to_string(i);
    } else {
      text += host + "/live/user" + std::to_string(random() % 999) + "/" + std::to_string(i) +
              ".m3u8?token=" + token(random, token_length(random));
    }
    text += eol;
    written += hand_over_piece(text, sink);
  }
  sink(text);
}

/// Writes a playlist of about `target` bytes and the shape `shape`, in
/// pieces of about 1 MiB, to `sink` (called with each piece as a
/// std::string). `eol` is "\r\n" or "\n".
template <typename Sink>
void generate_playlist(unsigned long long target, const char* eol, std::mt19937_64& random,
                       Sink sink, Shape shape = Shape::kPlain) {
  if (shape == Shape::kTextList) {
    generate_text_list(target, eol, random, sink);
  } else if (shape == Shape::kUtf16) {
    bool first = true;
    generate_m3u(
        target / 2, eol, random,
        [&](const std::string& piece) {
          sink((first ? std::string("\xFF\xFE") : std::string()) + widened(piece));
          first = false;
        },
        Shape::kPlain);
  } else {
    generate_m3u(target, eol, random, sink, shape);
  }
}

}  // namespace m3u2lst::bench
