// The channel list file as the list writer needs it: opened for appending and
// locked, so that runs sharing it take turns and every write lands at its
// end, cut back when a write tore a record, and flushed to stable storage
// before it is closed. One source per platform implements it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "failure.hpp"

namespace m3u2lst::list_file {

/// The channel list every conversion appends to, in the working directory.
inline constexpr char kChannelListName[] = "iptv.lst";

/// An open channel list; close it with close_list.
struct ListFile {
  std::intptr_t handle = -1;
  bool locked = false;  // this opening holds the list's lock
};

/// Opens the channel list, "iptv.lst" in the working directory, for
/// appending in binary mode, creating it when absent, then
/// takes the list's exclusive lock, waiting while another run holds it, so
/// that runs sharing a list take turns at it. A file system that has no
/// locks is used without one. The lock never keeps a player from reading
/// the list. Never blocks on the open itself (a FIFO without a reader cannot
/// be opened). Returns no failure, or Step::kOpenList with the system's code.
Failure open_list(ListFile& file);

/// What must go before a save's first records so that they start a line of
/// their own, read under the lock from the list's last byte: nothing when
/// the list is empty or ends in an LF, an LF after a CR, and CR LF after
/// anything else (a record torn by a crash or a power cut, a line an editor
/// left without its end, zero bytes). Nothing, too, where the last byte
/// cannot be read (a pipe, a device, a list the user may only write).
std::string_view line_end_needed(ListFile file);

/// line_end_needed for a list whose last byte is `last`.
constexpr std::string_view line_end_after(char last) {
  return last == '\n' ? "" : last == '\r' ? "\n" : "\r\n";
}

/// While one lives, the signals (POSIX: SIGINT, SIGTERM, SIGHUP, SIGQUIT)
/// and console events (Windows: Ctrl+C, Ctrl+Break, the window closed, a
/// logoff or shutdown) that end the program wait; they end it, as they
/// would have, once none lives. So a write in progress ends whole, and no
/// record is left torn by them.
class EndingHeld {
 public:
  EndingHeld() noexcept;
  ~EndingHeld();
  EndingHeld(const EndingHeld&) = delete;
  EndingHeld& operator=(const EndingHeld&) = delete;

 private:
  unsigned held_ = 0;  // POSIX: the signals this one blocked, one bit each
};

/// What append did: how many bytes it wrote, the list's length right after
/// them, and why it stopped short (the system's code; 0 where a write took
/// nothing and gave no reason).
struct Appended {
  std::size_t written = 0;
  std::uint64_t end = 0;
  int code = 0;
};

/// Appends `size` bytes at the list's end, in as many writes as it takes (a
/// system writes at most so many bytes a call). Stops at the first write
/// that fails or takes nothing (a full disk).
Appended append(ListFile file, const char* bytes, std::size_t size);

/// Cuts the list back to `length` bytes, but only while it still ends at
/// `end`: under the lock no other run appends, and where there is no lock
/// this keeps bytes another run appended since from being touched. Returns
/// whether the list was cut: it is a mending after a failed write, whose
/// failure is the one to report.
bool cut_back(ListFile file, std::uint64_t length, std::uint64_t end);

/// Puts what was written to the list on stable storage, so that a power
/// loss or a pulled stick right after the run does not lose it. Returns no
/// failure, also when the list is no file (a pipe, a device) and nothing can
/// be flushed; Step::kFlushList when the storage reports that the flush failed.
Failure flush_list(ListFile file);

/// Puts the working folder's entries on stable storage, the list's name
/// among them, where the system keeps them apart from the list's data.
/// Returns no failure, also when the folder cannot be opened to be flushed;
/// Step::kFlushFolder when the storage reports that the flush failed.
Failure flush_folder();

/// Lets go of the list's lock, if held, and closes the list. Returns no
/// failure, or Step::kCloseList when closing reports one (data that could
/// not be stored).
Failure close_list(ListFile file);

}  // namespace m3u2lst::list_file
