// Helpers shared by the tests: temporary folders, whole-file reads and writes,
// running the program, and a plain model of the conversion rules.
#pragma once

#include <cstdint>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

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

void write_file(const std::filesystem::path& path, const std::string& bytes);
std::string read_file(const std::filesystem::path& path);

/// What one run of the program printed and returned.
struct RunResult {
  std::string console;
  int exit_status = -1;
};

/// Runs the built program in `folder` with no console input (so the closing
/// prompt does not wait) and collects its standard output.
RunResult run_program(const std::filesystem::path& folder);

/// The folder prefix and line end the program prints on this platform.
std::string folder_prefix();
std::string console_line(const std::string& text);

/// The records a playlist text yields, worked out straight from the rules with
/// plain searches: the yardstick for the converter.
std::string model_records(const std::string& file_bytes);

/// A random playlist made of the pieces that matter to the rules: markers,
/// commas, CR, LF, skip marks, rtmp addresses, zero bytes and plain text.
std::string random_playlist(std::mt19937& random, std::size_t pieces);

}  // namespace m3u2lst::testing
