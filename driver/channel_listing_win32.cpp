// The channel folder's listing on Windows, in the order of the system's
// directory search.
#include <windows.h>

#include "channel_listing.hpp"
#include "utf16.hpp"

namespace m3u2lst::platform {

const char* const kChannelFolderPrefix = ".\\iptv channel\\";

// Names go to and come from the system as UTF-16, through the wide calls,
// and are UTF-8 inside the program: a name in any script is listed, opened
// and printed as it is, whatever the system's ANSI code page.

Failure list_channel_folder(std::vector<std::string>& names) {
  names.clear();
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW(L".\\iptv channel\\*", &found);
  if (search == INVALID_HANDLE_VALUE) {
    const auto code = static_cast<int>(GetLastError());
    const bool missing = code == ERROR_PATH_NOT_FOUND || code == ERROR_FILE_NOT_FOUND;
    return {missing ? Step::kNoFolder : Step::kListFolder, code};
  }
  do {
    names.push_back(utf8_from_utf16(std::wstring_view(found.cFileName)));
  } while (FindNextFileW(search, &found));
  // The search ends with ERROR_NO_MORE_FILES; anything else (a disk or
  // network error) broke it off, and the entries after are unknown.
  const auto code = static_cast<int>(GetLastError());
  FindClose(search);
  return code == ERROR_NO_MORE_FILES ? Failure{} : Failure{Step::kListFolder, code};
}

}  // namespace m3u2lst::platform
