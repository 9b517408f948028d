// The channel folder's listing: the folder's entries by name, in the order
// the program takes them. One source per platform (channel_listing_*.cpp).
#pragma once

#include <string>
#include <vector>

#include "conversion/failure.hpp"

namespace m3u2lst::platform {

/// The channel folder as listed paths begin: the folder name `iptv channel`
/// behind "." and ending in the platform's path separator.
extern const char* const kChannelFolderPrefix;

/// Lists the channel folder in the order of the platform's directory search,
/// starting with the entry that search yields first (the folder's own ".").
/// Names are UTF-8 on Windows, and bytes as the file system holds them on
/// POSIX, where the order is that of a folder on NTFS.
/// Returns no failure with `names` filled. When the search cannot start,
/// `names` is empty and the failure is Step::kNoFolder where the folder is
/// missing, else Step::kListFolder with the system's code (not a folder,
/// cannot be read). So it is too, on POSIX, where the whole listing is read
/// before any name is used, when the listing fails on the way. On Windows a
/// search that fails on the way gives Step::kListFolder with `names`
/// holding the entries it yielded before.
Failure list_channel_folder(std::vector<std::string>& names);

}  // namespace m3u2lst::platform
