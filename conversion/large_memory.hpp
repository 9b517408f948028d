// Memory for a large text the program writes once and then reads, such as a
// UTF-16 playlist's UTF-8 text. One source per platform (large_memory_*.cpp).
#pragma once

#include <cstddef>
#include <memory>

namespace m3u2lst::platform {

/// `size` bytes, not zeroed; where the system can (Linux), in huge pages,
/// whose first touch costs a small part of what 4 KiB pages cost on the
/// virtual machines most runs see. Null when memory runs out.
char* allocate_large(std::size_t size) noexcept;

/// Frees memory from allocate_large; null is ignored.
void free_large(char* memory) noexcept;

struct LargeMemoryFree {
  void operator()(char* memory) const noexcept { free_large(memory); }
};
using LargeMemory = std::unique_ptr<char[], LargeMemoryFree>;

}  // namespace m3u2lst::platform
