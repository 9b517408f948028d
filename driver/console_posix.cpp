// The console report on POSIX systems: terminals take UTF-8 as it is.
#include <unistd.h>

#include <cstdio>
#include <system_error>

#include "console.hpp"

namespace m3u2lst::platform {

std::string shown_name(std::string_view name) {
  static const bool terminal = isatty(STDOUT_FILENO) != 0;
  std::string shown(name);
  if (terminal) {
    for (char& c : shown) {
      if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
        c = '?';
      }
    }
  }
  return shown;
}

void print(std::string_view text) noexcept {
  std::fwrite(text.data(), 1, text.size(), stdout);
}

void print_error(std::string_view text) noexcept {
  std::fwrite(text.data(), 1, text.size(), stderr);
}

std::string system_reason(int code) {
  return std::generic_category().message(code);
}

void use_utf8_console() {}

}  // namespace m3u2lst::platform
