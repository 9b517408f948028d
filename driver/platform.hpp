// What the program needs from the operating system: the channel folder's
// listing, playlist files read whole, and the one-key wait. One source per
// platform implements it; CMake picks the source.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace m3u2lst::platform {

/// The channel folder as listed paths begin: the folder name `iptv channel`
/// behind "." and ending in the platform's path separator.
extern const char* const kChannelFolderPrefix;

/// Whether options may begin with '/' as well as '-' ("/?"): on Windows.
extern const bool kSlashOptions;

/// The program's arguments, its own name left out: UTF-8 on Windows (read
/// from the wide command line, whatever the ANSI code page), bytes as given
/// on POSIX. `argc` and `argv` are main's.
std::vector<std::string> program_arguments(int argc, char** argv);

/// Lists the channel folder in the order of the platform's directory search,
/// starting with the entry that search yields first (the folder's own ".").
/// Names are UTF-8 on Windows, and bytes as the file system holds them on
/// POSIX, where the order is that of a folder on NTFS.
/// Returns 0 with `names` filled; -1 when the search cannot start (the folder
/// is missing, is not a folder, or cannot be read) or, on POSIX, where the
/// whole listing is read before any name is used, when it fails on the way;
/// 1 when the search failed on the way on Windows, with `names` holding the
/// entries it yielded before.
int list_channel_folder(std::vector<std::string>& names);

/// A playlist file opened for reading; close it with close_playlist_file.
struct PlaylistFile {
  std::intptr_t handle = -1;
};

/// Opens `path` (UTF-8 on Windows) for reading in binary mode and measures
/// it. Only a regular file counts: a folder, a FIFO or a device cannot be
/// opened, and opening never blocks. Returns 0 with `file` and `length` set,
/// or -1.
int open_playlist_file(const char* path, PlaylistFile& file, std::uint64_t& length);

/// Closes a file opened by open_playlist_file.
void close_playlist_file(PlaylistFile file);

/// Brings the open `file`, measured at `length` bytes, into memory whole,
/// followed by one zero byte: `length` + 1 bytes to read, not to write. A
/// large file is mapped where the system can, not copied. Bytes the file no
/// longer has when they are read (it was shortened since it was measured)
/// read as zero; bytes it gained are not taken. The file may be closed once
/// this returns. Returns null when memory runs out, or with `read_failed`
/// set when reading the file failed (a disk error). Free with
/// free_playlist_memory and the same length.
const char* load_playlist_memory(PlaylistFile file, std::size_t length, bool& read_failed) noexcept;

/// Whether bytes of a mapped playlist from load_playlist_memory could not be
/// read while the file still had them (a disk error when they were first
/// touched): they, and all after them, read as zero instead.
bool playlist_memory_lost(const char* memory) noexcept;

/// Frees memory from load_playlist_memory; null is ignored.
void free_playlist_memory(const char* memory, std::size_t length) noexcept;

/// Makes a write to a pipe whose reader has gone, or past the file size the
/// process may write, fail with an error (EPIPE, EFBIG) instead of ending
/// the process, so the run reports it and goes on. Nothing to do on Windows.
void keep_running_when_writes_fail() noexcept;

/// `name`, a listed name or path, as a console line may show it: where
/// standard output is a POSIX terminal, each byte below 0x20 and 0x7F as
/// '?', so that escape sequences in a file name cannot drive the terminal.
/// Output to a file or a pipe, and Windows, whose names hold no such bytes,
/// keep the exact bytes.
std::string shown_name(std::string_view name);

/// Writes `text`, a piece of the console report, to standard output: every
/// console line of the program leaves it this way. On Windows each "\n" goes out
/// as CR LF, as in text mode; to a console the bytes go as they are, UTF-8,
/// not through the C runtime, which may re-encode them in the ANSI code page.
/// Failures are not reported.
void print(std::string_view text) noexcept;

/// Writes `text` to standard error, as print does to standard output.
void print_error(std::string_view text) noexcept;

/// Makes the console show the program's output, which is UTF-8, for the rest
/// of the run, and leaves it as it found it however the program ends. Output
/// to a file or a pipe is left as it is: it receives the UTF-8 bytes. On
/// POSIX, terminals take the bytes as they are, and this does nothing.
void use_utf8_console();

/// Waits for one key press on the console, read without echo and without
/// waiting for Enter, and leaves the console as it found it. Returns at once
/// when standard input is no console.
void wait_for_key();

}  // namespace m3u2lst::platform
