// Faults made to really happen around a run: a full disk, a list that refuses
// writes, playlists and folders the user may not read or write, and several
// runs appending to one list at once. A fault that cannot be set up here skips
// its test with the reason.
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <vector>

#include "test_support.hpp"

namespace fs = std::filesystem;

namespace m3u2lst {
namespace {

using testing::kClosingLine;
using testing::open_failed;
using testing::run_console;
using testing::save_failed;
using testing::saved;

/// A playlist of `entries` channels with LF line ends.
std::string playlist(int entries, const std::string& url_tail = "") {
  std::string text = "#EXTM3U\n";
  for (int i = 0; i < entries; ++i) {
    text += "#EXTINF:-1 group-title=\"G\",Channel " + std::to_string(i) + "\nhttp://cdn.example/" +
            std::to_string(i) + url_tail + "\n";
  }
  return text;
}

/// Splits a channel list into its records (each without its CR LF); a list
/// whose last record lacks its CR LF yields that torn tail as the last item.
std::vector<std::string> records_of(const std::string& list) {
  std::vector<std::string> records;
  std::size_t start = 0;
  std::size_t end;
  while ((end = list.find("\r\n", start)) != std::string::npos) {
    records.push_back(list.substr(start, end - start));
    start = end + 2;
  }
  if (start < list.size()) {
    records.push_back(list.substr(start));
  }
  return records;
}

class Faults : public ::testing::Test {
 protected:
  testing::TempDir work;
  fs::path channels = work.path() / "iptv channel";
  void SetUp() override { fs::create_directory(channels); }

  /// Whether the program can be run as an unprivileged user when that is
  /// needed to meet permission checks (root passes them all). Sets `reason`.
  bool can_run_unprivileged(std::string& reason) {
    if (geteuid() != 0) {
      return true;
    }
    if (access(testing::kSetpriv, X_OK) != 0) {
      reason = "running as root without setpriv: permissions cannot be made to refuse";
      return false;
    }
    fs::permissions(work.path(), fs::perms::all);
    testing::TempDir probe;
    fs::permissions(probe.path(), fs::perms::all);
    testing::RunResult result = testing::run_program(probe.path(), testing::Start::kAsNobody);
    if (result.console.find(kClosingLine) == std::string::npos) {
      reason = "the user nobody cannot run the program from this folder";
      return false;
    }
    return true;
  }
  /// As the permission tests run the program: as nobody when root.
  testing::Start unprivileged() const {
    return geteuid() == 0 ? testing::Start::kAsNobody : testing::Start::kPlain;
  }
};

TEST_F(Faults, FullDiskKeepsEarlierRecordsAndLeavesNoTornRecord) {
  fs::path disk = work.path() / "disk";
  fs::create_directory(disk);
  if (mount("tmpfs", disk.c_str(), "tmpfs", 0, "size=256k") != 0) {
    GTEST_SKIP() << "cannot mount a 256 KiB tmpfs (needs root): " << std::strerror(errno);
  }
  struct Unmount {
    fs::path at;
    ~Unmount() { umount2(at.c_str(), MNT_DETACH); }
  } unmount{disk};
  fs::create_directory(disk / "iptv channel");
  const std::string earlier = testing::model_records(playlist(3));
  const std::string small = playlist(5);
  const std::string large = playlist(4000);  // about 100 KB, whose records need about 400 KB
  testing::write_file(disk / "iptv.lst", earlier);
  testing::write_file(disk / "iptv channel" / "a.m3u", small);
  testing::write_file(disk / "iptv channel" / "b.m3u", large);

  testing::RunResult result = testing::run_program(disk);
  EXPECT_EQ(result.console,
            run_console({"a.m3u", "b.m3u"}, {saved("a.m3u"), save_failed("b.m3u")}));
  EXPECT_EQ(result.exit_status, 1);
  const std::string list = testing::read_file(disk / "iptv.lst");
  const std::string kept = earlier + testing::model_records(small);
  ASSERT_EQ(list.compare(0, kept.size(), kept), 0) << "earlier records were damaged";
  // The rest is whole records of b.m3u, cut back to the last whole one.
  const std::string rest = list.substr(kept.size());
  const std::string large_records = testing::model_records(large);
  EXPECT_LT(rest.size(), large_records.size());
  EXPECT_EQ(large_records.compare(0, rest.size(), rest), 0);
  EXPECT_TRUE(rest.empty() || rest.ends_with("</servercategory>\r\n"))
      << "torn record at the end: ..."
      << rest.substr(rest.size() - std::min<std::size_t>(60, rest.size()));
}

// A device holds no data to flush: only one that refuses writes fails a save.
TEST_F(Faults, DeviceAsTheListFailsOnlyWhenItRefusesWrites) {
  testing::write_file(channels / "a.m3u", playlist(2));
  testing::write_file(channels / "b.m3u", playlist(2));
  for (const char* device : {"/dev/full", "/dev/null"}) {
    if (!fs::exists(device)) {
      GTEST_SKIP() << "no " << device << " on this machine";
    }
    fs::remove(work.path() / "iptv.lst");
    fs::create_symlink(device, work.path() / "iptv.lst");
    testing::RunResult result = testing::run_program(work.path());
    bool refuses = std::string(device) == "/dev/full";
    auto outcome = refuses ? save_failed : saved;
    EXPECT_EQ(result.console, run_console({"a.m3u", "b.m3u"}, {outcome("a.m3u"), outcome("b.m3u")}))
        << device;
    EXPECT_EQ(result.exit_status, refuses ? 1 : 0) << device;
  }
}

// "sucessful" means on stable storage: a flush the disk fails is a failed
// save, whether the run created the list or found it, and the run goes on.
TEST_F(Faults, FailedFlushFailsEverySave) {
  const std::string text = playlist(3);
  testing::write_file(channels / "a.m3u", text);
  testing::write_file(channels / "b.m3u", "");
  testing::write_file(channels / "c.m3u", text);
  testing::RunResult result = testing::run_program(work.path(), testing::Start::kFlushFails);
  if (result.exit_status == 126) {
    GTEST_SKIP() << "cannot make flushes fail here (no seccomp filters)";
  }
  EXPECT_EQ(result.console,
            run_console({"a.m3u", "b.m3u", "c.m3u"},
                        {save_failed("a.m3u"), save_failed("b.m3u"), save_failed("c.m3u")}));
  EXPECT_EQ(result.exit_status, 1);
  // The records were written whole all the same.
  const std::string records = testing::model_records(text);
  EXPECT_EQ(testing::read_file(work.path() / "iptv.lst"), records + records);
}

TEST_F(Faults, UnreadablePlaylistStopsTheLoop) {
  std::string reason;
  if (!can_run_unprivileged(reason)) {
    GTEST_SKIP() << reason;
  }
  fs::permissions(work.path(), fs::perms::all);
  testing::write_file(channels / "a.m3u", playlist(2));
  testing::write_file(channels / "b.m3u", playlist(2));
  testing::write_file(channels / "c.m3u", playlist(2));
  fs::permissions(channels / "b.m3u", fs::perms::none);
  testing::RunResult result = testing::run_program(work.path(), unprivileged());
  EXPECT_EQ(result.console,
            run_console({"a.m3u", "b.m3u", "c.m3u"}, {saved("a.m3u"), open_failed("b.m3u")}));
  EXPECT_EQ(result.exit_status, 1);
  EXPECT_EQ(testing::read_file(work.path() / "iptv.lst"), testing::model_records(playlist(2)));
}

TEST_F(Faults, ListThatCannotBeCreatedFailsEachSaveAndGoesOn) {
  std::string reason;
  if (!can_run_unprivileged(reason)) {
    GTEST_SKIP() << reason;
  }
  testing::write_file(channels / "a.m3u", playlist(2));
  testing::write_file(channels / "b.m3u", playlist(2));
  fs::permissions(work.path(), fs::perms::owner_read | fs::perms::owner_exec |
                                   fs::perms::group_read | fs::perms::group_exec |
                                   fs::perms::others_read | fs::perms::others_exec);
  testing::RunResult result = testing::run_program(work.path(), unprivileged());
  EXPECT_EQ(result.console,
            run_console({"a.m3u", "b.m3u"}, {"The SaveFile cannot opened", save_failed("a.m3u"),
                                             "The SaveFile cannot opened", save_failed("b.m3u")}));
  EXPECT_EQ(result.exit_status, 1);
  EXPECT_FALSE(fs::exists(work.path() / "iptv.lst"));
}

TEST_F(Faults, ConcurrentRunsNeverMixBytesInsideARecord) {
  const std::string text = playlist(40000, "/index.m3u8?token=" + std::string(180, 't'));
  testing::write_file(channels / "big.m3u", text);
  std::vector<testing::RunningProgram> runs;
  for (int i = 0; i < 4; ++i) {
    runs.push_back(testing::start_program(work.path()));
  }
  for (const testing::RunningProgram& run : runs) {
    testing::RunResult result = testing::finish_program(run);
    EXPECT_EQ(result.console, run_console({"big.m3u"}, {saved("big.m3u")}));
  }
  const std::vector<std::string> one_run = records_of(testing::model_records(text));
  std::vector<std::string> expected;
  for (int i = 0; i < 4; ++i) {
    expected.insert(expected.end(), one_run.begin(), one_run.end());
  }
  std::vector<std::string> found = records_of(testing::read_file(work.path() / "iptv.lst"));
  ASSERT_EQ(found.size(), expected.size());
  std::sort(expected.begin(), expected.end());
  std::sort(found.begin(), found.end());
  EXPECT_TRUE(found == expected) << "the list holds records that no run wrote whole";
}

}  // namespace
}  // namespace m3u2lst
