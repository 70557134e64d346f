#include "platform/memory.h"

#include "platform/kernel.h"
#include "platform/memory_internal.h"

#include <sys/mman.h>

namespace osc::win {
namespace detail {
namespace {

void* system_map(std::size_t size) {
  void* block = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  return block == MAP_FAILED ? nullptr : block;
}

void system_unmap(void* block, std::size_t size) {
  munmap(block, size);
}

}  // namespace

MemoryCalls system_memory_calls() {
  return {&system_map, &system_unmap};
}

MemoryCalls& memory_calls() {
  static MemoryCalls calls = system_memory_calls();
  return calls;
}

}  // namespace detail

void* VirtualAlloc(std::size_t size) {
  void* block = size == 0 ? nullptr : detail::memory_calls().map(size);
  if (block == nullptr) SetLastError(ERROR_NOT_ENOUGH_MEMORY);
  return block;
}

void VirtualFree(void* block, std::size_t size) {
  if (block != nullptr) detail::memory_calls().unmap(block, size);
}

}  // namespace osc::win
