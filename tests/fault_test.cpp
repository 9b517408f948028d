// Faults made to really happen around a run: a full disk, a list that refuses
// writes, playlists and folders the user may not read or write, and several
// runs appending to one list at once. A fault that cannot be set up here skips
// its test with the reason.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <vector>

#include "test_support.hpp"

namespace fs = std::filesystem;

namespace m3u2lst {
namespace {

using testing::causes;
using testing::kClosingLine;
using testing::open_failed;
using testing::run_console;
using testing::save_failed;
using testing::saved;

/// The cause line of a save that filled the disk.
const std::string kDiskFull =
    "iptv.lst: cannot write: No space left on device (the list keeps what it held before this "
    "playlist)";

/// A playlist of `entries` channels with LF line ends.
std::string playlist(int entries, const std::string& url_tail = "") {
  std::string text = "#EXTM3U\n";
  for (int i = 0; i < entries; ++i) {
    text += "#EXTINF:-1 group-title=\"G\",Channel " + std::to_string(i) + "\nhttp://cdn.example/" +
            std::to_string(i) + url_tail + "\n";
  }
  return text;
}

/// A playlist of 136 MiB, large enough to be saved by two threads: one
/// block of 4000 channels with 2 KB addresses, repeated.
const std::string& large_playlist() {
  static const std::string text = [] {
    const std::string block = playlist(4000, "/index.m3u8?token=" + std::string(2000, 't'));
    std::string repeated;
    for (int i = 0; i < 17; ++i) {
      repeated += block;
    }
    return repeated;
  }();
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
  // b.m3u of 248 KB, whose records need 478 KB, fills the disk early in its
  // first write. Then the same after a list whose last record is torn after
  // a CR, with nothing to add before b.m3u: the LF that b.m3u's first write
  // begins with stays. Then a b.m3u of 105 KB fills it at 70% of that write.
  // Last, a b.m3u saved by two threads, from a channel folder elsewhere.
  for (const int round : {0, 1, 2, 3}) {
    const bool torn = round == 1;
    const std::string& large = round == 3 ? large_playlist() : playlist(round == 2 ? 1700 : 4000);
    if (round == 3) {
      fs::remove_all(disk / "iptv channel");
      fs::create_directory(work.path() / "large");
      fs::create_directory_symlink(work.path() / "large", disk / "iptv channel");
    }
    testing::write_file(disk / "iptv channel" / "b.m3u", large);
    const std::string earlier =
        testing::model_records(playlist(3)) + (torn ? "<servername=>Torn</server\r" : "");
    const std::string small = torn ? "#EXTM3U\n" : playlist(5);
    testing::write_file(disk / "iptv.lst", earlier);
    testing::write_file(disk / "iptv channel" / "a.m3u", small);

    testing::RunResult result = testing::run_program(disk);
    EXPECT_EQ(result.console,
              run_console({"a.m3u", "b.m3u"}, {saved("a.m3u"), save_failed("b.m3u")}));
    EXPECT_EQ(result.errors, causes({kDiskFull}));
    EXPECT_EQ(result.exit_status, 1);
    const std::string list = testing::read_file(disk / "iptv.lst");
    const std::string kept = earlier + (torn ? "\n" : "") + testing::model_records(small);
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
  // Last, a disk that fills inside the first record after the line end a
  // list torn after a CR needs: the list's last page has 100 bytes left, and
  // a filler takes every other page. The LF stays; the torn record goes.
  fs::remove(disk / "iptv.lst");
  fs::remove(disk / "iptv channel");
  fs::create_directory(disk / "iptv channel");
  testing::write_file(disk / "iptv channel" / "b.m3u", playlist(50));
  const std::string earlier = std::string(3995, 'x') + "\r";
  testing::write_file(disk / "iptv.lst", earlier);
  {
    const int filler = open((disk / "filler").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ASSERT_GE(filler, 0);
    const std::string page(4096, 'f');
    while (write(filler, page.data(), page.size()) > 0) {
    }
    close(filler);
  }
  const testing::RunResult result = testing::run_program(disk);
  EXPECT_EQ(result.console, run_console({"b.m3u"}, {save_failed("b.m3u")}));
  EXPECT_EQ(result.errors, causes({kDiskFull}));
  EXPECT_EQ(testing::read_file(disk / "iptv.lst"), earlier + "\n");
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
    EXPECT_EQ(result.errors, refuses ? causes({kDiskFull, kDiskFull}) : "") << device;
    EXPECT_EQ(result.exit_status, refuses ? 1 : 0) << device;
  }
}

// "sucessful" means every byte read and on stable storage: a call the disk
// fails fails the file it was made for, and the run goes on with the next.
TEST_F(Faults, FailingCallsFailTheFilesTheyHit) {
  const std::string earlier = testing::model_records(playlist(1));
  struct Row {
    const char* what;
    testing::Start how;
    std::vector<std::string> strace;  // options for strace, if it is to inject the fault
    bool list_before;                 // the list exists before the run
    std::uint64_t sparse_b;           // b.m3u is a file of this many zero bytes, if not 0
    const char* outcomes;  // per playlist: 's' saved, 'f' failed with its records written,
                           // 'x' failed with none written; the loop stops after the last
    const char* cause;     // the cause line of each failed playlist, and of the one the
                           // loop stopped at, after "m3u2lst: "; "%s" stands for its path
  };
  using testing::Start;
  const Row rows[] = {
    {"every flush fails",
     Start::kFlushFails,
     {},
     false,
     0,
     "fff",
     "iptv.lst: cannot flush to disk: Input/output error"},
    // The folder's flush works: only the list's data flush fails.
    {"the list's flush fails",
     Start::kPlain,
     {"-P", "iptv.lst", "-e", "trace=fdatasync", "-e", "inject=fdatasync:error=EIO"},
     true,
     0,
     "fff",
     "iptv.lst: cannot flush to disk: Input/output error"},
    // The folder is flushed at a run's first save, and at each after until once it was.
    {"the folder's flush fails",
     Start::kFolderFlushFails,
     {},
     true,
     0,
     "fff",
     "iptv.lst: cannot flush its folder to disk: Input/output error"},
    // strace finds the list by its name: it is there before the run.
    {"closing the list fails",
     Start::kPlain,
     {"-P", "iptv.lst", "-e", "trace=close", "-e", "inject=close:error=EIO"},
     true,
     0,
     "fff",
     "iptv.lst: cannot close: Input/output error"},
    {"reading b.m3u fails",
     Start::kPlain,
     {"-P", "iptv channel/b.m3u", "-e", "trace=pread64", "-e", "inject=pread64:error=EIO"},
     false,
     0,
     "sxs",
     "%s: cannot read: Input/output error"},
    {"the first read of a.m3u is interrupted",
     Start::kPlain,
     {"-P", "iptv channel/a.m3u", "-e", "trace=pread64", "-e", "inject=pread64:error=EINTR:when=1"},
     false,
     0,
     "sss",
     nullptr},
    // Each playlist is closed once read: more playlists than descriptors all load.
    {"few descriptors", Start::kFewDescriptors, {}, false, 0, "ssssssssssssssssssss", nullptr},
#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
    // Mapping b.m3u fails: the loop stops there, without a line.
    {"little address space",
     Start::kLittleAddressSpace,
     {},
     false,
     256 << 20,
     "s",
     "%s: not enough memory to read it (268.4 MB)"},
#endif
  };
  std::string skipped;
  for (const Row& row : rows) {
    testing::TempDir round;
    fs::path folder = round.path() / "iptv channel";
    fs::create_directory(folder);
    const std::size_t files = std::max<std::size_t>(3, std::strlen(row.outcomes));
    std::vector<std::string> names;
    for (std::size_t i = 0; i < files; ++i) {
      names.push_back(files <= 26 ? std::string(1, static_cast<char>('a' + i)) + ".m3u" : "");
      testing::write_file(folder / names.back(), playlist(3 + static_cast<int>(i)));
    }
    if (row.sparse_b != 0) {
      fs::resize_file(folder / "b.m3u", 0);
      fs::resize_file(folder / "b.m3u", row.sparse_b);
    }
    if (row.list_before) {
      testing::write_file(round.path() / "iptv.lst", earlier);
    }
    if (!row.strace.empty() && access(testing::kStrace, X_OK) != 0) {
      skipped += std::string(" ") + row.what + ": no strace;";
      continue;
    }
    // strace names its paths from the run's folder, and says so on stderr
    // unless they are named from the root.
    std::vector<std::string> strace = row.strace;
    for (std::size_t i = 1; i < strace.size(); ++i) {
      if (strace[i - 1] == "-P") {
        strace[i] = (round.path() / strace[i]).string();
      }
    }
    testing::RunResult result = testing::run_program(round.path(), row.how, strace);
    if (result.exit_status == 126) {
      skipped += std::string(" ") + row.what + ": cannot be made to happen here;";
      continue;
    }
    std::string console = testing::console_line("Not need analysis .. file!");
    for (const std::string& name : names) {
      console += testing::console_line(testing::listed(name));
    }
    std::string list = row.list_before ? earlier : "";
    std::string errors;
    for (std::size_t i = 0; i < files; ++i) {
      const char outcome = i < std::strlen(row.outcomes) ? row.outcomes[i] : 'x';
      if (i < std::strlen(row.outcomes)) {
        console += testing::console_line(outcome == 's' ? saved(names[i]) : save_failed(names[i]));
      }
      if (outcome != 's' && row.cause != nullptr) {
        std::string cause = row.cause;
        if (const std::size_t at = cause.find("%s"); at != std::string::npos) {
          cause.replace(at, 2, testing::listed_path(names[i]));
        }
        errors += causes({cause});
      }
      if (i >= std::strlen(row.outcomes)) {
        break;  // the loop stopped at this one
      }
      if (outcome != 'x') {
        list += testing::model_records(playlist(3 + static_cast<int>(i)));
      }
    }
    console += testing::console_line(kClosingLine);
    EXPECT_EQ(result.console, console) << row.what;
    EXPECT_EQ(result.errors, errors) << row.what;
    EXPECT_EQ(result.exit_status,
              std::string(row.outcomes).find_first_not_of('s') == std::string::npos &&
                      std::strlen(row.outcomes) == files
                  ? 0
                  : 1)
        << row.what;
    const fs::path list_path = round.path() / "iptv.lst";
    EXPECT_EQ(fs::exists(list_path) ? testing::read_file(list_path) : "", list) << row.what;
  }

  // A report that cannot be written fails the run; the channels are still saved.
  testing::write_file(channels / "a.m3u", playlist(2));
  for (const testing::Start how :
       {testing::Start::kReportToFullDevice, testing::Start::kReportReaderGone}) {
    testing::RunResult result = testing::run_program(work.path(), how);
    EXPECT_EQ(result.exit_status, 1) << static_cast<int>(how);
    EXPECT_EQ(result.errors, causes({how == testing::Start::kReportToFullDevice
                                         ? "standard output: cannot write: No space left on device"
                                         : "standard output: cannot write: Broken pipe"}));
    EXPECT_EQ(testing::read_file(work.path() / "iptv.lst"), testing::model_records(playlist(2)));
    fs::remove(work.path() / "iptv.lst");
  }

  // A folder that cannot be listed whole is one that cannot be listed.
  testing::write_file(channels / "a.m3u", playlist(2));
  testing::RunResult result = testing::run_program(work.path(), testing::Start::kListingFails);
  if (result.exit_status == 126) {
    skipped += " the listing fails: cannot be made to happen here;";
  } else {
    EXPECT_EQ(result.console, testing::console_lines({"Find no matching file!", kClosingLine}));
    EXPECT_EQ(result.errors, causes({"./iptv channel: cannot list: Input/output error"}));
    EXPECT_EQ(result.exit_status, 1);
    EXPECT_FALSE(fs::exists(work.path() / "iptv.lst"));
  }
  if (!skipped.empty()) {
    GTEST_SKIP() << "not checked:" << skipped;
  }
}

// A page of a mapped playlist that the disk cannot read while the file still
// has it fails the file: what was saved before it stays, whole.
TEST_F(Faults, PageLostUnderTheMappingFailsTheFile) {
#ifndef M3U2LST_LOST_PAGE_FS
  GTEST_SKIP() << "built without libfuse3 (Debian: libfuse3-dev): no file system to lose a page";
#else
  if (geteuid() != 0 || access("/dev/fuse", R_OK | W_OK) != 0) {
    GTEST_SKIP() << "needs root and /dev/fuse to mount a file system that loses a page";
  }
  const std::string text = playlist(8000, "/index.m3u8?token=" + std::string(200, 't'));
  ASSERT_GT(text.size(), std::size_t{2} << 20);  // mapped, not read
  testing::write_file(work.path() / "backing.m3u", text);
  const std::string helper =
      (fs::read_symlink("/proc/self/exe").parent_path() / M3U2LST_LOST_PAGE_FS).string();
  const pid_t mounted = fork();
  ASSERT_GE(mounted, 0);
  if (mounted == 0) {
    const std::string backing = (work.path() / "backing.m3u").string();
    execl(helper.c_str(), helper.c_str(), backing.c_str(), "1048576", channels.c_str(),
          static_cast<char*>(nullptr));
    _exit(127);
  }
  struct Unmount {
    fs::path at;
    pid_t helper;
    ~Unmount() {
      umount2(at.c_str(), MNT_DETACH);
      waitpid(helper, nullptr, 0);
    }
  } unmount{channels, mounted};
  std::error_code error;
  for (int i = 0; i < 500 && !fs::exists(channels / "b.m3u", error); ++i) {
    usleep(10000);
  }
  ASSERT_TRUE(fs::exists(channels / "b.m3u", error)) << "the file system did not come up";
  const testing::RunResult result = testing::run_program(work.path());
  EXPECT_EQ(result.console, run_console({"b.m3u"}, {save_failed("b.m3u")}));
  EXPECT_EQ(result.errors,
            causes({testing::listed_path("b.m3u") + ": cannot read: Input/output error"}));
  EXPECT_EQ(result.exit_status, 1);
  const std::string list = testing::read_file(work.path() / "iptv.lst");
  const std::string records = testing::model_records(text);
  EXPECT_TRUE(!list.empty() && list.ends_with("\r\n") && list.size() < records.size() &&
              records.starts_with(list))
      << "the list of " << list.size() << " bytes is not the records before the lost page: "
      << ::testing::PrintToString(list.substr(list.rfind("<servername=>")));
#endif
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
  EXPECT_EQ(result.errors,
            causes({testing::listed_path("b.m3u") + ": cannot read: Permission denied"}));
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
  const std::string cause = "iptv.lst: cannot open for appending: Permission denied";
  EXPECT_EQ(result.errors, causes({cause, cause}));
  EXPECT_EQ(result.exit_status, 1);
  EXPECT_FALSE(fs::exists(work.path() / "iptv.lst"));
}

// A signal that ends the program while a save writes waits until the write
// is whole: the list ends at a whole record, the run ends as that signal
// ends it, and the playlist is not reported saved. Without the wait, Linux
// ends a large write at a page boundary when such a signal comes.
TEST_F(Faults, SignalDuringASaveLeavesWholeRecords) {
  // A playlist saved on one thread, then one saved by two.
  for (const std::string& text :
       {playlist(40000, "/index.m3u8?token=" + std::string(180, 't')), large_playlist()}) {
    testing::write_file(channels / "big.m3u", text);
    const std::string records = testing::model_records(text);
    const fs::path list_path = work.path() / "iptv.lst";
    // Each signal at four moments: once the list holds 0, 1, 2 or 3 chunks' records.
    for (unsigned round = 0; round < 12; ++round) {
      const int signal_number = std::vector<int>{SIGINT, SIGTERM, SIGHUP}[round % 3];
      fs::remove(list_path);
      const testing::RunningProgram run = testing::start_program(work.path());
      std::error_code error;
      while (fs::file_size(list_path, error) <= std::uintmax_t{256} * 1024 * (round / 3) || error) {
        usleep(100);
      }
      kill(static_cast<pid_t>(run.process), signal_number);
      const testing::RunResult result = testing::finish_program(run);
      EXPECT_EQ(result.exit_status, 128 + signal_number);
      EXPECT_EQ(result.console.find("sucessful"), std::string::npos) << result.console;
      const std::string list = testing::read_file(list_path);
      EXPECT_TRUE(list.ends_with("\r\n") && records.starts_with(list))
          << "signal " << signal_number << ": the list of " << list.size()
          << " bytes ends in a torn record";
    }
  }
}

// The same for a save of one chunk, whose one write a FIFO as the list
// holds up midway: the signal that comes meanwhile waits for the write to
// end, then ends the run; the reader gets every record, whole.
TEST_F(Faults, SignalDuringAOneChunkSaveLeavesWholeRecords) {
  const std::string text = playlist(1600);
  const std::string records = testing::model_records(text);
  ASSERT_GT(records.size(), std::size_t{128} << 10);  // more than a pipe holds
  ASSERT_LT(records.size(), std::size_t{256} << 10);  // one chunk
  testing::write_file(channels / "one.m3u", text);
  const fs::path list_path = work.path() / "iptv.lst";
  ASSERT_EQ(mkfifo(list_path.c_str(), 0600), 0);
  const int reader = open(list_path.c_str(), O_RDONLY | O_NONBLOCK);
  ASSERT_GE(reader, 0);
  const testing::RunningProgram run = testing::start_program(work.path());
  usleep(300000);  // the write has filled the pipe and waits
  kill(static_cast<pid_t>(run.process), SIGTERM);
  usleep(100000);
  std::string got;
  char bytes[65536];
  for (;;) {
    pollfd ready{reader, POLLIN, 0};
    if (poll(&ready, 1, 5000) <= 0) {
      break;
    }
    const ssize_t n = read(reader, bytes, sizeof bytes);
    if (n <= 0) {
      break;  // the program has ended and closed the list
    }
    got.append(bytes, static_cast<std::size_t>(n));
  }
  close(reader);
  const testing::RunResult result = testing::finish_program(run);
  EXPECT_EQ(result.exit_status, 128 + SIGTERM);
  EXPECT_EQ(result.console.find("sucessful"), std::string::npos) << result.console;
  EXPECT_EQ(got, records) << "the reader got " << got.size() << " of " << records.size()
                          << " bytes";
}

// Runs that share a list take turns at it: each run's records stand
// together, and every run that reports a save has all its records there, also
// when the disk fills up while they wait (a small tmpfs, when run as root).
TEST_F(Faults, ConcurrentRunsTakeTurnsAndKeepWhatTheyReportSaved) {
  const std::string text = playlist(40000, "/index.m3u8?token=" + std::string(180, 't'));
  const std::vector<std::string> one_run = records_of(testing::model_records(text));
  const std::size_t run_bytes = testing::model_records(text).size();
  constexpr int kRuns = 4;
  for (bool full_disk : {false, true}) {
    testing::TempDir round;
    fs::path folder = round.path();
    struct Unmount {
      fs::path at;
      ~Unmount() {
        if (!at.empty()) {
          umount2(at.c_str(), MNT_DETACH);
        }
      }
    } unmount;
    if (full_disk) {
      // Room for the playlist and two and a half runs' records.
      const std::string size = "size=" + std::to_string(text.size() + run_bytes * 5 / 2);
      if (mount("tmpfs", folder.c_str(), "tmpfs", 0, size.c_str()) != 0) {
        std::cout << "full disk not checked: cannot mount a small tmpfs (needs root)\n";
        continue;
      }
      unmount.at = folder;
    }
    fs::create_directory(folder / "iptv channel");
    testing::write_file(folder / "iptv channel" / "big.m3u", text);
    std::vector<testing::RunningProgram> runs;
    for (int i = 0; i < kRuns; ++i) {
      runs.push_back(testing::start_program(folder));
    }
    int saves = 0;
    for (const testing::RunningProgram& run : runs) {
      testing::RunResult result = testing::finish_program(run);
      const bool ok = result.console == run_console({"big.m3u"}, {saved("big.m3u")});
      EXPECT_EQ(result.errors, ok ? "" : causes({kDiskFull}));
      saves += ok ? 1 : 0;
      EXPECT_TRUE(
          ok || (full_disk && result.console == run_console({"big.m3u"}, {save_failed("big.m3u")})))
          << result.console;
    }
    const std::string list = testing::read_file(folder / "iptv.lst");
    ASSERT_TRUE(list.empty() || list.ends_with("\r\n")) << "a torn record ends the list";
    // The list is runs' records one run after another, each whole or, for a
    // run that failed, cut at a record's end.
    const std::vector<std::string> found = records_of(list);
    int whole_runs = 0;
    std::size_t at = 0;  // where in its run's records the record found stands
    for (std::size_t i = 0; i < found.size(); ++i) {
      if (found[i] == one_run[0]) {
        at = 0;
      }
      ASSERT_TRUE(at < one_run.size() && found[i] == one_run[at])
          << "record " << i << " of the list is not where its run would put it: " << found[i];
      if (++at == one_run.size()) {
        ++whole_runs;
      }
    }
    EXPECT_EQ(whole_runs, saves) << (full_disk ? "full disk" : "");
    EXPECT_EQ(saves, full_disk ? 2 : kRuns);
  }
}

}  // namespace
}  // namespace m3u2lst
