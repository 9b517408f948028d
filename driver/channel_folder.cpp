// The folder scan: which entries of the channel folder are playlists.
#include "channel_listing.hpp"
#include "console.hpp"
#include "driver.hpp"

namespace m3u2lst {

bool is_playlist_name(std::string_view name) {
  // Windows matches names in any case, and Explorer hides the extension, so
  // "NEWS.M3U" is a playlist like "news.m3u". Only ASCII letters are folded.
  std::string folded(name);
  for (char& c : folded) {
    if (c >= 'A' && c <= 'Z') {
      c = static_cast<char>(c - 'A' + 'a');
    }
  }
  return folded.find(".m3u") != std::string::npos || folded.find(".txt") != std::string::npos;
}

int scan_channel_folder(std::vector<std::string>& table) {
  std::vector<std::string> names;
  const Failure listed = platform::list_channel_folder(names);
  if (names.empty()) {
    platform::print(kNoMatchingFileLine);
    if (listed) {
      print_cause(cause_line(listed));
    }
    return -1;
  }
  // The search's first entry is the folder itself (".") and is not examined.
  for (std::size_t i = 1; i < names.size(); ++i) {
    const std::string& name = names[i];
    if (is_playlist_name(name)) {
      table.push_back(platform::kChannelFolderPrefix + name);
      print_line(kListedLine, table.back());
    } else {
      print_line(kNotNeededLine, name);
    }
  }
  if (listed) {
    // Broken off on the way: what it listed is processed all the same.
    print_cause(cause_line(listed));
    return 1;
  }
  return 0;
}

}  // namespace m3u2lst
