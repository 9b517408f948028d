// A file system for the tests: one read-only file, b.m3u, with the bytes of
// a backing file, whose page at a given offset cannot be read (EIO), as a
// failing disk or stick would answer. Runs in the foreground until it is
// unmounted.
//   lost_page_fs BACKING LOST_OFFSET MOUNTPOINT
#define FUSE_USE_VERSION 31
#include <fcntl.h>
#include <fuse.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace {

constexpr char kName[] = "/b.m3u";
constexpr off_t kPage = 4096;
int backing = -1;
off_t lost = 0;

int get_attributes(const char* path, struct stat* info, fuse_file_info*) {
  std::memset(info, 0, sizeof *info);
  if (std::strcmp(path, "/") == 0) {
    info->st_mode = S_IFDIR | 0755;
    info->st_nlink = 2;
    return 0;
  }
  if (std::strcmp(path, kName) != 0) {
    return -ENOENT;
  }
  struct stat file;
  if (fstat(backing, &file) != 0) {
    return -errno;
  }
  info->st_mode = S_IFREG | 0444;
  info->st_nlink = 1;
  info->st_size = file.st_size;
  return 0;
}

int read_folder(const char* path, void* buffer, fuse_fill_dir_t fill, off_t, fuse_file_info*,
                fuse_readdir_flags) {
  if (std::strcmp(path, "/") != 0) {
    return -ENOENT;
  }
  fill(buffer, ".", nullptr, 0, static_cast<fuse_fill_dir_flags>(0));
  fill(buffer, "..", nullptr, 0, static_cast<fuse_fill_dir_flags>(0));
  fill(buffer, kName + 1, nullptr, 0, static_cast<fuse_fill_dir_flags>(0));
  return 0;
}

int open_file(const char* path, fuse_file_info* info) {
  if (std::strcmp(path, kName) != 0) {
    return -ENOENT;
  }
  return (info->flags & O_ACCMODE) == O_RDONLY ? 0 : -EACCES;
}

int read_file(const char*, char* buffer, std::size_t size, off_t offset, fuse_file_info*) {
  if (offset < lost + kPage && offset + static_cast<off_t>(size) > lost) {
    return -EIO;
  }
  const ssize_t n = pread(backing, buffer, size, offset);
  return n < 0 ? -errno : static_cast<int>(n);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4 || (backing = open(argv[1], O_RDONLY)) < 0) {
    return 2;
  }
  lost = std::strtoll(argv[2], nullptr, 10) / kPage * kPage;
  fuse_operations operations{};
  operations.getattr = get_attributes;
  operations.readdir = read_folder;
  operations.open = open_file;
  operations.read = read_file;
  char* fuse_arguments[] = {argv[0], const_cast<char*>("-f"), const_cast<char*>("-s"), argv[3]};
  return fuse_main(4, fuse_arguments, &operations, nullptr);
}
