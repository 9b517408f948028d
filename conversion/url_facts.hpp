// What the skip rule and the rtmp extraction make of one address.
#pragma once

#include <cstddef>
#include <string_view>

namespace m3u2lst {

/// What the URL marks (marks.hpp) say of an address, found in one pass.
struct UrlFacts {
  bool skipped = false;  // the skip rule holds: the entry is left out
  /// Where the kept address starts: one byte past the first "=rtmp://",
  /// else two past the first ";;rtmp://", else 0. "=rtmp://" wins wherever
  /// each stands.
  std::size_t rtmp_offset = 0;
};

/// The facts of `url`, looked at whole, as the scan finds them while it
/// walks an address line. Never fails.
UrlFacts read_url_facts(std::string_view url) noexcept;

}  // namespace m3u2lst
