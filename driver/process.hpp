// How the process starts: its arguments, and how it meets the signals that
// would end it when a write fails. One source per platform (process_*.cpp).
#pragma once

#include <string>
#include <vector>

namespace m3u2lst::platform {

/// Whether options may begin with '/' as well as '-' ("/?"): on Windows.
extern const bool kSlashOptions;

/// The program's arguments, its own name left out: UTF-8 on Windows (read
/// from the wide command line, whatever the ANSI code page), bytes as given
/// on POSIX. `argc` and `argv` are main's.
std::vector<std::string> program_arguments(int argc, char** argv);

/// Makes a write to a pipe whose reader has gone, or past the file size the
/// process may write, fail with an error (EPIPE, EFBIG) instead of ending
/// the process, so the run reports it and goes on. Nothing to do on Windows.
void keep_running_when_writes_fail() noexcept;

}  // namespace m3u2lst::platform
