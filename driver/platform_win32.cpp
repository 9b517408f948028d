// The platform layer on Windows.
#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform.hpp"
#include "utf16.hpp"

namespace m3u2lst::platform {

const char* const kChannelFolderPrefix = ".\\iptv channel\\";
const bool kSlashOptions = true;  // "/?" is how Windows asks for help

std::vector<std::string> program_arguments(int /*argc*/, char** /*argv*/) {
  // main's argv holds the arguments in the ANSI code page, which cannot
  // hold a name in every script: they are read from the wide command line.
  std::vector<std::string> arguments;
  int count = 0;
  LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
  if (wide == nullptr) {
    return arguments;
  }
  for (int i = 1; i < count; ++i) {
    arguments.push_back(utf8_from_utf16(std::wstring_view(wide[i])));
  }
  LocalFree(wide);
  return arguments;
}

// Names go to and come from the system as UTF-16, through the wide calls,
// and are UTF-8 inside the program: a name in any script is listed, opened
// and printed as it is, whatever the system's ANSI code page.

int list_channel_folder(std::vector<std::string>& names) {
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW(L".\\iptv channel\\*", &found);
  if (search == INVALID_HANDLE_VALUE) {
    return -1;
  }
  names.clear();
  do {
    names.push_back(utf8_from_utf16(std::wstring_view(found.cFileName)));
  } while (FindNextFileW(search, &found));
  // The search ends with ERROR_NO_MORE_FILES; anything else (a disk or
  // network error) broke it off, and the entries after are unknown.
  const bool whole = GetLastError() == ERROR_NO_MORE_FILES;
  FindClose(search);
  return whole ? 0 : 1;
}

namespace {

HANDLE as_handle(PlaylistFile file) {
  return reinterpret_cast<HANDLE>(file.handle);
}

}  // namespace

int open_playlist_file(const char* path, PlaylistFile& file, std::uint64_t& length) {
  // Without FILE_FLAG_BACKUP_SEMANTICS a folder cannot be opened at all.
  HANDLE handle = CreateFileW(utf16_from_utf8<wchar_t>(path).c_str(), GENERIC_READ,
                              FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
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

const char* load_playlist_memory(PlaylistFile file, std::size_t length,
                                 bool& read_failed) noexcept {
  read_failed = false;
  auto* text = static_cast<char*>(std::malloc(length + 1));
  if (text == nullptr) {
    return nullptr;
  }
  constexpr std::size_t kMostPerRead = std::size_t{1} << 30;
  std::size_t got = 0;
  while (got < length) {
    DWORD n = 0;
    auto want = static_cast<DWORD>(std::min(length - got, kMostPerRead));
    if (!ReadFile(as_handle(file), text + got, want, &n, nullptr)) {
      std::free(text);
      read_failed = true;
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

bool playlist_memory_lost(const char* /*memory*/) noexcept {
  return false;  // read, never mapped: a failed read is known when loading
}

void free_playlist_memory(const char* memory, std::size_t /*length*/) noexcept {
  std::free(const_cast<char*>(memory));
}

void keep_running_when_writes_fail() noexcept {}

std::string shown_name(std::string_view name) {
  return std::string(name);
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
    // The wide call: a key of any keyboard layout yields its character.
    if (!ReadConsoleInputW(input, &event, 1, &count)) {
      break;
    }
    if (count == 1 && event.EventType == KEY_EVENT && event.Event.KeyEvent.bKeyDown &&
        (event.Event.KeyEvent.uChar.UnicodeChar != 0 ||
         !is_modifier_or_lock(event.Event.KeyEvent.wVirtualKeyCode))) {
      break;
    }
  }
  SetConsoleMode(input, saved_mode);
}

namespace {

// The console's output code page before the run set it to UTF-8, or 0 while
// it is unchanged. Like the terminal's saved mode on POSIX, this is state
// only the ways out need: the normal end of the program, and the console
// handler for Ctrl+C, Ctrl+Break and the window's closing.
std::atomic<UINT> saved_output_code_page{0};

void restore_output_code_page() {
  UINT code_page = saved_output_code_page.exchange(0);
  if (code_page != 0) {
    SetConsoleOutputCP(code_page);
  }
}

extern "C" void restore_output_code_page_at_exit() {
  restore_output_code_page();
}

BOOL WINAPI restore_output_code_page_and_go_on(DWORD /*event*/) {
  restore_output_code_page();
  return FALSE;  // the next handler, the system's, ends the program as before
}

}  // namespace

namespace {

/// Writes all of `bytes` to `output`. Returns false when a write fails.
bool write_all(HANDLE output, std::string_view bytes) {
  while (!bytes.empty()) {
    DWORD written = 0;
    auto size = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1 << 16));
    if (!WriteFile(output, bytes.data(), size, &written, nullptr) || written == 0) {
      return false;
    }
    bytes.remove_prefix(written);
  }
  return true;
}

/// Writes `text` to the standard handle `which`, whose C stream is `stream`.
void print_to(DWORD which, std::FILE* stream, std::string_view text) noexcept {
  HANDLE output = GetStdHandle(which);
  DWORD mode = 0;
  if (output == nullptr || output == INVALID_HANDLE_VALUE || !GetConsoleMode(output, &mode)) {
    // A file or a pipe: the C runtime's text mode writes each LF as CR LF.
    std::fwrite(text.data(), 1, text.size(), stream);
    return;
  }
  // Cut only at line ends, so no UTF-8 sequence is split between writes.
  while (!text.empty()) {
    const std::size_t end = std::min(text.find('\n'), text.size());
    if (!write_all(output, text.substr(0, end)) ||
        (end < text.size() && !write_all(output, "\r\n"))) {
      return;
    }
    text.remove_prefix(std::min(end + 1, text.size()));
  }
}

}  // namespace

void print(std::string_view text) noexcept {
  print_to(STD_OUTPUT_HANDLE, stdout, text);
}

void print_error(std::string_view text) noexcept {
  print_to(STD_ERROR_HANDLE, stderr, text);
}

void use_utf8_console() {
  // Output to a file or a pipe takes the bytes as they are, which are UTF-8.
  HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
  DWORD mode = 0;
  if (output == nullptr || output == INVALID_HANDLE_VALUE || !GetConsoleMode(output, &mode)) {
    return;
  }
  const UINT code_page = GetConsoleOutputCP();
  if (code_page == 0 || code_page == CP_UTF8) {
    return;
  }
  saved_output_code_page.store(code_page);
  SetConsoleCtrlHandler(restore_output_code_page_and_go_on, TRUE);
  std::atexit(restore_output_code_page_at_exit);
  if (!SetConsoleOutputCP(CP_UTF8)) {
    saved_output_code_page.store(0);
  }
}

}  // namespace m3u2lst::platform
