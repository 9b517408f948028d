// The one way a list record is put together, for the scan of every kernel,
// the text lists and the tests alike. It has internal linkage: each kernel
// file compiles its own copy for its instruction set, and no copy compiled
// for one instruction set is ever called from another's code.
#pragma once

#include <cstddef>
#include <cstring>
#include <string_view>

#include "record_chunk.hpp"

namespace m3u2lst {
namespace {

/// Copies the `n` bytes at `from` to `to`. Where `readable` bytes from `from`
/// leave room to read past them, it copies whole 32-byte blocks, the last
/// reaching past them: a few wide moves instead of a call. What lands past
/// `to + n` is overwritten by the record's next field, or lies in the
/// chunk's slack.
inline void copy_field(char* to, const char* from, std::size_t n, std::size_t readable) {
  constexpr std::size_t kBlock = 32;
  static_assert(kBlock <= RecordChunk::kSlack);
  if ((n + kBlock - 1) / kBlock * kBlock <= readable) {
    for (std::size_t i = 0; i < n; i += kBlock) {
      std::memcpy(to + i, from + i, kBlock);
    }
  } else if (n > 0) {
    std::memcpy(to, from, n);
  }
}

/// Appends the record of the channel `name` at the address `url` to `out`:
/// 88 + name.size() + url.size() bytes, ending in CR LF. `name_readable`
/// and `url_readable` bytes may be read from the starts of `name` and
/// `url` (at least their sizes). Throws std::bad_alloc only when `out`
/// cannot grow.
inline void append_record(RecordChunk& out, std::string_view name, std::size_t name_readable,
                          std::string_view url, std::size_t url_readable) {
  const std::size_t size = kRecordOpenTag.size() + name.size() + kRecordMiddleTag.size() +
                           url.size() + kRecordClosingTag.size();
  char* at = out.reserve(size);
  std::memcpy(at, kRecordOpenTag.data(), kRecordOpenTag.size());
  at += kRecordOpenTag.size();
  copy_field(at, name.data(), name.size(), name_readable);
  at += name.size();
  std::memcpy(at, kRecordMiddleTag.data(), kRecordMiddleTag.size());
  at += kRecordMiddleTag.size();
  copy_field(at, url.data(), url.size(), url_readable);
  at += url.size();
  std::memcpy(at, kRecordClosingTag.data(), kRecordClosingTag.size());
  out.commit(size);
}

/// append_record where nothing past `name` and `url` may be read.
inline void append_record(RecordChunk& out, std::string_view name, std::string_view url) {
  append_record(out, name, name.size(), url, url.size());
}

}  // namespace
}  // namespace m3u2lst
