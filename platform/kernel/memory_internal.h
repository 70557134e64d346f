#pragma once
// Internal to the platform layer: the system calls behind platform/kernel/memory.h, in one
// place so that tests can make an allocation fail.
#include <cstddef>

namespace osc::win::detail {

struct MemoryCalls {
  void* (*map)(std::size_t size);  // nullptr on failure
  void (*unmap)(void* block, std::size_t size);
};

// The calls in use; tests replace them and put the originals back.
MemoryCalls& memory_calls();
MemoryCalls system_memory_calls();

}  // namespace osc::win::detail
