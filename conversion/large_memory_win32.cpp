// Large memory on Windows: the heap's, as for anything else.
#include <cstdlib>

#include "large_memory.hpp"

namespace m3u2lst::platform {

char* allocate_large(std::size_t size) noexcept {
  return static_cast<char*>(std::malloc(size == 0 ? 1 : size));
}

void free_large(char* memory) noexcept {
  std::free(memory);
}

}  // namespace m3u2lst::platform
