// How the process starts on POSIX systems.
#include <signal.h>

#include <algorithm>

#include "process.hpp"

namespace m3u2lst::platform {

const bool kSlashOptions = false;  // "/" starts an absolute path

std::vector<std::string> program_arguments(int argc, char** argv) {
  return std::vector<std::string>(argv + std::min(argc, 1), argv + argc);
}

void keep_running_when_writes_fail() noexcept {
  signal(SIGPIPE, SIG_IGN);
  signal(SIGXFSZ, SIG_IGN);
}

}  // namespace m3u2lst::platform
