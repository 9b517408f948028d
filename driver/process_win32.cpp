// How the process starts on Windows.
#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>

#include "process.hpp"
#include "utf16.hpp"

namespace m3u2lst::platform {

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

void keep_running_when_writes_fail() noexcept {}

}  // namespace m3u2lst::platform
