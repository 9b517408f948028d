// The channel list file on Windows.
#include <windows.h>

#include <limits>
#include <new>
#include <string>

#include "list_file.hpp"

namespace m3u2lst::list_file {

namespace {

HANDLE as_handle(ListFile file) {
  return reinterpret_cast<HANDLE>(file.handle);
}

/// `text`, UTF-8, as UTF-16 in `wide`. Returns false for text that is not
/// UTF-8 or when memory runs out.
bool wide_from_utf8(const char* text, std::wstring& wide) {
  int length = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text, -1, nullptr, 0);
  if (length <= 0) {
    return false;
  }
  try {
    wide.resize(static_cast<std::size_t>(length));
  } catch (const std::bad_alloc&) {
    return false;
  }
  return MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text, -1, wide.data(), length) ==
         length;
}

}  // namespace

int open_list(const char* name, ListFile& file) {
  // Append access alone (no FILE_WRITE_DATA): the system puts every write at
  // the end of the list, whoever else appends.
  // The wide call, so that the name (UTF-8) and the working folder may be in
  // any script, whatever the system's ANSI code page.
  std::wstring wide_name;
  if (!wide_from_utf8(name, wide_name)) {
    return -1;
  }
  HANDLE handle = CreateFileW(
      wide_name.c_str(), FILE_APPEND_DATA | FILE_READ_ATTRIBUTES | SYNCHRONIZE,
      FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    return -1;
  }
  // OPEN_ALWAYS tells an existing file by this code, also on success.
  file.created = GetLastError() != ERROR_ALREADY_EXISTS;
  file.handle = reinterpret_cast<std::intptr_t>(handle);
  return 0;
}

std::size_t append_once(ListFile file, const char* bytes, std::size_t size, std::uint64_t& end) {
  DWORD written = 0;
  DWORD want = size > std::numeric_limits<DWORD>::max() ? std::numeric_limits<DWORD>::max()
                                                        : static_cast<DWORD>(size);
  if (!WriteFile(as_handle(file), bytes, want, &written, nullptr)) {
    written = 0;
  }
  LARGE_INTEGER length;
  end = GetFileSizeEx(as_handle(file), &length) ? static_cast<std::uint64_t>(length.QuadPart) : 0;
  return written;
}

int cut_back(ListFile file, std::uint64_t length, std::uint64_t end) {
  LARGE_INTEGER now;
  if (!GetFileSizeEx(as_handle(file), &now) || static_cast<std::uint64_t>(now.QuadPart) != end ||
      length > end || GetFileType(as_handle(file)) != FILE_TYPE_DISK) {
    return -1;
  }
  // Append access cannot shorten a file: cut through a second handle to the
  // same file, which needs no path, so neither the working folder's script
  // nor its length can keep the cut from happening.
  HANDLE writer = ReOpenFile(as_handle(file), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, 0);
  if (writer == INVALID_HANDLE_VALUE) {
    return -1;
  }
  LARGE_INTEGER at;
  at.QuadPart = static_cast<LONGLONG>(length);
  bool cut = SetFilePointerEx(writer, at, nullptr, FILE_BEGIN) && SetEndOfFile(writer);
  CloseHandle(writer);
  return cut ? 0 : -1;
}

int flush_list(ListFile file) {
  // Only a file on disk holds data to flush; flushing a pipe would wait for
  // its reader. FlushFileBuffers is documented to need GENERIC_WRITE, but the
  // system takes append access too: either right allows a flush. Flushing
  // the file also stores its entry in the folder (NTFS through its log, FAT
  // because the entry holds the file's length), so no folder is flushed.
  if (GetFileType(as_handle(file)) != FILE_TYPE_DISK) {
    return 0;
  }
  return FlushFileBuffers(as_handle(file)) ? 0 : -1;
}

int close_list(ListFile file) {
  return CloseHandle(as_handle(file)) ? 0 : -1;
}

}  // namespace m3u2lst::list_file
