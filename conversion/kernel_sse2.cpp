// The SSE2 kernel: the scan 16 bytes at a time, for every x86-64 processor.
// SSE2 has no byte table lookup (that came with SSSE3), so every search here
// is made by byte compares.
#include <array>
#include <cstdint>

#include "scan_entries.hpp"
#include "sse2_vocabulary.hpp"

namespace m3u2lst::kernels {
namespace {

struct Sse2 : Sse2Vocabulary {
  static constexpr bool kLookup = false;
  // No lookup: never called.
  static Block classify(Block x, const std::array<std::uint8_t, 16>&,
                        const std::array<std::uint8_t, 16>&) {
    return x;
  }
  static Block or_bits(Block x, std::uint8_t) { return x; }
};

}  // namespace

bool fill_sse2(detail::ScanState& state, RecordChunk& out, std::size_t fill_to) {
  return Scan<Sse2>(state).fill(out, fill_to);
}

}  // namespace m3u2lst::kernels
