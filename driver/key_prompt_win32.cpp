// The closing prompt on Windows: the console input in a mode that delivers
// one key unseen, and put back.
#include <windows.h>

#include "key_prompt.hpp"

namespace m3u2lst::platform {

namespace {

/// Keys that yield neither a character nor an extended key when pressed alone.
bool is_modifier_or_lock(WORD key) {
  switch (key) {
    case VK_SHIFT:
    case VK_CONTROL:
    case VK_MENU:
    case VK_LSHIFT:
    case VK_RSHIFT:
    case VK_LCONTROL:
    case VK_RCONTROL:
    case VK_LMENU:
    case VK_RMENU:
    case VK_LWIN:
    case VK_RWIN:
    case VK_APPS:
    case VK_CAPITAL:
    case VK_NUMLOCK:
    case VK_SCROLL:
      return true;
    default:
      return false;
  }
}

}  // namespace

void wait_for_key() {
  // Input redirected from a file or pipe, or no console at all: nobody can
  // press a key, so do not wait.
  HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
  DWORD saved_mode = 0;
  if (input == nullptr || input == INVALID_HANDLE_VALUE || !GetConsoleMode(input, &saved_mode)) {
    return;
  }
  // No line input (a key counts at once), no echo, and Ctrl+C arrives as a key
  // instead of ending the program with the console mode still changed.
  SetConsoleMode(input, saved_mode & ~static_cast<DWORD>(ENABLE_LINE_INPUT | ENABLE_ECHO_INPUT |
                                                         ENABLE_PROCESSED_INPUT));
  for (;;) {
    INPUT_RECORD event;
    DWORD count = 0;
    // The wide call: a key of any keyboard layout yields its character.
    if (!ReadConsoleInputW(input, &event, 1, &count)) {
      break;
    }
    if (count == 1 && event.EventType == KEY_EVENT && event.Event.KeyEvent.bKeyDown &&
        (event.Event.KeyEvent.uChar.UnicodeChar != 0 ||
         !is_modifier_or_lock(event.Event.KeyEvent.wVirtualKeyCode))) {
      break;
    }
  }
  SetConsoleMode(input, saved_mode);
}

}  // namespace m3u2lst::platform
