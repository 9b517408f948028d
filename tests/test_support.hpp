// Helpers shared by the tests: temporary folders, whole-file reads and writes,
// and running the program.
#pragma once

#include <cstdint>
#include <filesystem>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "conversion_model.hpp"

namespace m3u2lst::testing {

/// A fresh empty folder, removed with everything in it when the object goes.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

/// Makes the folder the working directory for the object's lifetime.
class WorkingDirectory {
 public:
  explicit WorkingDirectory(const std::filesystem::path& folder);
  ~WorkingDirectory();
  WorkingDirectory(const WorkingDirectory&) = delete;
  WorkingDirectory& operator=(const WorkingDirectory&) = delete;

 private:
  std::filesystem::path previous_;
};

/// The path named by the UTF-8 `name`, on every platform (on Windows, a path
/// made from a plain string would read it in the ANSI code page).
inline std::filesystem::path utf8_path(std::string_view name) {
  return std::filesystem::path(std::u8string(name.begin(), name.end()));
}

void write_file(const std::filesystem::path& path, const std::string& bytes);
std::string read_file(const std::filesystem::path& path);

/// What one run of the program printed and returned.
struct RunResult {
  std::string console;  // standard output
  std::string errors;   // standard error
  int exit_status = -1;
};

/// A started run of the program: its process, the read end of its output,
/// and the file its standard error goes to.
struct RunningProgram {
  std::intptr_t process = -1;
  std::intptr_t output = -1;
  std::intptr_t errors = -1;
};

/// Where the tests find setpriv, to run the program as an unprivileged user.
inline constexpr char kSetpriv[] = "/usr/bin/setpriv";

/// How a run is started: as it is; as the user nobody (POSIX, as root,
/// through setpriv); with every call of a kind failing with EIO, as on a
/// failing disk (Linux x86-64, through a seccomp filter): every fsync and
/// fdatasync, every fsync alone (the folder's flush), or every getdents64
/// (the folder's listing); or with few file descriptors
/// (16), or little address space (64 MiB), to be had (POSIX, through setrlimit);
/// or with its report sent to a full device (/dev/full) or to a pipe whose
/// reader has gone (POSIX).
enum class Start {
  kPlain,
  kAsNobody,
  kFlushFails,
  kFolderFlushFails,
  kListingFails,
  kFewDescriptors,
  kLittleAddressSpace,
  kReportToFullDevice,
  kReportReaderGone
};

/// Where the tests find strace, to inject faults into chosen calls.
inline constexpr char kStrace[] = "/usr/bin/strace";

/// Starts the built program in `folder` with no console input (so the closing
/// prompt does not wait), as `how` says; with `strace_options` (such as
/// {"-P", path, "-e", "inject=pread64:error=EIO"}), under strace with them;
/// with `arguments` on its command line. Throws when it cannot be started.
/// A start that cannot make its fault happen ends with status 126.
RunningProgram start_program(const std::filesystem::path& folder, Start how = Start::kPlain,
                             const std::vector<std::string>& strace_options = {},
                             const std::vector<std::string>& arguments = {});

/// Collects a started run's standard output and waits for it to end; then
/// its standard error, which is also passed on to the test's own.
RunResult finish_program(const RunningProgram& running);

/// start_program and finish_program in one.
RunResult run_program(const std::filesystem::path& folder, Start how = Start::kPlain,
                      const std::vector<std::string>& strace_options = {},
                      const std::vector<std::string>& arguments = {});

/// The folder prefix and line end the program prints on this platform.
std::string folder_prefix();
std::string console_line(const std::string& text);

/// The program's last console line, without its line end.
inline const std::string kClosingLine = "Parse file success,Press any key to exit";

/// Console lines as the program prints them, each with this platform's line end.
std::string console_lines(std::initializer_list<std::string> texts);

/// The cause lines the program writes on standard error, "m3u2lst: " and
/// each of `texts`, with this platform's line end.
std::string causes(std::initializer_list<std::string> texts);

/// The path the program prints for an entry of the channel folder.
inline std::string listed_path(const std::string& name) {
  return folder_prefix() + name;
}

/// The program's lines about one playlist of the channel folder.
inline std::string listed(const std::string& name) {
  return "name=" + listed_path(name);
}
inline std::string saved(const std::string& name) {
  return "Save " + listed_path(name) + " sucessful!";
}
inline std::string save_failed(const std::string& name) {
  return "Save " + listed_path(name) + " failure!";
}
inline std::string open_failed(const std::string& name) {
  return "Open " + listed_path(name) + " failure!";
}

/// The console of a run whose channel folder holds just the playlists
/// `names`, in listing order: the scan's lines, then `outcomes`, then the
/// closing line.
std::string run_console(std::initializer_list<std::string> names,
                        std::initializer_list<std::string> outcomes);

}  // namespace m3u2lst::testing
