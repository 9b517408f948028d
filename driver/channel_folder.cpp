// The folder scan: which entries of the channel folder are playlists.
#include <cstdio>

#include "driver.hpp"
#include "platform.hpp"

namespace m3u2lst {

bool is_playlist_name(std::string_view name) {
  return name.find(".m3u") != std::string_view::npos || name.find(".txt") != std::string_view::npos;
}

int scan_channel_folder(std::vector<std::string>& table) {
  std::vector<std::string> names;
  if (platform::list_channel_folder(names) != 0) {
    std::fputs(kNoMatchingFileLine, stdout);
    return -1;
  }
  // The search's first entry is the folder itself (".") and is not examined.
  for (std::size_t i = 1; i < names.size(); ++i) {
    const std::string& name = names[i];
    if (is_playlist_name(name)) {
      table.push_back(platform::kChannelFolderPrefix + name);
      std::printf(kListedLine, table.back().c_str());
    } else {
      std::printf(kNotNeededLine, name.c_str());
    }
  }
  return 0;
}

}  // namespace m3u2lst
