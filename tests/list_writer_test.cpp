// convert_playlist against the real channel list file, in a temporary folder.
#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "conversion/list_file.hpp"
#include "conversion/playlist_conversion.hpp"
#include "conversion/record_pipeline.hpp"
#include "conversion_hooks.hpp"
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

/// convert_playlist as the only save of its session.
Failure save(std::string_view file) {
  ListSession session;
  return convert_playlist(file, session);
}

TEST_F(ListWriter, CreatesTheListAndAppendsOnEveryCall) {
  EXPECT_FALSE(save(""));
  ASSERT_TRUE(fs::exists(folder.path() / "iptv.lst"));
  EXPECT_EQ(list(), "");
  EXPECT_FALSE(save(kTwoChannels));
  EXPECT_FALSE(save(kTwoChannels));
  EXPECT_EQ(list(), testing::convert_text(kTwoChannels) + testing::convert_text(kTwoChannels));
}

// What the list held stays byte for byte; a list whose last line lacks its
// end (an editor's, a record torn by a crash, zero bytes a power cut left)
// gets one before the new records, so that none is glued onto it.
TEST_F(ListWriter, KeepsWhatTheListHeldBeforeAndStartsANewLine) {
  const std::string records = testing::convert_text(kTwoChannels);
  const std::string record =
      "<servername=>A</servername><serverurl=>u</serverurl>"
      "<servercategory=>TV</servercategory>";
  const struct {
    std::string before;
    std::string line_end;
  } cases[] = {
      {"", ""},
      {record + "\r\n", ""},
      {"lf only\n", ""},
      {"earlier line\r\nno line end", "\r\n"},
      {record, "\r\n"},
      {"<servername=>Channel</servername><serverurl=>http://cdn.exam", "\r\n"},
      {record + "\r", "\n"},
      {"lf only\nno lf", "\r\n"},
      {record + "\r\n" + std::string(4096, '\0'), "\r\n"},
  };
  for (const auto& c : cases) {
    testing::write_file(folder.path() / "iptv.lst", c.before);
    EXPECT_FALSE(save(kTwoChannels));
    EXPECT_EQ(list(), c.before + c.line_end + records) << ::testing::PrintToString(c.before);
    // Nothing to add, nothing added.
    EXPECT_FALSE(save("no entries"));
    EXPECT_EQ(list(), c.before + c.line_end + records);
  }
  testing::write_file(folder.path() / "iptv.lst", "no line end");
  EXPECT_FALSE(save("#EXTINF:-1,A\n"));
  EXPECT_EQ(list(), "no line end");
  // A save of three chunks after a torn line: one line end, before the first.
  std::string three_chunks;
  for (int i = 0; i < 6000; ++i) {
    three_chunks += "#EXTINF:-1,Channel " + std::to_string(i) + "\nhttp://a/" + std::to_string(i) +
                    "/index.m3u8?token=" + std::string(20, 't') + "\n";
  }
  const std::string three_records = testing::model_records(three_chunks);
  ASSERT_GT(three_records.size(), 2u << 18);
  testing::write_file(folder.path() / "iptv.lst", record);
  EXPECT_FALSE(save(three_chunks));
  EXPECT_EQ(list(), record + "\r\n" + three_records);
}

TEST_F(ListWriter, StopsAtTheFirstZeroByte) {
  const char text[] = "#EXTINF:-1,One\r\nhttp://a/1\r\n\0#EXTINF:-1,Two\r\nhttp://a/2\r\n";
  EXPECT_FALSE(save(text));
  EXPECT_EQ(list(), testing::convert_text("#EXTINF:-1,One\r\nhttp://a/1\r\n"));
}

TEST_F(ListWriter, WritesPlaylistsLargerThanOneChunk) {
  std::string text;
  for (int i = 0; i < 20000; ++i) {
    text += "#EXTINF:-1,Channel " + std::to_string(i) + "\nhttp://a.example/live/" +
            std::to_string(i) + "/index.m3u8\n";
  }
  EXPECT_FALSE(save(text.c_str()));
  EXPECT_EQ(list(), testing::convert_text(text));
}

TEST_F(ListWriter, ReportsAListThatCannotBeOpened) {
  fs::create_directory(folder.path() / "iptv.lst");
  // The library prints nothing: the failure goes to the driver, with its cause.
  ::testing::internal::CaptureStdout();
  const Failure failure = save(kTwoChannels);
  std::fflush(stdout);
  EXPECT_EQ(::testing::internal::GetCapturedStdout(), "");
  EXPECT_EQ(failure.step, Step::kOpenList);
#ifndef _WIN32
  EXPECT_EQ(failure.code, EISDIR);
#endif
}

TEST_F(ListWriter, ReportsAFailedWrite) {
#ifdef _WIN32
  GTEST_SKIP() << "needs a device that refuses writes (/dev/full)";
#else
  if (!fs::exists("/dev/full")) {
    GTEST_SKIP() << "no /dev/full on this machine";
  }
  fs::create_symlink("/dev/full", folder.path() / "iptv.lst");
  const Failure failure = save(kTwoChannels);
  EXPECT_EQ(failure.step, Step::kWriteList);
  EXPECT_EQ(failure.code, ENOSPC);
  // With nothing to write, nothing can fail.
  EXPECT_FALSE(save("no entries"));
#endif
}

// The torn record of a short write is cut off only while the list still
// ends where that write left it: what another run appended since stays.
TEST_F(ListWriter, CutsBackOnlyAListThatEndsWhereItsWriteLeftIt) {
  testing::write_file(folder.path() / "iptv.lst", "whole\r\ntorn");
  list_file::ListFile file;
  ASSERT_FALSE(list_file::open_list(file));
  EXPECT_FALSE(list_file::cut_back(file, 7, 10));  // the list is 11 bytes long, not 10
  EXPECT_EQ(list(), "whole\r\ntorn");
  EXPECT_TRUE(list_file::cut_back(file, 7, 11));
  EXPECT_FALSE(list_file::close_list(file));
  EXPECT_EQ(list(), "whole\r\n");
}

// Saved on one thread or two, the chunks are the same: whole records, in
// order. A write that fails is the last one: the scanner stops, and no chunk
// is written after it, nor out of order, nor twice.
TEST(RecordPipeline, WritesTheSameChunksOnOneOrTwoThreadsAndStopsAtAFailedWrite) {
  std::string text;
  for (int i = 0; i < 3000; ++i) {
    text += "#EXTINF:-1,C" + std::to_string(i) + "\nhttp://a/" + std::to_string(i) + "\n";
  }
  const std::string records = testing::model_records(text);
  for (const bool threaded : {false, true}) {
    for (const std::size_t fail_at : {std::size_t{0}, std::size_t{1}, std::size_t{7}}) {
      PlaylistScanner scanner(text);
      std::vector<std::string> chunks;
      const Failure failure = write_in_chunks(
          scanner, "\r\n", 300, threaded, [&](std::string_view chunk, std::size_t line_end) {
            EXPECT_EQ(line_end, chunks.empty() ? 2u : 0u);
            EXPECT_TRUE(chunk.ends_with("\r\n"));
            chunks.emplace_back(chunk);
            return chunks.size() == fail_at ? Failure{Step::kWriteList, 28} : Failure{};
          });
      std::string joined;
      for (const std::string& chunk : chunks) {
        joined += chunk;
      }
      if (fail_at == 0) {
        EXPECT_FALSE(failure);
        EXPECT_EQ(joined, "\r\n" + records) << threaded;
        EXPECT_GT(chunks.size(), 100u);
      } else {
        EXPECT_EQ(failure.step, Step::kWriteList);
        EXPECT_EQ(chunks.size(), fail_at) << threaded;
        EXPECT_TRUE(("\r\n" + records).starts_with(joined)) << threaded;
      }
    }
  }
}

#if !defined(_WIN32) && !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
// Memory for the records that runs out in the scanning thread ends the save
// cleanly: no hang, no thread left behind, and memory named as the cause.
TEST(RecordPipeline, MemoryThatRunsOutInTheScanningThreadEndsTheSave) {
  const std::string text = "#EXTINF:-1," + std::string(96 << 20, 'n') + "\nhttp://a\n";
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    alarm(60);  // a hang ends the child with SIGALRM
    std::ifstream statm("/proc/self/statm");
    std::size_t pages = 0;
    statm >> pages;
    const rlim_t room = pages * static_cast<rlim_t>(sysconf(_SC_PAGESIZE)) + (48 << 20);
    const rlimit little{room, room};
    setrlimit(RLIMIT_AS, &little);
    PlaylistScanner scanner(text);
    const Failure failure = write_in_chunks(
        scanner, "", 1 << 18, true, [](std::string_view, std::size_t) { return Failure{}; });
    _exit(failure.step == Step::kListMemory ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;
}
#endif

}  // namespace
}  // namespace m3u2lst
