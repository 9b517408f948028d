// Reading one playlist file whole into a zero-terminated buffer.
#include <limits>

#include "driver.hpp"
#include "playlist_file.hpp"

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
  bool read_failed = false;
  std::unique_ptr<const char[], PlaylistMemoryDeleter> text(
      platform::load_playlist_memory(file, size, read_failed), PlaylistMemoryDeleter{size});
  platform::close_playlist_file(file);
  if (!text) {
    return read_failed ? kReadFailed : kNoMemory;
  }
  buffer.length = size;
  buffer.text = std::move(text);
  return kLoaded;
}

}  // namespace m3u2lst
