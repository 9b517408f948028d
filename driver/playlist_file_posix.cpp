// Playlist files on POSIX systems: read into the heap when small, mapped when
// large, with a SIGBUS handler for pages the file lost while mapped.
#include <fcntl.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "playlist_file.hpp"

namespace m3u2lst::platform {

Failure open_playlist_file(const char* path, PlaylistFile& file, std::uint64_t& length) {
  // O_NONBLOCK: opening a FIFO must not wait for a writer; it is then refused below.
  int fd = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    return {Step::kOpenPlaylist, errno};
  }
  struct stat info;
  Failure failure;
  if (fstat(fd, &info) != 0) {
    failure = {Step::kOpenPlaylist, errno};
  } else if (S_ISDIR(info.st_mode)) {
    failure = {Step::kOpenPlaylist, EISDIR};
  } else if (!S_ISREG(info.st_mode) || info.st_size < 0) {
    failure = {Step::kNotAFile, 0};
  }
  if (failure) {
    close(fd);
    return failure;
  }
  file.handle = fd;
  length = static_cast<std::uint64_t>(info.st_size);
  return {};
}

void close_playlist_file(PlaylistFile file) {
  close(static_cast<int>(file.handle));
}

namespace {

/// Below this length a playlist is read into the heap: for a small file,
/// mapping and unmapping it costs more than copying it.
constexpr std::size_t kMappedFrom = std::size_t{1} << 20;

/// Reads up to `length` bytes from `offset` of `fd` into `into`, fewer when
/// the file ends sooner, and zeroes what the file no longer has. Returns 0,
/// or the errno of a read that failed (a disk error): the file was not read
/// whole.
int read_at(int fd, char* into, std::size_t length, std::uint64_t offset) {
  constexpr std::size_t kMostPerRead = std::size_t{1} << 30;
  std::size_t got = 0;
  while (got < length) {
    ssize_t n = pread(fd, into + got, std::min(length - got, kMostPerRead),
                      static_cast<off_t>(offset + got));
    if (n < 0 && errno == EINTR) {
      continue;
    }
    if (n < 0) {
      return errno;
    }
    if (n == 0) {
      break;  // the file got shorter since it was measured
    }
    got += static_cast<std::size_t>(n);
  }
  std::memset(into + got, 0, length - got);
  return 0;
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
/// find memory for. Returns null with `failure` set when no address space
/// is to be had or a read of the file failed.
char* map_playlist(int fd, std::size_t length, Failure& failure) {
  const auto page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
  failure = {Step::kPlaylistMemory, 0};
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
  if (const int code = read_at(fd, region + whole, length - whole, whole); code != 0) {
    munmap(region, size);
    failure = {Step::kReadPlaylist, code};
    return nullptr;
  }
  mprotect(region + whole, page, PROT_READ);
  failure = {};
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
    failure = {Step::kPlaylistMemory, 0};
    return nullptr;
  }
  if (const int code = read_at(fd, region, whole, 0); code != 0) {
    munmap(region, size);
    failure = {Step::kReadPlaylist, code};
    return nullptr;
  }
  mprotect(region, whole, PROT_READ);
  return region;
}

}  // namespace

const char* load_playlist_memory(PlaylistFile file, std::size_t length, Failure& failure) noexcept {
  auto fd = static_cast<int>(file.handle);
  failure = {};
  if (length >= kMappedFrom) {
    return map_playlist(fd, length, failure);
  }
  auto* text = static_cast<char*>(std::malloc(length + 1));
  if (text == nullptr) {
    failure = {Step::kPlaylistMemory, 0};
    return nullptr;
  }
  if (const int code = read_at(fd, text, length, 0); code != 0) {
    std::free(text);
    failure = {Step::kReadPlaylist, code};
    return nullptr;
  }
  text[length] = '\0';
  return text;
}

Failure playlist_memory_lost(const char* memory) noexcept {
  const bool lost = memory != nullptr && memory == mapped_begin.load() && mapped_lost.load();
  return lost ? Failure{Step::kReadPlaylist, EIO} : Failure{};
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

}  // namespace m3u2lst::platform
