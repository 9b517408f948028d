// The console report: its lines written to standard output (and messages to
// standard error) as UTF-8, and names made safe to show on a terminal. One
// source per platform (console_*.cpp).
#pragma once

#include <string>
#include <string_view>

namespace m3u2lst::platform {

/// `name`, a listed name or path, as a console line may show it: where
/// standard output is a POSIX terminal, each byte below 0x20 and 0x7F as
/// '?', so that escape sequences in a file name cannot drive the terminal.
/// Output to a file or a pipe, and Windows, whose names hold no such bytes,
/// keep the exact bytes.
std::string shown_name(std::string_view name);

/// Writes `text`, a piece of the console report, to standard output: every
/// console line of the program leaves it this way. On Windows each "\n" goes out
/// as CR LF, as in text mode; to a console the bytes go as they are, UTF-8,
/// not through the C runtime, which may re-encode them in the ANSI code page.
/// Failures are not reported.
void print(std::string_view text) noexcept;

/// Writes `text` to standard error, as print does to standard output.
void print_error(std::string_view text) noexcept;

/// The system's own words for the failure `code` of a platform call (errno
/// on POSIX, strerror's text; GetLastError() on Windows, FormatMessageW's
/// text in UTF-8), without a line end. Never fails: a code the system has
/// no text for is given as its number.
std::string system_reason(int code);

/// Makes the console show the program's output, which is UTF-8, for the rest
/// of the run, and leaves it as it found it however the program ends. Output
/// to a file or a pipe is left as it is: it receives the UTF-8 bytes. On
/// POSIX, terminals take the bytes as they are, and this does nothing.
void use_utf8_console();

}  // namespace m3u2lst::platform
