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
  for (const std::string& path : table) {
    PlaylistBuffer buffer;
    Failure failure = load_playlist(path, buffer);
    if (failure.step == Step::kOpenPlaylist || failure.step == Step::kNotAFile) {
      print_line(kOpenFailureLine, path);
      print_cause(cause_line(failure, path));
      return 1;
    }
    if (failure.step == Step::kPlaylistMemory) {
      print_cause(cause_line(failure, path, buffer.length));
      return 1;
    }
    // A file not read whole is not saved whole, whatever its records did.
    if (!failure) {
      const std::string_view file(buffer.text.get(), static_cast<std::size_t>(buffer.length));
      session.text_failure = [&buffer] {
        return platform::playlist_memory_lost(buffer.text.get());
      };
      failure = convert_playlist(file, session);
      session.text_failure = nullptr;  // it reads this buffer, freed below
      if (failure.step == Step::kOpenList) {
        platform::print(kListCannotOpenLine);
        print_cause(cause_line(failure));
      } else if (!failure) {
        failure = platform::playlist_memory_lost(buffer.text.get());
      }
    }
    print_line(failure ? kSaveFailureLine : kSaveSuccessLine, path);
    if (failure && failure.step != Step::kOpenList) {
      print_cause(cause_line(failure, path));
    }
    if (failure) {
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
