// What the command line asks for. A run takes no arguments: plain ones (a
// playlist dropped onto the program, say) are ignored and a normal run
// follows, but --help and --version answer without touching any file, and
// an unknown option is refused before anything is written.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace m3u2lst {

/// What a command line asks the program to do.
enum class Request {
  kRun,            // a normal run: no argument, or none that is an option
  kHelp,           // --help or -h (on Windows also /?)
  kVersion,        // --version
  kUnknownOption,  // another argument that begins like an option
};

struct CommandLine {
  Request request = Request::kRun;
  std::string unknown_option;  // kUnknownOption: the first such argument
};

/// Reads `arguments` (the program's own name left out). Help wins over the
/// version, and both over an unknown option, wherever each stands. An
/// argument that begins with '-' (and, where `slash_options`, with '/')
/// is an option. Never fails.
CommandLine read_command_line(const std::vector<std::string>& arguments, bool slash_options);

/// The text --help prints: what a run does, its folder and list, the
/// options, the exit statuses, and where the manual is; `slash_options` as
/// above, for the Windows forms and manual.
std::string usage_text(bool slash_options);

/// The text --version prints, for the version `version` ("1.2.0").
std::string version_text(std::string_view version);

/// The line printed on standard error for an unknown option.
std::string unknown_option_text(std::string_view option);

/// The exit status of a command line that named an unknown option.
inline constexpr int kUnknownOptionStatus = 2;

}  // namespace m3u2lst
