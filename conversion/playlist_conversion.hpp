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
#include <memory>
#include <string>
#include <string_view>

namespace m3u2lst {

/// The channel list every conversion appends to, in the working directory.
inline constexpr char kChannelListName[] = "iptv.lst";

/// The message printed on standard output when the channel list cannot be opened.
inline constexpr char kListCannotOpenMessage[] = "The SaveFile cannot opened\n";

/// Skip rule, applied to a URL line as it stands in the playlist.
/// Returns 1 when the line contains ".url", or contains all three of "?id",
/// "&ip" and "&auth" (in any order); otherwise 0.
int is_skipped_url(std::string_view url_line);

/// Where the stream address starts after the rtmp extraction: one byte past the
/// first "=rtmp://", else two bytes past the first ";;rtmp://", else 0.
/// "=rtmp://" wins wherever each stands in the line.
std::size_t rtmp_url_offset(std::string_view url_line);

/// What the skip rule and the rtmp extraction make of one URL line, found in
/// a single pass over it.
struct UrlFacts {
  bool skipped = false;         // the skip rule holds
  std::size_t rtmp_offset = 0;  // as rtmp_url_offset gives it
};
UrlFacts read_url_facts(std::string_view url_line);

/// Rtmp extraction in place: rewrites the zero-terminated URL line `line` so it
/// starts at its embedded "rtmp://" address (see rtmp_url_offset) and keeps its
/// terminating zero. A line without such an address is left as it is.
/// `line` must not be null. Never fails.
void extract_rtmp_url(char* line);

/// The fixed parts of a list record, around its name and its URL.
inline constexpr std::string_view kRecordOpenTag = "<servername=>";
inline constexpr std::string_view kRecordMiddleTag = "</servername><serverurl=>";
inline constexpr std::string_view kRecordClosingTag =
    "</serverurl><servercategory=>TV</servercategory>\r\n";

/// Whole list records, gathered to be written together. It grows as records
/// are added and keeps its memory when cleared.
class RecordChunk {
 public:
  /// The records gathered so far.
  std::string_view records() const noexcept { return {bytes_.get(), size_}; }
  std::size_t size() const noexcept { return size_; }
  void clear() noexcept { size_ = 0; }

  /// Makes room for `n` more bytes, and kSlack bytes beyond them that may be
  /// written but do not count, and returns where the next byte goes.
  /// Throws std::bad_alloc when it cannot grow.
  char* reserve(std::size_t n);
  /// Counts `n` more bytes, written after reserve(n), as gathered.
  void commit(std::size_t n) noexcept { size_ += n; }

  static constexpr std::size_t kSlack = 64;

 private:
  std::unique_ptr<char[]> bytes_;
  std::size_t size_ = 0;
  std::size_t capacity_ = 0;
};

/// Appends to `out` the list record for a channel named `name` whose stream
/// address is `url`: 88 + name.size() + url.size() bytes, ending in CR LF.
/// Throws std::bad_alloc only when `out` cannot grow.
void append_list_record(RecordChunk& out, std::string_view name, std::string_view url);

namespace detail {

/// Where the scan of one playlist text stands between two fills.
struct ScanState {
  std::string_view text;                            // cut at its first zero byte once that is found
  std::size_t readable_size = 0;                    // the text's size as given: so much may be read
  std::size_t cursor = 0;                           // where the scan for the next entry starts
  bool more_entries = true;                         // false once no entry can follow
  std::size_t no_lf_from = std::string_view::npos;  // no LF stands at or after this

  /// The last address search that passed over lines: from the line at
  /// `searched_from`, every line before `outcome_line` was passed over, and
  /// at `outcome_line` stands the address (ending at `address_end`), an entry
  /// line, or the text's end (`address_end` npos for both). A search from
  /// any line in between ends the same way, so an entry whose marker stands
  /// inside an option line takes the outcome without walking those lines again.
  struct AddressSearch {
    std::size_t searched_from = std::string_view::npos;
    std::size_t outcome_line = 0;
    std::size_t address_end = std::string_view::npos;
    UrlFacts facts;
  } last_search;
};

/// Where the reading of a "name,URL" text list stands (text_list.hpp).
struct TextListState {
  std::string_view text;
  std::size_t cursor = 0;
  char line_end = '\n';
};

}  // namespace detail

/// A way to scan a playlist, for one instruction set (kernels.hpp); every
/// kernel gives the same records.
struct Kernel;

/// The fastest kernel this processor can run.
const Kernel& fastest_kernel() noexcept;

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
  /// scanner. `kernel` scans an M3U text (tests pass each kernel in turn; it
  /// must be one the processor can run). Throws std::bad_alloc only when
  /// memory for a UTF-16 playlist's text runs out.
  explicit PlaylistScanner(std::string_view file, const Kernel& kernel = fastest_kernel());
  PlaylistScanner(const PlaylistScanner&) = delete;
  PlaylistScanner& operator=(const PlaylistScanner&) = delete;

  /// Appends to `out` the records of the next entries, one whole record at a
  /// time, until `out` holds at least `fill_to` bytes or the text is done.
  /// Returns false once the text is done (no record will follow).
  /// Throws std::bad_alloc only when `out` cannot grow.
  bool fill(RecordChunk& out, std::size_t fill_to);

 private:
  std::string utf8_;  // a UTF-16 playlist's text
  bool text_list_ = false;
  detail::ScanState state_;
  detail::TextListState list_;
  const Kernel* kernel_;
};

/// All the records of one playlist text (which ends at its first zero byte,
/// if it holds one), as they would be appended to the channel list. Throws
/// std::bad_alloc only when memory runs out.
std::string convert_text(std::string_view text, const Kernel& kernel = fastest_kernel());

/// What the saves of one run share: whether the working folder, which holds
/// the list's name, has been flushed to stable storage; and the way the
/// run's console lines are printed, if not on standard output through stdio.
struct ListSession {
  bool folder_flushed = false;
  void (*print)(std::string_view text) noexcept = nullptr;
};

/// Converts the zero-terminated playlist `text` (read only; the caller owns it)
/// and appends its records to "iptv.lst" in the working directory, which it
/// opens for appending in binary mode (creating it when absent), holds the
/// lock of while it writes and flushes, and closes before returning. Records
/// are written whole, many at a time; a write that stops short (a full disk)
/// has the torn record it left at the end cut off. Before closing, the list
/// is flushed to stable storage, and then so is the working folder, unless an
/// earlier save of `session` flushed it.
/// Returns 0 when every record was written and is on stable storage, and the
/// list closed cleanly. Returns -1 after printing "The SaveFile cannot
/// opened\n" (through `session.print`) when the list cannot be opened, and -1 (with
/// no message) when a write, a flush or the close fails or memory runs out.
int convert_playlist(const char* text, std::size_t length, ListSession& session);

/// convert_playlist as the only save of its session: `text` holds `length`
/// bytes and ends at the first zero byte among them, if any.
int convert_playlist(const char* text, std::size_t length);

/// The same for a zero-terminated `text`.
int convert_playlist(const char* text);

}  // namespace m3u2lst
