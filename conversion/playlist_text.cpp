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

/// One code point decoded from the units at unit `i`: its value, and how
/// many units it took. A surrogate that is not half of a pair is U+FFFD.
struct CodePoint {
  std::uint32_t value;
  std::size_t units;
};
CodePoint code_point_at(std::string_view units, std::size_t i, std::size_t count, Utf16Mark mark) {
  const std::uint32_t c = unit_at(units, 2 * i, mark);
  if (c < 0xD800 || c > 0xDFFF) {
    return {c, 1};
  }
  const std::uint32_t low = i + 1 < count ? unit_at(units, 2 * i + 2, mark) : 0;
  if (c <= 0xDBFF && low >= 0xDC00 && low <= 0xDFFF) {
    return {0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00), 2};
  }
  return {0xFFFD, 1};
}

/// How many of the `count` units at `at` are ASCII other than U+0000, from
/// the first, four at a time: the most of a playlist, turned into UTF-8 by
/// taking one byte of each unit. The bytes are read as a little-endian word,
/// as every processor the program is built for stores them.
std::size_t ascii_units(const char* at, std::size_t count, Utf16Mark mark) {
  const std::uint64_t not_ascii =
      mark == Utf16Mark::kBigEndian ? 0x80FF80FF80FF80FFull : 0xFF80FF80FF80FF80ull;
  std::size_t n = 0;
  for (; n + 4 <= count; n += 4) {
    std::uint64_t word;
    std::memcpy(&word, at + 2 * n, sizeof word);
    // A zero unit makes the second test true (and may make it true for a
    // word without one, which the unit by unit walk then takes).
    if ((word & not_ascii) != 0 ||
        ((word - 0x0001000100010001ull) & ~word & 0x8000800080008000ull) != 0) {
      break;
    }
  }
  return n;
}

/// Walks the UTF-16 `units` up to the first U+0000: hands each run of ASCII
/// units to `ascii` (where they start, how many) and each other code point
/// to `other`; an odd last byte is U+FFFD.
template <typename Ascii, typename Other>
void walk_units(std::string_view units, Utf16Mark mark, Ascii ascii, Other other) {
  const std::size_t count = units.size() / 2;
  for (std::size_t i = 0; i < count;) {
    if (const std::size_t run = ascii_units(units.data() + 2 * i, count - i, mark); run > 0) {
      ascii(units.data() + 2 * i, run);
      i += run;
      continue;
    }
    const CodePoint c = code_point_at(units, i, count, mark);
    if (c.value == 0) {
      return;
    }
    other(c.value);
    i += c.units;
  }
  if (units.size() % 2 != 0) {
    other(0xFFFD);
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

std::size_t utf8_size_of_utf16(std::string_view units, Utf16Mark mark) noexcept {
  std::size_t length = 0;
  walk_units(
      units, mark, [&](const char*, std::size_t run) { length += run; },
      [&](std::uint32_t c) { length += utf8_length(c); });
  return length;
}

void write_utf8_of_utf16(std::string_view units, Utf16Mark mark, char* out) noexcept {
  const std::size_t low_byte = mark == Utf16Mark::kBigEndian ? 1 : 0;
  walk_units(
      units, mark,
      [&](const char* at, std::size_t run) {
        for (std::size_t k = 0; k < run; ++k) {
          *out++ = at[2 * k + low_byte];
        }
      },
      [&](std::uint32_t c) {
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
}

std::string utf8_from_utf16_playlist(std::string_view units, Utf16Mark mark) {
  std::string text(utf8_size_of_utf16(units, mark), '\0');
  write_utf8_of_utf16(units, mark, text.data());
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
