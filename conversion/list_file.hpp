// The channel list file as the list writer needs it: opened for appending, so
// that every write lands at its end even while other runs append too, cut
// back when a write tore a record, and flushed to stable storage before it is
// closed. One source per platform implements it.
#pragma once

#include <cstddef>
#include <cstdint>

namespace m3u2lst::list_file {

/// An open channel list; close it with close_list.
struct ListFile {
  std::intptr_t handle = -1;
  bool created = false;  // this opening created the list
};

/// Opens `name` for appending in binary mode, creating it when absent, and
/// notes whether it did. Never blocks (a FIFO without a reader cannot be
/// opened). Returns 0, or -1.
int open_list(const char* name, ListFile& file);

/// Appends `size` bytes in one write. Returns the count the system took, which
/// is less than `size` when the write failed or stopped short (a full disk),
/// and sets `end` to the list's length right after those bytes.
std::size_t append_once(ListFile file, const char* bytes, std::size_t size, std::uint64_t& end);

/// Cuts the list back to `length` bytes, but only while it still ends at
/// `end`: bytes another run appended since are never touched. Returns 0 when
/// the list was cut, else -1.
int cut_back(ListFile file, std::uint64_t length, std::uint64_t end);

/// Puts what was written to the list on stable storage, and, when this
/// opening created the list, the working folder's entry for it too, so that a
/// power loss or a pulled stick right after the run loses neither. Returns 0,
/// also when the list is no file (a pipe, a device) and nothing can be
/// flushed; -1 when the storage reports that the flush failed.
int flush_list(ListFile file);

/// Closes the list. Returns 0, or -1 when closing reports a failure (data
/// that could not be stored).
int close_list(ListFile file);

}  // namespace m3u2lst::list_file
