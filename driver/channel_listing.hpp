// The channel folder's listing: the folder's entries by name, in the order
// the program takes them. One source per platform (channel_listing_*.cpp).
#pragma once

#include <string>
#include <vector>

namespace m3u2lst::platform {

/// The channel folder as listed paths begin: the folder name `iptv channel`
/// behind "." and ending in the platform's path separator.
extern const char* const kChannelFolderPrefix;

/// Lists the channel folder in the order of the platform's directory search,
/// starting with the entry that search yields first (the folder's own ".").
/// Names are UTF-8 on Windows, and bytes as the file system holds them on
/// POSIX, where the order is that of a folder on NTFS.
/// Returns 0 with `names` filled; -1 when the search cannot start (the folder
/// is missing, is not a folder, or cannot be read) or, on POSIX, where the
/// whole listing is read before any name is used, when it fails on the way;
/// 1 when the search failed on the way on Windows, with `names` holding the
/// entries it yielded before.
int list_channel_folder(std::vector<std::string>& names);

}  // namespace m3u2lst::platform
