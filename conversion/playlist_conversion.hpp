// Playlist conversion: turns one playlist into channel list records and
// appends them to "iptv.lst".
//
// An entry starts at an "#EXTINF:" marker. Its name is the text after the
// first comma on the marker's line that stands outside double quotes (where
// there is none, after the first comma that follows the marker), up to the
// end of its line, less the CRs at its end. Its URL line, the address, is
// the first line after that which is neither blank (spaces, tabs, CRs) nor
// begins, after spaces and tabs, with '#' (an option line such as
// "#EXTVLCOPT:"); an entry whose next marker line, or the text's end, comes
// first has none and gives no record. The address loses the spaces, tabs
// and CRs at its ends. Entries whose address is marked by the skip rule are
// left out; an embedded "rtmp://" address is cut out of it. Each kept entry
// becomes one record:
//
//   <servername=>NAME</servername><serverurl=>URL</serverurl>
//   <servercategory=>TV</servercategory>CR LF          (one line in the list)
//
// An LF ends a line, and a CR right before it belongs to the line end, so
// CR LF, LF and a mix of both in one playlist all work; any other CR is a
// byte of its line. Only when no LF follows an entry's comma anywhere in the
// text does a bare CR end that entry's name line and URL line.
//
// A file that starts with a UTF-16 byte order mark is read as its UTF-8 text
// (playlist_text.hpp); a text in which no marker starts a line is a
// "name,URL" text list (text_list.hpp).
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

#include "failure.hpp"
#include "large_memory.hpp"
#include "record_chunk.hpp"
#include "scan_state.hpp"

namespace m3u2lst {

/// A way to scan an M3U text, for one instruction set (kernels.hpp); every
/// kernel gives the same records.
struct Kernel;

/// Walks one playlist from its start, entry by entry (or line by line, in a
/// "name,URL" text list), and assembles the records of the kept entries.
/// Work is linear in the length of the text, and each byte is looked at
/// about once.
class PlaylistScanner {
 public:
  /// `file` is the playlist's bytes: UTF-16 where it starts with FF FE or
  /// FE FF (read as its UTF-8 text, which the scanner keeps), else a text
  /// that ends at its first zero byte, if it holds one; nothing after that
  /// byte is looked at. The scanner only reads it; it must outlive the
  /// scanner. The fastest kernel the processor can run scans an M3U text.
  /// Throws std::bad_alloc only when memory for a UTF-16 playlist's text
  /// runs out.
  explicit PlaylistScanner(std::string_view file);
  /// The same with `kernel`, which must be one the processor can run.
  PlaylistScanner(std::string_view file, const Kernel& kernel);
  PlaylistScanner(const PlaylistScanner&) = delete;
  PlaylistScanner& operator=(const PlaylistScanner&) = delete;

  /// Appends to `out` the records of the next entries, one whole record at a
  /// time, until `out` holds at least `fill_to` bytes or the text is done.
  /// Returns false once the text is done (no record will follow).
  /// Throws std::bad_alloc only when `out` cannot grow.
  bool fill(RecordChunk& out, std::size_t fill_to);

 private:
  platform::LargeMemory utf8_;  // a UTF-16 playlist's text
  bool text_list_ = false;
  detail::ScanState state_;
  detail::TextListState list_;
  const Kernel* kernel_;
};

/// What the saves of one run share: whether the working folder, which holds
/// the list's name, has been flushed to stable storage; and, where set, a
/// check of the text being saved, asked before each write: a failure it
/// gives (a page of a mapped playlist that could not be read, which then
/// reads as zeros) ends the save before any record built from the text
/// after that failure is written.
struct ListSession {
  bool folder_flushed = false;
  std::function<Failure()> text_failure;
};

/// Converts the playlist `file` (its bytes, read only; see PlaylistScanner)
/// and appends its records to "iptv.lst" in the working directory, which it
/// opens for appending in binary mode (creating it when absent), holds the
/// lock of while it writes and flushes, and closes before returning. Records
/// are written whole, many at a time; a write that stops short (a full disk)
/// has the torn record it left at the end cut off. Before closing, the list
/// is flushed to stable storage, and then so is the working folder, unless an
/// earlier save of `session` flushed it. Prints nothing.
/// Returns no failure when every record was written and is on stable
/// storage, and the list closed cleanly; Step::kOpenList when the list
/// cannot be opened (nothing was written); else the first step that failed
/// (a write, a flush, the close, or memory for the records), with the
/// system's code.
Failure convert_playlist(std::string_view file, ListSession& session);

}  // namespace m3u2lst
