// Large memory on POSIX systems: in huge pages where Linux has them.
#include <sys/mman.h>

#include <cstdlib>

#include "large_memory.hpp"

namespace m3u2lst::platform {

char* allocate_large(std::size_t size) noexcept {
  constexpr std::size_t kHugePage = std::size_t{2} << 20;
  if (size < kHugePage) {
    return static_cast<char*>(std::malloc(size == 0 ? 1 : size));
  }
  const std::size_t rounded = (size + kHugePage - 1) / kHugePage * kHugePage;
  void* memory = std::aligned_alloc(kHugePage, rounded);
#if defined(MADV_HUGEPAGE)
  if (memory != nullptr) {
    madvise(memory, rounded, MADV_HUGEPAGE);  // advice: nothing fails without it
  }
#endif
  return static_cast<char*>(memory);
}

void free_large(char* memory) noexcept {
  std::free(memory);
}

}  // namespace m3u2lst::platform
