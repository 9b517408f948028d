// The processing loop and the run as a whole.
#include <new>

#include "console.hpp"
#include "conversion/playlist_conversion.hpp"
#include "driver.hpp"
#include "playlist_file.hpp"

namespace m3u2lst {

int process_playlists(const std::vector<std::string>& table) {
  int status = 0;
  ListSession session;
  session.print = platform::print;
  for (const std::string& path : table) {
    PlaylistBuffer buffer;
    LoadResult loaded = load_playlist(path, buffer);
    if (loaded == kCannotOpen) {
      print_line(kOpenFailureLine, path);
      return 1;
    }
    if (loaded == kNoMemory) {
      return 1;
    }
    // A file not read whole is not saved whole, whatever its records did.
    bool saved = loaded == kLoaded &&
                 convert_playlist(buffer.text.get(), buffer.length, session) == 0 &&
                 !platform::playlist_memory_lost(buffer.text.get());
    print_line(saved ? kSaveSuccessLine : kSaveFailureLine, path);
    if (!saved) {
      status = 1;
    }
  }
  return status;
}

int run_channel_folder() noexcept {
  try {
    std::vector<std::string> table;
    const int scanned = scan_channel_folder(table);
    if (scanned < 0) {
      return 1;
    }
    // A listing broken off on the way: what it listed is processed all the same.
    const int processed = process_playlists(table);
    return scanned != 0 ? 1 : processed;
  } catch (const std::bad_alloc&) {
    // The file table itself could not grow: nothing more can be done safely.
    return 1;
  }
}

}  // namespace m3u2lst
