// Appending a playlist's records to the channel list file.
#include <algorithm>
#include <cstring>
#include <new>
#include <string>

#include "list_file.hpp"
#include "playlist_conversion.hpp"
#include "processors.hpp"
#include "record_pipeline.hpp"

namespace m3u2lst {

namespace {

/// Records are gathered into chunks of about this size, and each chunk goes to
/// the list in one write. A write therefore holds whole records only, and runs
/// appending to the same list at once never mix bytes inside a record.
constexpr std::size_t kChunkBytes = std::size_t{1} << 18;

/// From this size on a playlist is saved by two threads (record_pipeline.hpp):
/// below it, starting the second thread costs more than it saves.
constexpr std::size_t kPipelinedFrom = std::size_t{M3U2LST_PIPELINED_FROM_MIB} << 20;

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

}  // namespace

Failure convert_playlist(std::string_view file, ListSession& session) {
  list_file::ListFile list;
  if (const Failure failure = list_file::open_list(list)) {
    return failure;
  }
  Failure result;
  try {
    PlaylistScanner scanner(file);
    // A second thread scans while this one writes, where the playlist is
    // large enough to pay for it and a second processor is there to run it.
    const bool threaded = file.size() >= kPipelinedFrom && platform::usable_processors() >= 2;
    result = write_in_chunks(scanner, list_file::line_end_needed(list), kChunkBytes, threaded,
                             [list, &session](std::string_view chunk, std::size_t line_end) {
                               if (session.text_failure) {
                                 if (const Failure failure = session.text_failure()) {
                                   return failure;
                                 }
                               }
                               return write_chunk(list, chunk, line_end);
                             });
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
