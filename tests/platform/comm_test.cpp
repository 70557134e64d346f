// The serial port calls through the real termios backend on a pseudo-terminal, the port
// engine on a clock the test advances: the block ring, what ends a pending read, a
// cancelled thread, interrupted system calls, COMMTIMEOUTS as Windows defines them (on
// the overlapped path: a blocking read waits on the same deadlines); opening ports by
// name, exclusivity, refusing what is not a serial line, line settings.
#include "platform/comm/comm.h"
#include "platform/comm/comm_device.h"
#include "platform/comm/comm_posix.h"
#include "platform/kernel/kernel.h"
#include "platform/kernel/kernel_object.h"
#include "support/comm_support.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <pthread.h>
#include <sys/eventfd.h>
#include <unistd.h>
#include <array>
#include <atomic>
#include <cerrno>
#include <fstream>
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
  void SetTimeouts(DWORD ri, DWORD rm, DWORD rc, DWORD wc = 0) {
    COMMTIMEOUTS t{ri, rm, rc, 0, wc};
    ASSERT_TRUE(SetCommTimeouts(port_, &t));
  }
  // Moves the clock on and lets the port act on it.
  void Advance(std::int64_t ms) {
    clock_.Advance(ms);
    osc::test::Sync(port_);
  }

  osc::test::ManualClock clock_;  // before the port: the port runs on it
  osc::test::PtyPair pty_;
  HANDLE port_ = INVALID_HANDLE_VALUE;
};

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

// Every way a pending read can end early: each completes it with its error and the
// bytes it had taken so far, and none leaves a request behind.
struct Ending {
  const char* name;
  std::size_t sent;  // bytes that arrived before the end
  void (*end)(HANDLE& port, osc::test::PtyPair& pty);
  DWORD error;
};

const Ending kEndings[] = {
    {"CancelIo", 3, [](HANDLE& port, osc::test::PtyPair&) { ASSERT_TRUE(CancelIo(port)); },
     ERROR_OPERATION_ABORTED},
    {"PurgeComm", 0, [](HANDLE& port, osc::test::PtyPair&) { ASSERT_TRUE(PurgeComm(port, PURGE_RXABORT)); },
     ERROR_OPERATION_ABORTED},
    {"CloseHandle", 0,
     [](HANDLE& port, osc::test::PtyPair&) {
       ASSERT_TRUE(CloseHandle(port));
       port = INVALID_HANDLE_VALUE;
     },
     ERROR_OPERATION_ABORTED},
    {"UnpluggedLine", 0, [](HANDLE&, osc::test::PtyPair& pty) { pty.CloseMaster(); },
     ERROR_DEVICE_NOT_CONNECTED},
};

TEST_F(CommIo, WhatEndsAPendingRead) {
  for (const Ending& e : kEndings) {
    SCOPED_TRACE(e.name);
    osc::test::PtyPair pty;
    HANDLE port =
        CreateFile(pty.path(), GENERIC_READ | GENERIC_WRITE, 0, OPEN_EXISTING, FILE_FLAG_OVERLAPPED);
    ASSERT_NE(port, INVALID_HANDLE_VALUE);
    const HANDLE opened = port;
    PendingRead r(10);
    ASSERT_FALSE(r.Issue(port));
    if (e.sent > 0) {
      pty.Send(Pattern(e.sent, 6));
      ASSERT_TRUE(osc::test::WaitReceived(port, e.sent));
    }
    e.end(port, pty);
    ASSERT_TRUE(r.WaitDone());
    EXPECT_EQ(r.Result(opened), std::make_tuple(BOOL{0}, e.error, static_cast<DWORD>(e.sent)));
    if (port != INVALID_HANDLE_VALUE) {
      EXPECT_EQ(osc::test::PortOf(port).stats().pending_reads, 0u);
      CloseHandle(port);
    }
  }
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

// System calls interrupted by signals or finding nothing to do must not lose or repeat
// bytes. Only the device's calls fail: the port's wake-up eventfd reports EAGAIN only
// when a wake-up is already pending.
std::atomic<int> interrupt_counter{0};
// Every other call on the device fails with EINTR; reads and writes now and then with EAGAIN.
bool Interrupt(int fd, bool mayFindNothing = false) {
  if (!isatty(fd) || interrupt_counter.fetch_add(1) % 2 != 0) return false;
  errno = mayFindNothing && interrupt_counter % 3 == 0 ? EAGAIN : EINTR;
  return true;
}

TEST(CommSysFaults, InterruptedAndEmptySystemCallsAreRetried) {
  osc::win::detail::CommSys faulty = osc::win::detail::real_comm_sys();
  faulty.read = [](int fd, void* b, std::size_t c) { return Interrupt(fd, true) ? -1 : ::read(fd, b, c); };
  faulty.write = [](int fd, const void* b, std::size_t c) {
    return Interrupt(fd, true) ? -1 : ::write(fd, b, std::min<std::size_t>(c, 100));
  };
  faulty.poll = [](pollfd* f, nfds_t n, int t) { return n > 1 && Interrupt(f[1].fd) ? -1 : ::poll(f, n, t); };
  faulty.tcsetattr = [](int fd, int a, const termios* t) {
    return Interrupt(fd) ? -1 : ::tcsetattr(fd, a, t);
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

class CommTimeouts : public CommIo, public ::testing::WithParamInterface<TimeoutCase> {};

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

  PendingRead read(c.count);
  const BOOL at_once = read.Issue(port_);
  if (c.completes_at > 0) {
    ASSERT_FALSE(at_once);
    ASSERT_TRUE(osc::test::WaitPendingReads(port_, 1));
  }
  std::int64_t now = 0;
  for (const Arrival& a : c.arrivals) {
    Advance(a.at - now);
    now = a.at;
    EXPECT_FALSE(read.Done()) << "before the bytes at " << a.at;
    send(a.bytes);
    osc::test::Sync(port_);
  }
  if (c.completes_at > now) {
    Advance(c.completes_at - 1 - now);
    EXPECT_FALSE(read.Done()) << "1 ms before " << c.completes_at;
    Advance(1);
  }
  ASSERT_TRUE(read.WaitDone());
  auto [ok, error, n] = read.Result(port_);
  EXPECT_TRUE(ok);
  EXPECT_EQ(Bytes(read.buffer.begin(), read.buffer.begin() + n),
            Bytes(line.begin(), line.begin() + c.expected));
}

INSTANTIATE_TEST_SUITE_P(Table, CommTimeouts, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(CommIo, ReadTimeoutCountsFromWhenTheRequestBecomesCurrent) {
  SetTimeouts(0, 0, 100);
  PendingRead a(4), b(4);
  EXPECT_FALSE(a.Issue(port_));
  EXPECT_FALSE(b.Issue(port_));
  Advance(100);
  EXPECT_TRUE(a.WaitDone());
  EXPECT_FALSE(b.Done()) << "the second read started only at 100 ms";
  Advance(99);
  EXPECT_FALSE(b.Done());
  Advance(1);
  EXPECT_TRUE(b.WaitDone());
  EXPECT_EQ(b.Result(port_), std::make_tuple(BOOL{1}, DWORD{0}, DWORD{0}));
}

TEST_F(CommIo, WriteTimeoutEndsWithTheBytesThatWentOut) {
  // Nobody reads the master: the pseudo-terminal fills up and the write stalls.
  SetTimeouts(0, 0, 0, 200);
  Bytes big = osc::test::Pattern(4 << 20);
  OVERLAPPED ov{};
  ov.hEvent = CreateEvent(true, false);
  DWORD n = 0;
  ASSERT_FALSE(WriteFile(port_, big.data(), static_cast<DWORD>(big.size()), &n, &ov));
  ASSERT_EQ(GetLastError(), ERROR_IO_PENDING);
  Advance(199);
  EXPECT_EQ(WaitForSingleObject(ov.hEvent, 0), WAIT_TIMEOUT);
  Advance(1);
  ASSERT_EQ(WaitForSingleObject(ov.hEvent, 10000), WAIT_OBJECT_0);
  EXPECT_TRUE(GetOverlappedResult(port_, &ov, &n, false)) << "a time-out is a success";
  EXPECT_GT(n, 0u);
  EXPECT_LT(n, big.size());
  EXPECT_EQ(pty_.Receive(n), Bytes(big.begin(), big.begin() + n));
  CloseHandle(ov.hEvent);
}

HANDLE OpenPort(const std::string& name, DWORD flags = 0) {
  return CreateFile(name, GENERIC_READ | GENERIC_WRITE, 0, OPEN_EXISTING, flags);
}

TEST(CommNames, ComNamesMapToFixedDeviceBlocks) {
  const std::pair<const char*, const char*> rows[] = {
      {"com1", "/dev/ttyS0"},     {"COM64", "/dev/ttyS63"},    {"COM65", "/dev/ttyUSB0"},
      {"COM129", "/dev/ttyACM0"}, {"COM256", "/dev/rfcomm63"}, {"\\\\.\\COM12", "/dev/ttyS11"},
      {"COM0", "COM0"},           {"COM257", "COM257"},        {"COM01", "COM01"},
      {"COM1x", "COM1x"},
  };
  for (const auto& [name, path] : rows)
    EXPECT_EQ(CommDevicePath(name), path) << name;
}

TEST(CommNames, TtyDriverListDecidesWhatIsASerialLine) {
  const char* drivers =
      "garbage line\n\n"
      "/dev/console         /dev/console    5       1 system:console\n"
      "usbserial            /dev/ttyUSB   188 0-511 serial\n"
      "serial               /dev/ttyS       4 64-95 serial\n"
      "pty_slave            /dev/pts      136 0-1048575 pty:slave\n"
      "pty_master           /dev/ptm      128 0-1048575 pty:master\n"
      "unknown              /dev/tty        4 1-63 console\n";
  using K = detail::TtyKind;
  struct Row {
    unsigned major, minor;
    K kind;
  };
  const Row rows[] = {
      {4, 64, K::kSerialPort}, {4, 96, K::kNone}, {188, 511, K::kSerialPort}, {136, 7, K::kPseudoTerminal},
      {5, 1, K::kNone},        {4, 5, K::kNone},  {128, 3, K::kNone}};
  for (const Row& r : rows) {
    EXPECT_EQ(detail::tty_driver_kind(drivers, r.major, r.minor), r.kind) << r.major << ":" << r.minor;
  }
}

class CommOpen : public ::testing::Test {
 protected:
  void ExpectOpenFails(const std::string& name, DWORD error) {
    std::size_t before = detail::object_count();
    SetLastError(0xdeadbeef);
    EXPECT_EQ(OpenPort(name, FILE_FLAG_OVERLAPPED), INVALID_HANDLE_VALUE) << name;
    EXPECT_EQ(GetLastError(), error) << name;
    EXPECT_EQ(detail::object_count(), before) << "nothing left open by " << name;
  }
  osc::test::PtyPair pty_;
};

TEST_F(CommOpen, SecondOpenOfAnOpenDeviceFailsUntilItIsClosed) {
  HANDLE first = OpenPort(pty_.path());
  ASSERT_NE(first, INVALID_HANDLE_VALUE);
  ExpectOpenFails(pty_.path(), ERROR_ACCESS_DENIED);
  ASSERT_TRUE(CloseHandle(first));
  HANDLE again = OpenPort(pty_.path());
  EXPECT_NE(again, INVALID_HANDLE_VALUE);
  CloseHandle(again);
}

TEST_F(CommOpen, WhatIsNotASerialLineIsRefusedAndLeftUntouched) {
  osc::test::TempDir dir;
  std::string file = dir.file("data.bin");
  std::ofstream(file) << "content";
  ExpectOpenFails("/dev/.." + file, ERROR_FILE_NOT_FOUND);
  std::ifstream in(file);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "content");
  ExpectOpenFails("/dev/null", ERROR_FILE_NOT_FOUND);
  ExpectOpenFails("/dev/tty", ERROR_FILE_NOT_FOUND);  // the controlling terminal
  ExpectOpenFails("/dev/ptmx", ERROR_FILE_NOT_FOUND);
  ExpectOpenFails("/dev/osc-no-such-device", ERROR_FILE_NOT_FOUND);
  ExpectOpenFails("NOSUCHPORT", ERROR_FILE_NOT_FOUND);
  ExpectOpenFails(pty_.path() + std::string(1, '\0') + "x", ERROR_INVALID_NAME);
}

// A refused setting is the serial component's failed-open case (4 data bits).
TEST_F(CommOpen, LineSettingsReachTheDevice) {
  HANDLE port = OpenPort(pty_.path());
  ASSERT_NE(port, INVALID_HANDLE_VALUE);
  DCB dcb{};
  ASSERT_TRUE(GetCommState(port, &dcb));
  dcb.BaudRate = 19200;
  dcb.StopBits = 2;
  dcb.Flags = DCB_fBinary | DCB_fOutX | DCB_fInX | DCB_fOutxCtsFlow | DCB_fParity;
  dcb.XonChar = 0x11;
  dcb.XoffChar = 0x13;
  ASSERT_TRUE(SetCommState(port, &dcb));
  termios t = pty_.slave_termios();
  EXPECT_EQ(cfgetospeed(&t), static_cast<speed_t>(B19200));
  EXPECT_TRUE(t.c_cflag & CSTOPB);
  EXPECT_TRUE(t.c_cflag & CRTSCTS);
  EXPECT_TRUE(t.c_iflag & IXON);
  EXPECT_TRUE(t.c_iflag & INPCK);
  CloseHandle(port);
}

// An in-process device under a registered name, as the simulated module is. Its line
// errors are the recorder's loss test's; the program never sets fAbortOnError.
class IdleDevice final : public CommDevice {
 public:
  ~IdleDevice() override { close(fd_); }
  int poll_fd() const override { return fd_; }
  ssize_t read_some(void*, std::size_t) override { return 0; }
  ssize_t write_some(const void*, std::size_t count) override { return static_cast<ssize_t>(count); }
  bool configure(const DCB&) override { return true; }
  bool set_break(bool) override { return true; }
  void purge(DWORD) override {}
  DWORD take_errors() override { return 0; }

 private:
  int fd_ = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
};

TEST(CommRegistered, RegisteredNamesOpenExclusively) {
  int made = 0;
  RegisterCommDevice("SCRIPTED", [&](const std::string&, DWORD* error) -> std::unique_ptr<CommDevice> {
    ++made;
    *error = ERROR_SUCCESS;
    return std::make_unique<IdleDevice>();
  });
  HANDLE port = OpenPort("scripted", FILE_FLAG_OVERLAPPED);
  ASSERT_NE(port, INVALID_HANDLE_VALUE);
  EXPECT_EQ(OpenPort("SCRIPTED"), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
  EXPECT_EQ(made, 1) << "the factory is not asked for a device in use";
  CloseHandle(port);
  port = OpenPort("Scripted");
  EXPECT_NE(port, INVALID_HANDLE_VALUE) << "free again after close";
  CloseHandle(port);
  UnregisterCommDevice("SCRIPTED");
}

}  // namespace
