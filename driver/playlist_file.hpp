// Playlist files opened, measured and brought into memory whole, read or
// mapped. One source per platform (playlist_file_*.cpp).
#pragma once

#include <cstddef>
#include <cstdint>

#include "conversion/failure.hpp"

namespace m3u2lst::platform {

/// A playlist file opened for reading; close it with close_playlist_file.
struct PlaylistFile {
  std::intptr_t handle = -1;
};

/// Opens `path` (UTF-8 on Windows) for reading in binary mode and measures
/// it. Only a regular file counts: a folder, a FIFO or a device cannot be
/// opened, and opening never blocks. Returns no failure with `file` and
/// `length` set; Step::kOpenPlaylist with the system's code (a folder: EISDIR
/// on POSIX), or Step::kNotAFile for a FIFO, a device or a socket.
Failure open_playlist_file(const char* path, PlaylistFile& file, std::uint64_t& length);

/// Closes a file opened by open_playlist_file.
void close_playlist_file(PlaylistFile file);

/// Brings the open `file`, measured at `length` bytes, into memory whole,
/// followed by one zero byte: `length` + 1 bytes to read, not to write. A
/// large file is mapped where the system can, not copied. Bytes the file no
/// longer has when they are read (it was shortened since it was measured)
/// read as zero; bytes it gained are not taken. The file may be closed once
/// this returns. Returns null with `failure` set when memory runs out
/// (Step::kPlaylistMemory) or reading the file failed (Step::kReadPlaylist,
/// a disk error, with the system's code). Free with free_playlist_memory and
/// the same length.
const char* load_playlist_memory(PlaylistFile file, std::size_t length, Failure& failure) noexcept;

/// Whether bytes of a mapped playlist from load_playlist_memory could not be
/// read while the file still had them (a disk error when they were first
/// touched): they, and all after them, read as zero instead. Returns that
/// loss as Step::kReadPlaylist with EIO, the error the disk gave, or no failure.
Failure playlist_memory_lost(const char* memory) noexcept;

/// Frees memory from load_playlist_memory; null is ignored.
void free_playlist_memory(const char* memory, std::size_t length) noexcept;

}  // namespace m3u2lst::platform
