// The steps of one run: scan the channel folder, load each listed playlist,
// convert it, report it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "console_lines.hpp"
#include "playlist_file.hpp"

namespace m3u2lst {

/// Match test: a folder entry is a playlist when its name contains ".m3u" or
/// ".txt" anywhere, in any mix of ASCII letter case (".M3U", ".Txt").
bool is_playlist_name(std::string_view name);

/// Lists the channel folder and fills `table` with the paths (folder prefix
/// followed by the whole entry name) of the entries that pass the match test,
/// in search order. The search's first entry is left unexamined; every other
/// one prints "name=%s" or "Not need analysis %s file!". Returns 0; 1 when
/// the search broke off on the way (Windows), after examining what it listed
/// before and printing its cause; -1 after printing "Find no matching file!"
/// and the cause when the folder cannot be listed.
int scan_channel_folder(std::vector<std::string>& table);

/// Frees a playlist buffer's memory.
struct PlaylistMemoryDeleter {
  std::size_t length = 0;  // the file's measured length
  void operator()(const char* memory) const noexcept {
    platform::free_playlist_memory(memory, length);
  }
};

/// A playlist read whole, followed by one zero byte.
struct PlaylistBuffer {
  std::unique_ptr<const char[], PlaylistMemoryDeleter> text;
  std::uint64_t length = 0;  // the file's measured length; text holds length + 1 bytes
};

/// Reads the file at `path` into `buffer`: its measured length of bytes and a
/// zero after them. Bytes the file no longer has when read stay zero. Returns
/// no failure; Step::kOpenPlaylist or Step::kNotAFile when it cannot be
/// opened (missing, unreadable, or not a regular file); Step::kPlaylistMemory
/// when the buffer cannot be had (`buffer.length` then says how large the
/// file is); Step::kReadPlaylist when a read of the file failed (a disk error).
Failure load_playlist(const std::string& path, PlaylistBuffer& buffer);

/// The second half of load_playlist: brings the open `file`, measured at
/// `length` bytes, into `buffer` and closes it. The buffer holds exactly
/// `length` bytes and a zero whether the file has since grown (the excess is
/// not taken) or shrunk (the missing bytes read as zero). Fails as
/// load_playlist does once the file is open.
Failure read_measured_playlist(platform::PlaylistFile file, std::uint64_t length,
                               PlaylistBuffer& buffer);

/// Loads and converts each listed playlist in order, printing its outcome: a
/// file that cannot be read whole, or not saved, draws "Save %s failure!".
/// Stops at a file that cannot be opened ("Open %s failure!") or at a buffer
/// that cannot be allocated (no line on standard output). Each failure's
/// cause follows on standard error. Returns 0 when every file was read whole,
/// converted and saved, else 1.
int process_playlists(const std::vector<std::string>& table);

/// The whole run up to the closing prompt: scan, then process. Returns the exit
/// status: 0 when the folder was listed whole and every listed file was
/// saved, else 1.
int run_channel_folder() noexcept;

}  // namespace m3u2lst
