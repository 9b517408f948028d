// How many processors this process may run on, for work that pays on a
// second one only. One source per platform (processors_*.cpp).
#pragma once

namespace m3u2lst::platform {

/// The processors the process may run on: its affinity mask's count (a
/// container or `taskset` may allow fewer than the machine has). At least 1.
unsigned usable_processors() noexcept;

}  // namespace m3u2lst::platform
