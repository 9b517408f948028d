// The kernels of the scanner: one for each instruction set it is built for,
// each the same scan (scan_stops.hpp, scan_entries.hpp) over that
// instruction set's vocabulary, compiled in a file of its own
// (kernel_*.cpp). They give the same records; the fastest one the processor
// can run is used.
#pragma once

#include <cstddef>
#include <span>

#include "record_chunk.hpp"
#include "scan_state.hpp"

namespace m3u2lst {

struct Kernel {
  /// "avx512", "avx2", "ssse3", "sse2", "neon" or "portable".
  const char* name;
  /// Whether this processor, and its system, can run the kernel.
  bool (*supported)();
  /// Appends the records of the next entries of the scan `state` to `out`,
  /// until `out` holds at least `fill_to` bytes or the text is done. Returns
  /// false once the text is done. Throws std::bad_alloc only when `out`
  /// cannot grow.
  bool (*fill)(detail::ScanState& state, RecordChunk& out, std::size_t fill_to);
};

/// Every kernel built into the program, fastest first; the portable one,
/// which every processor runs, is last.
std::span<const Kernel> all_kernels() noexcept;

/// The first kernel of all_kernels() that this processor can run.
const Kernel& fastest_kernel() noexcept;

}  // namespace m3u2lst
