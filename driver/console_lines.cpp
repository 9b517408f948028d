// Console lines: names and paths put into them, and printed.
#include "console_lines.hpp"

#include <cinttypes>
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "channel_listing.hpp"
#include "console.hpp"
#include "conversion/list_file.hpp"

namespace m3u2lst {

std::string fill_line(std::string_view line, std::string_view value) {
  const std::size_t at = line.find("%s");
  return std::string(line.substr(0, at))
      .append(platform::shown_name(value))
      .append(line.substr(at + 2));
}

void print_line(std::string_view line, std::string_view value) {
  platform::print(fill_line(line, value));
}

namespace {

/// `bytes` as a person reads a file's size: "4.5 GB", "268.4 MB", "512 bytes".
std::string size_text(std::uint64_t bytes) {
  char text[32];
  if (bytes >= 1000 * 1000) {
    const bool gigabytes = bytes >= 1000 * 1000 * 1000;
    std::snprintf(text, sizeof text, "%.1f %s",
                  static_cast<double>(bytes) / (gigabytes ? 1e9 : 1e6), gigabytes ? "GB" : "MB");
  } else {
    std::snprintf(text, sizeof text, "%" PRIu64 " bytes", bytes);
  }
  return text;
}

/// The channel folder as a cause line names it: its prefix without the
/// separator at its end.
std::string channel_folder() {
  const std::string_view prefix = platform::kChannelFolderPrefix;
  return std::string(prefix.substr(0, prefix.size() - 1));
}

/// The working directory, in UTF-8, for the line that says where the
/// channel folder belongs.
std::string working_directory() {
  std::error_code error;
  const std::u8string path = std::filesystem::current_path(error).u8string();
  return error ? std::string(".") : std::string(path.begin(), path.end());
}

}  // namespace

std::string cause_line(const Failure& failure, std::string_view playlist, std::uint64_t length) {
  const std::string reason = failure.code != 0 ? platform::system_reason(failure.code) : "";
  // The list's own steps stand first in Step, and name the list.
  const bool of_list = failure.step >= Step::kOpenList && failure.step <= Step::kCloseList;
  std::string file = of_list ? list_file::kChannelListName : platform::shown_name(playlist);
  std::string what;
  switch (failure.step) {
    case Step::kOpenList:
      what = "cannot open for appending: " + reason;
      break;
    case Step::kWriteList:
      what = "cannot write: " + (failure.code != 0 ? reason : "the disk took no more bytes") +
             " (the list keeps what it held before this playlist)";
      break;
    case Step::kFlushList:
      what = "cannot flush to disk: " + reason;
      break;
    case Step::kFlushFolder:
      what = "cannot flush its folder to disk: " + reason;
      break;
    case Step::kCloseList:
      what = "cannot close: " + reason;
      break;
    case Step::kListMemory:
      what = "not enough memory to convert it";
      break;
    case Step::kNoFolder:
      file = channel_folder();
      what = "no such folder; put your playlists in a folder named \"iptv channel\" in " +
             platform::shown_name(working_directory());
      break;
    case Step::kListFolder:
      file = channel_folder();
      what = "cannot list: " + reason;
      break;
    case Step::kOpenPlaylist:
    case Step::kReadPlaylist:
      what = "cannot read: " + reason;
      break;
    case Step::kNotAFile:
      what = "cannot read: not a regular file (a FIFO, a device or a socket)";
      break;
    case Step::kPlaylistMemory:
      what = "not enough memory to read it (" + size_text(length) + ")";
      break;
    case Step::kNone:
      break;
  }
  return "m3u2lst: " + file + ": " + what;
}

void print_cause(std::string_view cause) {
  std::fflush(stdout);
  platform::print_error(std::string(cause) + "\n");
}

}  // namespace m3u2lst
