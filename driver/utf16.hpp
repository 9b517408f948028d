// Names between the UTF-16 of Windows' file calls and the UTF-8 the program
// carries them in, prints them in and matches them as.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace m3u2lst {

/// The UTF-8 form of the UTF-16 `name`. A surrogate that is not half of a
/// pair, which a Windows file name may hold, becomes the three bytes it
/// would take as a code point of its own, so that utf16_from_utf8 gives the
/// name back unit for unit and the file can still be opened. `Unit` is
/// char16_t, or wchar_t on Windows. Never fails.
template <typename Unit>
std::string utf8_from_utf16(std::basic_string_view<Unit> name) {
  static_assert(sizeof(Unit) == 2, "UTF-16 code units");
  std::string out;
  out.reserve(name.size() * 3);
  for (std::size_t i = 0; i < name.size(); ++i) {
    std::uint32_t c = static_cast<std::uint16_t>(name[i]);
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < name.size()) {
      const std::uint32_t low = static_cast<std::uint16_t>(name[i + 1]);
      if (low >= 0xDC00 && low <= 0xDFFF) {
        c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
        ++i;
      }
    }
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += static_cast<char>(0xC0 | c >> 6);
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      out += static_cast<char>(0xE0 | c >> 12);
      out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | c >> 18);
      out += static_cast<char>(0x80 | (c >> 12 & 0x3F));
      out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

/// The UTF-16 form of `text`, the inverse of utf8_from_utf16. A byte that
/// begins no well-formed sequence becomes U+FFFD. Never fails.
template <typename Unit>
std::basic_string<Unit> utf16_from_utf8(std::string_view text) {
  static_assert(sizeof(Unit) == 2, "UTF-16 code units");
  std::basic_string<Unit> out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    const auto lead = static_cast<std::uint8_t>(text[i]);
    std::size_t length = 0;  // of the sequence `lead` begins; 0 for none
    if (lead < 0x80) {
      length = 1;
    } else if (lead >= 0xC2 && lead < 0xE0) {
      length = 2;
    } else if (lead >= 0xE0 && lead < 0xF0) {
      length = 3;
    } else if (lead >= 0xF0 && lead < 0xF5) {
      length = 4;
    }
    static constexpr std::uint8_t kLeadBits[] = {0, 0x7F, 0x1F, 0x0F, 0x07};
    std::uint32_t c = lead & kLeadBits[length];
    bool well_formed = length != 0 && i + length <= text.size();
    for (std::size_t k = 1; well_formed && k < length; ++k) {
      const auto next = static_cast<std::uint8_t>(text[i + k]);
      well_formed = (next & 0xC0) == 0x80;
      c = c << 6 | (next & 0x3F);
    }
    // No overlong forms, nothing past U+10FFFF; a lone surrogate's three
    // bytes are taken, as utf8_from_utf16 writes them.
    static constexpr std::uint32_t kLeast[] = {0, 0, 0x80, 0x800, 0x10000};
    if (!well_formed || c < kLeast[length] || c > 0x10FFFF) {
      out += static_cast<Unit>(0xFFFD);
      ++i;
      continue;
    }
    if (c >= 0x10000) {
      out += static_cast<Unit>(0xD800 + ((c - 0x10000) >> 10));
      out += static_cast<Unit>(0xDC00 + ((c - 0x10000) & 0x3FF));
    } else {
      out += static_cast<Unit>(c);
    }
    i += length;
  }
  return out;
}

}  // namespace m3u2lst
