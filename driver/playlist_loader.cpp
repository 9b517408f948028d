// Reading one playlist file whole into a zero-terminated buffer.
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
  std::unique_ptr<const char[], PlaylistMemoryDeleter> text(
      platform::load_playlist_memory(file, size), PlaylistMemoryDeleter{size});
  platform::close_playlist_file(file);
  if (!text) {
    return kNoMemory;
  }
  // The text ends at the first zero byte, and the conversion needs to know
  // where the last CR LF before it stands: for a CR LF playlist that is
  // found at once, searching back from its end.
  const void* zero = std::memchr(text.get(), 0, size);
  buffer.text_length = zero == nullptr
                           ? size
                           : static_cast<std::size_t>(static_cast<const char*>(zero) - text.get());
  buffer.last_crlf = find_last_crlf(std::string_view(text.get(), buffer.text_length));
  buffer.length = size;
  buffer.text = std::move(text);
  return kLoaded;
}

}  // namespace m3u2lst
