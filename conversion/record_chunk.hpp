// The records of the channel list, and the chunks they are gathered in to be
// written many at a time.
#pragma once

#include <cstddef>
#include <memory>
#include <string_view>

namespace m3u2lst {

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

}  // namespace m3u2lst
