// The list of kernels, and which of them this processor can run. Compiled
// for every processor of its kind, unlike the kernels themselves.
#include "kernels.hpp"

#if (defined(__x86_64__) || defined(_M_X64)) && defined(_MSC_VER) && !defined(__clang__)
#include <intrin.h>
#endif

namespace m3u2lst {

namespace {

bool always() {
  return true;
}

#if defined(__x86_64__) || defined(_M_X64)
#if defined(_MSC_VER) && !defined(__clang__)
/// Whether cpuid leaf 7's EBX has the bits `leaf7_ebx_bits`, and the system
/// saves the registers whose state bits (XCR0) `state` names.
bool cpu_has(int leaf7_ebx_bits, unsigned long long state) {
  int info[4];
  __cpuid(info, 0);
  if (info[0] < 7) {
    return false;
  }
  __cpuid(info, 1);
  if ((info[2] & (1 << 27)) == 0 || (_xgetbv(0) & state) != state) {
    return false;
  }
  __cpuidex(info, 7, 0);
  return (info[1] & leaf7_ebx_bits) == leaf7_ebx_bits;
}
bool has_avx2() {
  static const bool avx2 = cpu_has(1 << 5, 0x6);
  return avx2;
}
bool has_ssse3() {
  int info[4];
  __cpuid(info, 1);
  return (info[2] & (1 << 9)) != 0;
}
bool has_avx512() {
  // AVX-512F and AVX-512BW; the opmask and all 512-bit register state saved.
  static const bool avx512 = cpu_has((1 << 16) | (1 << 30), 0xE6);
  return avx512;
}
#else
// These ask whether the system saves the registers, too.
bool has_avx2() {
  return __builtin_cpu_supports("avx2");
}
bool has_avx512() {
  return __builtin_cpu_supports("avx512bw");
}
bool has_ssse3() {
  return __builtin_cpu_supports("ssse3");
}
#endif
#endif

}  // namespace

// The scans, one in each kernel file, compiled for its instruction set; this
// file, compiled for every processor, only calls the one the processor has.
namespace kernels {
bool fill_portable(detail::ScanState& state, RecordChunk& out, std::size_t fill_to);
#if defined(__x86_64__) || defined(_M_X64)
bool fill_sse2(detail::ScanState& state, RecordChunk& out, std::size_t fill_to);
bool fill_ssse3(detail::ScanState& state, RecordChunk& out, std::size_t fill_to);
bool fill_avx2(detail::ScanState& state, RecordChunk& out, std::size_t fill_to);
bool fill_avx512(detail::ScanState& state, RecordChunk& out, std::size_t fill_to);
#endif
#if defined(__aarch64__) || defined(_M_ARM64)
bool fill_neon(detail::ScanState& state, RecordChunk& out, std::size_t fill_to);
#endif
}  // namespace kernels

namespace {

/// Every kernel built in, fastest first: a new one is a row here, with its
/// fill_ above and its check of the processor.
constexpr Kernel kKernels[] = {
#if defined(__x86_64__) || defined(_M_X64)
    {"avx512", has_avx512, kernels::fill_avx512},  // 64 bytes a block
    {"avx2", has_avx2, kernels::fill_avx2},        // 32
    {"ssse3", has_ssse3, kernels::fill_ssse3},     // 16, by table lookups
    {"sse2", always, kernels::fill_sse2},          // 16, by byte compares
#endif
#if defined(__aarch64__) || defined(_M_ARM64)
    {"neon", always, kernels::fill_neon},
#endif
    {"portable", always, kernels::fill_portable},
};

}  // namespace

std::span<const Kernel> all_kernels() noexcept {
  return kKernels;
}

const Kernel& fastest_kernel() noexcept {
  static const Kernel& fastest = []() -> const Kernel& {
    for (const Kernel& kernel : kKernels) {
      if (kernel.supported()) {
        return kernel;
      }
    }
    return kKernels[std::size(kKernels) - 1];
  }();
  return fastest;
}

}  // namespace m3u2lst
