// m3u2lst: converts the playlists in the folder "iptv channel" into records
// appended to "iptv.lst", reports each step, and waits for a key so that a
// console window opened for it stays readable.
#include <cstdio>

#include "driver.hpp"
#include "platform.hpp"

// The program's version, kept in the binary for `strings m3u2lst | grep`:
// the program reads no argument, so none prints it.
extern const char kM3u2lstVersion[];
const char kM3u2lstVersion[] = "m3u2lst version " M3U2LST_VERSION;

int main() {
  m3u2lst::platform::use_utf8_console();
  m3u2lst::platform::keep_running_when_writes_fail();
  int status = m3u2lst::run_channel_folder();
  m3u2lst::platform::print(m3u2lst::kClosingLine);
  // A report that could not be written whole (a full disk, a closed pipe)
  // is a failure of the run, as with other command-line tools.
  if (std::fflush(stdout) != 0 || std::ferror(stdout) != 0) {
    status = 1;
  }
  m3u2lst::platform::wait_for_key();
  return status;
}
