// Reading "name,URL" text lists line by line.
#include "text_list.hpp"

#include <cstring>

#include "marks.hpp"
#include "playlist_text.hpp"
#include "record_assembly.hpp"
#include "url_facts.hpp"

namespace m3u2lst::detail {

namespace {

constexpr std::size_t npos = std::string_view::npos;

/// Whether `s` starts with a scheme and "://": a letter, then letters,
/// digits, '+', '-' or '.' ("http://", "udp://@239.1.1.1:5000", "p3p://").
bool starts_with_scheme(std::string_view s) {
  const auto is_letter = [](char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); };
  if (s.empty() || !is_letter(s[0])) {
    return false;
  }
  std::size_t at = 1;
  while (at < s.size() && (is_ascii_alnum(s[at]) || s[at] == '+' || s[at] == '-' || s[at] == '.')) {
    ++at;
  }
  return s.substr(at).starts_with("://");
}

/// Appends the record of one source of the channel `name`: cut at its
/// first '$', without the blanks and CRs at its ends, unless that leaves
/// nothing or the skip rule holds.
void add_source(RecordChunk& out, std::string_view name, std::string_view source) {
  source = trimmed(source.substr(0, source.find('$')));
  if (source.empty()) {
    return;
  }
  const UrlFacts facts = read_url_facts(source);
  if (!facts.skipped) {
    append_record(out, name, source.substr(facts.rtmp_offset));
  }
}

/// Appends the records of one line, without its line end.
void read_line(RecordChunk& out, std::string_view line) {
  std::size_t first = 0;
  while (first < line.size() && is_blank(line[first])) {
    ++first;
  }
  const std::size_t comma = line.find(',');
  if (comma == npos || (first < line.size() && line[first] == '#')) {
    return;
  }
  const std::string_view name = without_end_crs(line.substr(0, comma));
  const std::string_view sources = trimmed(line.substr(comma + 1));
  if (!starts_with_scheme(sources) || name.find("://") != npos) {
    return;
  }
  // Each source runs to the next '#' that a scheme follows.
  std::size_t begin = 0;
  while (begin < sources.size()) {
    std::size_t end = sources.find('#', begin);
    while (end != npos && !starts_with_scheme(sources.substr(end + 1))) {
      end = sources.find('#', end + 1);
    }
    if (end == npos) {
      end = sources.size();
    }
    add_source(out, name, sources.substr(begin, end - begin));
    begin = end + 1;
  }
}

}  // namespace

TextListState start_text_list(std::string_view text) noexcept {
  const void* zero = std::memchr(text.data(), kTextEnd, text.size());
  if (zero != nullptr) {
    text = text.substr(0, static_cast<std::size_t>(static_cast<const char*>(zero) - text.data()));
  }
  if (text.starts_with(kUtf8Mark)) {
    text.remove_prefix(kUtf8Mark.size());
  }
  TextListState state;
  state.text = text;
  state.line_end = text.find(kLineEnd) != npos ? kLineEnd : kBareLineEnd;
  return state;
}

bool fill_text_list(TextListState& state, RecordChunk& out, std::size_t fill_to) {
  const std::string_view text = state.text;
  while (state.cursor < text.size() && out.size() < fill_to) {
    std::size_t end = text.find(state.line_end, state.cursor);
    if (end == npos) {
      end = text.size();
    }
    read_line(out, text.substr(state.cursor, end - state.cursor));
    state.cursor = end < text.size() ? end + 1 : end;
  }
  return state.cursor < text.size();
}

}  // namespace m3u2lst::detail
