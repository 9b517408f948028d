// The console report on Windows: UTF-8 to a console, whatever its code page
// was, put back however the program ends; UTF-8 bytes with CR LF line ends
// to a file or a pipe.
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "console.hpp"
#include "utf16.hpp"

namespace m3u2lst::platform {

std::string shown_name(std::string_view name) {
  return std::string(name);
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

std::string system_reason(int code) {
  wchar_t* text = nullptr;
  const DWORD length = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, static_cast<DWORD>(code), 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::wstring_view reason(text, text != nullptr ? length : 0);
  // The system's text ends its line, and sometimes adds a blank.
  while (!reason.empty() &&
         (reason.back() == L'\n' || reason.back() == L'\r' || reason.back() == L' ')) {
    reason.remove_suffix(1);
  }
  std::string utf8 = reason.empty() ? "error " + std::to_string(code) : utf8_from_utf16(reason);
  LocalFree(text);
  return utf8;
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
