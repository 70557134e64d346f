#include "platform/kernel/memory.h"

#include "platform/kernel/kernel.h"
#include "platform/kernel/memory_internal.h"

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

std::size_t page_rounded(std::size_t size) {
  const auto page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
  return (size + page - 1) & ~(page - 1);
}

// Blocks of 1 MiB and more (a recording, a record file read back) start on a 2 MiB
// boundary, so that each whole 2 MiB of them can be a huge page: filling one then takes
// a few page faults instead of thousands, which is most of the time a load takes. The
// mapping ends with the block, so its tail keeps small pages and a block never costs
// more than its size (a whole last huge page would add up to 2 MiB per store). The huge
// pages are only a hint; the slack mapped to find the boundary is given back at once.
void* system_map(std::size_t size) {
  if (!huge(size)) return map_anonymous(size);
  const std::size_t length = page_rounded(size);
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
  munmap(block, page_rounded(size));
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
