// Playlist conversion: turns the text of one M3U playlist into channel list
// records and appends them to "iptv.lst".
//
// An entry starts at an "#EXTINF:" marker. Its name is the text after the
// first comma that follows the marker, up to the end of that line; the next
// line is its URL line. Entries whose URL line is marked by the skip rule are
// left out; an embedded "rtmp://" address is cut out of the URL line. Each
// kept entry becomes one record:
//
//   <servername=>NAME</servername><serverurl=>URL</serverurl>
//   <servercategory=>TV</servercategory>CR LF          (one line in the list)
//
// Lines end in CR LF. When no CR LF follows an entry's comma anywhere in the
// text, a bare LF or a bare CR ends that entry's name line and URL line.
#pragma once

#include <cstddef>
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

/// Appends to `out` the list record for a channel named `name` whose stream
/// address is `url`: 88 + name.size() + url.size() bytes, ending in CR LF.
/// Throws std::bad_alloc only when `out` cannot grow.
void append_list_record(std::string& out, std::string_view name, std::string_view url);

/// Where the CR of the last CR LF lying wholly in `text` stands, or npos.
/// Searches backwards, 16 bytes at a time where the processor allows.
std::size_t find_last_crlf(std::string_view text);

/// Walks one playlist text from its start, entry by entry, and assembles the
/// records of the kept entries. Work is linear in the length of the text.
class PlaylistScanner {
 public:
  /// `text` is the playlist up to, not including, its terminating zero. The
  /// scanner only reads it; it must outlive the scanner.
  explicit PlaylistScanner(std::string_view text) noexcept;

  /// As above, for a caller that already knows where the CR of the text's
  /// last CR LF stands (npos when it holds none). A wrong hint gives wrong
  /// records but never a read outside the text.
  PlaylistScanner(std::string_view text, std::size_t last_crlf) noexcept;

  /// Appends to `out` the records of the next entries, one whole record at a
  /// time, until `out` holds at least `fill_to` bytes or the text is done.
  /// Returns false once the text is done (no record will follow).
  /// Throws std::bad_alloc only when `out` cannot grow.
  bool fill(std::string& out, std::size_t fill_to);

 private:
  /// First CR LF at or after `from`, or npos.
  std::size_t find_crlf(std::size_t from) const;

  /// A URL line as one scan of it finds it.
  struct UrlLine {
    std::size_t end = 0;                          // its line end, or the end of the text
    std::size_t marker = std::string_view::npos;  // its first entry marker, if any
    UrlFacts facts;
  };
  /// Scans the URL line that starts at `begin`, which ends at CR LF when
  /// `crlf_lines`, else at a bare LF or CR.
  UrlLine scan_url_line(std::size_t begin, bool crlf_lines) const;

  std::string_view text_;
  std::size_t cursor_ = 0;    // where the next marker search starts
  bool more_entries_ = true;  // false once a URL line ran to the end
  std::size_t last_crlf_;     // where the CR of the last CR LF stands, or npos
};

/// All the records of one playlist text, as they would be appended to the
/// channel list. Throws std::bad_alloc only when memory runs out.
std::string convert_text(std::string_view text);

/// Converts the zero-terminated playlist `text` (read only; the caller owns it)
/// and appends its records to "iptv.lst" in the working directory, which it
/// opens for appending in binary mode (creating it when absent) and closes
/// before returning. Records are written whole, many at a time; a write that
/// stops short (a full disk) has the torn record it left at the end cut off.
/// Before closing, the list is flushed to stable storage (and so is the
/// working folder when this call created the list).
/// Returns 0 when every record was written and is on stable storage, and the
/// list closed cleanly. Returns -1 after printing "The SaveFile cannot
/// opened\n" on standard output when the list cannot be opened, and -1 (with
/// no message) when a write, the flush or the close fails or memory runs out.
int convert_playlist(const char* text);

/// convert_playlist for a caller that already knows where the text's first
/// zero byte stands: `text` holds `length` bytes before it.
int convert_playlist(const char* text, std::size_t length);

/// convert_playlist for a caller that has also found where the CR of the
/// text's last CR LF stands (npos when it holds none), while reading it.
int convert_playlist(const char* text, std::size_t length, std::size_t last_crlf);

}  // namespace m3u2lst
