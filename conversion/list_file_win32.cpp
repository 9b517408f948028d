// The channel list file on Windows.
#include <windows.h>

#include <algorithm>
#include <limits>

#include "list_file.hpp"

namespace m3u2lst::list_file {

namespace {

HANDLE as_handle(ListFile file) {
  return reinterpret_cast<HANDLE>(file.handle);
}

/// kChannelListName as the wide calls take it.
constexpr wchar_t kListName[] = L"iptv.lst";
static_assert(
    [] {
      for (std::size_t i = 0; i < sizeof kChannelListName; ++i) {
        if (kListName[i] != static_cast<wchar_t>(kChannelListName[i])) {
          return false;
        }
      }
      return sizeof kListName / sizeof kListName[0] == sizeof kChannelListName;
    }(),
    "the list's wide name differs from its name");

/// The byte the list's lock covers: far beyond any data a list will hold, so
/// that a player reading the list is never kept from it. Locks on Windows
/// are mandatory for the bytes they cover; this one covers none in use.
constexpr ULONGLONG kLockOffset = ULONGLONG{1} << 62;

/// Where the lock stands, as LockFileEx and UnlockFileEx take it.
OVERLAPPED lock_place() {
  OVERLAPPED at{};
  at.Offset = static_cast<DWORD>(kLockOffset);
  at.OffsetHigh = static_cast<DWORD>(kLockOffset >> 32);
  return at;
}

/// Takes the exclusive lock on `handle`'s one byte at kLockOffset, waiting
/// for it. Returns false when the file system offers no locks (some network
/// shares), and then the list is used without one.
bool lock_list(HANDLE handle) {
  OVERLAPPED at = lock_place();
  return LockFileEx(handle, LOCKFILE_EXCLUSIVE_LOCK, 0, 1, 0, &at) != 0;
}

}  // namespace

Failure open_list(ListFile& file) {
  // Append access without FILE_WRITE_DATA: the system puts every write at
  // the end of the list, whoever else appends. LockFileEx needs read or
  // write access to the data as well: read access it is, which keeps the
  // appending, and which every reader's sharing allows. The wide call, so
  // that the working folder may be named in any script, whatever the
  // system's ANSI code page.
  HANDLE handle = CreateFileW(
      kListName, FILE_APPEND_DATA | FILE_READ_DATA | FILE_READ_ATTRIBUTES | SYNCHRONIZE,
      FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    return {Step::kOpenList, static_cast<int>(GetLastError())};
  }
  file.handle = reinterpret_cast<std::intptr_t>(handle);
  file.locked = GetFileType(handle) == FILE_TYPE_DISK && lock_list(handle);
  return {};
}

std::string_view line_end_needed(ListFile file) {
  LARGE_INTEGER length;
  if (GetFileType(as_handle(file)) != FILE_TYPE_DISK || !GetFileSizeEx(as_handle(file), &length) ||
      length.QuadPart <= 0) {
    return {};
  }
  // Read at an offset: the handle's appends go to the end wherever it points.
  const auto at = static_cast<ULONGLONG>(length.QuadPart - 1);
  OVERLAPPED place{};
  place.Offset = static_cast<DWORD>(at);
  place.OffsetHigh = static_cast<DWORD>(at >> 32);
  char last = '\n';
  DWORD n = 0;
  if (!ReadFile(as_handle(file), &last, 1, &n, &place) || n != 1) {
    return {};
  }
  return line_end_after(last);
}

namespace {

// Held by the one thread that writes while it writes, and taken for good by
// the console handler, which the system runs on a thread of its own when
// Ctrl+C, Ctrl+Break, the window's closing, a logoff or a shutdown comes:
// it waits until the write in progress ends, and no write starts after.
// Like the saved code page, state only a console handler needs.
SRWLOCK writing = SRWLOCK_INIT;

BOOL WINAPI let_the_write_end(DWORD /*event*/) {
  AcquireSRWLockExclusive(&writing);
  return FALSE;  // the next handler, in the end the system's, ends the program as before
}

}  // namespace

EndingHeld::EndingHeld() noexcept {
  static const bool handled = SetConsoleCtrlHandler(let_the_write_end, TRUE) != 0;
  (void)handled;
  AcquireSRWLockExclusive(&writing);
}

EndingHeld::~EndingHeld() {
  ReleaseSRWLockExclusive(&writing);
}

Appended append(ListFile file, const char* bytes, std::size_t size) {
  constexpr std::size_t kMostPerWrite = std::size_t{1} << 30;
  Appended appended;
  while (appended.written < size) {
    DWORD n = 0;
    const auto want = static_cast<DWORD>(std::min(size - appended.written, kMostPerWrite));
    if (!WriteFile(as_handle(file), bytes + appended.written, want, &n, nullptr)) {
      appended.code = static_cast<int>(GetLastError());  // the disk is full, the reader gone...
      break;
    }
    if (n == 0) {
      break;
    }
    // A short write is made up by the next one, which fails if the disk is full.
    appended.written += n;
  }
  LARGE_INTEGER length;
  appended.end =
      GetFileSizeEx(as_handle(file), &length) ? static_cast<std::uint64_t>(length.QuadPart) : 0;
  return appended;
}

bool cut_back(ListFile file, std::uint64_t length, std::uint64_t end) {
  LARGE_INTEGER now;
  if (!GetFileSizeEx(as_handle(file), &now) || static_cast<std::uint64_t>(now.QuadPart) != end ||
      length > end || GetFileType(as_handle(file)) != FILE_TYPE_DISK) {
    return false;
  }
  // Append access cannot shorten a file: cut through a second handle to the
  // same file, which needs no path, so neither the working folder's script
  // nor its length can keep the cut from happening.
  HANDLE writer = ReOpenFile(as_handle(file), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, 0);
  if (writer == INVALID_HANDLE_VALUE) {
    return false;
  }
  LARGE_INTEGER at;
  at.QuadPart = static_cast<LONGLONG>(length);
  bool cut = SetFilePointerEx(writer, at, nullptr, FILE_BEGIN) && SetEndOfFile(writer);
  CloseHandle(writer);
  return cut;
}

Failure flush_list(ListFile file) {
  // Only a file on disk holds data to flush; flushing a pipe would wait for
  // its reader. FlushFileBuffers is documented to need GENERIC_WRITE, but the
  // system takes append access too: either right allows a flush.
  if (GetFileType(as_handle(file)) != FILE_TYPE_DISK) {
    return {};
  }
  if (!FlushFileBuffers(as_handle(file))) {
    return {Step::kFlushList, static_cast<int>(GetLastError())};
  }
  return {};
}

Failure flush_folder() {
  // Flushing the list also stores its entry in the folder (NTFS through its
  // log, FAT because the entry holds the file's length): nothing to do.
  return {};
}

Failure close_list(ListFile file) {
  // Closing would let go of the lock too; letting go first keeps a close that
  // fails from holding it for the rest of the run.
  if (file.locked) {
    OVERLAPPED at = lock_place();
    UnlockFileEx(as_handle(file), 0, 1, 0, &at);
  }
  if (!CloseHandle(as_handle(file))) {
    return {Step::kCloseList, static_cast<int>(GetLastError())};
  }
  return {};
}

}  // namespace m3u2lst::list_file
