// The order NTFS keeps a folder's names in, and so the order a Windows
// directory search lists them in: the POSIX program lists the channel folder
// in it, so that one folder gives the same channel list on every platform.
#pragma once

#include <string_view>

namespace m3u2lst {

/// The unit NTFS's upper-case table ($UpCase, as Windows 8 and later and
/// mkntfs write it) maps the UTF-16 unit `unit` to. Unlike the Unicode
/// upper-casing, it leaves 'ı', 'ſ', 'µ', 'ς', 'ß' and the surrogates as
/// they are. Never fails.
char16_t ntfs_upcase(char16_t unit) noexcept;

/// Whether the UTF-8 name `a` comes before `b` in a folder on NTFS: their
/// UTF-16 units mapped through ntfs_upcase and compared one by one as
/// numbers, a name that begins the other first. Names alike that way (which
/// differ only in case, as a POSIX folder may hold) are ordered by their
/// units, then by their bytes, so the order is total. A byte that is not
/// part of well-formed UTF-8 counts as U+FFFD, after the letters of every
/// script. Throws std::bad_alloc only when memory runs out.
bool ntfs_listed_before(std::string_view a, std::string_view b);

}  // namespace m3u2lst
