// The processors this process may run on, on Windows.
#include <windows.h>

#include <bit>

#include "processors.hpp"

namespace m3u2lst::platform {

unsigned usable_processors() noexcept {
  DWORD_PTR process = 0;
  DWORD_PTR system = 0;
  if (!GetProcessAffinityMask(GetCurrentProcess(), &process, &system) || process == 0) {
    return 1;
  }
  return static_cast<unsigned>(std::popcount(static_cast<unsigned long long>(process)));
}

}  // namespace m3u2lst::platform
