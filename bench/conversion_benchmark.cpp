// Google Benchmark of the conversion core: record assembly from playlist text
// held in memory, in chunks as the list writer takes them, for CR LF and LF
// playlists of several sizes as make_playlist writes them.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <random>
#include <string>
#include <tuple>

#include "conversion/kernels.hpp"
#include "conversion/playlist_conversion.hpp"
#include "playlist_generator.hpp"

namespace {

/// A playlist text of about `bytes` bytes, as make_playlist writes them.
std::string make_text(std::size_t bytes, const char* eol, m3u2lst::bench::Shape shape) {
  std::mt19937_64 random(2026);
  std::string text;
  m3u2lst::bench::generate_playlist(
      bytes, eol, random, [&](const std::string& piece) { text += piece; }, shape);
  return text;
}

void convert(benchmark::State& state, const char* eol, m3u2lst::bench::Shape shape,
             const m3u2lst::Kernel* kernel) {
  const std::string text = make_text(static_cast<std::size_t>(state.range(0)), eol, shape);
  m3u2lst::RecordChunk chunk;
  chunk.reserve((1 << 20) + 4096);
  for (auto _ : state) {
    m3u2lst::PlaylistScanner scanner(text, *kernel);
    bool more = true;
    while (more) {
      more = scanner.fill(chunk, 1 << 20);
      benchmark::DoNotOptimize(chunk.records().data());
      chunk.clear();
    }
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(text.size()));
}

}  // namespace

// Every kernel this processor can run, on CR LF and LF playlists, on CR LF
// playlists with player options, saved as UTF-16, and on "name,URL" text
// lists: crlf_playlist/avx2/67108864 and so on.
int main(int argc, char** argv) {
  for (const m3u2lst::Kernel& kernel : m3u2lst::all_kernels()) {
    if (!kernel.supported()) {
      continue;
    }
    using m3u2lst::bench::Shape;
    for (auto [label, eol, shape] : {std::tuple{"crlf_playlist/", "\r\n", Shape::kPlain},
                                     {"lf_playlist/", "\n", Shape::kPlain},
                                     {"options_playlist/", "\r\n", Shape::kOptions},
                                     {"utf16_playlist/", "\r\n", Shape::kUtf16},
                                     {"text_list/", "\r\n", Shape::kTextList}}) {
      const std::string name = label + std::string(kernel.name);
      auto* run = benchmark::RegisterBenchmark(name.c_str(), convert, eol, shape, &kernel);
      // 1 MiB stays in the cache: the scan's own speed, without memory's.
      run->Unit(benchmark::kMillisecond)->Arg(64 << 20)->Arg(1 << 20);
      if (&kernel == &m3u2lst::fastest_kernel()) {
        run->Arg(16 << 20);
      }
    }
  }
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
