// Playlist files on Windows, read into the heap.
#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "playlist_file.hpp"
#include "utf16.hpp"

namespace m3u2lst::platform {

namespace {

HANDLE as_handle(PlaylistFile file) {
  return reinterpret_cast<HANDLE>(file.handle);
}

}  // namespace

Failure open_playlist_file(const char* path, PlaylistFile& file, std::uint64_t& length) {
  // Without FILE_FLAG_BACKUP_SEMANTICS a folder cannot be opened at all.
  HANDLE handle = CreateFileW(utf16_from_utf8<wchar_t>(path).c_str(), GENERIC_READ,
                              FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    return {Step::kOpenPlaylist, static_cast<int>(GetLastError())};
  }
  // Only files on disk: a name like "con.txt" reaches a device, and a pipe could block.
  LARGE_INTEGER size;
  Failure failure;
  if (GetFileType(handle) != FILE_TYPE_DISK) {
    failure = {Step::kNotAFile, 0};
  } else if (!GetFileSizeEx(handle, &size) || size.QuadPart < 0) {
    failure = {Step::kOpenPlaylist, static_cast<int>(GetLastError())};
  }
  if (failure) {
    CloseHandle(handle);
    return failure;
  }
  file.handle = reinterpret_cast<std::intptr_t>(handle);
  length = static_cast<std::uint64_t>(size.QuadPart);
  return {};
}

void close_playlist_file(PlaylistFile file) {
  CloseHandle(as_handle(file));
}

const char* load_playlist_memory(PlaylistFile file, std::size_t length, Failure& failure) noexcept {
  failure = {};
  auto* text = static_cast<char*>(std::malloc(length + 1));
  if (text == nullptr) {
    failure = {Step::kPlaylistMemory, 0};
    return nullptr;
  }
  constexpr std::size_t kMostPerRead = std::size_t{1} << 30;
  std::size_t got = 0;
  while (got < length) {
    DWORD n = 0;
    auto want = static_cast<DWORD>(std::min(length - got, kMostPerRead));
    if (!ReadFile(as_handle(file), text + got, want, &n, nullptr)) {
      failure = {Step::kReadPlaylist, static_cast<int>(GetLastError())};
      std::free(text);
      return nullptr;
    }
    if (n == 0) {
      break;  // the file got shorter since it was measured
    }
    got += n;
  }
  std::memset(text + got, 0, length + 1 - got);
  return text;
}

Failure playlist_memory_lost(const char* /*memory*/) noexcept {
  return {};  // read, never mapped: a failed read is known when loading
}

void free_playlist_memory(const char* memory, std::size_t /*length*/) noexcept {
  std::free(const_cast<char*>(memory));
}

}  // namespace m3u2lst::platform
