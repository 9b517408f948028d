// The whole program, run in temporary working folders: its console lines, its
// exit status and the bytes of the channel list it leaves.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <random>
#include <set>

#include "driver/command_line.hpp"
#include "driver/console.hpp"
#include "driver/process.hpp"
#include "driver/utf16.hpp"
#include "test_support.hpp"

#ifndef _WIN32
#include <sys/stat.h>
#endif

namespace fs = std::filesystem;

namespace m3u2lst {
namespace {

using testing::causes;
using testing::console_line;
using testing::console_lines;
using testing::kClosingLine;
using testing::listed;
using testing::open_failed;
using testing::run_console;
using testing::save_failed;
using testing::saved;

/// Why a folder cannot be opened as a file: its cause lines' reason.
#ifdef _WIN32
const std::string kFolderRefused = platform::system_reason(5);  // ERROR_ACCESS_DENIED
#else
const std::string kFolderRefused = "Is a directory";
#endif

const std::string kTwoChannels =
    "#EXTM3U\r\n#EXTINF:-1,One\r\nhttp://a/1\r\n#EXTINF:-1,Two\r\nhttp://a/2\r\n";

class Program : public ::testing::Test {
 protected:
  testing::TempDir work;
  fs::path channels = work.path() / "iptv channel";
  fs::path list_path = work.path() / "iptv.lst";

  void SetUp() override { fs::create_directory(channels); }
  void add(const std::string& name, const std::string& bytes) {
    testing::write_file(channels / testing::utf8_path(name), bytes);
  }
  /// A run; one that succeeds says nothing on standard error.
  testing::RunResult run() {
    testing::RunResult result = testing::run_program(work.path());
    if (result.exit_status == 0) {
      EXPECT_EQ(result.errors, "") << "a successful run";
    }
    return result;
  }
  std::string list() { return testing::read_file(list_path); }
};

TEST_F(Program, MissingFolderFindsNothing) {
  fs::remove(channels);
  testing::RunResult result = run();
  EXPECT_EQ(result.console, console_lines({"Find no matching file!", kClosingLine}));
  const std::string folder = testing::folder_prefix();
  const std::u8string here = fs::canonical(work.path()).u8string();
  EXPECT_EQ(result.errors, causes({folder.substr(0, folder.size() - 1) +
                                   ": no such folder; put your playlists in a folder named "
                                   "\"iptv channel\" in " +
                                   std::string(here.begin(), here.end())}));
  EXPECT_EQ(result.exit_status, 1);
  EXPECT_FALSE(fs::exists(list_path));
}

TEST_F(Program, EmptyFolderExaminesOnlyItsParent) {
  testing::RunResult result = run();
  EXPECT_EQ(result.console, console_lines({"Not need analysis .. file!", kClosingLine}));
  EXPECT_EQ(result.exit_status, 0);
  EXPECT_FALSE(fs::exists(list_path));
}

// ".m3u" and ".txt" anywhere in a name, in any ASCII letter case; a
// playlist saved as UTF-16 ("Unicode" in Notepad) and a "name,URL" text list
// are read as their text.
TEST_F(Program, MatchTestIsAnyCaseSubstringAndEveryLayoutIsRead) {
  std::string utf16 = "\xFF\xFE";
  for (char c : std::string("#EXTINF:-1,\xD0\x9F\n http://a/3 \n")) {
    utf16 += {c, '\0'};
  }
  utf16.replace(utf16.find("\xD0\0\x9F\0", 0, 4), 4, "\x1F\x04", 2);  // U+041F
  add("NEWS.M3U", kTwoChannels);
  add("b.m3U8", utf16);
  add("c.Txt.bak", "CCTV-1,#genre#\r\nCCTV-1,http://a/4$HD#http://a/5\r\n");
  add("d.tx", kTwoChannels);
  add("e.mp4", kTwoChannels);
  testing::RunResult result = run();
  EXPECT_EQ(result.console,
            console_lines({"Not need analysis .. file!", listed("b.m3U8"), listed("c.Txt.bak"),
                           "Not need analysis d.tx file!", "Not need analysis e.mp4 file!",
                           listed("NEWS.M3U"), saved("b.m3U8"), saved("c.Txt.bak"),
                           saved("NEWS.M3U"), kClosingLine}));
  EXPECT_EQ(result.exit_status, 0);
  auto record = [](const std::string& name, const std::string& url) {
    return "<servername=>" + name + "</servername><serverurl=>" + url +
           "</serverurl><servercategory=>TV</servercategory>\r\n";
  };
  EXPECT_EQ(list(), record("\xD0\x9F", "http://a/3") + record("CCTV-1", "http://a/4") +
                        record("CCTV-1", "http://a/5") + record("One", "http://a/1") +
                        record("Two", "http://a/2"));
}

TEST_F(Program, EmptyPlaylistCreatesAnEmptyList) {
  add("empty.m3u", "");
  testing::RunResult result = run();
  EXPECT_EQ(result.console, run_console({"empty.m3u"}, {saved("empty.m3u")}));
  ASSERT_TRUE(fs::exists(list_path));
  EXPECT_EQ(list(), "");
}

TEST_F(Program, FolderNamedLikeAPlaylistStopsTheLoop) {
  add("1.m3u", kTwoChannels);
  fs::create_directory(channels / "2.m3u");
  add("3.txt", kTwoChannels);
  add("notes", "x");
  testing::RunResult result = run();
  EXPECT_EQ(result.console,
            console_lines({"Not need analysis .. file!", listed("1.m3u"), listed("2.m3u"),
                           listed("3.txt"), "Not need analysis notes file!", saved("1.m3u"),
                           open_failed("2.m3u"), kClosingLine}));
  EXPECT_EQ(result.errors,
            causes({testing::listed_path("2.m3u") + ": cannot read: " + kFolderRefused}));
  EXPECT_EQ(result.exit_status, 1);
  EXPECT_EQ(list(), testing::model_records(kTwoChannels));
}

#ifndef _WIN32
TEST_F(Program, FifoNamedLikeAPlaylistCannotBeOpenedAndNeverBlocks) {
  add("1.m3u", kTwoChannels);
  ASSERT_EQ(mkfifo((channels / "2.m3u").c_str(), 0600), 0);
  testing::RunResult result = run();
  EXPECT_EQ(result.console,
            run_console({"1.m3u", "2.m3u"}, {saved("1.m3u"), open_failed("2.m3u")}));
  EXPECT_EQ(result.errors,
            causes({testing::listed_path("2.m3u") +
                    ": cannot read: not a regular file (a FIFO, a device or a socket)"}));
  EXPECT_EQ(result.exit_status, 1);
  // A list that is a FIFO with no reader cannot be opened either.
  fs::remove(list_path);
  ASSERT_EQ(mkfifo(list_path.c_str(), 0600), 0);
  fs::remove(channels / "2.m3u");
  result = run();
  EXPECT_EQ(result.console,
            run_console({"1.m3u"}, {"The SaveFile cannot opened", save_failed("1.m3u")}));
  EXPECT_EQ(result.errors,
            causes({"iptv.lst: cannot open for appending: No such device or address"}));
}
#endif

TEST_F(Program, ListThatCannotBeOpenedFailsEachFileAndGoesOn) {
  fs::create_directory(list_path);
  add("a.m3u", kTwoChannels);
  add("b.m3u", kTwoChannels);
  testing::RunResult result = run();
  EXPECT_EQ(result.console,
            run_console({"a.m3u", "b.m3u"}, {"The SaveFile cannot opened", save_failed("a.m3u"),
                                             "The SaveFile cannot opened", save_failed("b.m3u")}));
  const std::string cause = std::string("iptv.lst: cannot open for appending: ") + kFolderRefused;
  EXPECT_EQ(result.errors, causes({cause, cause}));
  EXPECT_EQ(result.exit_status, 1);
}

// Playlists are read and the list written in binary mode: on Windows, text
// mode would end reading at a Ctrl+Z byte and turn each LF into CR LF. The
// playlist is an LF playlist and a CR LF one joined into one file, as
// `copy /b a.m3u+b.m3u` makes it: each channel gets a record of its own.
TEST_F(Program, PlaylistBytesReachTheListUntranslated) {
  const std::string text =
      "#EXTM3U\n#EXTINF:-1,Ctrl+Z \x1a inside\nhttp://a/1\n#EXTINF:-1,Stray\rCR\nhttp://a/2\n"
      "#EXTM3U\r\n#EXTINF:-1,One\r\nhttp://a/3\r\n#EXTINF:-1,Two\r\nhttp://a/4";
  add("bytes.m3u", text);
  EXPECT_EQ(run().exit_status, 0);
  EXPECT_EQ(list(),
            "<servername=>Ctrl+Z \x1a inside</servername><serverurl=>http://a/1</serverurl>"
            "<servercategory=>TV</servercategory>\r\n"
            "<servername=>Stray\rCR</servername><serverurl=>http://a/2</serverurl>"
            "<servercategory=>TV</servercategory>\r\n"
            "<servername=>One</servername><serverurl=>http://a/3</serverurl>"
            "<servercategory=>TV</servercategory>\r\n"
            "<servername=>Two</servername><serverurl=>http://a/4</serverurl>"
            "<servercategory=>TV</servercategory>\r\n");
}

// A playlist of 136 MiB is saved by two threads, one scanning while the
// other writes: its records are those of its 1 MiB block, repeated, in order.
TEST_F(Program, LargePlaylistSavedByTwoThreadsKeepsEveryRecordInOrder) {
  std::string block;
  for (int i = 0; i < 4000; ++i) {
    block +=
        "#EXTINF:-1,Channel " + std::to_string(i) + "\r\nhttp://cdn.example/" + std::to_string(i) +
        "/index.m3u8?token=" + std::string(static_cast<std::size_t>(200 + i % 2000), 't') + "\r\n";
  }
  std::string text;
  while (text.size() < (std::size_t{136} << 20)) {
    text += block;
  }
  add("large.m3u", text);
  testing::RunResult result = run();
  EXPECT_EQ(result.console, run_console({"large.m3u"}, {saved("large.m3u")}));
  const std::string block_records = testing::model_records(block);
  const std::string saved_list = list();
  ASSERT_EQ(saved_list.size(), block_records.size() * (text.size() / block.size()));
  for (std::size_t at = 0; at < saved_list.size(); at += block_records.size()) {
    ASSERT_EQ(saved_list.compare(at, block_records.size(), block_records), 0) << "at " << at;
  }
}

// A playlist shaped as published ones are: player options between a channel
// and its address, a blank line, a commented-out address, quoted commas in
// attributes, and a channel left without an address.
TEST_F(Program, EachChannelGetsItsRealAddress) {
  add("real.m3u",
      "#EXTM3U\n"
      "#EXTINF:-1 tvg-id=\"Rai1.it\",[1] Rai 1\n"
      "#EXTVLCOPT:http-user-agent=HbbTV/1.6.1\n"
      "http://a.example/relinker?cont=2606803\n"
      "#EXTINF:-1 tvg-id=\"NTV.ru\" user-agent=\"Mozilla/5.0 (KHTML, like Gecko)\",NTV (540p)\n"
      "#EXTVLCOPT:http-referrer=https://r.example/\n"
      "#EXTVLCOPT:http-user-agent=Mozilla/5.0\n"
      "\n"
      "http://b.example/ntv.m3u8\n"
      "#EXTINF:-1 group-title=\"News, World\",Kodi, HD\r\n"
      "#KODIPROP:inputstream=inputstream.adaptive\r\n"
      "#KODIPROP:inputstream.adaptive.manifest_type=mpd\r\n"
      "#http://old.example/c.mpd\r\n"
      "http://c.example/c.mpd\r\n"
      "#EXTINF:-1,Gone\n"
      "#EXTGRP:News\n"
      "#EXTINF:-1,Last\n"
      "\t\n"
      "http://d.example/last\n");
  EXPECT_EQ(run().exit_status, 0);
  auto record = [](const std::string& name, const std::string& url) {
    return "<servername=>" + name + "</servername><serverurl=>" + url +
           "</serverurl><servercategory=>TV</servercategory>\r\n";
  };
  EXPECT_EQ(list(), record("[1] Rai 1", "http://a.example/relinker?cont=2606803") +
                        record("NTV (540p)", "http://b.example/ntv.m3u8") +
                        record("Kodi, HD", "http://c.example/c.mpd") +
                        record("Last", "http://d.example/last"));
}

/// `text` with each line end as the program's console lines end on this platform.
std::string with_console_line_ends(const std::string& text) {
  std::string out;
  for (char c : text) {
    out += c == '\n' ? console_line("") : std::string(1, c);
  }
  return out;
}

// --help and --version answer, and an unknown option is refused, without
// listing, reading or writing anything and without the key prompt; any other
// argument (a playlist dropped onto the program) is ignored by a normal run.
TEST_F(Program, OptionsAnswerWithoutTouchingTheList) {
  add("news.m3u", kTwoChannels);
  const std::string help = with_console_line_ends(usage_text(platform::kSlashOptions));
  const std::string version = with_console_line_ends(version_text(M3U2LST_VERSION));
  const struct {
    std::vector<std::string> arguments;
    int status;
    std::string console;
    std::string errors;
  } cases[] = {
      {{"--help"}, 0, help, ""},
      {{"-h"}, 0, help, ""},
      {{"--help", "x"}, 0, help, ""},
      {{"--verison", "--version", "--help"}, 0, help, ""},
      {{"--version"}, 0, version, ""},
      {{"x", "--version", "-x"}, 0, version, ""},
      {{"--verison"}, 2, "", "m3u2lst: unknown option '--verison'"},
      {{"news.m3u", "-x", "-y"}, 2, "", "m3u2lst: unknown option '-x'"},
#ifdef _WIN32
      {{"/?"}, 0, help, ""},
      {{"/x"}, 2, "", "m3u2lst: unknown option '/x'"},
#endif
  };
  for (const auto& c : cases) {
    const std::string arguments = ::testing::PrintToString(c.arguments);
    testing::RunResult result =
        testing::run_program(work.path(), testing::Start::kPlain, {}, c.arguments);
    EXPECT_EQ(result.exit_status, c.status) << arguments;
    EXPECT_EQ(result.console, c.console) << arguments;
    EXPECT_TRUE(result.errors.starts_with(c.errors) &&
                result.errors.ends_with("\n") == !c.errors.empty())
        << arguments << ": " << result.errors;
    EXPECT_FALSE(fs::exists(list_path)) << arguments;
  }
  EXPECT_EQ(version.substr(0, version.find_first_of("\r\n")), "m3u2lst " M3U2LST_VERSION);
#ifndef _WIN32
  // An answer that cannot be written fails, and says why.
  for (const char* option : {"--help", "--version"}) {
    testing::RunResult full =
        testing::run_program(work.path(), testing::Start::kReportToFullDevice, {}, {option});
    EXPECT_EQ(full.exit_status, 1) << option;
    EXPECT_EQ(full.errors, causes({"standard output: cannot write: No space left on device"}))
        << option;
  }
#endif
  // A dropped playlist's path, or any other plain argument: a normal run.
  const std::string dropped = (channels / "news.m3u").string();
  testing::RunResult result =
      testing::run_program(work.path(), testing::Start::kPlain, {}, {dropped, "x y"});
  EXPECT_EQ(result.console, run_console({"news.m3u"}, {saved("news.m3u")}));
  EXPECT_EQ(result.exit_status, 0);
  EXPECT_EQ(list(), testing::model_records(kTwoChannels));
}

// What the list held stays as it is; where its last line lacks its end (a
// record torn when a run was killed), the first run adds one before its records.
TEST_F(Program, AppendsAfterEarlierContentOnEveryRun) {
  add("a.m3u", kTwoChannels);
  const std::string records = testing::model_records(kTwoChannels);
  for (const char* kept :
       {"<servername=>Kept</servername>\r\n", "<servername=>Torn</servername><serverurl=>http"}) {
    testing::write_file(list_path, kept);
    EXPECT_EQ(run().exit_status, 0);
    testing::RunResult second = run();
    EXPECT_EQ(second.exit_status, 0);
    const std::string line_end = std::string_view(kept).ends_with("\r\n") ? "" : "\r\n";
    EXPECT_EQ(list(), kept + line_end + records + records);
  }
}

TEST_F(Program, KeepsLongNamesWholeAndListsEveryPlaylist) {
  const std::string long_name = "A very long playlist name, beyond thirty-four bytes.m3u";
  add(long_name, kTwoChannels);
  std::string expected_list = testing::model_records(kTwoChannels);
  for (int i = 0; i < 60; ++i) {
    char name[16];
    std::snprintf(name, sizeof name, "p%02d.txt", i);
    std::string text = "#EXTINF:-1," + std::string(name) + "\nhttp://a/" + name + "\n";
    add(name, text);
    expected_list += testing::model_records(text);
  }
  testing::RunResult result = run();
  EXPECT_NE(result.console.find(console_line(listed(long_name))), std::string::npos);
  EXPECT_NE(result.console.find(console_line(saved("p59.txt"))), std::string::npos);
  EXPECT_EQ(result.exit_status, 0);
  EXPECT_EQ(list(), expected_list);
}

TEST_F(Program, PercentSignsInNamesArePrintedAsTheyStand) {
  add("%s %d.m3u", kTwoChannels);
  add("%n.bin", "");
  testing::RunResult result = run();
  EXPECT_EQ(result.console,
            console_lines({"Not need analysis .. file!", "Not need analysis %n.bin file!",
                           listed("%s %d.m3u"), saved("%s %d.m3u"), kClosingLine}));
}

#ifndef _WIN32
// The order of every run of NTFS's upper-case table: from each run its first
// and last small letter and their capitals, and the units just before and
// after the run, each the first unit of a name, in a folder on a real NTFS
// volume (mkntfs and ntfs-3g, as root) and in the program's channel folder.
// The program takes them in the order the volume lists them.
TEST_F(Program, NamesOfEveryUpperCaseRunInTheOrderOfAnNtfsVolume) {
  struct UpcaseRun {
    std::uint16_t first;
    std::uint16_t count;
    std::uint16_t step;
    std::int32_t delta;
  };
  static constexpr UpcaseRun kRuns[] = {
#include "driver/ntfs_upcase_runs.inc"
  };
  if (geteuid() != 0 || access("/usr/sbin/mkntfs", X_OK) != 0 ||
      access("/usr/bin/ntfs-3g", X_OK) != 0 || access("/dev/fuse", R_OK) != 0) {
    GTEST_SKIP() << "needs root, mkntfs and ntfs-3g (Debian: ntfs-3g) and /dev/fuse";
  }
  const fs::path image = work.path() / "ntfs.img";
  const fs::path volume = work.path() / "volume";
  fs::create_directory(volume);
  testing::write_file(image, "");
  fs::resize_file(image, 16 << 20);
  const std::string mount = "mkntfs -F -Q -q '" + image.string() +
                            "' > /dev/null 2>&1 && ntfs-3g '" + image.string() + "' '" +
                            volume.string() + "'";
  ASSERT_EQ(std::system(mount.c_str()), 0) << mount;
  struct Unmount {
    fs::path at;
    ~Unmount() { std::system(("umount '" + at.string() + "'").c_str()); }
  } unmount{volume};
  // A folder of the volume for each run, small enough to be listed in its
  // index's order (ntfs-3g lists a large folder's index blocks as stored).
  // Each name is its unit and the unit's role: 1 a small letter, 2 its
  // capital, 3 and 4 the units before and after the run; so no two names
  // differ in case alone, which no Windows folder holds.
  std::size_t names = 0;
  for (std::size_t r = 0; r < std::size(kRuns); ++r) {
    const UpcaseRun& upcase = kRuns[r];
    const int last = upcase.first + (upcase.count - 1) * upcase.step;
    const std::pair<int, char16_t> roles[] = {{upcase.first, u'1'},
                                              {upcase.first + upcase.delta, u'2'},
                                              {last, u'1'},
                                              {last + upcase.delta, u'2'},
                                              {upcase.first - 1, u'3'},
                                              {last + 1, u'4'}};
    const fs::path folder = volume / std::to_string(r);
    fs::create_directory(folder);
    fs::remove_all(channels);
    fs::create_directory(channels);
    for (const auto& [unit, role] : roles) {
      if (unit > 0x20 && unit != '/' && (unit < 0xD800 || unit > 0xDFFF) && unit < 0xFFFE) {
        const std::u16string units{static_cast<char16_t>(unit), role};
        const std::string name = utf8_from_utf16(std::u16string_view(units)) + ".m3u";
        testing::write_file(folder / testing::utf8_path(name), "");
        add(name, "");
      }
    }
    std::string expected = console_line("Not need analysis .. file!");
    for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
      const std::u8string name = entry.path().filename().u8string();
      expected += console_line(testing::listed(std::string(name.begin(), name.end())));
      ++names;
    }
    const std::string console = run().console;
    ASSERT_EQ(console.substr(0, expected.size()), expected)
        << "run " << r << " from U+" << std::hex << upcase.first;
  }
  EXPECT_GT(names, 600u);
}
#endif

// Playlists named in any script, in a working folder named in another, are
// listed in the order of a folder on NTFS, opened, converted and printed as
// their UTF-8 bytes; on Windows whatever the ANSI code page (1252 under Wine
// in CI).
TEST_F(Program, NamesInAnyScriptInAnyWorkingFolder) {
  const fs::path folder = work.path() / testing::utf8_path(
                                            "\xd0\x9c\xd0\xbe\xd0\xb8 "
                                            "\xd0\xba\xd0\xb0\xd0\xbd\xd0\xb0"
                                            "\xd0\xbb\xd1\x8b");  // Мои каналы
  fs::create_directories(folder / "iptv channel");
  // In the order both platforms list them, that of a folder on NTFS: by
  // UTF-16 units mapped through the volume's upper-case table, which takes
  // letters of every script alike in either case, but not 'ß' or 'ς'. Names
  // that differ only in case, and a name that is not UTF-8, can share only a
  // POSIX folder: alike but for case, the capital comes first; a byte that
  // is not UTF-8 counts as U+FFFD. No name holds a letter that Wine upper-
  // cases and NTFS does not (Georgian, Cherokee, Latin Extended-D).
  const struct {
    const char* name;
    bool posix_only;
  } all_names[] = {
      {"ASCII.m3u", false},                                                     // ASCII.m3u
      {"caf\xc3\xa9.txt", false},                                               // café.txt
      {"zz-last.m3u", false},                                                   // zz-last.m3u
      {"_b.m3u", false},                                                        // _b.m3u
      {"{a}.m3u", false},                                                       // {a}.m3u
      {"\303\211CRAN.m3u", true},                                               // ÉCRAN.m3u
      {"\303\251cran.m3u", false},                                              // écran.m3u
      {"\xc3\x89toile.m3u", false},                                             // Étoile.m3u
      {"\xc3\x9f.m3u", false},                                                  // ß.m3u
      {"\303\277acht.m3u", false},                                              // ÿacht.m3u
      {"\xce\xa3\xce\x8a\xce\x93\xce\x9c\xce\x91.m3u", true},                   // ΣΊΓΜΑ.m3u
      {"\xcf\x83\xce\xaf\xce\xb3\xce\xbc\xce\xb1.m3u", false},                  // σίγμα.m3u
      {"\xce\xa3\xcf\x8d\xce\xbd\xce\xbf\xce\xbb\xce\xbf.m3u", false},          // Σύνολο.m3u
      {"\xd0\xb4\xd0\xb5\xd1\x82\xd1\x81\xd0\xba\xd0\xb8\xd0\xb5.m3u", false},  // детские.m3u
      {"\xd0\x9a\xd0\xb8\xd0\xbd\xd0\xbe.m3u", false},                          // Кино.m3u
      {"\xd0\xba\xd0\xb8\xd0\xbd\xd0\xbe.m3u", true},                           // кино.m3u
      {"\xd0\xa0\xd0\xbe\xd1\x81\xd1\x81\xd0\xb8\xd1\x8f.m3u", false},          // Россия.m3u
      {"\xd8\xa7\xd9\x84\xd8\xb9\xd8\xb1\xd8\xa8\xd9\x8a\xd8\xa9.m3u", false},  // العربية.m3u
      {"\xe4\xb8\xad\xe5\x9b\xbd\xe9\xa2\x91\xe9\x81\x93.m3u8", false},         // 中国频道.m3u8
      {"\xf0\x9f\x93\xba Sports.m3u", false},                                   // 📺 Sports.m3u
      {"\xee\x80\x80 private.m3u", false},                              // U+E000 private.m3u
      {"\xef\xbc\xa1\xef\xbc\xa2\xef\xbc\xa3.m3u", true},               // ＡＢＣ.m3u
      {"\xef\xbd\x81\xef\xbd\x82\xef\xbd\x83.m3u", false},              // ａｂｃ.m3u
      {"\xef\xbc\xa1\xef\xbc\xa2\xef\xbc\xa3\xef\xbc\x92.m3u", false},  // ＡＢＣ２.m3u
      {"\xff\xfe not UTF-8.m3u", true},
      {"\xf4\x90\x80\x80.m3u", true},  // past U+10FFFF: four bytes that are not UTF-8
  };
  std::vector<std::string> names;
  for (const auto& entry : all_names) {
#ifdef _WIN32
    if (entry.posix_only) {
      continue;
    }
#endif
    names.emplace_back(entry.name);
  }
  std::string console = console_line("Not need analysis .. file!");
  std::string saves;
  std::string expected_list;
  for (const std::string& name : names) {
    const std::string text = "#EXTINF:-1," + name + "\r\nhttp://a.example/" + name + "\r\n";
    testing::write_file(folder / "iptv channel" / testing::utf8_path(name), text);
    console += console_line(listed(name));
    saves += console_line(saved(name));
    expected_list += testing::model_records(text);
  }
  testing::RunResult result = testing::run_program(folder);
  EXPECT_EQ(result.console, console + saves + console_line(kClosingLine));
  EXPECT_EQ(result.exit_status, 0);
  EXPECT_EQ(testing::read_file(folder / "iptv.lst"), expected_list);
}

// The order a folder on NTFS lists its entries in, for names made of ASCII
// and 'é' (which only U+00C9 and nothing in ASCII folds to): ASCII letters
// folded to upper case; names alike but for case, capitals first.
bool listed_before(const std::string& a, const std::string& b) {
  auto fold = [](std::string s) {
    for (char& c : s) {
      if (c >= 'a' && c <= 'z') {
        c = static_cast<char>(c - 32);
      }
    }
    return s;
  };
  std::string fa = fold(a);
  std::string fb = fold(b);
  if (fa != fb) {
    return std::lexicographical_compare(
        fa.begin(), fa.end(), fb.begin(), fb.end(), [](char x, char y) {
          return static_cast<unsigned char>(x) < static_cast<unsigned char>(y);
        });
  }
  return a < b;
}

// Names the file system keeps as they stand, and a key that two names taken
// for the same entry share. Windows drops trailing dots and blanks, and
// ignores case.
bool kept_as_named(const std::string& name) {
#ifdef _WIN32
  return !name.empty() && name.back() != '.' && name.back() != ' ';
#else
  return name != "." && name != "..";
#endif
}

std::string file_system_key(std::string name) {
#ifdef _WIN32
  for (char& c : name) {
    if (c >= 'a' && c <= 'z') {
      c = static_cast<char>(c - 32);
    }
  }
#endif
  return name;
}

TEST_F(Program, RandomFoldersConvertAsTheRulesSay) {
  std::mt19937 random(8122026);
  const std::vector<std::string> pieces = {"a",    "B",    "z",     "_",       "~",    "1",
                                           " ",    "-",    "%s",    ".",       ".m3u", ".M3U",
                                           ".txt", ".TXT", ".m3u8", "\xc3\xa9"};
  std::uniform_int_distribution<std::size_t> pick(0, pieces.size() - 1);
  for (int round = 0; round < 25; ++round) {
    testing::TempDir round_work;
    fs::path folder = round_work.path() / "iptv channel";
    fs::create_directory(folder);
    std::map<std::string, std::string> files;  // name -> bytes; no bytes for a sub-folder
    std::set<std::string> folders;
    std::set<std::string> taken;
    std::size_t entries = random() % 9;
    while (files.size() + folders.size() < entries) {
      std::string name;
      for (std::size_t n = 1 + random() % 4; n > 0; --n) {
        name += pieces[pick(random)];
      }
      if (!kept_as_named(name) || !taken.insert(file_system_key(name)).second) {
        continue;
      }
      if (random() % 10 == 0) {
        folders.insert(name);
        fs::create_directory(folder / testing::utf8_path(name));
      } else {
        files[name] = testing::random_playlist(random, random() % 40);
        testing::write_file(folder / testing::utf8_path(name), files[name]);
      }
    }
    std::vector<std::string> names;
    for (const auto& entry : files) {
      names.push_back(entry.first);
    }
    names.insert(names.end(), folders.begin(), folders.end());
    std::sort(names.begin(), names.end(), listed_before);

    std::string console = console_line("Not need analysis .. file!");
    std::vector<std::string> playlists;
    for (const std::string& name : names) {
      std::string folded = name;
      std::transform(folded.begin(), folded.end(), folded.begin(),
                     [](char c) { return c >= 'A' && c <= 'Z' ? char(c + 32) : c; });
      bool match =
          folded.find(".m3u") != std::string::npos || folded.find(".txt") != std::string::npos;
      console += console_line(match ? listed(name) : "Not need analysis " + name + " file!");
      if (match) {
        playlists.push_back(name);
      }
    }
    std::string expected_list;
    int status = 0;
    for (const std::string& name : playlists) {
      if (folders.count(name)) {
        console += console_line(open_failed(name));
        status = 1;
        break;
      }
      expected_list += testing::model_records(files[name]);
      console += console_line(saved(name));
    }
    console += console_line(kClosingLine);

    testing::RunResult result = testing::run_program(round_work.path());
    ASSERT_EQ(result.console, console) << "round " << round;
    EXPECT_EQ(result.exit_status, status);
    EXPECT_EQ(testing::read_file(round_work.path() / "iptv.lst"), expected_list);
  }
}

}  // namespace
}  // namespace m3u2lst
