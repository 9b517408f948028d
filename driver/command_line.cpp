// The command line: options read, and the texts that answer them.
#include "command_line.hpp"

namespace m3u2lst {

CommandLine read_command_line(const std::vector<std::string>& arguments, bool slash_options) {
  CommandLine line;
  bool version = false;
  for (const std::string& argument : arguments) {
    if (argument == "--help" || argument == "-h" || (slash_options && argument == "/?")) {
      line.request = Request::kHelp;
      return line;
    }
    if (argument == "--version") {
      version = true;
    } else if (line.unknown_option.empty() &&
               (argument.starts_with('-') || (slash_options && argument.starts_with('/')))) {
      line.unknown_option = argument;
    }
  }
  if (version) {
    line.request = Request::kVersion;
    line.unknown_option.clear();
  } else if (!line.unknown_option.empty()) {
    line.request = Request::kUnknownOption;
  }
  return line;
}

std::string usage_text(bool slash_options) {
  std::string text =
      "Usage: m3u2lst\n"
      "       m3u2lst --help\n"
      "       m3u2lst --version\n"
      "\n"
      "Adds one line per channel of the playlists in the folder \"iptv channel\"\n"
      "to the channel list \"iptv.lst\", both in the current folder, reports each\n"
      "step, and waits for one key when started from a console. A file is a\n"
      "playlist when its name contains \".m3u\" or \".txt\", in any case; M3U\n"
      "playlists, UTF-16 ones and \"name,URL\" text lists are read. A run only\n"
      "adds to the list: a second run adds every channel again; delete\n"
      "iptv.lst to start over. Arguments that are not options are ignored.\n"
      "\n";
  text += slash_options ? "  -h, --help, /?  show this help and exit\n"
                          "  --version       show the version and exit\n"
                        : "  -h, --help      show this help and exit\n"
                          "  --version       show the version and exit\n";
  text +=
      "\n"
      "Exit status: 0 when every playlist was read, converted and saved; 1 when\n"
      "the folder, a playlist, the list or the report failed; 2 for an unknown\n"
      "option.\n"
      "\n";
  text += slash_options ? "More in README.txt beside m3u2lst.exe.\n"
                        : "More in 'man m3u2lst', and in README.md under share/doc/m3u2lst.\n";
  return text;
}

std::string version_text(std::string_view version) {
  return "m3u2lst " + std::string(version) +
         "\n"
         "Free software under the MIT licence: no warranty.\n";
}

std::string unknown_option_text(std::string_view option) {
  return "m3u2lst: unknown option '" + std::string(option) +
         "'; 'm3u2lst --help' lists the options\n";
}

}  // namespace m3u2lst
