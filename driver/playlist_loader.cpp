// Reading one playlist file whole into a zero-terminated buffer.
#include <algorithm>
#include <cstring>
#include <limits>

#include "conversion/playlist_conversion.hpp"
#include "driver.hpp"
#include "platform.hpp"

namespace m3u2lst {

LoadResult load_playlist(const std::string& path, PlaylistBuffer& buffer) {
  platform::PlaylistFile file;
  std::uint64_t length = 0;
  if (platform::open_playlist_file(path.c_str(), file, length) != 0) {
    return kCannotOpen;
  }
  return read_measured_playlist(file, length, buffer);
}

LoadResult read_measured_playlist(platform::PlaylistFile file, std::uint64_t length,
                                  PlaylistBuffer& buffer) {
  if (length >= std::numeric_limits<std::size_t>::max()) {
    platform::close_playlist_file(file);
    return kNoMemory;
  }
  auto size = static_cast<std::size_t>(length);
  // Not zero-filled up front: only what the read leaves unfilled is zeroed,
  // which is the terminating byte unless the file shrank since it was measured.
  std::unique_ptr<char[], PlaylistMemoryDeleter> text(platform::allocate_playlist_memory(size + 1),
                                                      PlaylistMemoryDeleter{size + 1});
  if (!text) {
    platform::close_playlist_file(file);
    return kNoMemory;
  }
  // Read in pieces, and measure each piece while it is still in the
  // processor's cache: the text ends at the first zero byte, and the
  // conversion needs to know where the last CR LF before it stands.
  constexpr std::size_t kPiece = std::size_t{4} << 20;
  std::size_t got = 0;
  std::size_t text_length = size;
  std::size_t last_crlf = std::string_view::npos;
  bool text_ended = false;
  while (got < size) {
    std::size_t want = std::min(kPiece, size - got);
    std::size_t piece = platform::read_playlist_file(file, text.get() + got, want);
    if (!text_ended && piece > 0) {
      std::size_t piece_end = got + piece;
      if (const void* zero = std::memchr(text.get() + got, 0, piece)) {
        piece_end = static_cast<std::size_t>(static_cast<const char*>(zero) - text.get());
        text_length = piece_end;
        text_ended = true;
      }
      // From the piece's first byte, or the byte before it: a CR LF may straddle two pieces.
      std::size_t from = got > 0 ? got - 1 : 0;
      std::size_t at = find_last_crlf(std::string_view(text.get() + from, piece_end - from));
      if (at != std::string_view::npos) {
        last_crlf = from + at;
      }
    }
    got += piece;
    if (piece < want) {
      break;  // the file ended sooner than measured, or could not be read further
    }
  }
  std::memset(text.get() + got, 0, size + 1 - got);
  platform::close_playlist_file(file);
  buffer.text = std::move(text);
  buffer.length = size;
  buffer.text_length = std::min(text_length, got);
  buffer.last_crlf = last_crlf;
  return kLoaded;
}

}  // namespace m3u2lst
