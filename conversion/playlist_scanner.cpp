// Parsing of the playlist text into entries and assembly of list records.
#include <algorithm>
#include <cstring>
#include <limits>
#include <new>

#include "byte_search.hpp"
#include "playlist_conversion.hpp"
#include "url_marks.hpp"

namespace m3u2lst {

namespace {

using byte_search::Class;
using byte_search::Patterns;
using byte_search::Set;

constexpr std::string_view kEntryMarker = "#EXTINF:";
constexpr std::string_view kOpenTag = "<servername=>";
constexpr std::string_view kMiddleTag = "</servername><serverurl=>";
constexpr std::string_view kClosingTag = "</serverurl><servercategory=>TV</servercategory>\r\n";
constexpr std::size_t npos = std::string_view::npos;

// What each search stops at. Every one stops at a zero byte too: the end of
// the text. A URL line's search also stops where a mark or an entry marker
// may start.
using Zero = Class<Set<'\0'>>;
using ZeroOrLf = Class<Set<'\0', '\n'>>;
using ZeroOrCr = Class<Set<'\0', '\r'>>;
using MarkerPair = Class<Set<'#'>, Set<'E'>>;

using MarkerStart = Patterns<Zero, MarkerPair>;
using Comma = Patterns<Zero, Class<Set<','>>>;
using Lf = Patterns<ZeroOrLf>;
using Cr = Patterns<ZeroOrCr>;
/// A URL line's search: its end, an entry marker, or a mark's start.
template <typename LineEnd>
using UrlLineStops =
    Patterns<LineEnd, MarkerPair, mark_start::Url, mark_start::Id, mark_start::IpOrAuth,
             mark_start::EqualsRtmp, mark_start::SemicolonsRtmp>;

}  // namespace

char* RecordChunk::reserve(std::size_t n) {
  if (n > capacity_ - size_ || capacity_ - size_ - n < kSlack) {
    if (n > std::numeric_limits<std::size_t>::max() / 2 - size_) {
      throw std::bad_alloc();
    }
    const std::size_t grown_capacity = std::max(capacity_ * 2, size_ + n + kSlack);
    // Not zeroed: every byte is written before it counts.
    auto grown = std::make_unique_for_overwrite<char[]>(grown_capacity);
    if (size_ > 0) {
      std::memcpy(grown.get(), bytes_.get(), size_);
    }
    bytes_ = std::move(grown);
    capacity_ = grown_capacity;
  }
  return bytes_.get() + size_;
}

namespace {

/// Copies the `n` bytes at `from` to `to`. Where `readable` bytes from `from`
/// leave room to read past them, it copies whole 32-byte blocks, the last
/// reaching past them: a few wide moves instead of a call. What lands past
/// `to + n` is overwritten by the record's next field, or lies in the
/// chunk's slack.
inline void copy_field(char* to, const char* from, std::size_t n, std::size_t readable) {
  constexpr std::size_t kBlock = 32;
  if ((n + kBlock - 1) / kBlock * kBlock <= readable) {
    for (std::size_t i = 0; i < n; i += kBlock) {
      std::memcpy(to + i, from + i, kBlock);
    }
  } else if (n > 0) {
    std::memcpy(to, from, n);
  }
}

/// Appends one record to `out`; `name_readable` and `url_readable` bytes may
/// be read from the starts of `name` and `url`.
inline void append_record(RecordChunk& out, std::string_view name, std::size_t name_readable,
                          std::string_view url, std::size_t url_readable) {
  const std::size_t size =
      kOpenTag.size() + name.size() + kMiddleTag.size() + url.size() + kClosingTag.size();
  char* at = out.reserve(size);
  std::memcpy(at, kOpenTag.data(), kOpenTag.size());
  at += kOpenTag.size();
  copy_field(at, name.data(), name.size(), name_readable);
  at += name.size();
  std::memcpy(at, kMiddleTag.data(), kMiddleTag.size());
  at += kMiddleTag.size();
  copy_field(at, url.data(), url.size(), url_readable);
  at += url.size();
  std::memcpy(at, kClosingTag.data(), kClosingTag.size());
  out.commit(size);
}

}  // namespace

void append_list_record(RecordChunk& out, std::string_view name, std::string_view url) {
  append_record(out, name, name.size(), url, url.size());
}

namespace {

/// The searches as any x86-64 processor, or any other, can make them.
struct PlainSearch {
  template <typename P>
  static std::size_t find_first(const char* bytes, std::size_t size, std::size_t from) {
#ifdef M3U2LST_X86_64
    return byte_search::find_first_sse2<P>(bytes, size, from);
#else
    return byte_search::find_first_bytewise<P>(bytes, size, from);
#endif
  }
};

#ifdef M3U2LST_X86_64
/// The searches with AVX2, for a processor that has it.
struct Avx2Search {
  template <typename P>
  M3U2LST_AVX2_TARGET static std::size_t find_first(const char* bytes, std::size_t size,
                                                    std::size_t from) {
    return byte_search::find_first_avx2<P>(bytes, size, from);
  }
};
#endif

/// The scan of one text, with the searches of `Search`.
template <typename Search>
class Scan {
 public:
  explicit Scan(detail::ScanState& state) : s_(state) {}

  bool fill(RecordChunk& out, std::size_t fill_to);

 private:
  /// Finds the first byte at or after `from` where one of `P`'s patterns, or
  /// a zero byte, starts. A zero byte is where the text ends: the text is cut
  /// there. Returns the index, which is the text's size at its end.
  template <typename P>
  std::size_t find(std::size_t from) {
    const std::size_t at = Search::template find_first<P>(s_.text.data(), s_.text.size(), from);
    // Every byte before `from` has been looked at already, so the first zero
    // byte found is the first of the text.
    if (at < s_.text.size() && s_.text[at] == '\0') {
      s_.text = s_.text.substr(0, at);
    }
    return at;
  }

  /// First LF at or after `from`, or npos. Once none is left after some
  /// point, it is never looked for there again: in a playlist whose lines
  /// end in bare CR, only the first entry's search runs to the text's end.
  std::size_t find_lf(std::size_t from) {
    // Searches start later and later, so where none was found, none will be.
    if (from >= s_.no_lf_from) {
      return npos;
    }
    const std::size_t at = find<Lf>(from);
    if (at >= s_.text.size()) {
      s_.no_lf_from = from;
      return npos;
    }
    return at;
  }

  /// Where the line that ends at `end` stops holding bytes: a CR right
  /// before its LF belongs to the line end. A bare CR line end, or the end
  /// of the text, takes no byte off.
  std::size_t content_end(std::size_t begin, std::size_t end) const {
    return end > begin && end < s_.text.size() && s_.text[end] == '\n' && s_.text[end - 1] == '\r'
               ? end - 1
               : end;
  }

  /// A URL line as one scan of it finds it.
  struct UrlLine {
    std::size_t end = 0;        // its line end (LF or CR), or the end of the text
    std::size_t marker = npos;  // its first entry marker, if any
    UrlFacts facts;
  };

  /// Scans the URL line that starts at `begin`, which ends at an LF when
  /// `lf_lines`, else at a bare CR.
  template <bool lf_lines>
  UrlLine scan_url_line(std::size_t begin);

  detail::ScanState& s_;
};

template <typename Search>
template <bool lf_lines>
typename Scan<Search>::UrlLine Scan<Search>::scan_url_line(std::size_t begin) {
  // One pass over the line finds its end, the marks the rules look for, and
  // any entry marker inside it. No mark holds a CR, so one that stands
  // before an LF line end is part of no mark.
  using Stops = UrlLineStops<std::conditional_t<lf_lines, ZeroOrLf, ZeroOrCr>>;
  UrlLine line;
  UrlMarks marks;
  std::size_t at = begin;
  for (;; ++at) {
    at = find<Stops>(at);
    if (at >= s_.text.size()) {
      break;
    }
    const char c = s_.text[at];
    if (c == (lf_lines ? '\n' : '\r')) {
      break;
    }
    if (c == '#') {
      if (line.marker == npos && s_.text.substr(at).starts_with(kEntryMarker)) {
        line.marker = at;
      }
    } else {
      marks.note(s_.text.substr(at), at - begin);
    }
  }
  line.end = at;
  line.facts = marks.facts();
  return line;
}

template <typename Search>
bool Scan<Search>::fill(RecordChunk& out, std::size_t fill_to) {
  const std::string_view& text = s_.text;
  while (s_.more_entries && out.size() < fill_to) {
    // In most playlists the next entry line follows the URL line's end.
    std::size_t marker = s_.cursor + s_.line_end_size;
    if (!text.substr(std::min(marker, text.size())).starts_with(kEntryMarker)) {
      for (marker = s_.cursor;; ++marker) {
        marker = find<MarkerStart>(marker);
        if (marker >= text.size() || text.substr(marker).starts_with(kEntryMarker)) {
          break;
        }
      }
    }
    if (marker >= text.size()) {
      s_.more_entries = false;
      break;
    }
    std::size_t comma = find<Comma>(marker + kEntryMarker.size());
    if (comma >= text.size()) {
      // A marker with no comma after it names no channel, and neither can any later one.
      s_.more_entries = false;
      break;
    }
    const std::size_t name_begin = comma + 1;
    std::size_t name_end = find_lf(name_begin);
    const bool lf_lines = name_end != npos;
    if (!lf_lines) {
      // No LF anywhere after the comma: the playlist ends its lines in bare CR.
      name_end = find<Cr>(name_begin);
    }
    const std::size_t url_begin = std::min(name_end + 1, text.size());
    name_end = content_end(name_begin, name_end);
    UrlLine url = lf_lines ? scan_url_line<true>(url_begin) : scan_url_line<false>(url_begin);
    if (url.end >= text.size()) {
      s_.more_entries = false;
    }
    // The next marker search starts at the URL line, so a URL line that is
    // itself an entry line opens the next entry. The scan of the line has
    // told where its first marker stands, if it holds one.
    s_.cursor = url.marker != npos ? url.marker : url.end;
    s_.line_end_size = url.marker != npos || url.end >= text.size() ? 0 : 1;
    if (url.facts.skipped) {
      continue;
    }
    // Everything up to the end of the text as given may be read.
    const std::size_t url_start = url_begin + url.facts.rtmp_offset;
    const std::size_t url_end = content_end(url_begin, url.end);
    append_record(out, text.substr(name_begin, name_end - name_begin),
                  s_.readable_size - name_begin, text.substr(url_start, url_end - url_start),
                  s_.readable_size - url_start);
  }
  return s_.more_entries;
}

#ifdef M3U2LST_X86_64
/// The scan compiled for AVX2 as a whole, so that its searches are not
/// calls but part of the loop.
#if defined(_MSC_VER) && !defined(__clang__)
bool fill_avx2(detail::ScanState& state, RecordChunk& out, std::size_t fill_to){
#else
__attribute__((target("avx2"), flatten)) bool fill_avx2(detail::ScanState& state, RecordChunk& out,
                                                        std::size_t fill_to) {
#endif
    return Scan<Avx2Search>(state).fill(out, fill_to);
}
#endif

}  // namespace m3u2lst

PlaylistScanner::PlaylistScanner(std::string_view text, Searches searches) noexcept
    : searches_(searches) {
  state_.text = text;
  state_.readable_size = text.size();
}

bool PlaylistScanner::fill(RecordChunk& out, std::size_t fill_to) {
#ifdef M3U2LST_X86_64
  if (searches_ == Searches::kFastest && byte_search::has_avx2()) {
    return fill_avx2(state_, out, fill_to);
  }
#endif
  return Scan<PlainSearch>(state_).fill(out, fill_to);
}

std::string convert_text(std::string_view text, PlaylistScanner::Searches searches) {
  RecordChunk records;
  PlaylistScanner scanner(text, searches);
  scanner.fill(records, npos);
  return std::string(records.records());
}

}  // namespace m3u2lst
