// The channel list file on POSIX systems.
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <iterator>

#include "list_file.hpp"

namespace m3u2lst::list_file {

namespace {

/// Flushes `fd`: with `metadata` everything about it (a folder's entries),
/// else its data and what is needed to read them back. A flush cut short by
/// a signal is made again; a failure is not, as a second call may report
/// success for data the first one failed to store. Returns 0 when flushed,
/// or when `fd` is no file (EINVAL, ENOTSUP: a pipe, a device) and there is
/// nothing to flush; else the errno of the failure (EIO, ENOSPC, EDQUOT...).
int flush_fd(int fd, bool metadata) {
  int result;
  do {
    // fdatasync: the data and the length it grew to; the times can wait.
    result = metadata ? fsync(fd) : fdatasync(fd);
  } while (result != 0 && errno == EINTR);
  const int code = result == 0 ? 0 : errno;
  return code == EINVAL || code == ENOTSUP || code == EOPNOTSUPP ? 0 : code;
}

/// Takes the exclusive lock on the open file description behind `fd`,
/// waiting for it. flock locks the whole file for other openings only: a
/// player that reads the list takes no lock and is never kept waiting.
/// Returns false when the lock cannot be taken, for whatever reason: a file
/// system without locks (ENOLCK, EINVAL, EOPNOTSUPP) or any other failure.
/// The list is then used without one.
bool lock_fd(int fd) {
  int result;
  do {
    result = flock(fd, LOCK_EX);
  } while (result != 0 && errno == EINTR);
  return result == 0;
}

/// The most bytes one write asks for. Linux takes at most 0x7ffff000 bytes a
/// call and reports the rest as not written; asking for 1 GiB at a time
/// keeps every write whole where the disk has room.
constexpr std::size_t kMostPerWrite = std::size_t{1} << 30;

}  // namespace

Failure open_list(ListFile& file) {
  // O_APPEND: each write goes to the end of the list, whoever else appends.
  // O_NONBLOCK only for the open itself, so a FIFO cannot make it wait. A
  // list that is a file is opened for reading too, so that its last byte
  // can be read; anything else as before, write only: opening a FIFO for
  // reading would stand in for the reader it may lack.
  constexpr int kFlags = O_APPEND | O_CREAT | O_NONBLOCK | O_CLOEXEC;
  struct stat info;
  int fd = -1;
  if (stat(kChannelListName, &info) == 0 ? S_ISREG(info.st_mode) : errno == ENOENT) {
    fd = open(kChannelListName, O_RDWR | kFlags, 0666);
    if (fd >= 0 && (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode))) {
      close(fd);
      fd = -1;
    }
  }
  if (fd < 0) {
    fd = open(kChannelListName, O_WRONLY | kFlags, 0666);
  }
  if (fd < 0) {
    return {Step::kOpenList, errno};
  }
  int flags = fcntl(fd, F_GETFL);
  if (flags < 0 || fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
    const Failure failure{Step::kOpenList, errno};
    close(fd);
    return failure;
  }
  file.handle = fd;
  file.locked = lock_fd(fd);
  return {};
}

std::string_view line_end_needed(ListFile file) {
  const auto fd = static_cast<int>(file.handle);
  struct stat info;
  char last = '\n';
  if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_size <= 0 ||
      pread(fd, &last, 1, info.st_size - 1) != 1) {
    return {};
  }
  return line_end_after(last);
}

namespace {

/// The signals that end the program and that a write holds off.
constexpr int kEndingSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};

}  // namespace

EndingHeld::EndingHeld() noexcept {
  // Blocked, not caught: they stay pending, and once unblocked they take
  // their course (ending the program, or nothing where they are ignored).
  sigset_t ending;
  sigset_t before;
  sigemptyset(&ending);
  for (int signal_number : kEndingSignals) {
    sigaddset(&ending, signal_number);
  }
  if (sigprocmask(SIG_BLOCK, &ending, &before) != 0) {
    return;
  }
  for (unsigned i = 0; i < std::size(kEndingSignals); ++i) {
    if (sigismember(&before, kEndingSignals[i]) == 0) {
      held_ |= 1u << i;  // blocked here, so let go here; others were blocked before
    }
  }
}

EndingHeld::~EndingHeld() {
  sigset_t held;
  sigemptyset(&held);
  for (unsigned i = 0; i < std::size(kEndingSignals); ++i) {
    if ((held_ & (1u << i)) != 0) {
      sigaddset(&held, kEndingSignals[i]);
    }
  }
  // A signal that came meanwhile is delivered before this returns.
  sigprocmask(SIG_UNBLOCK, &held, nullptr);
}

Appended append(ListFile file, const char* bytes, std::size_t size) {
  auto fd = static_cast<int>(file.handle);
  Appended appended;
  while (appended.written < size) {
    ssize_t n =
        write(fd, bytes + appended.written, std::min(size - appended.written, kMostPerWrite));
    if (n < 0 && errno == EINTR) {
      continue;
    }
    if (n <= 0) {
      appended.code = n < 0 ? errno : 0;  // the disk is full, the reader gone...
      break;
    }
    // A short write is made up by the next one, which fails if the disk is full.
    appended.written += static_cast<std::size_t>(n);
  }
  // With O_APPEND the file position is now the end of what this run added.
  off_t position = lseek(fd, 0, SEEK_CUR);
  appended.end = position < 0 ? 0 : static_cast<std::uint64_t>(position);
  return appended;
}

bool cut_back(ListFile file, std::uint64_t length, std::uint64_t end) {
  auto fd = static_cast<int>(file.handle);
  struct stat info;
  if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) ||
      static_cast<std::uint64_t>(info.st_size) != end || length > end) {
    return false;
  }
  return ftruncate(fd, static_cast<off_t>(length)) == 0;
}

Failure flush_list(ListFile file) {
  const int code = flush_fd(static_cast<int>(file.handle), false);
  return code == 0 ? Failure{} : Failure{Step::kFlushList, code};
}

Failure flush_folder() {
  // A file's name lives in its folder, which is flushed on its own. A folder
  // that cannot be opened for reading cannot be flushed either.
  int folder = open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (folder < 0) {
    return {};
  }
  const int code = flush_fd(folder, true);
  close(folder);
  return code == 0 ? Failure{} : Failure{Step::kFlushFolder, code};
}

Failure close_list(ListFile file) {
  auto fd = static_cast<int>(file.handle);
  // Closing would let go of the lock too; letting go first keeps a close that
  // fails and leaves the file open from holding it for the rest of the run.
  if (file.locked) {
    flock(fd, LOCK_UN);
  }
  return close(fd) == 0 ? Failure{} : Failure{Step::kCloseList, errno};
}

}  // namespace m3u2lst::list_file
