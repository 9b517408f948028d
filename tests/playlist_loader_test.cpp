// Loading a playlist whose file changes between being measured and being read.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

#include "driver/driver.hpp"
#include "driver/platform.hpp"
#include "test_support.hpp"

namespace fs = std::filesystem;

namespace m3u2lst {
namespace {

// Small files are read, large ones mapped; a mapped file that is shortened
// loses pages, which must then read as zero instead of ending the program.
// The sizes: read; mapped with a part page at the end; mapped whole pages.
class MeasuredPlaylist : public ::testing::TestWithParam<std::size_t> {
 protected:
  testing::TempDir folder;
  fs::path file = folder.path() / "list.m3u";
  const std::size_t size = GetParam();
  const std::size_t cut = size * 3 / 5;
  const std::string first = std::string(cut, 'a') + std::string(size - cut, 'b');

  // Opens and measures the file as the processing loop does, then lets `change` alter it.
  template <typename Change>
  PlaylistBuffer load_after(Change change) {
    testing::write_file(file, first);
    platform::PlaylistFile opened;
    std::uint64_t length = 0;
    EXPECT_EQ(platform::open_playlist_file(file.string().c_str(), opened, length), 0);
    EXPECT_EQ(length, first.size());
    change();
    PlaylistBuffer buffer;
    EXPECT_EQ(read_measured_playlist(opened, length, buffer), kLoaded);
    return buffer;
  }
};

TEST_P(MeasuredPlaylist, GrownFileIsReadOnlyToItsMeasuredLength) {
  PlaylistBuffer buffer = load_after([&] { testing::write_file(file, first + "#EXTINF:,more"); });
  ASSERT_EQ(buffer.length, first.size());
  EXPECT_EQ(buffer.text_length, first.size());
  EXPECT_TRUE(std::string_view(buffer.text.get(), buffer.length) == first);
  EXPECT_EQ(buffer.text[buffer.length], '\0');
}

TEST_P(MeasuredPlaylist, ShrunkFileReadsAsZeroWhereItLostBytes) {
  PlaylistBuffer buffer = load_after([&] { fs::resize_file(file, cut); });
  ASSERT_EQ(buffer.length, first.size());
  EXPECT_EQ(buffer.text_length, cut);
  EXPECT_TRUE(std::string_view(buffer.text.get(), buffer.length + 1) ==
              std::string(cut, 'a') + std::string(size - cut + 1, '\0'));
}

INSTANTIATE_TEST_SUITE_P(ReadAndMapped, MeasuredPlaylist,
                         ::testing::Values(100, (std::size_t{1} << 20) + 100,
                                           std::size_t{2} << 20));

TEST(LoadPlaylist, ReadsTheWholeFileAndAZero) {
  testing::TempDir folder;
  const std::string bytes = std::string("#EXTINF:-1,A\r\nu\r\n\0tail", 22);
  testing::write_file(folder.path() / "a.m3u", bytes);
  PlaylistBuffer buffer;
  ASSERT_EQ(load_playlist((folder.path() / "a.m3u").string(), buffer), kLoaded);
  EXPECT_EQ(std::string(buffer.text.get(), buffer.length + 1), bytes + '\0');
  EXPECT_EQ(load_playlist((folder.path() / "missing.m3u").string(), buffer), kCannotOpen);
  EXPECT_EQ(load_playlist(folder.path().string(), buffer), kCannotOpen);
}

}  // namespace
}  // namespace m3u2lst

namespace m3u2lst {
namespace {

// Large files are mapped, and measured after: what is measured must not
// depend on where pages meet.
TEST(LoadPlaylist, MeasuresTextEndAndLastCrLfAcrossPieces) {
  testing::TempDir folder;
  const std::size_t piece = std::size_t{4} << 20;
  struct Case {
    std::string bytes;
    std::size_t text_length;
    std::size_t last_crlf;
  };
  std::string straddling(piece + 100, 'x');
  straddling[piece - 1] = '\r';
  straddling[piece] = '\n';
  std::string zero_later(2 * piece + 10, 'y');
  zero_later[10] = '\r';
  zero_later[11] = '\n';
  zero_later[piece + 5] = '\0';
  zero_later[piece + 20] = '\r';  // after the zero: not part of the text
  zero_later[piece + 21] = '\n';
  std::string lf_only(piece + 3, 'z');
  lf_only[piece + 1] = '\n';
  const std::size_t none = std::string_view::npos;
  for (const Case& c : {Case{straddling, straddling.size(), piece - 1},
                        Case{zero_later, piece + 5, 10}, Case{lf_only, lf_only.size(), none}}) {
    testing::write_file(folder.path() / "big.m3u", c.bytes);
    PlaylistBuffer buffer;
    ASSERT_EQ(load_playlist((folder.path() / "big.m3u").string(), buffer), kLoaded);
    EXPECT_EQ(buffer.length, c.bytes.size());
    EXPECT_EQ(buffer.text_length, c.text_length);
    EXPECT_EQ(buffer.last_crlf, c.last_crlf);
    EXPECT_EQ(std::memcmp(buffer.text.get(), c.bytes.data(), c.bytes.size()), 0);
  }
}

}  // namespace
}  // namespace m3u2lst
