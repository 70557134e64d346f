// Reads and writes through the real termios backend on a pseudo-terminal: issue order,
// cancellation, purge, the input queue, break, a vanishing device, a cancelled thread.
#include "platform/comm/comm.h"
#include "platform/kernel/kernel.h"
#include "platform/kernel/kernel_object.h"
#include "support/comm_support.h"

#include <gtest/gtest.h>

#include <pthread.h>
#include <array>
#include <atomic>
#include <cerrno>
#include <thread>

using namespace osc::win;
using osc::test::Bytes;
using osc::test::Pattern;

namespace {

struct PendingRead {
  Bytes buffer;
  OVERLAPPED ov{};
  explicit PendingRead(DWORD count) : buffer(count, 0xbd) { ov.hEvent = CreateEvent(true, true); }
  ~PendingRead() { CloseHandle(ov.hEvent); }
  PendingRead(const PendingRead&) = delete;
  PendingRead& operator=(const PendingRead&) = delete;

  BOOL Issue(HANDLE port) {
    DWORD n = 0;
    return ReadFile(port, buffer.data(), static_cast<DWORD>(buffer.size()), &n, &ov);
  }
  bool Done() const { return WaitForSingleObject(ov.hEvent, 0) == WAIT_OBJECT_0; }
  bool WaitDone() const { return WaitForSingleObject(ov.hEvent, 10000) == WAIT_OBJECT_0; }
  // GetOverlappedResult without waiting: {ok, error, count}.
  std::tuple<BOOL, DWORD, DWORD> Result(HANDLE port) {
    DWORD n = 0xdeadbeef;
    SetLastError(0);
    BOOL ok = GetOverlappedResult(port, &ov, &n, false);
    return {ok, ok ? 0 : GetLastError(), n};
  }
};

class CommIo : public ::testing::Test {
 protected:
  void SetUp() override { port_ = Open(FILE_FLAG_OVERLAPPED); }
  void TearDown() override {
    if (port_ != INVALID_HANDLE_VALUE) CloseHandle(port_);
  }
  HANDLE Open(DWORD flags) {
    HANDLE h = CreateFile(pty_.path(), GENERIC_READ | GENERIC_WRITE, 0, OPEN_EXISTING, flags);
    EXPECT_NE(h, INVALID_HANDLE_VALUE);
    return h;
  }
  void Reopen(DWORD flags) {
    CloseHandle(port_);
    port_ = Open(flags);
  }
  void SetTimeouts(DWORD ri, DWORD rm, DWORD rc) {
    COMMTIMEOUTS t{ri, rm, rc, 0, 0};
    ASSERT_TRUE(SetCommTimeouts(port_, &t));
  }

  osc::test::PtyPair pty_;
  HANDLE port_ = INVALID_HANDLE_VALUE;
};

TEST_F(CommIo, OverlappedReadsCompleteInIssueOrder) {
  std::array<std::unique_ptr<PendingRead>, 8> reads;
  for (auto& r : reads) {
    r = std::make_unique<PendingRead>(100);
    ASSERT_FALSE(r->Issue(port_));
    ASSERT_EQ(GetLastError(), ERROR_IO_PENDING);
    EXPECT_FALSE(r->Done()) << "issuing resets the event";
  }
  Bytes line = Pattern(800, 1);
  // Chunks that straddle the request boundaries.
  for (std::size_t at = 0; at < line.size(); at += 130) {
    pty_.Send(Bytes(line.begin() + at, line.begin() + std::min(line.size(), at + 130)));
  }
  for (std::size_t i = 0; i < reads.size(); ++i) {
    ASSERT_TRUE(reads[i]->WaitDone()) << i;
    auto [ok, error, n] = reads[i]->Result(port_);
    EXPECT_TRUE(ok);
    EXPECT_EQ(n, 100u);
    EXPECT_EQ(reads[i]->buffer, Bytes(line.begin() + i * 100, line.begin() + (i + 1) * 100)) << i;
  }
}

TEST_F(CommIo, StreamThroughThirtyTwoRecycledReadsKeepsEveryByteInOrder) {
  // The acquisition ring: 32 block reads pending, each reissued as soon as it is used.
  // A pseudo-terminal has no baud rate, so the far end keeps no more than the pending
  // reads can take ahead of the reader, as a line at 115200 Bd does.
  SetTimeouts(400, 10, 400);
  ASSERT_TRUE(SetupComm(port_, 16384, 1024));
  constexpr DWORD kBlock = 2400;
  constexpr std::size_t kBlocks = 200;
  constexpr std::size_t kRing = 32;
  Bytes line = Pattern(kBlock * kBlocks, 2);
  std::array<std::unique_ptr<PendingRead>, kRing> ring;
  for (auto& r : ring) {
    r = std::make_unique<PendingRead>(kBlock);
    r->Issue(port_);
  }
  std::atomic<std::size_t> used{0};
  std::atomic<bool> stop{false};
  std::thread sender([&] {
    for (std::size_t at = 0; at < line.size() && !stop; at += 600) {
      while (!stop && at + 600 > (used + kRing) * kBlock)
        std::this_thread::yield();
      pty_.Send(Bytes(line.begin() + at, line.begin() + at + 600));
    }
  });
  Bytes got;
  for (std::size_t block = 0; block < kBlocks; ++block) {
    auto& r = ring[block % kRing];
    if (!r->WaitDone()) break;
    auto [ok, error, n] = r->Result(port_);
    EXPECT_TRUE(ok);
    EXPECT_EQ(n, kBlock) << block;
    got.insert(got.end(), r->buffer.begin(), r->buffer.begin() + n);
    if (block + kRing < kBlocks) r->Issue(port_);
    ++used;
  }
  stop = true;
  sender.join();
  EXPECT_TRUE(got == line);
  DWORD errors = 0xdeadbeef;
  EXPECT_TRUE(ClearCommError(port_, &errors, nullptr));
  EXPECT_EQ(errors, 0u);
  EXPECT_EQ(osc::test::PortOf(port_).stats().dropped, 0u);
}

TEST_F(CommIo, OverlappedReadSatisfiedFromTheQueueCompletesAtOnce) {
  pty_.Send(Pattern(10, 3));
  ASSERT_TRUE(osc::test::WaitReceived(port_, 10));
  PendingRead r(10);
  DWORD n = 0;
  ASSERT_TRUE(ReadFile(port_, r.buffer.data(), 10, &n, &r.ov));
  EXPECT_EQ(n, 10u);
  EXPECT_TRUE(r.Done());
  EXPECT_EQ(r.buffer, Pattern(10, 3));
}

TEST_F(CommIo, GetOverlappedResultWithoutWaitReportsIncomplete) {
  PendingRead r(5);
  ASSERT_FALSE(r.Issue(port_));
  auto [ok, error, n] = r.Result(port_);
  EXPECT_FALSE(ok);
  EXPECT_EQ(error, ERROR_IO_INCOMPLETE);
  std::thread late([&] { pty_.Send(Pattern(5, 4)); });
  DWORD got = 0;
  EXPECT_TRUE(GetOverlappedResult(port_, &r.ov, &got, true)) << "waits for the end";
  EXPECT_EQ(got, 5u);
  late.join();
}

TEST_F(CommIo, CancelIoEndsOnlyTheCallingThreadsRequests) {
  PendingRead mine1(4), theirs(4), mine2(4);
  ASSERT_FALSE(mine1.Issue(port_));
  std::thread other([&] { theirs.Issue(port_); });
  other.join();
  ASSERT_FALSE(mine2.Issue(port_));
  ASSERT_TRUE(CancelIo(port_));
  ASSERT_TRUE(mine1.Done());
  ASSERT_TRUE(mine2.Done());
  EXPECT_EQ(mine1.Result(port_), std::make_tuple(BOOL{0}, ERROR_OPERATION_ABORTED, DWORD{0}));
  EXPECT_EQ(mine2.Result(port_), std::make_tuple(BOOL{0}, ERROR_OPERATION_ABORTED, DWORD{0}));
  EXPECT_EQ(mine1.buffer, Bytes(4, 0xbd)) << "a cancelled read got nothing";
  EXPECT_FALSE(theirs.Done());
  pty_.Send(Pattern(4, 5));
  ASSERT_TRUE(theirs.WaitDone());
  EXPECT_EQ(theirs.Result(port_), std::make_tuple(BOOL{1}, DWORD{0}, DWORD{4}));
  EXPECT_EQ(theirs.buffer, Pattern(4, 5));
}

TEST_F(CommIo, CancelledPartialReadReportsWhatItTook) {
  PendingRead r(10);
  ASSERT_FALSE(r.Issue(port_));
  pty_.Send(Pattern(3, 6));
  ASSERT_TRUE(osc::test::WaitReceived(port_, 3));
  ASSERT_TRUE(CancelIo(port_));
  EXPECT_EQ(r.Result(port_), std::make_tuple(BOOL{0}, ERROR_OPERATION_ABORTED, DWORD{3}));
}

TEST_F(CommIo, PurgeAbortEndsEveryThreadsReadsAndClearEmptiesTheQueue) {
  PendingRead a(4), b(4);
  ASSERT_FALSE(a.Issue(port_));
  std::thread other([&] { b.Issue(port_); });
  other.join();
  ASSERT_TRUE(PurgeComm(port_, PURGE_RXABORT));
  EXPECT_EQ(std::get<1>(a.Result(port_)), ERROR_OPERATION_ABORTED);
  EXPECT_EQ(std::get<1>(b.Result(port_)), ERROR_OPERATION_ABORTED);

  pty_.Send(Pattern(50, 7));
  ASSERT_TRUE(osc::test::WaitReceived(port_, 50));
  COMSTAT stat{};
  ASSERT_TRUE(ClearCommError(port_, nullptr, &stat));
  EXPECT_EQ(stat.cbInQue, 50u);
  ASSERT_TRUE(PurgeComm(port_, PURGE_RXCLEAR));
  ASSERT_TRUE(ClearCommError(port_, nullptr, &stat));
  EXPECT_EQ(stat.cbInQue, 0u);
  // What comes after the purge is read, not what came before.
  pty_.Send(Pattern(4, 8));
  PendingRead c(4);
  c.Issue(port_);
  ASSERT_TRUE(c.WaitDone());
  EXPECT_EQ(c.buffer, Pattern(4, 8));
}

TEST_F(CommIo, PurgeClearLeavesPendingReadsAndRefusesUnknownFlags) {
  PendingRead r(2);
  ASSERT_FALSE(r.Issue(port_));
  ASSERT_TRUE(PurgeComm(port_, PURGE_RXCLEAR | PURGE_TXCLEAR));
  EXPECT_FALSE(r.Done());
  SetLastError(0);
  EXPECT_FALSE(PurgeComm(port_, 0x10));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  pty_.Send(Pattern(2, 9));
  EXPECT_TRUE(r.WaitDone());
}

TEST_F(CommIo, PurgeTxAbortEndsAStalledWrite) {
  Bytes big = Pattern(4 << 20, 10);
  OVERLAPPED ov{};
  ov.hEvent = CreateEvent(true, false);
  DWORD n = 0;
  ASSERT_FALSE(WriteFile(port_, big.data(), static_cast<DWORD>(big.size()), &n, &ov));
  ASSERT_TRUE(PurgeComm(port_, PURGE_TXABORT));
  ASSERT_EQ(WaitForSingleObject(ov.hEvent, 0), WAIT_OBJECT_0);
  EXPECT_FALSE(GetOverlappedResult(port_, &ov, &n, false));
  EXPECT_EQ(GetLastError(), ERROR_OPERATION_ABORTED);
  CloseHandle(ov.hEvent);
}

TEST_F(CommIo, InputQueueKeepsBytesWhileNoReadIsPending) {
  // More than the kernel's own 4 KiB tty buffer, less than the queue.
  ASSERT_TRUE(SetupComm(port_, 16384, 1024));
  Bytes line = Pattern(12000, 11);
  pty_.Send(line);
  ASSERT_TRUE(osc::test::WaitReceived(port_, line.size()));
  DWORD errors = 0xdeadbeef;
  COMSTAT stat{};
  ASSERT_TRUE(ClearCommError(port_, &errors, &stat));
  EXPECT_EQ(errors, 0u);
  EXPECT_EQ(stat.cbInQue, line.size());
  PendingRead r(12000);
  DWORD n = 0;
  ASSERT_TRUE(ReadFile(port_, r.buffer.data(), 12000, &n, &r.ov));
  EXPECT_TRUE(r.buffer == line);
}

TEST_F(CommIo, BytesBeyondTheInputQueueAreDroppedAndReported) {
  ASSERT_TRUE(SetupComm(port_, 1000, 1024));
  Bytes line = Pattern(3000, 12);
  pty_.Send(line);
  ASSERT_TRUE(osc::test::WaitReceived(port_, line.size()));
  EXPECT_EQ(osc::test::PortOf(port_).stats().dropped, 2000u);
  DWORD errors = 0;
  COMSTAT stat{};
  ASSERT_TRUE(ClearCommError(port_, &errors, &stat));
  EXPECT_EQ(errors, CE_RXOVER);
  EXPECT_EQ(stat.cbInQue, 1000u);
  ASSERT_TRUE(ClearCommError(port_, &errors, &stat));
  EXPECT_EQ(errors, 0u) << "the query clears the report";
  SetTimeouts(MAXDWORD, 0, 0);
  Bytes got(3000);
  DWORD n = 0;
  OVERLAPPED ov{};
  ASSERT_TRUE(ReadFile(port_, got.data(), 3000, &n, &ov));
  ASSERT_EQ(n, 1000u);
  EXPECT_EQ(Bytes(got.begin(), got.begin() + 1000), Bytes(line.begin(), line.begin() + 1000))
      << "the oldest kept";
}

TEST_F(CommIo, ShrinkingTheQueueKeepsTheOldestAndReports) {
  pty_.Send(Pattern(300, 13));
  ASSERT_TRUE(osc::test::WaitReceived(port_, 300));
  ASSERT_TRUE(SetupComm(port_, 100, 100));
  DWORD errors = 0;
  COMSTAT stat{};
  ASSERT_TRUE(ClearCommError(port_, &errors, &stat));
  EXPECT_EQ(errors, CE_RXOVER);
  EXPECT_EQ(stat.cbInQue, 100u);
  SetLastError(0);
  EXPECT_FALSE(SetupComm(port_, 0, 100));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  EXPECT_FALSE(SetupComm(port_, 0xFFFFFFFF, 100)) << "no 4 GiB queue";
}

TEST_F(CommIo, WritesWaitWhileTheLineIsInBreak) {
  ASSERT_TRUE(SetCommBreak(port_));
  Bytes data = Pattern(20, 14);
  OVERLAPPED ov{};
  ov.hEvent = CreateEvent(true, false);
  DWORD n = 0;
  ASSERT_FALSE(WriteFile(port_, data.data(), 20, &n, &ov));
  ASSERT_EQ(GetLastError(), ERROR_IO_PENDING);
  osc::test::Sync(port_);
  EXPECT_EQ(WaitForSingleObject(ov.hEvent, 0), WAIT_TIMEOUT);
  COMSTAT stat{};
  ASSERT_TRUE(ClearCommError(port_, nullptr, &stat));
  EXPECT_EQ(stat.cbOutQue, 20u);
  ASSERT_TRUE(ClearCommBreak(port_));
  ASSERT_EQ(WaitForSingleObject(ov.hEvent, 10000), WAIT_OBJECT_0);
  EXPECT_EQ(pty_.Receive(20), data);
  CloseHandle(ov.hEvent);
}

TEST_F(CommIo, BlockingTransfersBothWays) {
  Reopen(0);
  Bytes out = Pattern(5000, 15);
  DWORD n = 0;
  std::thread far([&] { EXPECT_EQ(pty_.Receive(out.size()), out); });
  ASSERT_TRUE(WriteFile(port_, out.data(), static_cast<DWORD>(out.size()), &n, nullptr));
  EXPECT_EQ(n, out.size());
  far.join();
  pty_.Send(Pattern(7, 16));
  Bytes in(7);
  ASSERT_TRUE(ReadFile(port_, in.data(), 7, &n, nullptr));
  EXPECT_EQ(n, 7u);
  EXPECT_EQ(in, Pattern(7, 16));
}

TEST_F(CommIo, BlockingReadThatTimesOutReturnsWhatArrived) {
  // Real time here, but only the result is checked, never the duration.
  Reopen(0);
  SetTimeouts(0, 0, 30);
  pty_.Send(Pattern(3, 17));
  ASSERT_TRUE(osc::test::WaitReceived(port_, 3));
  Bytes in(10, 0xbd);
  DWORD n = 0xdeadbeef;
  ASSERT_TRUE(ReadFile(port_, in.data(), 10, &n, nullptr));
  EXPECT_EQ(n, 3u);
  EXPECT_EQ(Bytes(in.begin(), in.begin() + 3), Pattern(3, 17));
  EXPECT_EQ(Bytes(in.begin() + 3, in.end()), Bytes(7, 0xbd)) << "nothing written past the count";
  ASSERT_TRUE(ReadFile(port_, in.data(), 10, &n, nullptr));
  EXPECT_EQ(n, 0u);
}

TEST_F(CommIo, CloseEndsPendingRequestsOfEveryKind) {
  PendingRead r(4);
  ASSERT_FALSE(r.Issue(port_));
  HANDLE blocking = CreateFile(pty_.path(), GENERIC_READ, 0, OPEN_EXISTING, 0);
  EXPECT_EQ(blocking, INVALID_HANDLE_VALUE) << "exclusive while open";
  ASSERT_TRUE(CloseHandle(port_));
  ASSERT_TRUE(r.Done());
  EXPECT_EQ(std::get<1>(r.Result(port_)), ERROR_OPERATION_ABORTED);
  port_ = Open(0);
  std::atomic<BOOL> ok{1};
  std::atomic<DWORD> error{0};
  std::thread reader([&] {
    Bytes in(4);
    DWORD n = 0;
    ok = ReadFile(port_, in.data(), 4, &n, nullptr);
    error = GetLastError();
  });
  ASSERT_TRUE(osc::test::WaitPendingReads(port_, 1));
  HANDLE h = port_;
  port_ = INVALID_HANDLE_VALUE;
  ASSERT_TRUE(CloseHandle(h));
  reader.join();
  EXPECT_FALSE(ok);
  EXPECT_EQ(error, ERROR_OPERATION_ABORTED);
  SetLastError(0);
  Bytes in(4);
  DWORD n = 0;
  EXPECT_FALSE(ReadFile(h, in.data(), 4, &n, nullptr));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
}

TEST_F(CommIo, VanishedDeviceFailsPendingAndLaterTransfers) {
  PendingRead r(4);
  ASSERT_FALSE(r.Issue(port_));
  pty_.CloseMaster();
  ASSERT_TRUE(r.WaitDone());
  EXPECT_EQ(std::get<1>(r.Result(port_)), ERROR_DEVICE_NOT_CONNECTED);
  SetLastError(0);
  EXPECT_FALSE(r.Issue(port_));
  EXPECT_EQ(GetLastError(), ERROR_DEVICE_NOT_CONNECTED);
  Bytes out(3);
  DWORD n = 0;
  OVERLAPPED ov{};
  EXPECT_FALSE(WriteFile(port_, out.data(), 3, &n, &ov));
  EXPECT_EQ(GetLastError(), ERROR_DEVICE_NOT_CONNECTED);
  DWORD errors = 0;
  EXPECT_FALSE(ClearCommError(port_, &errors, nullptr));
  EXPECT_TRUE(CloseHandle(port_));
  port_ = INVALID_HANDLE_VALUE;
}

TEST_F(CommIo, AbortOnErrorFailsTransfersUntilTheErrorIsCleared) {
  DCB dcb{};
  ASSERT_TRUE(GetCommState(port_, &dcb));
  dcb.Flags |= DCB_fAbortOnError;
  ASSERT_TRUE(SetCommState(port_, &dcb));
  ASSERT_TRUE(SetupComm(port_, 10, 10));
  pty_.Send(Pattern(20, 18));
  ASSERT_TRUE(osc::test::WaitReceived(port_, 20));
  PendingRead r(4);
  SetLastError(0);
  EXPECT_FALSE(r.Issue(port_));
  EXPECT_EQ(GetLastError(), ERROR_OPERATION_ABORTED);
  DWORD errors = 0;
  ASSERT_TRUE(ClearCommError(port_, &errors, nullptr));
  EXPECT_EQ(errors, CE_RXOVER);
  DWORD n = 0;
  EXPECT_TRUE(r.Issue(port_));
  EXPECT_EQ(r.buffer, Pattern(4, 18));
  (void)n;
}

// The thread layer may end a thread blocked in ReadFile with pthread_cancel as a last
// resort; the port must not write into the dead thread's stack afterwards.
void* BlockedReader(void* arg) {
  HANDLE port = *static_cast<HANDLE*>(arg);
  std::uint8_t buffer[64];
  DWORD n = 0;
  ReadFile(port, buffer, sizeof buffer, &n, nullptr);
  return nullptr;
}

TEST_F(CommIo, ThreadCancelledInsideABlockingReadLeavesThePortUsable) {
  Reopen(0);
  pthread_t thread{};
  ASSERT_EQ(pthread_create(&thread, nullptr, BlockedReader, &port_), 0);
  ASSERT_TRUE(osc::test::WaitPendingReads(port_, 1));
  ASSERT_EQ(pthread_cancel(thread), 0);
  void* exit = nullptr;
  ASSERT_EQ(pthread_join(thread, &exit), 0);
  EXPECT_EQ(exit, PTHREAD_CANCELED);
  EXPECT_EQ(osc::test::PortOf(port_).stats().pending_reads, 0u) << "the request went with the thread";
  pty_.Send(Pattern(8, 19));
  Bytes in(8);
  DWORD n = 0;
  ASSERT_TRUE(ReadFile(port_, in.data(), 8, &n, nullptr));
  EXPECT_EQ(in, Pattern(8, 19)) << "no byte went to the cancelled read";
}

// The buffer goes with the thread's unwinding: AddressSanitizer sees any later use.
void* BlockedWriter(void* arg) {
  HANDLE port = *static_cast<HANDLE*>(arg);
  auto buffer = std::make_unique<std::vector<std::uint8_t>>(4 << 20, 0x77);
  DWORD n = 0;
  WriteFile(port, buffer->data(), static_cast<DWORD>(buffer->size()), &n, nullptr);
  return nullptr;
}

TEST_F(CommIo, ThreadCancelledInsideABlockingWriteLeavesThePortUsable) {
  Reopen(0);
  pthread_t thread{};
  ASSERT_EQ(pthread_create(&thread, nullptr, BlockedWriter, &port_), 0);
  ASSERT_TRUE(osc::test::WaitUntil([&] { return osc::test::PortOf(port_).stats().pending_writes == 1; }));
  ASSERT_EQ(pthread_cancel(thread), 0);
  ASSERT_EQ(pthread_join(thread, nullptr), 0);
  EXPECT_EQ(osc::test::PortOf(port_).stats().pending_writes, 0u);
  // What the cancelled write had sent is still on its way; the new bytes follow it.
  Bytes out = Pattern(10, 22);
  DWORD n = 0;
  std::thread far([&] {
    Bytes seen;
    while (seen.size() < 10 || !std::equal(out.begin(), out.end(), seen.end() - 10)) {
      Bytes more = pty_.Receive(1, 10000);
      if (more.empty()) break;
      seen.insert(seen.end(), more.begin(), more.end());
    }
    ASSERT_GE(seen.size(), 10u);
    EXPECT_EQ(Bytes(seen.begin(), seen.end() - 10), Bytes(seen.size() - 10, 0x77));
  });
  ASSERT_TRUE(WriteFile(port_, out.data(), 10, &n, nullptr));
  EXPECT_EQ(n, 10u);
  far.join();
}

TEST_F(CommIo, StaleAndForeignHandlesAreRefused) {
  HANDLE event = CreateEvent(true, false);
  Bytes in(4);
  DWORD n = 0;
  SetLastError(0);
  EXPECT_FALSE(ReadFile(event, in.data(), 4, &n, nullptr));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  EXPECT_FALSE(PurgeComm(event, PURGE_RXCLEAR));
  EXPECT_FALSE(ClearCommError(INVALID_HANDLE_VALUE, nullptr, nullptr));
  OVERLAPPED ov{};
  ov.hEvent = port_;  // not an event
  EXPECT_FALSE(ReadFile(port_, in.data(), 4, &n, &ov));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  CloseHandle(event);
}

// System calls interrupted by signals or finding nothing to do must not lose or repeat
// bytes. Only the device's calls fail: the port's wake-up eventfd reports EAGAIN only
// when a wake-up is already pending.
std::atomic<int> interrupt_counter{0};
bool Interrupt(int fd) {
  return isatty(fd) && interrupt_counter.fetch_add(1) % 2 == 0;
}

TEST(CommSysFaults, InterruptedAndEmptySystemCallsAreRetried) {
  osc::win::detail::CommSys faulty = osc::win::detail::real_comm_sys();
  faulty.read = [](int fd, void* b, std::size_t c) -> ssize_t {
    if (Interrupt(fd)) {
      errno = interrupt_counter % 3 ? EINTR : EAGAIN;
      return -1;
    }
    return ::read(fd, b, c);
  };
  faulty.write = [](int fd, const void* b, std::size_t c) -> ssize_t {
    if (Interrupt(fd)) {
      errno = interrupt_counter % 3 ? EINTR : EAGAIN;
      return -1;
    }
    return ::write(fd, b, std::min<std::size_t>(c, 100));
  };
  faulty.poll = [](pollfd* f, nfds_t n, int t) {
    if (n > 1 && Interrupt(f[1].fd)) {
      errno = EINTR;
      return -1;
    }
    return ::poll(f, n, t);
  };
  faulty.tcsetattr = [](int fd, int a, const termios* t) {
    if (Interrupt(fd)) {
      errno = EINTR;
      return -1;
    }
    return ::tcsetattr(fd, a, t);
  };
  osc::win::detail::set_comm_sys(&faulty);
  {
    osc::test::PtyPair pty;
    HANDLE port = CreateFile(pty.path(), GENERIC_READ | GENERIC_WRITE, 0, OPEN_EXISTING, 0);
    ASSERT_NE(port, INVALID_HANDLE_VALUE);
    DCB dcb{};
    ASSERT_TRUE(GetCommState(port, &dcb));
    dcb.BaudRate = 115200;
    EXPECT_TRUE(SetCommState(port, &dcb));
    Bytes out = Pattern(3000, 20);
    std::thread far([&] { EXPECT_EQ(pty.Receive(out.size()), out); });
    DWORD n = 0;
    EXPECT_TRUE(WriteFile(port, out.data(), static_cast<DWORD>(out.size()), &n, nullptr));
    EXPECT_EQ(n, out.size());
    far.join();
    Bytes line = Pattern(3000, 21);
    pty.Send(line);
    Bytes in(3000);
    EXPECT_TRUE(ReadFile(port, in.data(), 3000, &n, nullptr));
    EXPECT_TRUE(in == line);
    CloseHandle(port);
  }
  osc::win::detail::set_comm_sys(nullptr);
}

}  // namespace
