// The platform layer on Windows.
#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "platform.hpp"

namespace m3u2lst::platform {

const char* const kChannelFolderPrefix = ".\\iptv channel\\";

int list_channel_folder(std::vector<std::string>& names) {
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA(".\\iptv channel\\*", &found);
  if (search == INVALID_HANDLE_VALUE) {
    return -1;
  }
  names.clear();
  do {
    names.emplace_back(found.cFileName);
  } while (FindNextFileA(search, &found));
  FindClose(search);
  return 0;
}

namespace {

HANDLE as_handle(PlaylistFile file) {
  return reinterpret_cast<HANDLE>(file.handle);
}

}  // namespace

int open_playlist_file(const char* path, PlaylistFile& file, std::uint64_t& length) {
  // Without FILE_FLAG_BACKUP_SEMANTICS a folder cannot be opened at all.
  HANDLE handle = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    return -1;
  }
  // Only files on disk: a name like "con.txt" reaches a device, and a pipe could block.
  LARGE_INTEGER size;
  if (GetFileType(handle) != FILE_TYPE_DISK || !GetFileSizeEx(handle, &size) || size.QuadPart < 0) {
    CloseHandle(handle);
    return -1;
  }
  file.handle = reinterpret_cast<std::intptr_t>(handle);
  length = static_cast<std::uint64_t>(size.QuadPart);
  return 0;
}

void close_playlist_file(PlaylistFile file) {
  CloseHandle(as_handle(file));
}

const char* load_playlist_memory(PlaylistFile file, std::size_t length) noexcept {
  auto* text = static_cast<char*>(std::malloc(length + 1));
  if (text == nullptr) {
    return nullptr;
  }
  constexpr std::size_t kMostPerRead = std::size_t{1} << 30;
  std::size_t got = 0;
  while (got < length) {
    DWORD n = 0;
    auto want = static_cast<DWORD>(std::min(length - got, kMostPerRead));
    if (!ReadFile(as_handle(file), text + got, want, &n, nullptr) || n == 0) {
      break;
    }
    got += n;
  }
  std::memset(text + got, 0, length + 1 - got);
  return text;
}

void free_playlist_memory(const char* memory, std::size_t /*length*/) noexcept {
  std::free(const_cast<char*>(memory));
}

namespace {

/// Keys that yield neither a character nor an extended key when pressed alone.
bool is_modifier_or_lock(WORD key) {
  switch (key) {
    case VK_SHIFT:
    case VK_CONTROL:
    case VK_MENU:
    case VK_LSHIFT:
    case VK_RSHIFT:
    case VK_LCONTROL:
    case VK_RCONTROL:
    case VK_LMENU:
    case VK_RMENU:
    case VK_LWIN:
    case VK_RWIN:
    case VK_APPS:
    case VK_CAPITAL:
    case VK_NUMLOCK:
    case VK_SCROLL:
      return true;
    default:
      return false;
  }
}

}  // namespace

void wait_for_key() {
  // Input redirected from a file or pipe, or no console at all: nobody can
  // press a key, so do not wait.
  HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
  DWORD saved_mode = 0;
  if (input == nullptr || input == INVALID_HANDLE_VALUE || !GetConsoleMode(input, &saved_mode)) {
    return;
  }
  // No line input (a key counts at once), no echo, and Ctrl+C arrives as a key
  // instead of ending the program with the console mode still changed.
  SetConsoleMode(input, saved_mode & ~static_cast<DWORD>(ENABLE_LINE_INPUT | ENABLE_ECHO_INPUT |
                                                         ENABLE_PROCESSED_INPUT));
  for (;;) {
    INPUT_RECORD event;
    DWORD count = 0;
    if (!ReadConsoleInputA(input, &event, 1, &count)) {
      break;
    }
    if (count == 1 && event.EventType == KEY_EVENT && event.Event.KeyEvent.bKeyDown &&
        (event.Event.KeyEvent.uChar.AsciiChar != 0 ||
         !is_modifier_or_lock(event.Event.KeyEvent.wVirtualKeyCode))) {
      break;
    }
  }
  SetConsoleMode(input, saved_mode);
}

}  // namespace m3u2lst::platform
