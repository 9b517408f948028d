// The processors this process may run on, on POSIX systems.
#include "processors.hpp"

#if defined(__linux__)
#include <sched.h>
#endif
#include <unistd.h>

namespace m3u2lst::platform {

unsigned usable_processors() noexcept {
#if defined(__linux__)
  cpu_set_t allowed;
  CPU_ZERO(&allowed);
  if (sched_getaffinity(0, sizeof allowed, &allowed) == 0) {
    const int count = CPU_COUNT(&allowed);
    return count > 0 ? static_cast<unsigned>(count) : 1;
  }
#endif
  const long online = sysconf(_SC_NPROCESSORS_ONLN);
  return online > 0 ? static_cast<unsigned>(online) : 1;
}

}  // namespace m3u2lst::platform
