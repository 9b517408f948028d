// The NEON kernel: the scan 16 bytes at a time, four to a block, for arm64
// processors, which all have NEON.
#include <arm_neon.h>

#include <array>
#include <cstdint>

#include "scan_entries.hpp"

namespace m3u2lst::kernels {
namespace {

struct Neon {
  struct Block {
    uint8x16_t v[4];
    [[maybe_unused]] friend Block operator|(const Block& x, const Block& y) {
      return {{vorrq_u8(x.v[0], y.v[0]), vorrq_u8(x.v[1], y.v[1]), vorrq_u8(x.v[2], y.v[2]),
               vorrq_u8(x.v[3], y.v[3])}};
    }
    friend Block operator&(const Block& x, const Block& y) {
      return {{vandq_u8(x.v[0], y.v[0]), vandq_u8(x.v[1], y.v[1]), vandq_u8(x.v[2], y.v[2]),
               vandq_u8(x.v[3], y.v[3])}};
    }
  };
  static constexpr std::size_t kBytes = 64;
  static constexpr bool kLookup = true;
  static Block load(const char* at) {
    const auto* p = reinterpret_cast<const std::uint8_t*>(at);
    return {{vld1q_u8(p), vld1q_u8(p + 16), vld1q_u8(p + 32), vld1q_u8(p + 48)}};
  }
  static Block zero() { return {{vdupq_n_u8(0), vdupq_n_u8(0), vdupq_n_u8(0), vdupq_n_u8(0)}}; }
  static Block eq(const Block& x, char c) {
    const uint8x16_t b = vdupq_n_u8(static_cast<std::uint8_t>(c));
    return {{vceqq_u8(x.v[0], b), vceqq_u8(x.v[1], b), vceqq_u8(x.v[2], b), vceqq_u8(x.v[3], b)}};
  }
  static uint8x16_t lookup(uint8x16_t b, uint8x16_t low, uint8x16_t high) {
    return vandq_u8(vqtbl1q_u8(low, vandq_u8(b, vdupq_n_u8(0x0F))),
                    vqtbl1q_u8(high, vshrq_n_u8(b, 4)));
  }
  static Block classify(const Block& x, const std::array<std::uint8_t, 16>& low,
                        const std::array<std::uint8_t, 16>& high) {
    const uint8x16_t l = vld1q_u8(low.data());
    const uint8x16_t h = vld1q_u8(high.data());
    return {
        {lookup(x.v[0], l, h), lookup(x.v[1], l, h), lookup(x.v[2], l, h), lookup(x.v[3], l, h)}};
  }
  static Block or_bits(const Block& x, std::uint8_t bits) {
    const uint8x16_t b = vdupq_n_u8(bits);
    return {{vorrq_u8(x.v[0], b), vorrq_u8(x.v[1], b), vorrq_u8(x.v[2], b), vorrq_u8(x.v[3], b)}};
  }
  static std::uint64_t nonzero(const Block& x) {
    // Each byte's bit by its place in a group of eight, then the groups added
    // up pairwise into one 64-bit mask.
    static constexpr std::uint8_t kBits[16] = {1, 2, 4, 8, 16, 32, 64, 128,
                                               1, 2, 4, 8, 16, 32, 64, 128};
    const uint8x16_t bits = vld1q_u8(kBits);
    const uint8x16_t t0 = vandq_u8(vtstq_u8(x.v[0], x.v[0]), bits);
    const uint8x16_t t1 = vandq_u8(vtstq_u8(x.v[1], x.v[1]), bits);
    const uint8x16_t t2 = vandq_u8(vtstq_u8(x.v[2], x.v[2]), bits);
    const uint8x16_t t3 = vandq_u8(vtstq_u8(x.v[3], x.v[3]), bits);
    uint8x16_t sum = vpaddq_u8(vpaddq_u8(t0, t1), vpaddq_u8(t2, t3));
    sum = vpaddq_u8(sum, sum);
    return vgetq_lane_u64(vreinterpretq_u64_u8(sum), 0);
  }
  static void prefetch(const char* at) { __builtin_prefetch(at); }
};

}  // namespace

bool fill_neon(detail::ScanState& state, RecordChunk& out, std::size_t fill_to) {
  return Scan<Neon>(state).fill(out, fill_to);
}

}  // namespace m3u2lst::kernels
