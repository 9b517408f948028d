// The channel folder's listing on POSIX systems.
#include <dirent.h>

#include <algorithm>
#include <cerrno>
#include <iterator>

#include "channel_listing.hpp"
#include "ntfs_order.hpp"

namespace m3u2lst::platform {

const char* const kChannelFolderPrefix = "./iptv channel/";

Failure list_channel_folder(std::vector<std::string>& names) {
  names.clear();
  DIR* folder = opendir(kChannelFolderPrefix);
  if (folder == nullptr) {
    return {errno == ENOENT ? Step::kNoFolder : Step::kListFolder, errno};
  }
  std::vector<std::string> entries;
  for (;;) {
    // readdir tells its end from a failure (a disk error) only by errno.
    errno = 0;
    const dirent* entry = readdir(folder);
    if (entry == nullptr) {
      if (errno != 0) {
        const Failure failure{Step::kListFolder, errno};
        closedir(folder);
        return failure;
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
  names.reserve(entries.size() + 2);
  names.emplace_back(".");
  names.emplace_back("..");
  names.insert(names.end(), std::make_move_iterator(entries.begin()),
               std::make_move_iterator(entries.end()));
  return {};
}

}  // namespace m3u2lst::platform
