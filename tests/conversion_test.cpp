// Records assembled from playlist texts, byte for byte, without touching files.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>

#include "conversion/kernels.hpp"
#include "conversion/marks.hpp"
#include "conversion/playlist_conversion.hpp"
#include "conversion_hooks.hpp"
#include "conversion_model.hpp"

namespace m3u2lst {
namespace {

using testing::convert_text;
using testing::is_skipped_url;
using testing::list_record;
using testing::rtmp_url;

/// Every kernel this processor can run, the portable one among them.
std::vector<const Kernel*> runnable_kernels() {
  std::vector<const Kernel*> kernels;
  for (const Kernel& kernel : all_kernels()) {
    if (kernel.supported()) {
      kernels.push_back(&kernel);
    }
  }
  return kernels;
}

std::string record(const std::string& name, const std::string& url) {
  return "<servername=>" + name + "</servername><serverurl=>" + url +
         "</serverurl><servercategory=>TV</servercategory>\r\n";
}

/// A playlist file and the records it gives.
struct TextCase {
  std::string text;
  std::string records;
};

/// `text` as a UTF-16 file with its byte order mark; `units` in the text
/// stand for themselves, so lone surrogates and U+0000 can be written.
std::string utf16(std::u16string_view units, bool big_endian = false) {
  std::string file = big_endian ? "\xFE\xFF" : "\xFF\xFE";
  for (char16_t u : units) {
    const char high = static_cast<char>(u >> 8);
    const char low = static_cast<char>(u & 0xFF);
    file += big_endian ? std::string{high, low} : std::string{low, high};
  }
  return file;
}

/// Holds every kernel and the model to the records of each case.
template <std::size_t N>
void expect_records(const TextCase (&cases)[N]) {
  for (const TextCase& c : cases) {
    for (const Kernel* kernel : runnable_kernels()) {
      EXPECT_EQ(convert_text(c.text, *kernel), c.records)
          << kernel->name << ": " << ::testing::PrintToString(c.text);
    }
    EXPECT_EQ(testing::model_records(c.text), c.records) << ::testing::PrintToString(c.text);
  }
}

// The kernel this processor runs, said in the output. Where the run names
// the one it must be (M3U2LST_EXPECTED_KERNEL, set where the tests run on an
// emulated processor model), it is that one: a check of the processor that
// asks too much shows here, and one that asks too little dies of SIGILL in
// the tables below, which run every kernel the checks allow.
TEST(Kernels, TheFastestTheProcessorHasIsChosen) {
  std::printf("kernel chosen: %s\n", fastest_kernel().name);
  if (const char* expected = std::getenv("M3U2LST_EXPECTED_KERNEL")) {
    EXPECT_STREQ(fastest_kernel().name, expected);
  }
}

TEST(ListRecord, HasTheExactLayout) {
  const std::string out = list_record("BBC One", "http://a.example/1.m3u8");
  EXPECT_EQ(out,
            "<servername=>BBC One</servername><serverurl=>http://a.example/1.m3u8"
            "</serverurl><servercategory=>TV</servercategory>\r\n");
  EXPECT_EQ(out.size(), 88u + 7u + 23u);
  EXPECT_EQ(record("BBC One", "http://a.example/1.m3u8"), out);
}

TEST(ConvertText, TakesNameAfterFirstCommaAndTheNextLineAsUrl) {
  const std::string long_url = "https://edge.example/live.m3u8?token=" + std::string(2100, 'k');
  const std::string long_name(600, 'n');
  const TextCase cases[] = {
      {"#EXTM3U\r\n#EXTINF:-1 tvg-name=\"x\",One\r\nhttp://a/1\r\n#EXTINF:-1,Two\r\nhttp://a/2",
       record("One", "http://a/1") + record("Two", "http://a/2")},
      // Two commas: the name starts after the first and keeps the second.
      {"#EXTINF:-1,News, late\r\nu\r\n", record("News, late", "u")},
      // The comma may stand on a later line than the marker.
      {"#EXTINF:-1\r\nx,Late\r\nu\r\n", record("Late", "u")},
      // A name keeps its blanks; an address loses them. Nothing is converted.
      {"#EXTINF:-1, \xc3\xa9t\xc3\xa9 \r\n u \r\n", record(" \xc3\xa9t\xc3\xa9 ", "u")},
      // No entry: nothing. A marker with no comma after it ends the text.
      {"", ""},
      {"#EXTM3U\r\nhttp://a/1\r\n", ""},
      {"#extinf:-1,Lower\r\nhttp://a/1\r\n", ""},
      {"#EXTINF:-1,A\r\nu\r\n#EXTINF:-1 no comma\r\nv\r\n", record("A", "u")},
      // LF and CR playlists convert like CR LF ones, joined ones too.
      {"#EXTM3U\n#EXTINF:-1,One\nhttp://a/1\n#EXTINF:-1,Two\nhttp://a/2\n",
       record("One", "http://a/1") + record("Two", "http://a/2")},
      {"#EXTM3U\r#EXTINF:-1,One\rhttp://a/1\r#EXTINF:-1,Two\rhttp://a/2\r",
       record("One", "http://a/1") + record("Two", "http://a/2")},
      {"#EXTINF:-1,A\nu", record("A", "u")},
      {"#EXTINF:-1,A\n", ""},
      {"#EXTINF:-1,A\r", ""},
      {"#EXTINF:-1,A\r\nu\r\n#EXTINF:-1,B\nv\n", record("A", "u") + record("B", "v")},
      {"#EXTINF:-1,A\nu\n#EXTINF:-1,B\r\nv\r\n", record("A", "u") + record("B", "v")},
      // Long names and addresses are kept whole.
      {"#EXTINF:-1," + long_name + "\r\n" + long_url + "\r\n", record(long_name, long_url)},
      {"#EXTINF:-1," + long_name + "\n" + long_url + "\n", record(long_name, long_url)},
      // The skip rule sees the address before the extraction; the extraction
      // keeps the address behind "=" (which wins) or ";;".
      {"#EXTINF:-1,A\r\nhttp://a/x.url=rtmp://r/s\r\n", ""},
      {"#EXTINF:-1,A\r\nhttp://a/p?id=1&auth=2\r\n", record("A", "http://a/p?id=1&auth=2")},
      {"#EXTINF:-1,A\r\nhttp://a/p?s=rtmp://r/live\r\n", record("A", "rtmp://r/live")},
      {"#EXTINF:-1,A\r\nhttp://a/p;;rtmp://r/live\r\n", record("A", "rtmp://r/live")},
      {"#EXTINF:-1,A\r\nx;;rtmp://r/1 y=rtmp://r/2\r\n", record("A", "rtmp://r/2")},
      {"#EXTINF:-1,A\r\nrtmp://r/plain\r\n", record("A", "rtmp://r/plain")},
  };
  expect_records(cases);
}

TEST(ConvertText, TheAddressIsTheFirstLineNeitherBlankNorAnOption) {
  const TextCase cases[] = {
      // Empty name.
      {"#EXTINF:-1,\r\nu\r\n", record("", "u")},
      // Option lines, comments and blank lines are passed over.
      {"#EXTINF:-1,A\n#EXTVLCOPT:http-referrer=https://r/\nhttp://a\n", record("A", "http://a")},
      {"#EXTINF:-1,A\r\n#KODIPROP:x=y\r\n#KODIPROP:z=w\r\nhttp://a.mpd\r\n",
       record("A", "http://a.mpd")},
      {"#EXTINF:-1,A\n\n \t\r\nhttp://a\n", record("A", "http://a")},
      {"#EXTINF:-1,A\r\n\r\nhttp://a/1\r\n", record("A", "http://a/1")},
      {"#EXTINF:-1,A\n   #EXTVLCOPT:x\n  http://a\n", record("A", "http://a")},
      {"#EXTINF:-1,A\n#http://old\nhttp://new\n", record("A", "http://new")},
      // A CR that is not the line end's makes a line no blank one; the
      // address loses the CRs and blanks at its ends.
      {"#EXTINF:-1,A\n\r \rx\nhttp://a\n", record("A", "x")},
      // An entry line, or the end of the text, before any address: no record.
      {"#EXTINF:-1,A\n#EXTINF:-1,B\nhttp://b\n", record("B", "http://b")},
      {"#EXTINF:-1,A\n  #EXTINF:-1,B\nhttp://b\n", record("B", "http://b")},
      {"#EXTINF:-1,A\r\n#EXTINF:-1,B.url\r\nu\r\n", record("B.url", "u")},
      {"#EXTINF:-1,A\r\n", ""},
      {"#EXTINF:-1,A", ""},
      {"#EXTINF:-1,A\n#EXTVLCOPT:x\n \t\n", ""},
      {"#EXTINF:-1,A\r\n#EXTINF:-1,B", ""},
      // The rules see the address line only.
      {"#EXTINF:-1,A\n#x.url\nhttp://a?id=1\n", record("A", "http://a?id=1")},
      {"#EXTINF:-1,A\n#p?s=rtmp://r/x\nhttp://a\n", record("A", "http://a")},
      // Commas inside quoted attribute values are not the name's.
      {"#EXTINF:-1 ua=\"Mozilla (KHTML, like Gecko)\",Canal\nhttp://c\n",
       record("Canal", "http://c")},
      {"#EXTINF:-1 a=\"1,2\" b=\"3,4\",Name, HD\nhttp://c\n", record("Name, HD", "http://c")},
      {"#EXTINF:,\"x\",B\nu\n", record("\"x\",B", "u")},
      {"#EXTINF:-1 tvg-name=\"A,B\nhttp://c\n", record("B", "http://c")},
      {"#EXTINF:-1 a=\"1,2\"\nx,N\nhttp://c\n", record("2\"", "x,N")},
      {"#EXTINF:-1 a=\"1,2\",N\r#EXTVLCOPT:x\rhttp://c\r", record("N", "http://c")},
      {"#EXTINF:-1 a=\"1,\r2\",N\nhttp://c\n", record("N", "http://c")},
      {"#EXTINF:-1 a=\"1,\r2\",N\rhttp://c\r", record("", "2\",N")},
      // CR only: a quote left open before the line end; an entry line first.
      {"#EXTINF:-1 a=\"x,B\rhttp://c\r", record("B", "http://c")},
      {"#EXTINF:-1 a=\"x,y\rhttp://c\r#EXTINF:-1,D\r#KODIPROP:k\r  http://d \r",
       record("y", "http://c") + record("D", "http://d")},
      // An LF part whose last entry has no address, joined to a CR part.
      {"#EXTINF:-1,A\nu\n#EXTINF:-1,B\n#EXTINF:-1,C\rv\r", record("A", "u") + record("C", "v")},
      {"#EXTINF:-1,A\nu\n#EXTINF:-1,B\n#EXTVLCOPT:x\n#EXTINF:-1 q=\"1,2\rC\rv\r",
       record("A", "u") + record("2", "C")},
      // A marker inside a passed-over line or the address opens the next entry.
      {"#EXTINF:-1,A\n#EXTVLCOPT:#EXTINF:-1,B\nhttp://a\n",
       record("A", "http://a") + record("B", "http://a")},
      {"#EXTINF:-1,A\nhttp://a#EXTINF:-1,B\nhttp://b\n",
       record("A", "http://a#EXTINF:-1,B") + record("B", "http://b")},
      {"#EXTINF:-1,A\nhttp://a#EXTINF:-1,B", record("A", "http://a#EXTINF:-1,B")},
  };
  expect_records(cases);
}

TEST(ConvertText, ReadsEveryPlaylistPeopleKeep) {
  using namespace std::string_literals;
  const std::string tv = "\xF0\x9F\x93\xBA";  // U+1F4FA, a surrogate pair in UTF-16
  const std::string bad = "\xEF\xBF\xBD";     // U+FFFD
  const TextCase cases[] = {
      // Addresses lose their blanks and CRs; then the rules see what is left.
      {"#EXTINF:-1,A\n \thttp://a \t\n", record("A", "http://a")},
      {"#EXTINF:-1,A\r\n  x?s=rtmp://r/1 \r\r\n", record("A", "rtmp://r/1")},
      {"#EXTINF:-1,A\r\n http://a/x.url \r\n", ""},
      {"#EXTINF:-1,A\nhttps://v.cdn/x/,240,360,.mp4.urlset/master.m3u8\n",
       record("A", "https://v.cdn/x/,240,360,.mp4.urlset/master.m3u8")},
      {"#EXTINF:-1,A\nhttp://a/x.url?a=1\n#EXTINF:-1,B\nhttp://b/x.URL\n",
       record("B", "http://b/x.URL")},
      // A marker after a UTF-8 byte order mark, or after a bare CR, starts a line.
      {"\xEF\xBB\xBF#EXTINF:-1,A\nhttp://a\n", record("A", "http://a")},
      {"x\r #EXTINF:-1,A\rhttp://a\r", record("A", "http://a")},
      // UTF-16 in both byte orders; lone surrogates, an odd last byte; U+0000 ends it.
      {utf16(u"#EXTINF:-1,\u00e9\U0001F4FA\nhttp://a\n"), record("\xC3\xA9" + tv, "http://a")},
      {utf16(u"#EXTINF:-1,\u4e2d\r\nhttp://a\r\n", true), record("\xE4\xB8\xAD", "http://a")},
      // The edges of UTF-8's lengths and of the low surrogates: U+07FF, U+0800, U+1F400.
      {utf16(u"#EXTINF:-1,\u07ff\u0800\U0001F400\nhttp://a\n"),
       record("\xDF\xBF\xE0\xA0\x80\xF0\x9F\x90\x80", "http://a")},
      {utf16(u"#EXTINF:-1,\xD83Dx\xDCFA\nhttp://a\n#EXTINF:-1,B\nhttp://b") + "x",
       record(bad + "x" + bad, "http://a") + record("B", "http://b" + bad)},
      {utf16(u"#EXTINF:-1,A\nhttp://a\n#EXTINF:-1,B\n\0http://b\n"s), record("A", "http://a")},
      {"\xFF\xFE", ""},
      {"\xFE", ""},
      {utf16(u"A,http://a\nB,http://b#rtmp://r/b"),
       record("A", "http://a") + record("B", "http://b") + record("B", "rtmp://r/b")},
      // "name,URL" text lists: group lines, comments and other lines give nothing.
      {"\xEF\xBB\xBF\xE5\xA4\xAE\xE8\xA7\x86,#genre#\nCCTV-1,http://a/1.m3u8$Line 1\r\n"
       "# C,http://c\nCCTV-2 ,  HTTP://b/2 \t\r\n",
       record("CCTV-1", "http://a/1.m3u8") + record("CCTV-2 ", "HTTP://b/2")},
      {"A,http://a/x#http://b/y$L#http://c/#frag#udp://@239.1.1.1:5000#\n",
       record("A", "http://a/x") + record("A", "http://b/y") + record("A", "http://c/#frag") +
           record("A", "udp://@239.1.1.1:5000#")},
      {"A,http://a/x.url\nB,http://p?s=rtmp://r/b\nC,1http://c\nD,p3p://d\nE,x?s=rtmp://r/e\n"
       "F,hls+http://f/x.m3u8\n",
       record("B", "rtmp://r/b") + record("D", "p3p://d") + record("F", "hls+http://f/x.m3u8")},
      {"CCTV-1,http://a/x.m3u8#EXTINF:-1%20group-title=N\nB,http://b\n",
       record("CCTV-1", "http://a/x.m3u8#EXTINF:-1%20group-title=N") + record("B", "http://b")},
      {"http://a/x.xml,http://b/y.xml\n,http://x\nA,\nA\nA,###\nA,  \t \nhttp://a\n",
       record("", "http://x")},
      {"A,http://a\rB,http://b\r\r", record("A", "http://a") + record("B", "http://b")},
      {"A,http://a\nB,http://b\0\nC,http://c\n"s,
       record("A", "http://a") + record("B", "http://b")},
      // Once a marker starts a line, "name,URL" lines give nothing.
      {"B,http://b\n#EXTINF:-1,A\nhttp://a\nC,http://c\n", record("A", "http://a")},
  };
  expect_records(cases);
}

TEST(ConvertText, AnLfEndsEveryLineAndOnlyTheCrBeforeItGoesWithIt) {
  const TextCase cases[] = {
      // A stray LF in a CR LF playlist ends its line.
      {"#EXTINF:-1,A\nB\r\nu\nv\r\n", record("A", "B")},
      {"#EXTINF:-1,A\r\nu\n", record("A", "u")},
      {"#EXTINF:-1,A\r\nhttp://a\n#EXTINF:-1,B\r\nhttp://b\r\n",
       record("A", "http://a") + record("B", "http://b")},
      {"#EXTINF:-1,A\nhttp://a\n#EXTINF:-1,C\r\nhttp://c\r\n",
       record("A", "http://a") + record("C", "http://c")},
      {"#EXTINF:-1,A\nhttp://a\r\n", record("A", "http://a")},
      // Any CR but those at a name's end or an address's ends is a byte of
      // its line (CR CR LF: an editor added a CR to each CR LF).
      {"#EXTINF:-1,A\r\r\nhttp://a\r\r\n", record("A", "http://a")},
      {"#EXTINF:-1,A\rB\nhttp://a\rx\n", record("A\rB", "http://a\rx")},
      {"#EXTINF:-1,A\nhttp://a\r", record("A", "http://a")},
      // With no LF after the comma, a bare CR ends the lines.
      {"#EXTINF:-1,A\rhttp://a\r#EXTINF:-1,B\rhttp://b",
       record("A", "http://a") + record("B", "http://b")},
      {"#EXTINF:-1,A\nu\n#EXTINF:-1,B\rv\r", record("A", "u") + record("B", "v")},
      // The rules see the URL line without its line end.
      {"#EXTINF:-1,A\r\nhttp://p?s=rtmp://r/live\n\r\n", record("A", "rtmp://r/live")},
      {"#EXTINF:-1,A\nhttp://p/x.url\r\n#EXTINF:-1,B\nu", record("B", "u")},
  };
  expect_records(cases);
}

TEST(ConvertText, OneLineEndOrZeroAnywhereInALongPlaylistIsFound) {
  // The search for an LF after a CR playlist's first name runs to the text's
  // end, and is not made again; it must still find the first LF wherever it
  // stands, and stop at a zero byte as well. An LF playlist is the same with
  // a stray CR.
  for (const char* line_end : {"\n", "\r"}) {
    std::string playlist;
    for (int i = 0; i < 40; ++i) {
      playlist += "#EXTINF:-1,C" + std::to_string(i) + line_end + "http://a/" + std::to_string(i) +
                  line_end;
    }
    for (std::size_t at = 0; at < playlist.size(); at += 7) {
      for (const std::string& inserted :
           {std::string("\r"), std::string("\n"), std::string("\r\n"), std::string(1, '\0')}) {
        const std::string text = playlist.substr(0, at) + inserted + playlist.substr(at);
        const std::string records = testing::model_records(text);
        for (const Kernel* kernel : runnable_kernels()) {
          ASSERT_EQ(convert_text(text, *kernel), records) << kernel->name << " at " << at;
        }
      }
    }
  }
}

TEST(SkipRule, HoldsForUrlMarkOrAllThreeTokenParameters) {
  // An address, whether the skip rule holds, and what the extraction keeps.
  struct Case {
    const char* url;
    bool skipped;
    const char* kept;
  };
  const Case cases[] = {
      {"http://a/list.url", true, nullptr},
      // ".url" ends a word: a link to a shortcut file, not a CDN's ".urlset".
      {"http://a/curly.urlx", false, nullptr},
      {"https://v.cdn/x/,240,360,.mp4.urlset/master.m3u8", false, nullptr},
      {"http://a/x.url1", false, nullptr},
      {"http://a/x.url9", false, nullptr},
      {"http://a/x.url?a=1", true, nullptr},
      {"http://a/x.url/", true, nullptr},
      {"http://a/x.url_", true, nullptr},
      {"x.url-", true, nullptr},
      {"http://a/.URL", false, nullptr},
      {"http://a/p?id=1&ip=2&auth=3", true, nullptr},
      {"&auth=3&ip=2 http://a/p?id=1", true, nullptr},
      {"http://a/p?id=1&auth=3", false, nullptr},
      {"http://a/p?ID=1&ip=2&auth=3", false, nullptr},
      {"", false, nullptr},
      {"http://a/p?s=rtmp://r/live", false, "rtmp://r/live"},
      {"a;;rtmp://r/1=rtmp://r/2", false, "rtmp://r/2"},
      {";;rtmp://r/3", false, "rtmp://r/3"},
      {"rtmp://r/4", false, "rtmp://r/4"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(is_skipped_url(c.url), c.skipped) << c.url;
    EXPECT_EQ(rtmp_url(c.url), c.kept != nullptr ? c.kept : c.url) << c.url;
  }
}

// Each mark of the table does what its rule says, wherever it stands.
TEST(UrlMarks, EachMarkDoesWhatItsRuleSays) {
  std::string all_together;
  for (const UrlMark& mark : kUrlMarks) {
    const std::string line = "http://h.example/p" + std::string(mark.text) + "/x/y";
    const std::size_t at = line.find(mark.text);
    const UrlFacts facts = read_url_facts(line);
    switch (mark.rule) {
      case MarkRule::kSkips:
        EXPECT_TRUE(facts.skipped) << mark.text;
        break;
      case MarkRule::kSkipsWithOthers:
        EXPECT_FALSE(facts.skipped) << mark.text << " alone";
        all_together += mark.text;
        break;
      case MarkRule::kRtmpAddress:
        EXPECT_FALSE(facts.skipped) << mark.text;
        EXPECT_EQ(facts.rtmp_offset, at + mark.address_at) << mark.text;
        break;
    }
    // A mark cut short is no mark.
    const std::string cut =
        "http://h.example/p" + std::string(mark.text.substr(0, mark.text.size() - 1));
    EXPECT_FALSE(read_url_facts(cut).skipped) << cut;
    EXPECT_EQ(read_url_facts(cut).rtmp_offset, 0u) << cut;
    // The scanner finds it in the URL line as well, in every kernel.
    const std::string text = "#EXTINF:-1,A\r\n" + line + "\r\n";
    for (const Kernel* kernel : runnable_kernels()) {
      EXPECT_EQ(convert_text(text, *kernel), testing::model_records(text)) << kernel->name;
    }
  }
  EXPECT_TRUE(read_url_facts("http://h.example/p" + all_together).skipped);
}

TEST(PlaylistScanner, FillsInWholeRecordsAndResumes) {
  std::string text;
  for (int i = 0; i < 50; ++i) {
    text += "#EXTINF:-1,C" + std::to_string(i) + "\r\nhttp://a/" + std::to_string(i) + "\r\n";
  }
  const std::string whole = testing::model_records(text);
  for (const Kernel* kernel : runnable_kernels()) {
    PlaylistScanner scanner(text, *kernel);
    std::string joined;
    RecordChunk chunk;
    bool more = true;
    while (more) {
      more = scanner.fill(chunk, 200);
      // Every chunk ends at a record's end.
      ASSERT_TRUE(chunk.size() == 0 || chunk.records().ends_with("</servercategory>\r\n"));
      joined += chunk.records();
      chunk.clear();
    }
    EXPECT_EQ(joined, whole) << kernel->name;
  }
}

TEST(ConvertText, MatchesTheRulesOnRandomPlaylists) {
  std::mt19937 random(20261208);
  for (int round = 0; round < 3000; ++round) {
    // The whole file: the text ends at its first zero byte, if it holds one.
    std::string file = testing::random_playlist(random, static_cast<std::size_t>(1 + round % 60));
    const std::string records = testing::model_records(file);
    for (const Kernel* kernel : runnable_kernels()) {
      ASSERT_EQ(convert_text(file, *kernel), records)
          << kernel->name << ", playlist: " << ::testing::PrintToString(file);
    }
  }
}

}  // namespace
}  // namespace m3u2lst

namespace m3u2lst {
namespace {

TEST(ConvertText, PublishedSizePlaylistsConvertInBothLineEnds) {
  std::mt19937 random(42);
  for (const char* line_end : {"\r\n", "\n"}) {
    std::string text = std::string("#EXTM3U x-tvg-url=\"http://epg.example/guide.xml\"") + line_end;
    for (int i = 0; i < 5000; ++i) {
      std::string url = "http://cdn" + std::to_string(i % 7) + ".example/live/" +
                        std::to_string(i) +
                        "/index.m3u8?token=" + std::string(random() % 700, 'a' + char(i % 26));
      if (i % 17 == 0) {
        url += ".url";
      } else if (i % 13 == 0) {
        url = "http://relay.example/p?s=rtmp://r.example/live/" + std::to_string(i);
      }
      text += "#EXTINF:-1 tvg-id=\"c" + std::to_string(i) + "\" group-title=\"G\",Channel " +
              std::to_string(i) + line_end + url + line_end;
    }
    const std::string records = testing::model_records(text);
    EXPECT_EQ(std::count(records.begin(), records.end(), '\n'), 5000 - 295);
    for (const Kernel* kernel : runnable_kernels()) {
      EXPECT_EQ(convert_text(text, *kernel), records) << kernel->name;
      // What follows a zero byte is not part of the text, and its CR LF does
      // not make the lines before it end at CR LF.
      EXPECT_EQ(convert_text(text + '\0' + "#EXTINF:-1,After\r\nu\r\n", *kernel), records)
          << kernel->name;
    }
  }
}

}  // namespace
}  // namespace m3u2lst
