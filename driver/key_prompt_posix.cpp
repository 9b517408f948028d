// The closing prompt on POSIX systems: the terminal in a mode that delivers
// one key unseen, put back on every way out.
#include <poll.h>
#include <signal.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <initializer_list>

#include "key_prompt.hpp"

namespace m3u2lst::platform {

namespace {

// The terminal mode before the key wait changed it, and whether it is changed
// now: state only the ways out need, a normal exit or a signal, to put the
// terminal back.
struct termios saved_mode;
volatile sig_atomic_t mode_changed = 0;

void restore_terminal() {
  if (mode_changed != 0) {
    tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved_mode);
    mode_changed = 0;
  }
}

extern "C" void restore_at_exit() {
  restore_terminal();
}

extern "C" void restore_and_end(int signal_number) {
  restore_terminal();
  // The handler reset itself to the default on entry: end as that signal would.
  raise(signal_number);
}

void restore_on_signals() {
  struct sigaction action;
  std::memset(&action, 0, sizeof action);
  action.sa_handler = restore_and_end;
  action.sa_flags = static_cast<int>(SA_RESETHAND);
  sigemptyset(&action.sa_mask);
  for (int signal_number : {SIGTERM, SIGHUP, SIGINT, SIGQUIT}) {
    sigaction(signal_number, &action, nullptr);
  }
  std::atexit(restore_at_exit);
}

/// Reads whatever else the key sent (an arrow or function key sends several
/// bytes, a non-ASCII character several too), up to a short pause.
void drain_key_bytes() {
  constexpr int kPauseMs = 50;
  constexpr int kMostReads = 64;
  pollfd input{STDIN_FILENO, POLLIN, 0};
  char bytes[64];
  for (int i = 0; i < kMostReads && poll(&input, 1, kPauseMs) > 0; ++i) {
    if (read(STDIN_FILENO, bytes, sizeof bytes) <= 0) {
      break;
    }
  }
}

}  // namespace

void wait_for_key() {
  // No terminal (a pipe, a file, CI), or a run in the background: nobody can
  // press a key, so do not wait.
  if (!isatty(STDIN_FILENO) || tcgetpgrp(STDIN_FILENO) != getpgrp()) {
    return;
  }
  if (tcgetattr(STDIN_FILENO, &saved_mode) != 0) {
    return;
  }
  restore_on_signals();
  struct termios key_mode = saved_mode;
  key_mode.c_lflag &= ~static_cast<tcflag_t>(ICANON);  // deliver each key at once, not per line
  key_mode.c_lflag &= ~static_cast<tcflag_t>(ECHO);    // do not show the key
  key_mode.c_lflag &= ~static_cast<tcflag_t>(ISIG);    // Ctrl+C, Ctrl+\ and Ctrl+Z are keys
  key_mode.c_lflag &= ~static_cast<tcflag_t>(IEXTEN);  // Ctrl+V and Ctrl+O are keys too
  key_mode.c_iflag &= ~static_cast<tcflag_t>(IXON);    // Ctrl+S and Ctrl+Q are keys too
  key_mode.c_cc[VMIN] = 1;                             // a read returns after one byte
  key_mode.c_cc[VTIME] = 0;                            // with no timer
  mode_changed = 1;
  if (tcsetattr(STDIN_FILENO, TCSANOW, &key_mode) != 0) {
    restore_terminal();
    return;
  }
  char key;
  ssize_t n;
  do {
    n = read(STDIN_FILENO, &key, 1);
  } while (n < 0 && errno == EINTR);
  if (n > 0) {
    drain_key_bytes();
  }
  // TCSAFLUSH also discards any input still unread, so none reaches the shell.
  restore_terminal();
}

}  // namespace m3u2lst::platform
