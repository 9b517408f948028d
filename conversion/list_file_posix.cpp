// The channel list file on POSIX systems.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "list_file.hpp"

namespace m3u2lst::list_file {

int open_list(const char* name, ListFile& file) {
  // O_APPEND: each write goes to the end of the list, whoever else appends.
  // O_NONBLOCK only for the open itself, so a FIFO cannot make it wait.
  int fd = open(name, O_WRONLY | O_APPEND | O_CREAT | O_NONBLOCK | O_CLOEXEC, 0666);
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

int close_list(ListFile file) {
  return close(static_cast<int>(file.handle)) == 0 ? 0 : -1;
}

}  // namespace m3u2lst::list_file
