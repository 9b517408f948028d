// What a playlist's bytes hold before its entries are read: a UTF-16 file is
// turned into UTF-8, and the text is either an M3U playlist or a "name,URL"
// text list.
#pragma once

#include <string>
#include <string_view>

namespace m3u2lst {

/// The byte order mark a playlist file starts with, if it is UTF-16.
enum class Utf16Mark { kNone, kLittleEndian, kBigEndian };

/// FF FE is little-endian UTF-16, FE FF big-endian; anything else is bytes.
Utf16Mark utf16_mark(std::string_view file) noexcept;

/// The UTF-8 text of the UTF-16 `units` (the file after its byte order
/// mark). It ends at the first U+0000, as a byte text ends at its first zero
/// byte; a surrogate that is not half of a pair, and an odd last byte,
/// become U+FFFD. Throws std::bad_alloc only when memory runs out.
std::string utf8_from_utf16_playlist(std::string_view units, Utf16Mark mark);

/// The size of that text, measured first so that it takes no more memory
/// than it needs: a playlist of 50 MB is held twice at most, as the file and
/// as the text.
std::size_t utf8_size_of_utf16(std::string_view units, Utf16Mark mark) noexcept;

/// Writes that text, utf8_size_of_utf16 bytes, to `out`.
void write_utf8_of_utf16(std::string_view units, Utf16Mark mark, char* out) noexcept;

/// The two layouts a playlist text may have.
enum class PlaylistLayout {
  kM3u,       // "#EXTINF:" entries
  kTextList,  // "name,URL" lines, the channel lists of Chinese-language sites
};

/// kM3u when an entry marker starts a line of `text` before its first zero
/// byte: at the text's start (after a UTF-8 byte order mark, if any) or right
/// after an LF or a CR, with only spaces and tabs before it on its line.
/// Else kTextList, which a text with no marker at all is too. Reads `text`
/// up to that marker, or whole when it has none.
PlaylistLayout playlist_layout(std::string_view text) noexcept;

/// The UTF-8 byte order mark, which an editor may put before a text.
inline constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";

}  // namespace m3u2lst
