// Appending a playlist's records to the channel list file.
#include <algorithm>
#include <cstdio>
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
/// end the program wait until both are done. Returns 0, or -1.
int write_chunk(list_file::ListFile list, std::string_view chunk, std::size_t line_end) {
  const list_file::EndingHeld ending_held;
  std::uint64_t end = 0;
  std::size_t written = list_file::append(list, chunk.data(), chunk.size(), end);
  if (written == chunk.size()) {
    return 0;
  }
  const std::size_t whole =
      written < line_end ? 0 : std::max(line_end, whole_records_length(chunk.substr(0, written)));
  const std::size_t torn = written - whole;
  if (torn > 0 && end >= torn) {
    list_file::cut_back(list, end - torn, end);
  }
  return -1;
}

/// Appends the records `scanner` finds to `list`, the first of them after
/// `line_end`, in the same write. Returns 0, or -1 when a write fails.
int write_records(PlaylistScanner& scanner, list_file::ListFile list, std::string_view line_end) {
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
      if (write_chunk(list, chunk.records(), line_end.size()) != 0) {
        return -1;
      }
      line_end = {};  // written with the first records
      chunk.clear();
    }
  }
  return 0;
}

}  // namespace

int convert_playlist(const char* text) {
  return convert_playlist(text, std::strlen(text));
}

int convert_playlist(const char* text, std::size_t length) {
  ListSession session;
  return convert_playlist(text, length, session);
}

int convert_playlist(const char* text, std::size_t length, ListSession& session) {
  list_file::ListFile list;
  if (list_file::open_list(list) != 0) {
    if (session.print != nullptr) {
      session.print(kListCannotOpenMessage);
    } else {
      std::fputs(kListCannotOpenMessage, stdout);
    }
    return -1;
  }
  int result;
  try {
    PlaylistScanner scanner(std::string_view(text, length));
    result = write_records(scanner, list, list_file::line_end_needed(list));
  } catch (const std::bad_alloc&) {
    result = -1;
  }
  // A save counts only once the list, and the list's name in its folder, are
  // on stable storage. What a failed write left in the list is flushed too.
  // The folder is flushed after the list, at the first save of the run whose
  // list flush succeeds, and at each later one until a folder flush has.
  if (list_file::flush_list(list) != 0) {
    result = -1;
  } else if (!session.folder_flushed) {
    if (list_file::flush_folder() == 0) {
      session.folder_flushed = true;
    } else {
      result = -1;
    }
  }
  if (list_file::close_list(list) != 0) {
    result = -1;
  }
  return result;
}

}  // namespace m3u2lst
