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
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "ntfs_order.hpp"
#include "platform.hpp"

namespace m3u2lst::platform {

const char* const kChannelFolderPrefix = "./iptv channel/";
const bool kSlashOptions = false;  // "/" starts an absolute path

std::vector<std::string> program_arguments(int argc, char** argv) {
  return std::vector<std::string>(argv + std::min(argc, 1), argv + argc);
}

int list_channel_folder(std::vector<std::string>& names) {
  DIR* folder = opendir(kChannelFolderPrefix);
  if (folder == nullptr) {
    return -1;
  }
  std::vector<std::string> entries;
  for (;;) {
    // readdir tells its end from a failure (a disk error) only by errno.
    errno = 0;
    const dirent* entry = readdir(folder);
    if (entry == nullptr) {
      if (errno != 0) {
        closedir(folder);
        return -1;
      }
      break;
    }
    std::string_view name = entry->d_name;
    if (name != "." && name != "..") {
      entries.emplace_back(name);
    }
  }
  closedir(folder);
  // In the order a Windows folder on NTFS lists them, so that one folder
  // gives the same channel list on every platform.
  std::sort(entries.begin(), entries.end(),
            [](const std::string& x, const std::string& y) { return ntfs_listed_before(x, y); });
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

void close_playlist_file(PlaylistFile file) {
  close(static_cast<int>(file.handle));
}

namespace {

/// Below this length a playlist is read into the heap: for a small file,
/// mapping and unmapping it costs more than copying it.
constexpr std::size_t kMappedFrom = std::size_t{1} << 20;

/// Reads up to `length` bytes from `offset` of `fd` into `into`, fewer when
/// the file ends sooner, and zeroes what the file no longer has. Returns
/// false when a read fails (a disk error): the file was not read whole.
bool read_at(int fd, char* into, std::size_t length, std::uint64_t offset) {
  constexpr std::size_t kMostPerRead = std::size_t{1} << 30;
  std::size_t got = 0;
  while (got < length) {
    ssize_t n = pread(fd, into + got, std::min(length - got, kMostPerRead),
                      static_cast<off_t>(offset + got));
    if (n < 0 && errno == EINTR) {
      continue;
    }
    if (n < 0) {
      return false;
    }
    if (n == 0) {
      break;  // the file got shorter since it was measured
    }
    got += static_cast<std::size_t>(n);
  }
  std::memset(into + got, 0, length - got);
  return true;
}

// The file-backed pages of the playlist mapping in use, and a descriptor of
// its file. A page raises SIGBUS when touched if the file lost it after it
// was mapped (another program shortened it), or if it could not be read (a
// disk error). The handler then maps zero pages over it and the rest, so
// they read as zero, as a read of a shortened file leaves them; where the
// file still has the page, it notes that bytes were lost to an error. Like
// the terminal's saved mode, this is state only a signal handler needs.
std::atomic<char*> mapped_begin{nullptr};
std::atomic<char*> mapped_end{nullptr};
std::atomic<int> mapped_fd{-1};
std::atomic<bool> mapped_lost{false};
std::atomic<std::size_t> page_bytes{4096};
static_assert(std::atomic<char*>::is_always_lock_free &&
              std::atomic<std::size_t>::is_always_lock_free &&
              std::atomic<int>::is_always_lock_free && std::atomic<bool>::is_always_lock_free);

extern "C" void zero_lost_pages(int signal_number, siginfo_t* info, void* /*context*/) {
  auto* at = static_cast<char*>(info->si_addr);
  char* begin = mapped_begin.load();
  char* end = mapped_end.load();
  if (info->si_code > 0 && begin != nullptr && at >= begin && at < end) {
    std::size_t page = page_bytes.load();
    char* from = begin + static_cast<std::size_t>(at - begin) / page * page;
    // Only a page wholly past the file's end raises SIGBUS for a shorter
    // file; one the file still has could not be read. fstat is safe here.
    struct stat info_now;
    if (fstat(mapped_fd.load(), &info_now) != 0 || info_now.st_size > from - begin) {
      mapped_lost.store(true);
    }
    if (mmap(from, static_cast<std::size_t>(end - from), PROT_READ,
             MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED, -1, 0) != MAP_FAILED) {
      return;  // the access is made again, and reads zero
    }
  }
  // Not a page of ours, or no zero pages to be had: end as SIGBUS would have.
  signal(signal_number, SIG_DFL);
  if (info->si_code <= 0) {
    raise(signal_number);  // sent, not raised by an access that would come again
  }
}

bool guard_mapping() {
  struct sigaction action;
  std::memset(&action, 0, sizeof action);
  action.sa_sigaction = zero_lost_pages;
  action.sa_flags = SA_SIGINFO;
  sigemptyset(&action.sa_mask);
  return sigaction(SIGBUS, &action, nullptr) == 0;
}

/// The mapping's size for a playlist of `length` bytes: its whole pages,
/// mapped from the file, and one page of the program's own for the file's
/// last bytes and the terminating zero.
std::size_t mapping_size(std::size_t length, std::size_t page) {
  return length / page * page + page;
}

/// Maps the playlist: no copy, no zeroing, and no buffer the system must
/// find memory for. Returns null when no address space is to be had, or
/// with `read_failed` set when a read of the file failed.
char* map_playlist(int fd, std::size_t length, bool& read_failed) {
  const auto page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
  if (length > std::numeric_limits<std::size_t>::max() / 2) {
    return nullptr;  // more than any address space holds
  }
  page_bytes.store(page);
  const std::size_t whole = length / page * page;
  const std::size_t size = mapping_size(length, page);
  void* reserved = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (reserved == MAP_FAILED) {
    return nullptr;
  }
  auto* region = static_cast<char*>(reserved);
  // The last bytes are read into the program's own page, so the zero after
  // them stays zero even when the file grows since it was measured.
  if (!read_at(fd, region + whole, length - whole, whole)) {
    munmap(region, size);
    read_failed = true;
    return nullptr;
  }
  mprotect(region + whole, page, PROT_READ);
  if (whole == 0) {
    return region;
  }
  // One mapping is guarded at a time, with a descriptor of its own, so that
  // the handler can ask the file's length. Its pages come in as the text is
  // first read: at each fault the system maps the cached pages around it as
  // well (64 KiB on Linux), which takes less time than MAP_POPULATE's
  // setting up every page one by one when mapping.
  if (mapped_begin.load() == nullptr && guard_mapping()) {
    const int own_fd = fcntl(fd, F_DUPFD_CLOEXEC, 0);
    if (own_fd >= 0 &&
        mmap(region, whole, PROT_READ, MAP_PRIVATE | MAP_FIXED, fd, 0) != MAP_FAILED) {
      mapped_fd.store(own_fd);
      mapped_lost.store(false);
      mapped_end.store(region + whole);
      mapped_begin.store(region);
      return region;
    }
    if (own_fd >= 0) {
      close(own_fd);
    }
  }
  // The file cannot be mapped (some file systems cannot): read it instead,
  // into fresh pages where the failed mapping may have left none.
  if (mmap(region, whole, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED, -1, 0) ==
      MAP_FAILED) {
    munmap(region, size);
    return nullptr;
  }
  if (!read_at(fd, region, whole, 0)) {
    munmap(region, size);
    read_failed = true;
    return nullptr;
  }
  mprotect(region, whole, PROT_READ);
  return region;
}

}  // namespace

const char* load_playlist_memory(PlaylistFile file, std::size_t length,
                                 bool& read_failed) noexcept {
  auto fd = static_cast<int>(file.handle);
  read_failed = false;
  if (length >= kMappedFrom) {
    return map_playlist(fd, length, read_failed);
  }
  auto* text = static_cast<char*>(std::malloc(length + 1));
  if (text == nullptr) {
    return nullptr;
  }
  if (!read_at(fd, text, length, 0)) {
    std::free(text);
    read_failed = true;
    return nullptr;
  }
  text[length] = '\0';
  return text;
}

bool playlist_memory_lost(const char* memory) noexcept {
  return memory != nullptr && memory == mapped_begin.load() && mapped_lost.load();
}

void free_playlist_memory(const char* memory, std::size_t length) noexcept {
  if (memory == nullptr) {
    return;
  }
  auto* region = const_cast<char*>(memory);
  if (length < kMappedFrom) {
    std::free(region);
    return;
  }
  if (mapped_begin.load() == region) {
    mapped_begin.store(nullptr);
    mapped_end.store(nullptr);
    close(mapped_fd.exchange(-1));
  }
  munmap(region, mapping_size(length, page_bytes.load()));
}

void keep_running_when_writes_fail() noexcept {
  signal(SIGPIPE, SIG_IGN);
  signal(SIGXFSZ, SIG_IGN);
}

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

void print(std::string_view text) noexcept {
  std::fwrite(text.data(), 1, text.size(), stdout);
}

void print_error(std::string_view text) noexcept {
  std::fwrite(text.data(), 1, text.size(), stderr);
}

void use_utf8_console() {}

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
