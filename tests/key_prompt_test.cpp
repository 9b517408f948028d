// The closing key prompt in a real pseudo-terminal: the program waits, one key
// of any kind ends the wait and none of its bytes are left for the shell, and
// the terminal's mode is as before the run, also after Ctrl+C and SIGTERM.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <thread>

#include "test_support.hpp"

namespace fs = std::filesystem;

namespace m3u2lst {
namespace {

const std::string kPrompt = "Press any key to exit";

bool same_mode(const termios& a, const termios& b) {
  return a.c_iflag == b.c_iflag && a.c_oflag == b.c_oflag && a.c_cflag == b.c_cflag &&
         a.c_lflag == b.c_lflag && std::memcmp(a.c_cc, b.c_cc, sizeof a.c_cc) == 0;
}

/// The program run in a fresh working folder with a pseudo-terminal as its
/// controlling terminal and its standard input, output and error.
class PromptInTerminal : public ::testing::Test {
 protected:
  testing::TempDir work;
  int terminal = -1;  // our side: what we write the program reads as keys
  int device = -1;    // the program's side, kept open to read the mode after it ends
  pid_t child = -1;
  termios before{};
  std::string shown;  // what the program wrote up to the prompt

  void SetUp() override {
    ASSERT_EQ(openpty(&terminal, &device, nullptr, nullptr, nullptr), 0) << std::strerror(errno);
    ASSERT_EQ(tcgetattr(device, &before), 0);
    const std::string program =
        (fs::read_symlink("/proc/self/exe").parent_path() / M3U2LST_PROGRAM_NAME).string();
    child = fork();
    if (child == 0) {
      setsid();
      if (ioctl(device, TIOCSCTTY, 0) != 0 || dup2(device, 0) < 0 || dup2(device, 1) < 0 ||
          dup2(device, 2) < 0 || chdir(work.path().c_str()) != 0) {
        _exit(127);
      }
      close(terminal);
      close(device);
      execl(program.c_str(), program.c_str(), static_cast<char*>(nullptr));
      _exit(127);
    }
    ASSERT_GT(child, 0);
    shown = read_until(kPrompt);
    ASSERT_NE(shown.find(kPrompt), std::string::npos) << "no prompt shown";
    // The prompt is written just before the key mode is set; a key sent in
    // between would meet the line mode, where Ctrl+C is still a signal.
    ASSERT_TRUE(key_mode_within(2)) << "the terminal never left line mode";
  }

  void TearDown() override {
    if (child > 0 && waitpid(child, nullptr, WNOHANG) == 0) {
      kill(child, SIGKILL);
      waitpid(child, nullptr, 0);
    }
    close(terminal);
    close(device);
  }

  /// What the program writes, until `text` shows or two seconds pass.
  std::string read_until(const std::string& text) {
    std::string seen;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    while (seen.find(text) == std::string::npos && std::chrono::steady_clock::now() < deadline) {
      pollfd ready{terminal, POLLIN, 0};
      if (poll(&ready, 1, 50) > 0) {
        char bytes[256];
        ssize_t n = read(terminal, bytes, sizeof bytes);
        if (n <= 0) {
          break;
        }
        seen.append(bytes, static_cast<std::size_t>(n));
      }
    }
    return seen;
  }

  /// Whether the program's terminal leaves line mode within `seconds`.
  bool key_mode_within(double seconds) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    termios now;
    while (tcgetattr(device, &now) == 0 && (now.c_lflag & ICANON) != 0) {
      if (std::chrono::steady_clock::now() >= deadline) {
        return false;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
  }

  /// The program's exit status (128 + signal when a signal ended it), or -1
  /// while it still runs after `seconds`.
  int exit_status_within(double seconds) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    do {
      int status = 0;
      if (waitpid(child, &status, WNOHANG) == child) {
        child = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    } while (std::chrono::steady_clock::now() < deadline);
    return -1;
  }

  void press(const std::string& bytes) {
    ASSERT_EQ(write(terminal, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
  }

  /// Input bytes left unread on the terminal after the program ended: what a
  /// shell reading the terminal next would get.
  std::string left_for_the_shell() {
    termios raw;
    tcgetattr(device, &raw);
    raw.c_lflag &= ~static_cast<tcflag_t>(ICANON);  // see a partial line too
    raw.c_cc[VMIN] = 0;
    raw.c_cc[VTIME] = 0;
    tcsetattr(device, TCSANOW, &raw);
    std::string left;
    pollfd ready{device, POLLIN, 0};
    char bytes[64];
    ssize_t n;
    while (poll(&ready, 1, 200) > 0 && (n = read(device, bytes, sizeof bytes)) > 0) {
      left.append(bytes, static_cast<std::size_t>(n));
    }
    return left;
  }

  bool mode_as_before() {
    termios after;
    return tcgetattr(device, &after) == 0 && same_mode(before, after);
  }
};

TEST_F(PromptInTerminal, WaitsUntilALetterKey) {
  EXPECT_EQ(exit_status_within(0.5), -1) << "the program did not wait for a key";
  press("x");
  EXPECT_EQ(exit_status_within(5), 1);  // no channel folder here
  EXPECT_TRUE(mode_as_before());
  EXPECT_EQ(left_for_the_shell(), "");
}

TEST_F(PromptInTerminal, ArrowKeyEndsTheWaitAndLeavesNoBytes) {
  press("\x1b[A");
  EXPECT_EQ(exit_status_within(5), 1);
  EXPECT_TRUE(mode_as_before());
  EXPECT_EQ(left_for_the_shell(), "");
}

TEST_F(PromptInTerminal, CtrlCIsAKeyPress) {
  press("\x03");
  EXPECT_EQ(exit_status_within(5), 1);  // ended as after any key, not by SIGINT
  EXPECT_TRUE(mode_as_before());
}

TEST_F(PromptInTerminal, SigtermLeavesTheModeAsItWas) {
  kill(child, SIGTERM);
  EXPECT_EQ(exit_status_within(5), 128 + SIGTERM);
  EXPECT_TRUE(mode_as_before());
}

// What a terminal that is closed sends.
TEST_F(PromptInTerminal, SighupLeavesTheModeAsItWas) {
  kill(child, SIGHUP);
  EXPECT_EQ(exit_status_within(5), 128 + SIGHUP);
  EXPECT_TRUE(mode_as_before());
}

/// The prompt after a save, from a channel folder whose file name holds
/// control bytes.
class PromptAfterControlBytes : public PromptInTerminal {
 protected:
  void SetUp() override {
    fs::create_directory(work.path() / "iptv channel");
    testing::write_file(work.path() / "iptv channel" / "a\x1b[2J\x07.m3u",
                        "#EXTINF:-1,A\nhttp://a\n");
    PromptInTerminal::SetUp();
  }
};

// The signals a save held are let go once it is done: at the prompt after
// it, SIGTERM ends the run as it would have.
TEST_F(PromptAfterControlBytes, SigtermAfterASaveEndsTheRun) {
  kill(child, SIGTERM);
  EXPECT_EQ(exit_status_within(5), 128 + SIGTERM);
  EXPECT_TRUE(mode_as_before());
  EXPECT_EQ(testing::read_file(work.path() / "iptv.lst"),
            "<servername=>A</servername><serverurl=>http://a</serverurl>"
            "<servercategory=>TV</servercategory>\r\n");
}

// A file name cannot send escape sequences to the terminal.
TEST_F(PromptAfterControlBytes, AreShownAsQuestionMarks) {
  EXPECT_NE(shown.find("name=./iptv channel/a?[2J?.m3u"), std::string::npos) << shown;
  EXPECT_EQ(shown.find_first_of("\x1b\x07"), std::string::npos);
  press("x");
  EXPECT_EQ(exit_status_within(5), 0);
}

// Started as a background job of its terminal, the program does not wait
// for a key, so it is never stopped for touching the terminal's mode.
TEST(PromptInBackground, EndsWithoutWaiting) {
  testing::TempDir work;
  int terminal = -1;
  int device = -1;
  ASSERT_EQ(openpty(&terminal, &device, nullptr, nullptr, nullptr), 0) << std::strerror(errno);
  const std::string program =
      (fs::read_symlink("/proc/self/exe").parent_path() / M3U2LST_PROGRAM_NAME).string();
  const pid_t shell = fork();
  if (shell == 0) {
    // A session on the terminal, with the program in a process group of its own.
    setsid();
    if (ioctl(device, TIOCSCTTY, 0) != 0 || dup2(device, 0) < 0 || dup2(device, 1) < 0 ||
        chdir(work.path().c_str()) != 0) {
      _exit(127);
    }
    const pid_t job = fork();
    if (job == 0) {
      setpgid(0, 0);
      execl(program.c_str(), program.c_str(), static_cast<char*>(nullptr));
      _exit(127);
    }
    int status = 0;
    waitpid(job, &status, WUNTRACED);
    if (WIFSTOPPED(status)) {
      kill(job, SIGKILL);
      _exit(99);
    }
    _exit(WIFEXITED(status) ? WEXITSTATUS(status) : 98);
  }
  ASSERT_GT(shell, 0);
  int status = 0;
  waitpid(shell, &status, 0);
  close(terminal);
  close(device);
  EXPECT_EQ(WIFEXITED(status) ? WEXITSTATUS(status) : -1, 1) << "99: stopped by the terminal";
}

}  // namespace
}  // namespace m3u2lst
