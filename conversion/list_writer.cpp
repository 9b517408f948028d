// Appending a playlist's records to the channel list file.
#include <algorithm>
#include <cstring>
#include <new>
#include <string>

#include "list_file.hpp"
#include "playlist_conversion.hpp"

namespace m3u2lst {

namespace {

/// Records are gathered into chunks of about this size, and each chunk goes to
/// the list in one write. A write therefore holds whole records only, and runs
/// appending to the same list at once never mix bytes inside a record.
constexpr std::size_t kChunkBytes = std::size_t{1} << 18;

/// Length of the whole records at the start of `written`: up to and including
/// its last CR LF. A record holds no CR LF but its last two bytes.
std::size_t whole_records_length(std::string_view written) {
  std::size_t last = written.rfind("\r\n");
  return last == std::string_view::npos ? 0 : last + 2;
}

/// Writes one chunk of whole records, which may begin with the `line_end`
/// the list needed before them. When the write stops short (a full disk),
/// the torn record it leaves at the end of the list is cut off, so the list
/// ends at the last whole record written, or at that line end. Signals that
/// end the program wait until both are done.
Failure write_chunk(list_file::ListFile list, std::string_view chunk, std::size_t line_end) {
  const list_file::EndingHeld ending_held;
  const list_file::Appended appended = list_file::append(list, chunk.data(), chunk.size());
  if (appended.written == chunk.size()) {
    return {};
  }
  const std::size_t written = appended.written;
  const std::size_t whole =
      written < line_end ? 0 : std::max(line_end, whole_records_length(chunk.substr(0, written)));
  const std::size_t torn = written - whole;
  if (torn > 0 && appended.end >= torn) {
    list_file::cut_back(list, appended.end - torn, appended.end);
  }
  return {Step::kWriteList, appended.code};
}

/// Appends the records `scanner` finds to `list`, the first of them after
/// `line_end`, in the same write. Stops at the first write that fails.
Failure write_records(PlaylistScanner& scanner, list_file::ListFile list,
                      std::string_view line_end) {
  RecordChunk chunk;
  chunk.reserve(kChunkBytes + 4096);
  bool more = true;
  while (more) {
    if (!line_end.empty() && chunk.size() == 0) {
      std::memcpy(chunk.reserve(line_end.size()), line_end.data(), line_end.size());
      chunk.commit(line_end.size());
    }
    more = scanner.fill(chunk, kChunkBytes);
    if (chunk.size() > line_end.size()) {
      if (const Failure failure = write_chunk(list, chunk.records(), line_end.size())) {
        return failure;
      }
      line_end = {};  // written with the first records
      chunk.clear();
    }
  }
  return {};
}

}  // namespace

Failure convert_playlist(std::string_view file, ListSession& session) {
  list_file::ListFile list;
  if (const Failure failure = list_file::open_list(list)) {
    return failure;
  }
  Failure result;
  try {
    PlaylistScanner scanner(file);
    result = write_records(scanner, list, list_file::line_end_needed(list));
  } catch (const std::bad_alloc&) {
    result = {Step::kListMemory, 0};
  }
  // A save counts only once the list, and the list's name in its folder, are
  // on stable storage. What a failed write left in the list is flushed too.
  // The folder is flushed after the list, at the first save of the run whose
  // list flush succeeds, and at each later one until a folder flush has.
  // The first failure is the one reported.
  Failure flushed = list_file::flush_list(list);
  if (!flushed && !session.folder_flushed) {
    flushed = list_file::flush_folder();
    session.folder_flushed = !flushed;
  }
  const Failure closed = list_file::close_list(list);
  return result ? result : flushed ? flushed : closed;
}

}  // namespace m3u2lst
