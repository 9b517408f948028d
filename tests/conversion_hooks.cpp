#include "conversion_hooks.hpp"

#include "conversion/playlist_conversion.hpp"
#include "conversion/record_assembly.hpp"
#include "conversion/url_facts.hpp"

namespace m3u2lst::testing {

bool is_skipped_url(std::string_view url) {
  return read_url_facts(url).skipped;
}

std::string_view rtmp_url(std::string_view url) {
  return url.substr(read_url_facts(url).rtmp_offset);
}

std::string list_record(std::string_view name, std::string_view url) {
  RecordChunk out;
  append_record(out, name, url);
  return std::string(out.records());
}

std::string convert_text(std::string_view file, const Kernel& kernel) {
  RecordChunk records;
  PlaylistScanner scanner(file, kernel);
  scanner.fill(records, std::string_view::npos);
  return std::string(records.records());
}

}  // namespace m3u2lst::testing
