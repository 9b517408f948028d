// The console lines of a run, and how a name or path goes into one.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "conversion/failure.hpp"

namespace m3u2lst {

/// Console lines of a run, printed exactly as they stand.
inline constexpr char kNoMatchingFileLine[] = "Find no matching file!\n";
inline constexpr char kListedLine[] = "name=%s\n";
inline constexpr char kNotNeededLine[] = "Not need analysis %s file!\n";
inline constexpr char kOpenFailureLine[] = "Open %s failure!\n";
inline constexpr char kSaveSuccessLine[] = "Save %s sucessful!\n";
inline constexpr char kSaveFailureLine[] = "Save %s failure!\n";
inline constexpr char kListCannotOpenLine[] = "The SaveFile cannot opened\n";
inline constexpr char kClosingLine[] = "Parse file success,Press any key to exit\n";

/// `line` (one of the lines above) with its "%s" replaced by `value`, a name
/// or path, as platform::shown_name shows it.
std::string fill_line(std::string_view line, std::string_view value);

/// Prints `line` with its "%s" replaced by `value`, through platform::print,
/// the one way console lines leave the program.
void print_line(std::string_view line, std::string_view value);

/// The cause line of `failure`, without its line end: "m3u2lst: FILE: WHAT
/// FAILED: REASON", the reason in the system's own words. `playlist` is the
/// path of the playlist being read or saved, and `length` its size, which
/// name the file, or the memory it needed, where the failure is the
/// playlist's. The channel folder and the list are named by their own
/// names. `failure` must be one.
std::string cause_line(const Failure& failure, std::string_view playlist = {},
                       std::uint64_t length = 0);

/// Prints `cause` (a cause line) on standard error, after what the report
/// holds so far has left, so that a console shows them in order.
void print_cause(std::string_view cause);

}  // namespace m3u2lst
