// Kernel objects: threads and their termination, closed handles, memory blocks.
#include "platform/kernel/threads.h"

#include "platform/kernel/kernel.h"
#include "platform/kernel/memory.h"
#include "platform/kernel/threads_internal.h"

#include <gtest/gtest.h>
#include <poll.h>
#include <unistd.h>

#include <atomic>
#include <cstdint>
#include <fstream>
#include <functional>
#include <mutex>

using namespace osc::win;

namespace {

constexpr DWORD kLong = 10000;  // generous: only reached when something is broken

#if defined(__SANITIZE_THREAD__)
constexpr bool kThreadSanitizer = true;
#else
constexpr bool kThreadSanitizer = false;
#endif

// A thread running a std::function as its routine.
struct ThreadCase {
  std::function<DWORD()> body;
  HANDLE thread = nullptr;

  explicit ThreadCase(std::function<DWORD()> b, DWORD flags = 0) : body(std::move(b)) {
    DWORD id = 0;
    thread =
        CreateThread([](void* p) { return (*static_cast<std::function<DWORD()>*>(p))(); }, &body, flags, &id);
  }
  ~ThreadCase() {
    if (thread) {
      WaitForSingleObject(thread, kLong);
      CloseHandle(thread);
    }
  }
  DWORD exit_code() const {
    DWORD code = 0xdeadbeef;
    EXPECT_TRUE(GetExitCodeThread(thread, &code));
    return code;
  }
};

struct Event {
  HANDLE h = CreateEvent(true, false);
  ~Event() { CloseHandle(h); }
  void set() const { SetEvent(h); }
  bool wait() const { return WaitForSingleObject(h, kLong) == WAIT_OBJECT_0; }
};

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

// A routine blocked in each kind of cancellation point is unwound: its destructors run
// and its locks are released, and the handle reports the requested exit code.
TEST(Threads, TerminateUnwindsARoutineBlockedInACancellationPoint) {
  struct Blocker {
    const char* name;
    std::function<void(HANDLE never)> block;
    // ThreadSanitizer loses track of a thread cancelled inside poll() and then
    // reports races that are not there.
    bool sanitizerFollows = true;
  };
  int pipeFds[2];
  ASSERT_EQ(pipe(pipeFds), 0);
  const Blocker blockers[] = {
      {"Sleep", [](HANDLE) { Sleep(60000); }},
      {"WaitForSingleObject", [](HANDLE never) { WaitForSingleObject(never, INFINITE); }},
      {"WaitForSingleObject with time-out", [](HANDLE never) { WaitForSingleObject(never, 60000); }},
      {"poll",
       [&](HANDLE) {
         pollfd p{pipeFds[0], POLLIN, 0};
         poll(&p, 1, -1);
       },
       false},
      {"read",
       [&](HANDLE) {
         char c;
         [[maybe_unused]] auto n = read(pipeFds[0], &c, 1);
       }},
  };
  for (const auto& b : blockers) {
    SCOPED_TRACE(b.name);
    if (kThreadSanitizer && !b.sanitizerFollows) continue;
    Event never, entered;
    std::mutex held;
    std::atomic<bool> unwound{false}, returned{false};
    ThreadCase t([&] {
      struct Guard {
        std::atomic<bool>& flag;
        ~Guard() { flag = true; }
      } guard{unwound};
      std::lock_guard lock(held);
      entered.set();
      b.block(never.h);
      returned = true;
      return DWORD{0};
    });
    ASSERT_TRUE(entered.wait());
    EXPECT_TRUE(TerminateThread(t.thread, 77));
    EXPECT_EQ(WaitForSingleObject(t.thread, 0), WAIT_OBJECT_0);
    EXPECT_EQ(t.exit_code(), 77u);
    EXPECT_TRUE(unwound);
    EXPECT_FALSE(returned);
    EXPECT_TRUE(held.try_lock());
    held.unlock();
  }
  close(pipeFds[0]);
  close(pipeFds[1]);
}

// Waits for the grace period once: a routine that shields itself from cancellation
// cannot be killed, and that is reported, not hidden.
TEST(Threads, TerminateReportsARoutineThatCannotBeUnwound) {
  Event entered, release;
  ThreadCase t([&] {
    CancellationDisabled shield;
    entered.set();
    release.wait();
    return DWORD{4};
  });
  ASSERT_TRUE(entered.wait());
  SetLastError(0);
  EXPECT_FALSE(TerminateThread(t.thread, 1));
  EXPECT_EQ(GetLastError(), ERROR_TIMEOUT);
  EXPECT_EQ(t.exit_code(), STILL_ACTIVE);
  release.set();
  ASSERT_EQ(WaitForSingleObject(t.thread, kLong), WAIT_OBJECT_0);
  EXPECT_EQ(t.exit_code(), 4u);  // ended on its own before reaching a cancellation point
}

TEST(Kernel, ClosedHandleIsReportedNotUsed) {
  HANDLE e = CreateEvent(true, true);
  ASSERT_TRUE(CloseHandle(e));
  SetLastError(0xdeadbeef);
  EXPECT_EQ(WaitForSingleObject(e, 0), WAIT_FAILED);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  EXPECT_FALSE(SetEvent(e));
  EXPECT_FALSE(CloseHandle(e));
  EXPECT_FALSE(CloseHandle(INVALID_HANDLE_VALUE));
}

// Large blocks are laid out for huge pages; every size must still be zero-filled,
// writable to its last byte, map no more than its own pages and be given back whole.
TEST(Memory, BlocksAreZeroedWritableAndGivenBackWhole) {
  for (std::size_t size : {std::size_t{4096}, std::size_t{(1 << 20) - 1}, std::size_t{1 << 20},
                           std::size_t{2 << 20}, std::size_t{6912256}, std::size_t{11520 * 600 * 3 + 256}}) {
    SCOPED_TRACE(size);
    const std::uint64_t before = MappedBytes();
    auto* block = static_cast<std::uint8_t*>(VirtualAlloc(size));
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
    VirtualFree(block, size);
    EXPECT_EQ(MappedBytes(), before);
  }
}
