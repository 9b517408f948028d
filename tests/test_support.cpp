#include "test_support.hpp"

#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>
#include <system_error>

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace fs = std::filesystem;

namespace m3u2lst::testing {

TempDir::TempDir() {
  static std::mt19937_64 names{std::random_device{}()};
  fs::path base = fs::temp_directory_path();
  for (;;) {
    fs::path candidate = base / ("m3u2lst-test-" + std::to_string(names()));
    if (fs::create_directory(candidate)) {
      path_ = candidate;
      return;
    }
  }
}

TempDir::~TempDir() {
  std::error_code ignored;
  fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ignored);
  fs::remove_all(path_, ignored);
}

WorkingDirectory::WorkingDirectory(const fs::path& folder) : previous_(fs::current_path()) {
  fs::current_path(folder);
}

WorkingDirectory::~WorkingDirectory() {
  std::error_code ignored;
  fs::current_path(previous_, ignored);
}

void write_file(const fs::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out) {
    throw std::runtime_error("cannot write " + path.string());
  }
}

std::string read_file(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

namespace {

/// The program under test, which the build puts beside the test executable.
fs::path program_path() {
#ifdef _WIN32
  char self[MAX_PATH * 4];
  DWORD length = GetModuleFileNameA(nullptr, self, sizeof self);
  fs::path tests(std::string(self, length));
#else
  fs::path tests = fs::read_symlink("/proc/self/exe");
#endif
  return tests.parent_path() / M3U2LST_PROGRAM_NAME;
}

}  // namespace

#ifdef _WIN32

RunResult run_program(const fs::path& folder) {
  SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  HANDLE read_end = nullptr;
  HANDLE write_end = nullptr;
  if (!CreatePipe(&read_end, &write_end, &inherit, 0)) {
    throw std::runtime_error("CreatePipe failed");
  }
  SetHandleInformation(read_end, HANDLE_FLAG_INHERIT, 0);
  HANDLE no_input = CreateFileA("NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                                OPEN_EXISTING, 0, nullptr);
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = no_input;
  startup.hStdOutput = write_end;
  startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
  PROCESS_INFORMATION process{};
  std::string program = program_path().string();
  std::string command_line = "\"" + program + "\"";
  std::string directory = folder.string();
  BOOL started = CreateProcessA(program.c_str(), command_line.data(), nullptr, nullptr, TRUE, 0,
                                nullptr, directory.c_str(), &startup, &process);
  CloseHandle(write_end);
  CloseHandle(no_input);
  if (!started) {
    CloseHandle(read_end);
    throw std::runtime_error("cannot start " + program);
  }
  RunResult result;
  char bytes[4096];
  DWORD n = 0;
  while (ReadFile(read_end, bytes, sizeof bytes, &n, nullptr) && n > 0) {
    result.console.append(bytes, n);
  }
  CloseHandle(read_end);
  WaitForSingleObject(process.hProcess, INFINITE);
  DWORD status = 0;
  GetExitCodeProcess(process.hProcess, &status);
  result.exit_status = static_cast<int>(status);
  CloseHandle(process.hProcess);
  CloseHandle(process.hThread);
  return result;
}

std::string folder_prefix() {
  return ".\\iptv channel\\";
}
std::string console_line(const std::string& text) {
  return text + "\r\n";
}

#else

RunResult run_program(const fs::path& folder) {
  int pipe_ends[2];
  if (pipe(pipe_ends) != 0) {
    throw std::runtime_error("pipe failed");
  }
  const std::string program = program_path().string();
  pid_t child = fork();
  if (child == 0) {
    int no_input = open("/dev/null", O_RDONLY);
    if (no_input < 0 || dup2(no_input, STDIN_FILENO) < 0 || dup2(pipe_ends[1], STDOUT_FILENO) < 0 ||
        chdir(folder.c_str()) != 0) {
      _exit(127);
    }
    close(pipe_ends[0]);
    close(pipe_ends[1]);
    execl(program.c_str(), program.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  close(pipe_ends[1]);
  RunResult result;
  char bytes[4096];
  ssize_t n;
  while ((n = read(pipe_ends[0], bytes, sizeof bytes)) > 0) {
    result.console.append(bytes, static_cast<std::size_t>(n));
  }
  close(pipe_ends[0]);
  int status = 0;
  waitpid(child, &status, 0);
  result.exit_status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return result;
}

std::string folder_prefix() {
  return "./iptv channel/";
}
std::string console_line(const std::string& text) {
  return text + "\n";
}

#endif

std::string model_records(const std::string& file_bytes) {
  // The text ends at its first zero byte.
  const std::string text = file_bytes.substr(0, file_bytes.find('\0'));
  const auto npos = std::string::npos;
  std::string records;
  std::size_t cursor = 0;
  for (;;) {
    std::size_t marker = text.find("#EXTINF:", cursor);
    if (marker == npos) {
      break;
    }
    std::size_t comma = text.find(',', marker);
    if (comma == npos) {
      break;
    }
    std::size_t name_end = text.find("\r\n", comma);
    std::size_t url_begin;
    std::size_t url_end;
    if (name_end != npos) {
      url_begin = name_end + 2;
      url_end = text.find("\r\n", url_begin);
    } else {
      name_end = text.find_first_of("\r\n", comma + 1);
      if (name_end == npos) {
        name_end = text.size();
        url_begin = text.size();
      } else {
        url_begin = name_end + 1;
      }
      url_end = text.find_first_of("\r\n", url_begin);
    }
    bool last = url_end == npos;
    if (last) {
      url_end = text.size();
    }
    std::string name = text.substr(comma + 1, name_end - comma - 1);
    std::string url = text.substr(url_begin, url_end - url_begin);
    bool skipped =
        url.find(".url") != npos ||
        (url.find("?id") != npos && url.find("&ip") != npos && url.find("&auth") != npos);
    if (!skipped) {
      if (std::size_t at = url.find("=rtmp://"); at != npos) {
        url = url.substr(at + 1);
      } else if (std::size_t at2 = url.find(";;rtmp://"); at2 != npos) {
        url = url.substr(at2 + 2);
      }
      records += "<servername=>" + name + "</servername><serverurl=>" + url +
                 "</serverurl><servercategory=>TV</servercategory>\r\n";
    }
    if (last) {
      break;
    }
    cursor = url_begin;
  }
  return records;
}

std::string random_playlist(std::mt19937& random, std::size_t pieces) {
  static const std::vector<std::string> kPieces = {"#EXTINF:",
                                                   "#EXTINF:-1 tvg-id=\"a\",",
                                                   "#extinf:",
                                                   ",",
                                                   ",",
                                                   "\r\n",
                                                   "\r\n",
                                                   "\r\n",
                                                   "\n",
                                                   "\n",
                                                   "\r",
                                                   "Name",
                                                   "x",
                                                   " ",
                                                   "http://h.example/s",
                                                   ".url",
                                                   "?id=1",
                                                   "&ip=2",
                                                   "&auth=3",
                                                   "=rtmp://r.example/a",
                                                   ";;rtmp://r.example/b",
                                                   "rtmp://",
                                                   "=",
                                                   ";;",
                                                   "#EXTM3U",
                                                   "\xc3\xa9",
                                                   std::string(1, '\0'),
                                                   std::string(300, 'u')};
  std::uniform_int_distribution<std::size_t> pick(0, kPieces.size() - 1);
  std::string text;
  for (std::size_t i = 0; i < pieces; ++i) {
    const std::string& piece = kPieces[pick(random)];
    // Zero bytes are rare, so most texts run their whole length.
    if (piece.size() == 1 && piece[0] == '\0' && random() % 8 != 0) {
      continue;
    }
    text += piece;
  }
  return text;
}

}  // namespace m3u2lst::testing
