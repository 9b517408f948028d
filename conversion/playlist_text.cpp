// UTF-16 playlists, and which layout a playlist text has.
#include "playlist_text.hpp"

#include <cstdint>
#include <cstring>

#include "marks.hpp"

namespace m3u2lst {

namespace {

/// The code unit at `at` of `units`, in the byte order `mark` names.
std::uint32_t unit_at(std::string_view units, std::size_t at, Utf16Mark mark) {
  const auto first = static_cast<std::uint8_t>(units[at]);
  const auto second = static_cast<std::uint8_t>(units[at + 1]);
  return mark == Utf16Mark::kBigEndian ? std::uint32_t{first} << 8 | second
                                       : std::uint32_t{second} << 8 | first;
}

/// Walks the code points of the UTF-16 `units`, up to the first U+0000,
/// handing each to `take`: pairs of surrogates joined, a lone surrogate and
/// an odd last byte as U+FFFD.
template <typename F>
void each_code_point(std::string_view units, Utf16Mark mark, F take) {
  constexpr std::uint32_t kReplacement = 0xFFFD;
  const std::size_t count = units.size() / 2;
  for (std::size_t i = 0; i < count; ++i) {
    std::uint32_t c = unit_at(units, 2 * i, mark);
    if (c == 0) {
      return;
    }
    if (c >= 0xD800 && c <= 0xDFFF) {
      const std::uint32_t low = i + 1 < count ? unit_at(units, 2 * i + 2, mark) : 0;
      if (c <= 0xDBFF && low >= 0xDC00 && low <= 0xDFFF) {
        c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
        ++i;
      } else {
        c = kReplacement;
      }
    }
    take(c);
  }
  if (units.size() % 2 != 0) {
    take(kReplacement);
  }
}

constexpr std::size_t utf8_length(std::uint32_t c) {
  return c < 0x80 ? 1 : c < 0x800 ? 2 : c < 0x10000 ? 3 : 4;
}

}  // namespace

Utf16Mark utf16_mark(std::string_view file) noexcept {
  if (file.starts_with("\xFF\xFE")) {
    return Utf16Mark::kLittleEndian;
  }
  if (file.starts_with("\xFE\xFF")) {
    return Utf16Mark::kBigEndian;
  }
  return Utf16Mark::kNone;
}

std::string utf8_from_utf16_playlist(std::string_view units, Utf16Mark mark) {
  // Measured first, so the text takes no more memory than it needs: a
  // playlist of 50 MB is held twice at most, as the file and as the text.
  std::size_t length = 0;
  each_code_point(units, mark, [&](std::uint32_t c) { length += utf8_length(c); });
  std::string text;
  text.resize(length);
  char* out = text.data();
  each_code_point(units, mark, [&](std::uint32_t c) {
    switch (utf8_length(c)) {
      case 1:
        *out++ = static_cast<char>(c);
        break;
      case 2:
        *out++ = static_cast<char>(0xC0 | c >> 6);
        *out++ = static_cast<char>(0x80 | (c & 0x3F));
        break;
      case 3:
        *out++ = static_cast<char>(0xE0 | c >> 12);
        *out++ = static_cast<char>(0x80 | (c >> 6 & 0x3F));
        *out++ = static_cast<char>(0x80 | (c & 0x3F));
        break;
      default:
        *out++ = static_cast<char>(0xF0 | c >> 18);
        *out++ = static_cast<char>(0x80 | (c >> 12 & 0x3F));
        *out++ = static_cast<char>(0x80 | (c >> 6 & 0x3F));
        *out++ = static_cast<char>(0x80 | (c & 0x3F));
        break;
    }
  });
  return text;
}

PlaylistLayout playlist_layout(std::string_view text) noexcept {
  const std::size_t start = text.starts_with(kUtf8Mark) ? kUtf8Mark.size() : 0;
  for (std::size_t at = text.find(kEntryMarker, start); at != std::string_view::npos;
       at = text.find(kEntryMarker, at + 1)) {
    std::size_t before = at;
    while (before > start && is_blank(text[before - 1])) {
      --before;
    }
    if (before == start || text[before - 1] == kLineEnd || text[before - 1] == kBareLineEnd) {
      // The first marker that starts a line: a zero byte before it ends
      // the text first, and then none does.
      return std::memchr(text.data(), kTextEnd, at) == nullptr ? PlaylistLayout::kM3u
                                                               : PlaylistLayout::kTextList;
    }
  }
  return PlaylistLayout::kTextList;
}

}  // namespace m3u2lst
