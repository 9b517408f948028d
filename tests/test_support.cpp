#include "test_support.hpp"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <random>
#include <sstream>
#include <stdexcept>
#include <system_error>

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#ifdef __linux__
#include <linux/audit.h>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#endif
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
  std::wstring self(MAX_PATH, L'\0');
  DWORD length;
  while ((length = GetModuleFileNameW(nullptr, self.data(), static_cast<DWORD>(self.size()))) ==
         self.size()) {
    self.resize(self.size() * 2);
  }
  self.resize(length);
  fs::path tests(self);
#else
  fs::path tests = fs::read_symlink("/proc/self/exe");
#endif
  return tests.parent_path() / M3U2LST_PROGRAM_NAME;
}

}  // namespace

#ifdef _WIN32

RunningProgram start_program(const fs::path& folder, Start how,
                             const std::vector<std::string>& strace_options,
                             const std::vector<std::string>& arguments) {
  if (how != Start::kPlain || !strace_options.empty()) {
    throw std::runtime_error("only plain runs are supported here");
  }
  SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  HANDLE read_end = nullptr;
  HANDLE write_end = nullptr;
  if (!CreatePipe(&read_end, &write_end, &inherit, 0)) {
    throw std::runtime_error("CreatePipe failed");
  }
  SetHandleInformation(read_end, HANDLE_FLAG_INHERIT, 0);
  HANDLE no_input = CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                                OPEN_EXISTING, 0, nullptr);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = no_input;
  startup.hStdOutput = write_end;
  // Standard error goes to a file of its own, removed when the test closes it.
  wchar_t temp_folder[MAX_PATH + 1];
  wchar_t errors_name[MAX_PATH + 1];
  if (GetTempPathW(MAX_PATH + 1, temp_folder) == 0 ||
      GetTempFileNameW(temp_folder, L"err", 0, errors_name) == 0) {
    throw std::runtime_error("GetTempFileName failed");
  }
  HANDLE errors = CreateFileW(errors_name, GENERIC_READ | GENERIC_WRITE,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, &inherit,
                              CREATE_ALWAYS, FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  if (errors == INVALID_HANDLE_VALUE) {
    throw std::runtime_error("cannot create a file for standard error");
  }
  startup.hStdError = errors;
  PROCESS_INFORMATION process{};
  // Wide calls: the working folder may be named in any script.
  std::wstring program = program_path().wstring();
  std::wstring command_line = L"\"" + program + L"\"";
  for (const std::string& argument : arguments) {
    command_line += L" \"" + utf8_path(argument).wstring() + L"\"";
  }
  std::wstring directory = folder.wstring();
  BOOL started = CreateProcessW(program.c_str(), command_line.data(), nullptr, nullptr, TRUE, 0,
                                nullptr, directory.c_str(), &startup, &process);
  CloseHandle(write_end);
  CloseHandle(no_input);
  if (!started) {
    CloseHandle(read_end);
    CloseHandle(errors);
    throw std::runtime_error("cannot start " + program_path().string());
  }
  CloseHandle(process.hThread);
  return {reinterpret_cast<std::intptr_t>(process.hProcess),
          reinterpret_cast<std::intptr_t>(read_end), reinterpret_cast<std::intptr_t>(errors)};
}

RunResult finish_program(const RunningProgram& running) {
  auto process = reinterpret_cast<HANDLE>(running.process);
  auto output = reinterpret_cast<HANDLE>(running.output);
  RunResult result;
  char bytes[4096];
  DWORD n = 0;
  while (ReadFile(output, bytes, sizeof bytes, &n, nullptr) && n > 0) {
    result.console.append(bytes, n);
  }
  CloseHandle(output);
  WaitForSingleObject(process, INFINITE);
  DWORD status = 0;
  GetExitCodeProcess(process, &status);
  result.exit_status = static_cast<int>(status);
  CloseHandle(process);
  auto errors = reinterpret_cast<HANDLE>(running.errors);
  SetFilePointer(errors, 0, nullptr, FILE_BEGIN);
  while (ReadFile(errors, bytes, sizeof bytes, &n, nullptr) && n > 0) {
    result.errors.append(bytes, n);
  }
  CloseHandle(errors);
  std::fwrite(result.errors.data(), 1, result.errors.size(), stderr);
  return result;
}

std::string folder_prefix() {
  return ".\\iptv channel\\";
}
std::string console_line(const std::string& text) {
  return text + "\r\n";
}

#else

namespace {

/// Makes every later call of this process, and of the program it runs next,
/// to one of the system calls `numbers` fail with EIO. Returns false where
/// seccomp filters are missing.
bool fail_calls(std::initializer_list<long> numbers) {
#if defined(__linux__) && defined(__x86_64__)
  std::vector<sock_filter> filter = {
      BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(struct seccomp_data, arch)),
      BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, AUDIT_ARCH_X86_64, 1, 0),
      BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
      BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(struct seccomp_data, nr)),
  };
  // Each number that matches jumps over the ones after it, and the allow.
  auto after = static_cast<std::uint8_t>(numbers.size());
  for (long number : numbers) {
    filter.push_back(
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, static_cast<std::uint32_t>(number), after, 0));
    --after;
  }
  filter.push_back(BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW));
  filter.push_back(BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | EIO));
  struct sock_fprog program = {static_cast<unsigned short>(filter.size()), filter.data()};
  return prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) == 0 &&
         prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &program) == 0;
#else
  (void)numbers;
  return false;
#endif
}

/// Sets up the fault `how` names in the child about to run the program.
/// Returns false when it cannot be had here.
bool make_fault(Start how) {
  switch (how) {
#if defined(__linux__)
    case Start::kFlushFails:
      return fail_calls({SYS_fsync, SYS_fdatasync});
    case Start::kFolderFlushFails:
      return fail_calls({SYS_fsync});
    case Start::kListingFails:
      return fail_calls({SYS_getdents64});
#endif
    case Start::kFewDescriptors: {
      const rlimit few{16, 16};
      return setrlimit(RLIMIT_NOFILE, &few) == 0;
    }
    case Start::kLittleAddressSpace: {
      const rlimit little{64 << 20, 64 << 20};
      return setrlimit(RLIMIT_AS, &little) == 0;
    }
    case Start::kReportToFullDevice: {
      const int full = open("/dev/full", O_WRONLY);
      return full >= 0 && dup2(full, STDOUT_FILENO) >= 0;
    }
    case Start::kReportReaderGone: {
      int ends[2];
      return pipe(ends) == 0 && close(ends[0]) == 0 && dup2(ends[1], STDOUT_FILENO) >= 0;
    }
    case Start::kPlain:
    case Start::kAsNobody:
      return true;
    default:
      return false;
  }
}

}  // namespace

RunningProgram start_program(const fs::path& folder, Start how,
                             const std::vector<std::string>& strace_options,
                             const std::vector<std::string>& program_arguments) {
  int pipe_ends[2];
  if (pipe(pipe_ends) != 0) {
    throw std::runtime_error("pipe failed");
  }
  // Standard error goes to a file of its own, gone once the test closes it.
  std::FILE* errors = std::tmpfile();
  if (errors == nullptr) {
    close(pipe_ends[0]);
    close(pipe_ends[1]);
    throw std::runtime_error("tmpfile failed");
  }
  const int errors_fd = dup(fileno(errors));
  std::fclose(errors);
  const std::string program = program_path().string();
  std::vector<std::string> command;
  if (how == Start::kAsNobody) {
    command = {kSetpriv, "--reuid=65534", "--regid=65534", "--clear-groups"};
  }
  if (!strace_options.empty()) {
    command.insert(command.end(), {kStrace, "-f", "-qq", "-o", "/dev/null"});
    command.insert(command.end(), strace_options.begin(), strace_options.end());
  }
  command.push_back(program);
  command.insert(command.end(), program_arguments.begin(), program_arguments.end());
  std::vector<char*> arguments;
  for (std::string& argument : command) {
    arguments.push_back(argument.data());
  }
  arguments.push_back(nullptr);
  // LeakSanitizer cannot look for leaks in a traced process and would end it
  // with a failing status instead: under strace it is told not to.
  const char* asan = std::getenv("ASAN_OPTIONS");
  const std::string traced_asan_options = std::string(asan ? asan : "") + ":detect_leaks=0";
  pid_t child = fork();
  if (child == 0) {
    int no_input = open("/dev/null", O_RDONLY);
    if (no_input < 0 || dup2(no_input, STDIN_FILENO) < 0 || dup2(pipe_ends[1], STDOUT_FILENO) < 0 ||
        errors_fd < 0 || dup2(errors_fd, STDERR_FILENO) < 0 || chdir(folder.c_str()) != 0) {
      _exit(127);
    }
    close(no_input);
    close(errors_fd);
    close(pipe_ends[0]);
    close(pipe_ends[1]);
    if (!make_fault(how)) {
      _exit(126);
    }
    if (!strace_options.empty()) {
      setenv("ASAN_OPTIONS", traced_asan_options.c_str(), 1);
    }
    execv(arguments[0], arguments.data());
    _exit(127);
  }
  close(pipe_ends[1]);
  if (child < 0) {
    close(pipe_ends[0]);
    close(errors_fd);
    throw std::runtime_error("fork failed");
  }
  return {child, pipe_ends[0], errors_fd};
}

RunResult finish_program(const RunningProgram& running) {
  auto output = static_cast<int>(running.output);
  RunResult result;
  char bytes[4096];
  ssize_t n;
  while ((n = read(output, bytes, sizeof bytes)) > 0) {
    result.console.append(bytes, static_cast<std::size_t>(n));
  }
  close(output);
  int status = 0;
  waitpid(static_cast<pid_t>(running.process), &status, 0);
  result.exit_status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  const auto errors = static_cast<int>(running.errors);
  while ((n = pread(errors, bytes, sizeof bytes, static_cast<off_t>(result.errors.size()))) > 0) {
    result.errors.append(bytes, static_cast<std::size_t>(n));
  }
  close(errors);
  std::fwrite(result.errors.data(), 1, result.errors.size(), stderr);
  return result;
}

std::string folder_prefix() {
  return "./iptv channel/";
}
std::string console_line(const std::string& text) {
  return text + "\n";
}

#endif

std::string console_lines(std::initializer_list<std::string> texts) {
  std::string out;
  for (const std::string& text : texts) {
    out += console_line(text);
  }
  return out;
}

std::string causes(std::initializer_list<std::string> texts) {
  std::string lines;
  for (const std::string& text : texts) {
    lines += console_line("m3u2lst: " + text);
  }
  return lines;
}

std::string run_console(std::initializer_list<std::string> names,
                        std::initializer_list<std::string> outcomes) {
  std::string out = console_line("Not need analysis .. file!");
  for (const std::string& name : names) {
    out += console_line(listed(name));
  }
  for (const std::string& text : outcomes) {
    out += console_line(text);
  }
  return out + console_line(kClosingLine);
}

RunResult run_program(const fs::path& folder, Start how,
                      const std::vector<std::string>& strace_options,
                      const std::vector<std::string>& arguments) {
  return finish_program(start_program(folder, how, strace_options, arguments));
}

}  // namespace m3u2lst::testing
