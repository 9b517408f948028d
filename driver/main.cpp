// m3u2lst: converts the playlists in the folder "iptv channel" into records
// appended to "iptv.lst", reports each step, and waits for a key so that a
// console window opened for it stays readable. --help and --version answer
// without touching a file.
#include <cerrno>
#include <cstdio>
#include <string>
#include <system_error>

#include "command_line.hpp"
#include "console.hpp"
#include "driver.hpp"
#include "key_prompt.hpp"
#include "process.hpp"

// The program's version, kept whole in the binary for `strings m3u2lst | grep`.
extern const char kM3u2lstVersion[];
const char kM3u2lstVersion[] = "m3u2lst version " M3U2LST_VERSION;

namespace {

/// 1 when standard output could not be written whole (a full disk, a closed
/// pipe), a failure of the run as with other command-line tools, said on
/// standard error; else `status`.
int with_output_written(int status) {
  const bool flushed = std::fflush(stdout) == 0;
  const int code = errno;
  if (flushed && std::ferror(stdout) == 0) {
    return status;
  }
  // The C library's own code, on every platform.
  m3u2lst::platform::print_error(
      "m3u2lst: standard output: cannot write" +
      (flushed ? std::string() : ": " + std::generic_category().message(code)) + "\n");
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  m3u2lst::platform::use_utf8_console();
  m3u2lst::platform::keep_running_when_writes_fail();
  const m3u2lst::CommandLine command_line = m3u2lst::read_command_line(
      m3u2lst::platform::program_arguments(argc, argv), m3u2lst::platform::kSlashOptions);
  switch (command_line.request) {
    case m3u2lst::Request::kHelp:
      m3u2lst::platform::print(m3u2lst::usage_text(m3u2lst::platform::kSlashOptions));
      return with_output_written(0);
    case m3u2lst::Request::kVersion:
      m3u2lst::platform::print(m3u2lst::version_text(M3U2LST_VERSION));
      return with_output_written(0);
    case m3u2lst::Request::kUnknownOption:
      m3u2lst::platform::print_error(m3u2lst::unknown_option_text(command_line.unknown_option));
      return m3u2lst::kUnknownOptionStatus;
    case m3u2lst::Request::kRun:
      break;
  }
  int status = m3u2lst::run_channel_folder();
  m3u2lst::platform::print(m3u2lst::kClosingLine);
  status = with_output_written(status);
  m3u2lst::platform::wait_for_key();
  return status;
}
