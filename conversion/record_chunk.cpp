// A chunk's memory, grown as records are gathered.
#include "record_chunk.hpp"

#include <algorithm>
#include <cstring>
#include <limits>
#include <new>

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

}  // namespace m3u2lst
