// The platform layer on POSIX systems (Linux and the like).
#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "platform.hpp"

namespace m3u2lst::platform {

const char* const kChannelFolderPrefix = "./iptv channel/";

namespace {

char upper_ascii(char c) {
  return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

/// The order in which a Windows folder lists its entries: names compared with
/// ASCII letters folded to upper case, ties broken byte for byte. One folder
/// then gives the same channel list on every platform.
bool listed_before(const std::string& a, const std::string& b) {
  std::size_t common = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < common; ++i) {
    auto x = static_cast<unsigned char>(upper_ascii(a[i]));
    auto y = static_cast<unsigned char>(upper_ascii(b[i]));
    if (x != y) {
      return x < y;
    }
  }
  if (a.size() != b.size()) {
    return a.size() < b.size();
  }
  return a < b;
}

}  // namespace

int list_channel_folder(std::vector<std::string>& names) {
  DIR* folder = opendir(kChannelFolderPrefix);
  if (folder == nullptr) {
    return -1;
  }
  std::vector<std::string> entries;
  while (const dirent* entry = readdir(folder)) {
    std::string_view name = entry->d_name;
    if (name != "." && name != "..") {
      entries.emplace_back(name);
    }
  }
  closedir(folder);
  std::sort(entries.begin(), entries.end(), listed_before);
  // Like a Windows search, the folder's own entry comes first and its parent second.
  names.clear();
  names.reserve(entries.size() + 2);
  names.emplace_back(".");
  names.emplace_back("..");
  names.insert(names.end(), std::make_move_iterator(entries.begin()),
               std::make_move_iterator(entries.end()));
  return 0;
}

int open_playlist_file(const char* path, PlaylistFile& file, std::uint64_t& length) {
  // O_NONBLOCK: opening a FIFO must not wait for a writer; it is then refused below.
  int fd = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    return -1;
  }
  struct stat info;
  if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_size < 0) {
    close(fd);
    return -1;
  }
  file.handle = fd;
  length = static_cast<std::uint64_t>(info.st_size);
  return 0;
}

std::size_t read_playlist_file(PlaylistFile file, char* into, std::size_t length) {
  constexpr std::size_t kMostPerRead = std::size_t{1} << 30;
  auto fd = static_cast<int>(file.handle);
  std::size_t got = 0;
  while (got < length) {
    ssize_t n = read(fd, into + got, std::min(length - got, kMostPerRead));
    if (n < 0 && errno == EINTR) {
      continue;
    }
    if (n <= 0) {
      break;
    }
    got += static_cast<std::size_t>(n);
  }
  return got;
}

void close_playlist_file(PlaylistFile file) {
  close(static_cast<int>(file.handle));
}

namespace {

constexpr std::size_t kHugePage = std::size_t{2} << 20;
/// Below this, a buffer comes from the ordinary heap.
constexpr std::size_t kMappedFrom = 4 * kHugePage;

std::size_t round_up(std::size_t size, std::size_t unit) {
  return (size + unit - 1) / unit * unit;
}

}  // namespace

char* allocate_playlist_memory(std::size_t size) noexcept {
  if (size < kMappedFrom) {
    return static_cast<char*>(std::malloc(size));
  }
  // Map one huge page more than needed, then trim the ends so that the buffer
  // starts on a huge-page boundary: only aligned huge pages can back it.
  const std::size_t length = round_up(size, kHugePage);
  void* mapping =
      mmap(nullptr, length + kHugePage, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (mapping == MAP_FAILED) {
    return nullptr;
  }
  auto* start = static_cast<char*>(mapping);
  const std::size_t head = round_up(reinterpret_cast<std::uintptr_t>(start), kHugePage) -
                           reinterpret_cast<std::uintptr_t>(start);
  if (head > 0) {
    munmap(start, head);
  }
  if (kHugePage - head > 0) {
    munmap(start + head + length, kHugePage - head);
  }
#ifdef MADV_HUGEPAGE
  madvise(start + head, length, MADV_HUGEPAGE);
#endif
  return start + head;
}

void free_playlist_memory(char* memory, std::size_t size) noexcept {
  if (memory == nullptr) {
    return;
  }
  if (size < kMappedFrom) {
    std::free(memory);
  } else {
    munmap(memory, round_up(size, kHugePage));
  }
}

namespace {

// The terminal mode before the key wait changed it, and whether it is changed
// now. This is the program's only global state: every way out, a normal exit
// or a signal, needs it to put the terminal back.
struct termios saved_mode;
volatile sig_atomic_t mode_changed = 0;

void restore_terminal() {
  if (mode_changed != 0) {
    tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved_mode);
    mode_changed = 0;
  }
}

extern "C" void restore_at_exit() {
  restore_terminal();
}

extern "C" void restore_and_end(int signal_number) {
  restore_terminal();
  // The handler reset itself to the default on entry: end as that signal would.
  raise(signal_number);
}

void restore_on_signals() {
  struct sigaction action;
  std::memset(&action, 0, sizeof action);
  action.sa_handler = restore_and_end;
  action.sa_flags = static_cast<int>(SA_RESETHAND);
  sigemptyset(&action.sa_mask);
  for (int signal_number : {SIGTERM, SIGHUP, SIGINT, SIGQUIT}) {
    sigaction(signal_number, &action, nullptr);
  }
  std::atexit(restore_at_exit);
}

/// Reads whatever else the key sent (an arrow or function key sends several
/// bytes, a non-ASCII character several too), up to a short pause.
void drain_key_bytes() {
  constexpr int kPauseMs = 50;
  constexpr int kMostReads = 64;
  pollfd input{STDIN_FILENO, POLLIN, 0};
  char bytes[64];
  for (int i = 0; i < kMostReads && poll(&input, 1, kPauseMs) > 0; ++i) {
    if (read(STDIN_FILENO, bytes, sizeof bytes) <= 0) {
      break;
    }
  }
}

}  // namespace

void wait_for_key() {
  // No terminal (a pipe, a file, CI), or a run in the background: nobody can
  // press a key, so do not wait.
  if (!isatty(STDIN_FILENO) || tcgetpgrp(STDIN_FILENO) != getpgrp()) {
    return;
  }
  if (tcgetattr(STDIN_FILENO, &saved_mode) != 0) {
    return;
  }
  restore_on_signals();
  struct termios key_mode = saved_mode;
  key_mode.c_lflag &= ~static_cast<tcflag_t>(ICANON);  // deliver each key at once, not per line
  key_mode.c_lflag &= ~static_cast<tcflag_t>(ECHO);    // do not show the key
  key_mode.c_lflag &= ~static_cast<tcflag_t>(ISIG);    // Ctrl+C, Ctrl+\ and Ctrl+Z are keys
  key_mode.c_lflag &= ~static_cast<tcflag_t>(IEXTEN);  // Ctrl+V and Ctrl+O are keys too
  key_mode.c_iflag &= ~static_cast<tcflag_t>(IXON);    // Ctrl+S and Ctrl+Q are keys too
  key_mode.c_cc[VMIN] = 1;                             // a read returns after one byte
  key_mode.c_cc[VTIME] = 0;                            // with no timer
  mode_changed = 1;
  if (tcsetattr(STDIN_FILENO, TCSANOW, &key_mode) != 0) {
    restore_terminal();
    return;
  }
  char key;
  ssize_t n;
  do {
    n = read(STDIN_FILENO, &key, 1);
  } while (n < 0 && errno == EINTR);
  if (n > 0) {
    drain_key_bytes();
  }
  // TCSAFLUSH also discards any input still unread, so none reaches the shell.
  restore_terminal();
}

}  // namespace m3u2lst::platform
