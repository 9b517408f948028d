// Reading one playlist file whole into a zero-terminated buffer.
#include <cstring>
#include <limits>
#include <new>

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
  std::unique_ptr<char[]> text(new (std::nothrow) char[size + 1]);
  if (!text) {
    platform::close_playlist_file(file);
    return kNoMemory;
  }
  std::size_t got = platform::read_playlist_file(file, text.get(), size);
  std::memset(text.get() + got, 0, size + 1 - got);
  platform::close_playlist_file(file);
  buffer.text = std::move(text);
  buffer.length = size;
  return kLoaded;
}

}  // namespace m3u2lst
