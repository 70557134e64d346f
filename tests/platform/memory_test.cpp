#include "platform/kernel/memory.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <string>

#include <unistd.h>

using namespace osc;

namespace {

// Bytes of this process's mappings: a block given back only in part would leave some.
std::uint64_t MappedBytes() {
  std::ifstream maps("/proc/self/maps");
  std::uint64_t total = 0;
  std::string line;
  while (std::getline(maps, line)) {
    const auto dash = line.find('-');
    const auto space = line.find(' ');
    total += std::stoull(line.substr(dash + 1, space - dash - 1), nullptr, 16) -
             std::stoull(line.substr(0, dash), nullptr, 16);
  }
  return total;
}

}  // namespace

// Large blocks are laid out for huge pages; every size must still be zero-filled,
// writable to its last byte, map no more than its own pages and be given back whole.
TEST(Memory, BlocksAreZeroedWritableAndGivenBackWhole) {
  for (std::size_t size : {std::size_t{4096}, std::size_t{(1 << 20) - 1}, std::size_t{1 << 20},
                           std::size_t{2 << 20}, std::size_t{6912256}, std::size_t{11520 * 600 * 3 + 256}}) {
    SCOPED_TRACE(size);
    const std::uint64_t before = MappedBytes();
    auto* block = static_cast<std::uint8_t*>(win::VirtualAlloc(size));
    ASSERT_NE(block, nullptr);
    if (size >= (1 << 20)) {
      EXPECT_EQ(reinterpret_cast<std::uintptr_t>(block) % (2 << 20), 0u);
    }
    const std::size_t page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
    EXPECT_EQ(MappedBytes() - before, (size + page - 1) / page * page);
    EXPECT_EQ(block[0], 0);
    EXPECT_EQ(block[size / 2], 0);
    EXPECT_EQ(block[size - 1], 0);
    block[size - 1] = 0xA5;
    win::VirtualFree(block, size);
    EXPECT_EQ(MappedBytes(), before);
  }
}
