// convert_playlist against the real channel list file, in a temporary folder.
#include <gtest/gtest.h>

#include <filesystem>

#include "conversion/list_file.hpp"
#include "conversion/playlist_conversion.hpp"
#include "test_support.hpp"

namespace fs = std::filesystem;

namespace m3u2lst {
namespace {

class ListWriter : public ::testing::Test {
 protected:
  testing::TempDir folder;
  testing::WorkingDirectory inside{folder.path()};
  std::string list() { return testing::read_file(folder.path() / "iptv.lst"); }
};

const char kTwoChannels[] = "#EXTINF:-1,One\r\nhttp://a/1\r\n#EXTINF:-1,Two\r\nhttp://a/2\r\n";

TEST_F(ListWriter, CreatesTheListAndAppendsOnEveryCall) {
  EXPECT_EQ(convert_playlist(""), 0);
  ASSERT_TRUE(fs::exists(folder.path() / "iptv.lst"));
  EXPECT_EQ(list(), "");
  EXPECT_EQ(convert_playlist(kTwoChannels), 0);
  EXPECT_EQ(convert_playlist(kTwoChannels), 0);
  EXPECT_EQ(list(), convert_text(kTwoChannels) + convert_text(kTwoChannels));
}

TEST_F(ListWriter, KeepsWhatTheListHeldBefore) {
  testing::write_file(folder.path() / "iptv.lst", "earlier line\r\nno line end");
  EXPECT_EQ(convert_playlist(kTwoChannels), 0);
  EXPECT_EQ(list(), "earlier line\r\nno line end" + convert_text(kTwoChannels));
}

TEST_F(ListWriter, StopsAtTheFirstZeroByte) {
  const char text[] = "#EXTINF:-1,One\r\nhttp://a/1\r\n\0#EXTINF:-1,Two\r\nhttp://a/2\r\n";
  EXPECT_EQ(convert_playlist(text), 0);
  EXPECT_EQ(list(), convert_text("#EXTINF:-1,One\r\nhttp://a/1\r\n"));
}

TEST_F(ListWriter, WritesPlaylistsLargerThanOneChunk) {
  std::string text;
  for (int i = 0; i < 20000; ++i) {
    text += "#EXTINF:-1,Channel " + std::to_string(i) + "\nhttp://a.example/live/" +
            std::to_string(i) + "/index.m3u8\n";
  }
  EXPECT_EQ(convert_playlist(text.c_str()), 0);
  EXPECT_EQ(list(), convert_text(text));
}

TEST_F(ListWriter, ReportsAListThatCannotBeOpened) {
  fs::create_directory(folder.path() / "iptv.lst");
  ::testing::internal::CaptureStdout();
  int result = convert_playlist(kTwoChannels);
  std::fflush(stdout);
  EXPECT_EQ(::testing::internal::GetCapturedStdout(), "The SaveFile cannot opened\n");
  EXPECT_EQ(result, -1);
}

TEST_F(ListWriter, ReportsAFailedWrite) {
#ifdef _WIN32
  GTEST_SKIP() << "needs a device that refuses writes (/dev/full)";
#else
  if (!fs::exists("/dev/full")) {
    GTEST_SKIP() << "no /dev/full on this machine";
  }
  fs::create_symlink("/dev/full", folder.path() / "iptv.lst");
  ::testing::internal::CaptureStdout();
  int result = convert_playlist(kTwoChannels);
  std::fflush(stdout);
  EXPECT_EQ(::testing::internal::GetCapturedStdout(), "");
  EXPECT_EQ(result, -1);
  // With nothing to write, nothing can fail.
  EXPECT_EQ(convert_playlist("no entries"), 0);
#endif
}

// The torn record of a short write is cut off only while the list still
// ends where that write left it: what another run appended since stays.
TEST_F(ListWriter, CutsBackOnlyAListThatEndsWhereItsWriteLeftIt) {
  testing::write_file(folder.path() / "iptv.lst", "whole\r\ntorn");
  list_file::ListFile file;
  ASSERT_EQ(list_file::open_list(file), 0);
  EXPECT_EQ(list_file::cut_back(file, 7, 10), -1);  // the list is 11 bytes long, not 10
  EXPECT_EQ(list(), "whole\r\ntorn");
  EXPECT_EQ(list_file::cut_back(file, 7, 11), 0);
  EXPECT_EQ(list_file::close_list(file), 0);
  EXPECT_EQ(list(), "whole\r\n");
}

}  // namespace
}  // namespace m3u2lst
