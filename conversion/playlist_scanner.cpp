// Record assembly into chunks, and the scanner's front: the scan itself is
// in the kernels (kernels.hpp).
#include <algorithm>
#include <cstring>
#include <limits>
#include <new>

#include "kernels.hpp"
#include "playlist_conversion.hpp"
#include "playlist_text.hpp"
#include "text_list.hpp"

namespace m3u2lst {

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

void append_list_record(RecordChunk& out, std::string_view name, std::string_view url) {
  const std::size_t size = kRecordOpenTag.size() + name.size() + kRecordMiddleTag.size() +
                           url.size() + kRecordClosingTag.size();
  char* at = out.reserve(size);
  for (std::string_view field : {kRecordOpenTag, name, kRecordMiddleTag, url, kRecordClosingTag}) {
    if (!field.empty()) {
      std::memcpy(at, field.data(), field.size());
      at += field.size();
    }
  }
  out.commit(size);
}

PlaylistScanner::PlaylistScanner(std::string_view file, const Kernel& kernel) : kernel_(&kernel) {
  std::string_view text = file;
  if (const Utf16Mark mark = utf16_mark(file); mark != Utf16Mark::kNone) {
    utf8_ = utf8_from_utf16_playlist(file.substr(2), mark);
    text = utf8_;
  }
  text_list_ = playlist_layout(text) == PlaylistLayout::kTextList;
  if (text_list_) {
    list_ = detail::start_text_list(text);
  }
  state_.text = text;
  state_.readable_size = text.size();
}

bool PlaylistScanner::fill(RecordChunk& out, std::size_t fill_to) {
  return text_list_ ? detail::fill_text_list(list_, out, fill_to)
                    : kernel_->fill(state_, out, fill_to);
}

std::string convert_text(std::string_view text, const Kernel& kernel) {
  RecordChunk records;
  PlaylistScanner scanner(text, kernel);
  scanner.fill(records, std::string_view::npos);
  return std::string(records.records());
}

}  // namespace m3u2lst
