// Appending a playlist's records to the channel list file.
#include <cstdio>
#include <new>

#include "playlist_conversion.hpp"

namespace m3u2lst {

namespace {

/// Records are gathered into chunks of about this size and each chunk goes to
/// the list in one write, so the list only ever receives whole records.
constexpr std::size_t kChunkBytes = std::size_t{1} << 20;

/// Appends the records of `text` to `list`. Returns 0, or -1 when a write fails.
int write_records(const char* text, std::FILE* list) {
  PlaylistScanner scanner(text);
  std::string chunk;
  chunk.reserve(kChunkBytes + 4096);
  bool more = true;
  while (more) {
    more = scanner.fill(chunk, kChunkBytes);
    if (!chunk.empty() && std::fwrite(chunk.data(), 1, chunk.size(), list) != chunk.size()) {
      return -1;
    }
    chunk.clear();
  }
  return 0;
}

}  // namespace

int convert_playlist(const char* text) {
  // Binary mode: every record ends in exactly CR LF on every platform.
  std::FILE* list = std::fopen(kChannelListName, "ab");
  if (list == nullptr) {
    std::fputs(kListCannotOpenMessage, stdout);
    return -1;
  }
  // The chunks are the buffering; each goes straight to the file.
  std::setvbuf(list, nullptr, _IONBF, 0);
  int result;
  try {
    result = write_records(text, list);
  } catch (const std::bad_alloc&) {
    result = -1;
  }
  if (std::fclose(list) != 0) {
    result = -1;
  }
  return result;
}

}  // namespace m3u2lst
