// The channel list file on POSIX systems.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "list_file.hpp"

namespace m3u2lst::list_file {

namespace {

/// Flushes `fd`: with `metadata` everything about it (a folder's entries),
/// else its data and what is needed to read them back. A flush cut short by
/// a signal is made again; a failure is not, as a second call may report
/// success for data the first one failed to store. Returns 0 when flushed,
/// or when `fd` is no file (EINVAL, ENOTSUP: a pipe, a device) and there is
/// nothing to flush; -1 on EIO, ENOSPC, EDQUOT and the like.
int flush_fd(int fd, bool metadata) {
  int result;
  do {
    // fdatasync: the data and the length it grew to; the times can wait.
    result = metadata ? fsync(fd) : fdatasync(fd);
  } while (result != 0 && errno == EINTR);
  if (result == 0 || errno == EINVAL || errno == ENOTSUP || errno == EOPNOTSUPP) {
    return 0;
  }
  return -1;
}

}  // namespace

int open_list(const char* name, ListFile& file) {
  // O_APPEND: each write goes to the end of the list, whoever else appends.
  // O_NONBLOCK only for the open itself, so a FIFO cannot make it wait.
  // O_EXCL first, to know whether this opening created the list.
  constexpr int kFlags = O_WRONLY | O_APPEND | O_CREAT | O_NONBLOCK | O_CLOEXEC;
  file.created = true;
  int fd = open(name, kFlags | O_EXCL, 0666);
  if (fd < 0 && errno == EEXIST) {
    file.created = false;
    fd = open(name, kFlags, 0666);
  }
  if (fd < 0) {
    return -1;
  }
  int flags = fcntl(fd, F_GETFL);
  if (flags < 0 || fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
    close(fd);
    return -1;
  }
  file.handle = fd;
  return 0;
}

std::size_t append_once(ListFile file, const char* bytes, std::size_t size, std::uint64_t& end) {
  auto fd = static_cast<int>(file.handle);
  ssize_t n;
  do {
    n = write(fd, bytes, size);
  } while (n < 0 && errno == EINTR);
  // With O_APPEND the file position is now the end of what this write added.
  off_t position = lseek(fd, 0, SEEK_CUR);
  end = position < 0 ? 0 : static_cast<std::uint64_t>(position);
  return n < 0 ? 0 : static_cast<std::size_t>(n);
}

int cut_back(ListFile file, std::uint64_t length, std::uint64_t end) {
  auto fd = static_cast<int>(file.handle);
  struct stat info;
  if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) ||
      static_cast<std::uint64_t>(info.st_size) != end || length > end) {
    return -1;
  }
  return ftruncate(fd, static_cast<off_t>(length)) == 0 ? 0 : -1;
}

int flush_list(ListFile file) {
  if (flush_fd(static_cast<int>(file.handle), false) != 0) {
    return -1;
  }
  if (!file.created) {
    return 0;
  }
  // A new file's name lives in its folder, which is flushed on its own. A
  // folder that cannot be opened for reading cannot be flushed either.
  int folder = open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (folder < 0) {
    return 0;
  }
  int result = flush_fd(folder, true);
  close(folder);
  return result;
}

int close_list(ListFile file) {
  return close(static_cast<int>(file.handle)) == 0 ? 0 : -1;
}

}  // namespace m3u2lst::list_file
