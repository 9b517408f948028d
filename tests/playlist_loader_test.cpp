// Loading a playlist whose file changes between being measured and being read.
#include <gtest/gtest.h>

#include <filesystem>

#ifdef __GLIBC__
#include <malloc.h>
#endif

#include "driver/driver.hpp"
#include "driver/playlist_file.hpp"
#include "test_support.hpp"

namespace fs = std::filesystem;

namespace m3u2lst {
namespace {

// Small files are read, large ones mapped; a mapped file that is shortened
// loses pages, which must then read as zero instead of ending the program.
// The sizes: read; mapped from exactly 1 MiB; mapped with a part page at the
// end; mapped whole pages.
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
    EXPECT_FALSE(platform::open_playlist_file(file.string().c_str(), opened, length));
    EXPECT_EQ(length, first.size());
    change();
    PlaylistBuffer buffer;
    EXPECT_FALSE(read_measured_playlist(opened, length, buffer));
    return buffer;
  }
};

TEST_P(MeasuredPlaylist, GrownFileIsReadOnlyToItsMeasuredLength) {
  PlaylistBuffer buffer = load_after([&] { testing::write_file(file, first + "#EXTINF:,more"); });
  ASSERT_EQ(buffer.length, first.size());
  EXPECT_TRUE(std::string_view(buffer.text.get(), buffer.length) == first);
  EXPECT_EQ(buffer.text[buffer.length], '\0');
}

TEST_P(MeasuredPlaylist, ShrunkFileReadsAsZeroWhereItLostBytes) {
#ifdef __GLIBC__
  // Fresh heap memory holds non-zero bytes, so no zero comes from the heap.
  mallopt(M_PERTURB, 0x5a);
#endif
  PlaylistBuffer buffer = load_after([&] { fs::resize_file(file, cut); });
#ifdef __GLIBC__
  mallopt(M_PERTURB, 0);
#endif
  ASSERT_EQ(buffer.length, first.size());
  EXPECT_TRUE(std::string_view(buffer.text.get(), buffer.length + 1) ==
              std::string(cut, 'a') + std::string(size - cut + 1, '\0'));
  // Pages the file lost are no read error.
  EXPECT_FALSE(platform::playlist_memory_lost(buffer.text.get()));
}

INSTANTIATE_TEST_SUITE_P(ReadAndMapped, MeasuredPlaylist,
                         ::testing::Values(100, std::size_t{1} << 20, (std::size_t{1} << 20) + 100,
                                           std::size_t{2} << 20));

TEST(LoadPlaylist, ReadsTheWholeFileAndAZero) {
  testing::TempDir folder;
  const std::string bytes = std::string("#EXTINF:-1,A\r\nu\r\n\0tail", 22);
  testing::write_file(folder.path() / "a.m3u", bytes);
  PlaylistBuffer buffer;
  ASSERT_FALSE(load_playlist((folder.path() / "a.m3u").string(), buffer));
  EXPECT_EQ(std::string(buffer.text.get(), buffer.length + 1), bytes + '\0');
  EXPECT_EQ(load_playlist((folder.path() / "missing.m3u").string(), buffer).step,
            Step::kOpenPlaylist);
  EXPECT_EQ(load_playlist(folder.path().string(), buffer).step, Step::kOpenPlaylist);
}

}  // namespace
}  // namespace m3u2lst
