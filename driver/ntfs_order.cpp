// The NTFS order of names, from the volume's upper-case table.
#include "ntfs_order.hpp"

#include <algorithm>
#include <cstdint>
#include <iterator>
#include <string>

#include "utf16.hpp"

namespace m3u2lst {

namespace {

/// The units first, first + step, ... (count of them) map to unit + delta.
struct UpcaseRun {
  std::uint16_t first;
  std::uint16_t count;
  std::uint16_t step;
  std::int32_t delta;
};

constexpr UpcaseRun kUpcaseRuns[] = {
#include "ntfs_upcase_runs.inc"
};

// The search below takes the last run that starts at or before a unit; that
// holds only while the runs are in order and none reaches into the next.
static_assert(
    [] {
      for (std::size_t i = 1; i < std::size(kUpcaseRuns); ++i) {
        const UpcaseRun& before = kUpcaseRuns[i - 1];
        if (before.first + (before.count - 1) * before.step >= kUpcaseRuns[i].first) {
          return false;
        }
      }
      return true;
    }(),
    "upper-case runs out of order or overlapping");

}  // namespace

char16_t ntfs_upcase(char16_t unit) noexcept {
  const auto after =
      std::upper_bound(std::begin(kUpcaseRuns), std::end(kUpcaseRuns), unit,
                       [](char16_t u, const UpcaseRun& run) { return u < run.first; });
  if (after == std::begin(kUpcaseRuns)) {
    return unit;
  }
  const UpcaseRun& run = *std::prev(after);
  const unsigned offset = unit - run.first;
  if (offset % run.step != 0 || offset / run.step >= run.count) {
    return unit;
  }
  return static_cast<char16_t>(unit + run.delta);
}

bool ntfs_listed_before(std::string_view a, std::string_view b) {
  const std::u16string ua = utf16_from_utf8<char16_t>(a);
  const std::u16string ub = utf16_from_utf8<char16_t>(b);
  const std::size_t common = std::min(ua.size(), ub.size());
  for (std::size_t i = 0; i < common; ++i) {
    const char16_t x = ntfs_upcase(ua[i]);
    const char16_t y = ntfs_upcase(ub[i]);
    if (x != y) {
      return x < y;
    }
  }
  if (ua.size() != ub.size()) {
    return ua.size() < ub.size();
  }
  // Alike but for case, or for bytes that are not UTF-8.
  if (ua != ub) {
    return ua < ub;
  }
  return a < b;
}

}  // namespace m3u2lst
