// The console lines of a run, and how a name or path goes into one.
#pragma once

#include <string>
#include <string_view>

namespace m3u2lst {

/// Console lines of a run, printed exactly as they stand.
inline constexpr char kNoMatchingFileLine[] = "Find no matching file!\n";
inline constexpr char kListedLine[] = "name=%s\n";
inline constexpr char kNotNeededLine[] = "Not need analysis %s file!\n";
inline constexpr char kOpenFailureLine[] = "Open %s failure!\n";
inline constexpr char kSaveSuccessLine[] = "Save %s sucessful!\n";
inline constexpr char kSaveFailureLine[] = "Save %s failure!\n";
inline constexpr char kClosingLine[] = "Parse file success,Press any key to exit\n";

/// `line` (one of the lines above) with its "%s" replaced by `value`, a name
/// or path, as platform::shown_name shows it.
std::string fill_line(std::string_view line, std::string_view value);

/// Prints `line` with its "%s" replaced by `value`, through platform::print,
/// the one way console lines leave the program.
void print_line(std::string_view line, std::string_view value);

}  // namespace m3u2lst
