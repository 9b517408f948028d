// Google Benchmark of the conversion core: record assembly from playlist text
// held in memory, in chunks as the list writer takes them, for CR LF and LF
// playlists of several sizes as make_playlist writes them.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <random>
#include <string>

#include "conversion/playlist_conversion.hpp"
#include "playlist_generator.hpp"

namespace {

/// A playlist text of about `bytes` bytes, as make_playlist writes them.
std::string make_text(std::size_t bytes, const char* eol) {
  std::mt19937_64 random(2026);
  std::string text;
  m3u2lst::bench::generate_playlist(bytes, eol, random,
                                    [&](const std::string& piece) { text += piece; });
  return text;
}

using Searches = m3u2lst::PlaylistScanner::Searches;

void convert(benchmark::State& state, const char* eol, Searches searches) {
  const std::string text = make_text(static_cast<std::size_t>(state.range(0)), eol);
  m3u2lst::RecordChunk chunk;
  chunk.reserve((1 << 20) + 4096);
  for (auto _ : state) {
    m3u2lst::PlaylistScanner scanner(text, searches);
    bool more = true;
    while (more) {
      more = scanner.fill(chunk, 1 << 20);
      benchmark::DoNotOptimize(chunk.records().data());
      chunk.clear();
    }
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(text.size()));
}

// The fastest searches the processor allows (AVX2 where it has it), and the
// plain ones every x86-64 processor has (SSE2), which others fall back to.
void crlf_playlist(benchmark::State& state) {
  convert(state, "\r\n", Searches::kFastest);
}
void lf_playlist(benchmark::State& state) {
  convert(state, "\n", Searches::kFastest);
}
void crlf_playlist_plain(benchmark::State& state) {
  convert(state, "\r\n", Searches::kPlain);
}
void lf_playlist_plain(benchmark::State& state) {
  convert(state, "\n", Searches::kPlain);
}

BENCHMARK(crlf_playlist)->Arg(1 << 20)->Arg(16 << 20)->Arg(64 << 20)->Unit(benchmark::kMillisecond);
BENCHMARK(lf_playlist)->Arg(1 << 20)->Arg(16 << 20)->Arg(64 << 20)->Unit(benchmark::kMillisecond);
BENCHMARK(crlf_playlist_plain)->Arg(64 << 20)->Unit(benchmark::kMillisecond);
BENCHMARK(lf_playlist_plain)->Arg(64 << 20)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
