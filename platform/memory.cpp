#include "platform/memory.h"

#include "platform/kernel.h"
#include "platform/memory_internal.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>

namespace osc::win {
namespace detail {
namespace {

constexpr std::size_t kHugePage = std::size_t{2} << 20;
constexpr std::size_t kHugeFrom = std::size_t{1} << 20;

void* map_anonymous(std::size_t size) {
  void* block = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  return block == MAP_FAILED ? nullptr : block;
}

bool huge(std::size_t size) {
  return size >= kHugeFrom && size <= SIZE_MAX / 2;
}

// What a block of `size` maps: huge blocks in whole huge pages.
std::size_t mapped_length(std::size_t size) {
  return huge(size) ? (size + kHugePage - 1) & ~(kHugePage - 1) : size;
}

// Blocks of 1 MiB and more (a recording, a record file read back) are whole 2 MiB huge
// pages on a 2 MiB boundary: filling one then takes a few page faults instead of
// thousands, which is most of the time a load takes. The huge pages are only a hint;
// the slack mapped to find the boundary is given back at once.
void* system_map(std::size_t size) {
  if (!huge(size)) return map_anonymous(size);
  const std::size_t length = mapped_length(size);
  auto* raw = static_cast<char*>(map_anonymous(length + kHugePage));
  if (raw == nullptr) return nullptr;
  const auto start = reinterpret_cast<std::uintptr_t>(raw);
  const std::uintptr_t aligned = (start + kHugePage - 1) & ~std::uintptr_t{kHugePage - 1};
  const std::size_t head = aligned - start;
  if (head > 0) munmap(raw, head);
  munmap(raw + head + length, kHugePage - head);
  madvise(raw + head, length, MADV_HUGEPAGE);
  return raw + head;
}

void system_unmap(void* block, std::size_t size) {
  munmap(block, mapped_length(size));
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
