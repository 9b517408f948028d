// A failed call of the system as a value: the step that failed and the
// system's own code for why. The library never prints; it hands failures to
// the driver, which names the file and the reason on standard error.
#pragma once

#include <cstdint>

namespace m3u2lst {

/// What was being done when something failed. The driver words each one;
/// the channel list's own steps stand together, from kOpenList to kCloseList.
enum class Step : std::uint8_t {
  kNone,           // nothing failed
  kOpenList,       // opening the channel list for appending
  kWriteList,      // writing records to it
  kFlushList,      // putting it on stable storage
  kFlushFolder,    // putting the working folder, which holds its name, there
  kCloseList,      // closing it
  kListMemory,     // memory for a playlist's records ran out
  kNoFolder,       // the channel folder is missing
  kListFolder,     // listing the channel folder
  kOpenPlaylist,   // opening a playlist
  kNotAFile,       // a playlist that is a FIFO, a device or a socket
  kReadPlaylist,   // reading it, or a page of it that could not be read
  kPlaylistMemory  // memory for a playlist's text ran out
};

/// A failure, or none. `code` is errno on POSIX and GetLastError() on
/// Windows, taken right after the call that failed; 0 where the system gave
/// no code (a write that took no byte, memory).
struct Failure {
  Step step = Step::kNone;
  int code = 0;

  constexpr explicit operator bool() const noexcept { return step != Step::kNone; }
};

}  // namespace m3u2lst
