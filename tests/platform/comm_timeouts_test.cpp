// COMMTIMEOUTS as Windows defines them, through the real termios backend on a
// pseudo-terminal, with the port engine on a clock the test advances.
#include "platform/comm/comm.h"
#include "platform/kernel/kernel.h"
#include "support/comm_support.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

using namespace osc::win;
using osc::test::Bytes;

namespace {

struct Arrival {
  std::int64_t at;  // ms after the read started
  std::size_t bytes;
};

struct TimeoutCase {
  const char* name;
  COMMTIMEOUTS timeouts;
  DWORD count;
  std::size_t buffered;  // already in the input queue when the read starts
  std::vector<Arrival> arrivals;
  std::int64_t completes_at;
  DWORD expected;
};

void PrintTo(const TimeoutCase& c, std::ostream* os) {
  *os << c.name;
}

constexpr DWORD M = MAXDWORD;

const TimeoutCase kCases[] = {
    {"ImmediateWithNothingBuffered", {M, 0, 0, 0, 0}, 10, 0, {}, 0, 0},
    {"ImmediateReturnsWhatIsBuffered", {M, 0, 0, 0, 0}, 10, 3, {}, 0, 3},
    {"FirstByteModeReturnsOnArrival", {M, M, 500, 0, 0}, 10, 0, {{100, 2}}, 100, 2},
    {"FirstByteModeReturnsBufferedAtOnce", {M, M, 500, 0, 0}, 10, 3, {}, 0, 3},
    {"FirstByteModeTimesOutEmpty", {M, M, 300, 0, 0}, 10, 0, {}, 300, 0},
    {"TotalOnlyReturnsPartialAtDeadline", {0, 0, 250, 0, 0}, 10, 0, {{10, 2}}, 250, 2},
    {"MultiplierCountsRequestedBytes", {0, 10, 100, 0, 0}, 4, 0, {}, 140, 0},
    {"IntervalStartsWithFirstByte", {50, 0, 0, 0, 0}, 10, 0, {{5000, 1}, {5020, 2}}, 5070, 3},
    {"NoTimeoutsWaitForFullCount", {0, 0, 0, 0, 0}, 4, 0, {{100, 2}, {100000, 2}}, 100000, 4},
    {"IntervalBeforeTotal", {20, 0, 1000, 0, 0}, 10, 0, {{10, 1}, {25, 1}}, 45, 2},
    {"TotalBeforeInterval", {100, 0, 50, 0, 0}, 10, 0, {{10, 1}, {40, 1}}, 50, 2},
    {"FullCountEndsReadEarly", {50, 10, 100, 0, 0}, 4, 0, {{5, 4}}, 5, 4},
    {"ProductBeyond32BitsDoesNotWrap", {0, 0x40000000, 0, 0, 0}, 8, 0, {}, 8589934592LL, 0},
    {"MaxIntervalWithTotalIsPlainTotal", {M, 0, 100, 0, 0}, 10, 0, {{10, 1}}, 100, 1},
    {"BufferedBytesStartTheInterval", {30, 0, 0, 0, 0}, 10, 2, {}, 30, 2},
    {"LateBytesAfterFullCountStayQueued", {0, 0, 0, 0, 0}, 3, 5, {}, 0, 3},
};

// One read, either overlapped (polled) or blocking (on its own thread).
class ReadUnderTest {
 public:
  ReadUnderTest(HANDLE port, bool overlapped, DWORD count)
      : port_(port), overlapped_(overlapped), buffer_(count) {
    if (overlapped_) {
      ov_.hEvent = CreateEvent(true, false);
      ok_ = ReadFile(port_, buffer_.data(), count, &got_, &ov_);
      error_ = ok_ ? 0 : GetLastError();
    } else {
      thread_ = std::thread([this, count] {
        ok_ = ReadFile(port_, buffer_.data(), count, &got_, nullptr);
        done_ = true;
      });
    }
  }
  ~ReadUnderTest() {
    if (thread_.joinable()) {
      PurgeComm(port_, PURGE_RXABORT);
      thread_.join();
    }
    if (ov_.hEvent) CloseHandle(ov_.hEvent);
  }

  bool StartedPending() const { return overlapped_ ? !ok_ && error_ == ERROR_IO_PENDING : true; }

  bool Pending() {
    if (overlapped_) {
      DWORD n = 0;
      return !GetOverlappedResult(port_, &ov_, &n, false) && GetLastError() == ERROR_IO_INCOMPLETE;
    }
    return !done_ && osc::test::PortOf(port_).stats().pending_reads == 1;
  }

  // Waits for the end of the read; the bytes it returned.
  Bytes Finish() {
    DWORD n = 0;
    if (overlapped_) {
      EXPECT_EQ(WaitForSingleObject(ov_.hEvent, 10000), WAIT_OBJECT_0);
      EXPECT_TRUE(GetOverlappedResult(port_, &ov_, &n, false));
    } else {
      thread_.join();
      EXPECT_TRUE(ok_);
      n = got_;
    }
    return Bytes(buffer_.begin(), buffer_.begin() + n);
  }

 private:
  HANDLE port_;
  bool overlapped_;
  Bytes buffer_;
  OVERLAPPED ov_{};
  std::thread thread_;
  std::atomic<bool> done_{false};
  BOOL ok_ = 0;
  DWORD got_ = 0;
  DWORD error_ = 0;
};

class CommTimeouts : public ::testing::TestWithParam<std::tuple<TimeoutCase, bool>> {
 protected:
  void SetUp() override {
    port_ = CreateFile(pty_.path(), GENERIC_READ | GENERIC_WRITE, 0, OPEN_EXISTING,
                       overlapped() ? FILE_FLAG_OVERLAPPED : 0);
    ASSERT_NE(port_, INVALID_HANDLE_VALUE);
  }
  void TearDown() override { CloseHandle(port_); }
  bool overlapped() const { return std::get<1>(GetParam()); }

  osc::test::ManualClock clock_;  // before the port: the port runs on it
  osc::test::PtyPair pty_;
  HANDLE port_ = INVALID_HANDLE_VALUE;
};

TEST_P(CommTimeouts, ReadEndsWhereWindowsEndsIt) {
  const TimeoutCase& c = std::get<0>(GetParam());
  ASSERT_TRUE(SetCommTimeouts(port_, &c.timeouts));
  Bytes line = osc::test::Pattern(64, c.count);
  std::size_t sent = 0;
  auto send = [&](std::size_t n) {
    pty_.Send(Bytes(line.begin() + sent, line.begin() + sent + n));
    sent += n;
    ASSERT_TRUE(osc::test::WaitReceived(port_, sent));
  };
  send(c.buffered);

  ReadUnderTest read(port_, overlapped(), c.count);
  if (c.completes_at > 0) {
    ASSERT_TRUE(read.StartedPending());
    ASSERT_TRUE(osc::test::WaitPendingReads(port_, 1));
  }
  std::int64_t now = 0;
  for (const Arrival& a : c.arrivals) {
    clock_.Advance(a.at - now);
    now = a.at;
    osc::test::Sync(port_);
    EXPECT_TRUE(read.Pending()) << "before the bytes at " << a.at;
    send(a.bytes);
    osc::test::Sync(port_);
  }
  if (c.completes_at > now) {
    clock_.Advance(c.completes_at - 1 - now);
    osc::test::Sync(port_);
    EXPECT_TRUE(read.Pending()) << "1 ms before " << c.completes_at;
    clock_.Advance(1);
    osc::test::Sync(port_);
  }
  Bytes got = read.Finish();
  EXPECT_EQ(got, Bytes(line.begin(), line.begin() + c.expected));
}

INSTANTIATE_TEST_SUITE_P(Table, CommTimeouts,
                         ::testing::Combine(::testing::ValuesIn(kCases), ::testing::Bool()),
                         [](const auto& info) {
                           return std::string(std::get<0>(info.param).name) +
                                  (std::get<1>(info.param) ? "_Overlapped" : "_Blocking");
                         });

class CommQueuedTimeouts : public ::testing::Test {
 protected:
  void SetUp() override {
    port_ = CreateFile(pty_.path(), GENERIC_READ | GENERIC_WRITE, 0, OPEN_EXISTING, FILE_FLAG_OVERLAPPED);
    ASSERT_NE(port_, INVALID_HANDLE_VALUE);
  }
  void TearDown() override { CloseHandle(port_); }

  osc::test::ManualClock clock_;
  osc::test::PtyPair pty_;
  HANDLE port_ = INVALID_HANDLE_VALUE;
};

TEST_F(CommQueuedTimeouts, TimeoutCountsFromWhenTheRequestBecomesCurrent) {
  COMMTIMEOUTS t{0, 0, 100, 0, 0};
  ASSERT_TRUE(SetCommTimeouts(port_, &t));
  std::uint8_t a[4], b[4];
  OVERLAPPED oa{}, ob{};
  oa.hEvent = CreateEvent(true, false);
  ob.hEvent = CreateEvent(true, false);
  DWORD n = 0;
  EXPECT_FALSE(ReadFile(port_, a, 4, &n, &oa));
  EXPECT_FALSE(ReadFile(port_, b, 4, &n, &ob));
  clock_.Advance(100);
  osc::test::Sync(port_);
  EXPECT_EQ(WaitForSingleObject(oa.hEvent, 10000), WAIT_OBJECT_0);
  EXPECT_EQ(WaitForSingleObject(ob.hEvent, 0), WAIT_TIMEOUT) << "the second read started only at 100 ms";
  clock_.Advance(99);
  osc::test::Sync(port_);
  EXPECT_EQ(WaitForSingleObject(ob.hEvent, 0), WAIT_TIMEOUT);
  clock_.Advance(1);
  osc::test::Sync(port_);
  EXPECT_EQ(WaitForSingleObject(ob.hEvent, 10000), WAIT_OBJECT_0);
  EXPECT_TRUE(GetOverlappedResult(port_, &ob, &n, false));
  EXPECT_EQ(n, 0u);
  CloseHandle(oa.hEvent);
  CloseHandle(ob.hEvent);
}

TEST_F(CommQueuedTimeouts, WriteTimeoutEndsWithTheBytesThatWentOut) {
  // Nobody reads the master: the pseudo-terminal fills up and the write stalls.
  COMMTIMEOUTS t{0, 0, 0, 0, 200};
  ASSERT_TRUE(SetCommTimeouts(port_, &t));
  Bytes big = osc::test::Pattern(4 << 20);
  OVERLAPPED ov{};
  ov.hEvent = CreateEvent(true, false);
  DWORD n = 0;
  ASSERT_FALSE(WriteFile(port_, big.data(), static_cast<DWORD>(big.size()), &n, &ov));
  ASSERT_EQ(GetLastError(), ERROR_IO_PENDING);
  clock_.Advance(199);
  osc::test::Sync(port_);
  EXPECT_EQ(WaitForSingleObject(ov.hEvent, 0), WAIT_TIMEOUT);
  clock_.Advance(1);
  osc::test::Sync(port_);
  ASSERT_EQ(WaitForSingleObject(ov.hEvent, 10000), WAIT_OBJECT_0);
  EXPECT_TRUE(GetOverlappedResult(port_, &ov, &n, false)) << "a time-out is a success";
  EXPECT_GT(n, 0u);
  EXPECT_LT(n, big.size());
  EXPECT_EQ(pty_.Receive(n), Bytes(big.begin(), big.begin() + n));
  CloseHandle(ov.hEvent);
}

}  // namespace
