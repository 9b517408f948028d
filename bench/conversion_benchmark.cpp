// Google Benchmark of the conversion core: record assembly from playlist text
// held in memory, in chunks as the list writer takes them, for CR LF and LF
// playlists of several sizes.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <random>
#include <string>

#include "conversion/playlist_conversion.hpp"

namespace {

/// A playlist text of about `bytes` bytes, entries as published lists hold them.
std::string make_text(std::size_t bytes, const char* eol) {
  std::mt19937_64 random(7);
  std::string text = std::string("#EXTM3U") + eol;
  for (int i = 0; text.size() < bytes; ++i) {
    text += "#EXTINF:-1 tvg-id=\"ch" + std::to_string(i) + "\" group-title=\"News\",Channel " +
            std::to_string(i) + eol;
    unsigned kind = static_cast<unsigned>(random() % 100);
    if (kind < 4) {
      text += "http://cdn.example.net/b/" + std::to_string(i) + ".url";
    } else if (kind < 8) {
      text += "http://cdn.example.net/relay?stream=rtmp://203.0.113.9/live/" + std::to_string(i);
    } else {
      text += "http://cdn.example.net:8080/live/" + std::to_string(i) +
              ".m3u8?token=" + std::string(20 + random() % 200, 'k');
    }
    text += eol;
  }
  return text;
}

void convert(benchmark::State& state, const char* eol) {
  const std::string text = make_text(static_cast<std::size_t>(state.range(0)), eol);
  // The program finds the last CR LF while it reads the file; so does this, once.
  const std::size_t last_crlf = m3u2lst::find_last_crlf(text);
  std::string chunk;
  chunk.reserve((1 << 20) + 4096);
  for (auto _ : state) {
    m3u2lst::PlaylistScanner scanner(text, last_crlf);
    bool more = true;
    while (more) {
      more = scanner.fill(chunk, 1 << 20);
      benchmark::DoNotOptimize(chunk.data());
      chunk.clear();
    }
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(text.size()));
}

void crlf_playlist(benchmark::State& state) {
  convert(state, "\r\n");
}
void lf_playlist(benchmark::State& state) {
  convert(state, "\n");
}

BENCHMARK(crlf_playlist)->Arg(1 << 20)->Arg(16 << 20)->Arg(64 << 20)->Unit(benchmark::kMillisecond);
BENCHMARK(lf_playlist)->Arg(1 << 20)->Arg(16 << 20)->Arg(64 << 20)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
