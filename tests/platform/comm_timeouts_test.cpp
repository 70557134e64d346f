// COMMTIMEOUTS as Windows defines them, through the real termios backend on a
// pseudo-terminal, with the port engine on a clock the test advances. Blocking and
// overlapped reads share the engine's deadlines; only the overlapped path runs here.
#include "platform/comm/comm.h"
#include "platform/kernel/kernel.h"
#include "support/comm_support.h"

#include <gtest/gtest.h>

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

class CommClock : public ::testing::Test {
 protected:
  void SetUp() override {
    port_ = CreateFile(pty_.path(), GENERIC_READ | GENERIC_WRITE, 0, OPEN_EXISTING, FILE_FLAG_OVERLAPPED);
    ASSERT_NE(port_, INVALID_HANDLE_VALUE);
  }
  void TearDown() override { CloseHandle(port_); }
  // Moves the clock on and lets the port act on it.
  void Advance(std::int64_t ms) {
    clock_.Advance(ms);
    osc::test::Sync(port_);
  }
  bool Done(OVERLAPPED& ov, DWORD wait = 0) { return WaitForSingleObject(ov.hEvent, wait) == WAIT_OBJECT_0; }

  osc::test::ManualClock clock_;  // before the port: the port runs on it
  osc::test::PtyPair pty_;
  HANDLE port_ = INVALID_HANDLE_VALUE;
};

class CommTimeouts : public CommClock, public ::testing::WithParamInterface<TimeoutCase> {};

TEST_P(CommTimeouts, ReadEndsWhereWindowsEndsIt) {
  const TimeoutCase& c = GetParam();
  ASSERT_TRUE(SetCommTimeouts(port_, &c.timeouts));
  Bytes line = osc::test::Pattern(64, c.count);
  std::size_t sent = 0;
  auto send = [&](std::size_t n) {
    pty_.Send(Bytes(line.begin() + sent, line.begin() + sent + n));
    sent += n;
    ASSERT_TRUE(osc::test::WaitReceived(port_, sent));
  };
  send(c.buffered);

  Bytes buffer(c.count);
  OVERLAPPED ov{};
  ov.hEvent = CreateEvent(true, false);
  DWORD n = 0;
  const BOOL at_once = ReadFile(port_, buffer.data(), c.count, &n, &ov);
  if (c.completes_at > 0) {
    ASSERT_FALSE(at_once);
    ASSERT_TRUE(osc::test::WaitPendingReads(port_, 1));
  }
  std::int64_t now = 0;
  for (const Arrival& a : c.arrivals) {
    Advance(a.at - now);
    now = a.at;
    EXPECT_FALSE(Done(ov)) << "before the bytes at " << a.at;
    send(a.bytes);
    osc::test::Sync(port_);
  }
  if (c.completes_at > now) {
    Advance(c.completes_at - 1 - now);
    EXPECT_FALSE(Done(ov)) << "1 ms before " << c.completes_at;
    Advance(1);
  }
  ASSERT_TRUE(Done(ov, 10000));
  EXPECT_TRUE(GetOverlappedResult(port_, &ov, &n, false));
  EXPECT_EQ(Bytes(buffer.begin(), buffer.begin() + n), Bytes(line.begin(), line.begin() + c.expected));
  CloseHandle(ov.hEvent);
}

INSTANTIATE_TEST_SUITE_P(Table, CommTimeouts, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(CommClock, ReadTimeoutCountsFromWhenTheRequestBecomesCurrent) {
  COMMTIMEOUTS t{0, 0, 100, 0, 0};
  ASSERT_TRUE(SetCommTimeouts(port_, &t));
  std::uint8_t a[4], b[4];
  OVERLAPPED oa{}, ob{};
  oa.hEvent = CreateEvent(true, false);
  ob.hEvent = CreateEvent(true, false);
  DWORD n = 0;
  EXPECT_FALSE(ReadFile(port_, a, 4, &n, &oa));
  EXPECT_FALSE(ReadFile(port_, b, 4, &n, &ob));
  Advance(100);
  EXPECT_TRUE(Done(oa, 10000));
  EXPECT_FALSE(Done(ob)) << "the second read started only at 100 ms";
  Advance(99);
  EXPECT_FALSE(Done(ob));
  Advance(1);
  EXPECT_TRUE(Done(ob, 10000));
  EXPECT_TRUE(GetOverlappedResult(port_, &ob, &n, false));
  EXPECT_EQ(n, 0u);
  CloseHandle(oa.hEvent);
  CloseHandle(ob.hEvent);
}

TEST_F(CommClock, WriteTimeoutEndsWithTheBytesThatWentOut) {
  // Nobody reads the master: the pseudo-terminal fills up and the write stalls.
  COMMTIMEOUTS t{0, 0, 0, 0, 200};
  ASSERT_TRUE(SetCommTimeouts(port_, &t));
  Bytes big = osc::test::Pattern(4 << 20);
  OVERLAPPED ov{};
  ov.hEvent = CreateEvent(true, false);
  DWORD n = 0;
  ASSERT_FALSE(WriteFile(port_, big.data(), static_cast<DWORD>(big.size()), &n, &ov));
  ASSERT_EQ(GetLastError(), ERROR_IO_PENDING);
  Advance(199);
  EXPECT_FALSE(Done(ov));
  Advance(1);
  ASSERT_TRUE(Done(ov, 10000));
  EXPECT_TRUE(GetOverlappedResult(port_, &ov, &n, false)) << "a time-out is a success";
  EXPECT_GT(n, 0u);
  EXPECT_LT(n, big.size());
  EXPECT_EQ(pty_.Receive(n), Bytes(big.begin(), big.begin() + n));
  CloseHandle(ov.hEvent);
}

}  // namespace
