// The processing loop and the run as a whole.
#include <new>

#include "conversion/playlist_conversion.hpp"
#include "driver.hpp"
#include "platform.hpp"

namespace m3u2lst {

int process_playlists(const std::vector<std::string>& table) {
  int status = 0;
  for (const std::string& path : table) {
    PlaylistBuffer buffer;
    LoadResult loaded = load_playlist(path, buffer);
    if (loaded == kCannotOpen) {
      platform::print(fill_line(kOpenFailureLine, path));
      return 1;
    }
    if (loaded == kNoMemory) {
      return 1;
    }
    if (convert_playlist(buffer.text.get(), buffer.length) == 0) {
      platform::print(fill_line(kSaveSuccessLine, path));
    } else {
      platform::print(fill_line(kSaveFailureLine, path));
      status = 1;
    }
  }
  return status;
}

int run_channel_folder() noexcept {
  try {
    std::vector<std::string> table;
    if (scan_channel_folder(table) != 0) {
      return 1;
    }
    return process_playlists(table);
  } catch (const std::bad_alloc&) {
    // The file table itself could not grow: nothing more can be done safely.
    return 1;
  }
}

}  // namespace m3u2lst
