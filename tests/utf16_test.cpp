// Names between UTF-16 and UTF-8: every script, and the lone surrogates a
// Windows file name may hold, must come back unit for unit, or the file the
// folder listed could not be opened.
#include <gtest/gtest.h>

#include <string>

#include "driver/utf16.hpp"

namespace m3u2lst {
namespace {

TEST(Utf16Names, TurnIntoUtf8AndBackUnchanged) {
  struct Case {
    std::u16string utf16;
    std::string utf8;
  };
  const Case cases[] = {
      {u"ASCII.m3u", "ASCII.m3u"},
      {u"caf\u00e9.txt", "caf\xc3\xa9.txt"},
      {u"\u0420\u043e\u0441\u0441\u0438\u044f", "\xd0\xa0\xd0\xbe\xd1\x81\xd1\x81\xd0\xb8\xd1\x8f"},
      {u"\u0627\u0644", "\xd8\xa7\xd9\x84"},
      {u"\u4e2d\u56fd", "\xe4\xb8\xad\xe5\x9b\xbd"},
      {u"\U0001F4FA Sports", "\xf0\x9f\x93\xba Sports"},  // a surrogate pair
      {u"\uffff", "\xef\xbf\xbf"},
      // Lone surrogates: a high one at the end, a low one alone, two highs.
      {std::u16string(u"a") + char16_t(0xD83D), "a\xed\xa0\xbd"},
      {std::u16string(1, char16_t(0xDCFA)) + u"b",
       "\xed\xb3\xba"
       "b"},
      {std::u16string{char16_t(0xD800), char16_t(0xD800)}, "\xed\xa0\x80\xed\xa0\x80"},
      // A high one before a unit above the low ones (a private-use character).
      {std::u16string{char16_t(0xD83D), char16_t(0xE000)}, "\xed\xa0\xbd\xee\x80\x80"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(utf8_from_utf16(std::u16string_view(c.utf16)), c.utf8);
    EXPECT_TRUE(utf16_from_utf8<char16_t>(c.utf8) == c.utf16) << c.utf8;
  }
  // Bytes that begin no well-formed sequence each stand for U+FFFD.
  EXPECT_TRUE(utf16_from_utf8<char16_t>("a\x80"
                                        "b\xc0\xaf\xf5\x80\x80\x80\xe4\xb8\xf4\x90\x80\x80") ==
              u"a\ufffdb\ufffd\ufffd\ufffd\ufffd\ufffd\ufffd\ufffd\ufffd"
              u"\ufffd\ufffd\ufffd\ufffd");  // the last four: past U+10FFFF
}

}  // namespace
}  // namespace m3u2lst
