// The portable kernel: the scan in plain C++, for every processor, a byte at
// a time, 16 to a block. The tests and the fuzzer hold every other kernel against it.
#include <array>
#include <cstdint>
#include <cstring>

#include "scan_entries.hpp"

namespace m3u2lst::kernels {
namespace {

struct Portable {
  static constexpr std::size_t kBytes = 16;
  struct Block {
    std::array<std::uint8_t, kBytes> b{};
    [[maybe_unused]] friend Block operator|(Block x, const Block& y) {
      for (std::size_t i = 0; i < kBytes; ++i) {
        x.b[i] |= y.b[i];
      }
      return x;
    }
    friend Block operator&(Block x, const Block& y) {
      for (std::size_t i = 0; i < kBytes; ++i) {
        x.b[i] &= y.b[i];
      }
      return x;
    }
  };
  static constexpr bool kLookup = true;
  static Block load(const char* at) {
    Block x;
    std::memcpy(x.b.data(), at, kBytes);
    return x;
  }
  static Block zero() { return Block{}; }
  static Block eq(Block x, char c) {
    for (std::uint8_t& byte : x.b) {
      byte = byte == static_cast<std::uint8_t>(c) ? 0xFF : 0;
    }
    return x;
  }
  static Block classify(Block x, const std::array<std::uint8_t, 16>& low,
                        const std::array<std::uint8_t, 16>& high) {
    for (std::uint8_t& byte : x.b) {
      byte = static_cast<std::uint8_t>(low[byte & 15] & high[byte >> 4]);
    }
    return x;
  }
  static Block or_bits(Block x, std::uint8_t bits) {
    for (std::uint8_t& byte : x.b) {
      byte |= bits;
    }
    return x;
  }
  static std::uint64_t nonzero(const Block& x) {
    std::uint64_t mask = 0;
    for (std::size_t i = 0; i < kBytes; ++i) {
      mask |= std::uint64_t{x.b[i] != 0} << i;
    }
    return mask;
  }
  static void prefetch(const char* /*at*/) {}
};

}  // namespace

bool fill_portable(detail::ScanState& state, RecordChunk& out, std::size_t fill_to) {
  return Scan<Portable>(state).fill(out, fill_to);
}

}  // namespace m3u2lst::kernels
