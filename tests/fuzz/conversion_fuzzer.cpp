// Fuzzes the conversion of playlist text into records. Beyond "no crash", each
// input's records must be whole and well formed, no more than its entry
// markers and sources, equal to what the plain model of the rules gives, the same with
// every kernel the processor can run, and the same when assembled in small
// chunks.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "conversion/kernels.hpp"
#include "conversion/playlist_conversion.hpp"
#include "conversion/playlist_text.hpp"
#include "conversion_hooks.hpp"
#include "conversion_model.hpp"

namespace {

constexpr std::string_view kOpenTag = "<servername=>";
constexpr std::string_view kMiddleTag = "</servername><serverurl=>";
constexpr std::string_view kClosingTag = "</serverurl><servercategory=>TV</servercategory>";

[[noreturn]] void fail(const char* what) {
  std::fprintf(stderr, "conversion fuzzer: %s\n", what);
  std::abort();
}

/// Counts the records, checking that each is whole and well formed. A record
/// holds no CR LF but the one that ends it.
std::size_t count_records(std::string_view records) {
  std::size_t count = 0;
  while (!records.empty()) {
    std::size_t end = records.find("\r\n");
    if (end == std::string_view::npos) {
      fail("a record does not end in CR LF");
    }
    std::string_view record = records.substr(0, end);
    if (!record.starts_with(kOpenTag) || !record.ends_with(kClosingTag) ||
        record.size() < kOpenTag.size() + kMiddleTag.size() + kClosingTag.size() ||
        record.find(kMiddleTag) == std::string_view::npos) {
      fail("a record is not well formed");
    }
    records.remove_prefix(end + 2);
    ++count;
  }
  return count;
}

/// The most records a text may give: one per entry marker in an M3U text,
/// one per "://" (a source) in a text list, counted in the text as read.
std::size_t most_records(std::string_view text) {
  std::size_t count = 0;
  for (std::string_view mark : {std::string_view("#EXTINF:"), std::string_view("://")}) {
    for (std::size_t at = text.find(mark); at != std::string_view::npos;
         at = text.find(mark, at + 1)) {
      ++count;
    }
  }
  return count;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // The conversion reads the input as it stands, zero bytes and all, up to
  // its last byte and never further.
  const std::string_view file(reinterpret_cast<const char*>(data), size);
  const std::string text(file.substr(0, file.find('\0')));

  const std::string records = m3u2lst::testing::convert_text(file);
  const bool utf16 = m3u2lst::utf16_mark(file) != m3u2lst::Utf16Mark::kNone;
  const std::string read_text =
      utf16 ? m3u2lst::utf8_from_utf16_playlist(file.substr(2), m3u2lst::utf16_mark(file)) : text;
  if (count_records(records) > most_records(read_text)) {
    fail("more records than entry markers and sources");
  }
  if (records != m3u2lst::testing::model_records(std::string(file))) {
    fail("records differ from the model of the rules");
  }
  for (const m3u2lst::Kernel& kernel : m3u2lst::all_kernels()) {
    if (kernel.supported() && m3u2lst::testing::convert_text(file, kernel) != records) {
      std::fprintf(stderr, "conversion fuzzer: kernel %s:\n", kernel.name);
      fail("records of a kernel differ from the fastest kernel's");
    }
  }

  // Assembled a few records at a time, the records are the same.
  m3u2lst::PlaylistScanner scanner(file);
  const std::size_t fill_to = size == 0 ? 1 : 1 + data[0] % 400;
  std::string joined;
  m3u2lst::RecordChunk chunk;
  bool more = true;
  while (more) {
    more = scanner.fill(chunk, fill_to);
    joined += chunk.records();
    chunk.clear();
  }
  if (joined != records) {
    fail("records assembled in chunks differ");
  }

  return 0;
}
