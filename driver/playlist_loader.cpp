// Reading one playlist file whole into a zero-terminated buffer.
#include <limits>

#include "driver.hpp"
#include "playlist_file.hpp"

namespace m3u2lst {

Failure load_playlist(const std::string& path, PlaylistBuffer& buffer) {
  platform::PlaylistFile file;
  std::uint64_t length = 0;
  if (const Failure failure = platform::open_playlist_file(path.c_str(), file, length)) {
    return failure;
  }
  return read_measured_playlist(file, length, buffer);
}

Failure read_measured_playlist(platform::PlaylistFile file, std::uint64_t length,
                               PlaylistBuffer& buffer) {
  buffer.length = length;
  if (length >= std::numeric_limits<std::size_t>::max()) {
    platform::close_playlist_file(file);
    return {Step::kPlaylistMemory, 0};
  }
  auto size = static_cast<std::size_t>(length);
  Failure failure;
  std::unique_ptr<const char[], PlaylistMemoryDeleter> text(
      platform::load_playlist_memory(file, size, failure), PlaylistMemoryDeleter{size});
  platform::close_playlist_file(file);
  if (!text) {
    return failure;
  }
  buffer.text = std::move(text);
  return {};
}

}  // namespace m3u2lst
