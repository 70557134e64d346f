// TSerialCom through the real termios backend on a pseudo-terminal.
#include "seriallink/serial_com.h"

#include "platform/comm/comm.h"
#include "platform/comm/comm_device.h"
#include "platform/comm/comm_posix.h"
#include "platform/kernel/kernel.h"
#include "platform/kernel/kernel_object.h"
#include "support/comm_support.h"

#include <gtest/gtest.h>

#include <optional>

#include <atomic>
#include <cstring>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

using namespace osc;
using osc::test::Bytes;
using osc::test::Pattern;
using win::DWORD;
using win::HANDLE;
using win::INVALID_HANDLE_VALUE;

namespace {

const char kClosed[] = "Error: Communications device closed!";

// Expects `call` to raise ECommError with exactly `message`.
#define EXPECT_COMM_ERROR(call, message)                               \
  do {                                                                 \
    try {                                                              \
      call;                                                            \
      ADD_FAILURE() << #call << " raised nothing";                     \
    } catch (const ECommError& e) {                                    \
      EXPECT_EQ(std::string(e.what()), std::string(message)) << #call; \
    }                                                                  \
  } while (0)

// Counts the line settings that reach the device, and keeps the last ones.
std::atomic<int> tcsetattr_calls{0};
std::mutex last_mutex;
termios last_termios{};

class RecordingSys {
 public:
  RecordingSys() : sys_(win::detail::real_comm_sys()) {
    sys_.tcsetattr = [](int fd, int action, const termios* t) {
      {
        std::lock_guard lock(last_mutex);
        last_termios = *t;
      }
      ++tcsetattr_calls;
      return ::tcsetattr(fd, action, t);
    };
    win::detail::set_comm_sys(&sys_);
  }
  ~RecordingSys() { win::detail::set_comm_sys(nullptr); }
  termios Last() const {
    std::lock_guard lock(last_mutex);
    return last_termios;
  }

 private:
  win::detail::CommSys sys_;
};

class SerialCom : public ::testing::Test {
 protected:
  void SetUp() override {
    baseline_ = win::detail::object_count();
    com_.SetComName(pty_.path());
  }
  void TearDown() override {
    com_.Close();
    EXPECT_EQ(win::detail::object_count(), baseline_) << "handles left open";
  }
  void ExpectClosedState() {
    EXPECT_FALSE(com_.Active());
    EXPECT_EQ(com_.Handle(), INVALID_HANDLE_VALUE);
    EXPECT_FALSE(com_.OverlappedOpen());
    EXPECT_EQ(win::detail::object_count(), baseline_);
  }

  RecordingSys sys_;  // before the pseudo-terminal and the port
  osc::test::PtyPair pty_;
  TSerialCom com_;
  std::size_t baseline_ = 0;
};

TEST(SerialComDefaults, NewComponentHasTheDeclaredDefaults) {
  TSerialCom com;
  EXPECT_EQ(com.ComName(), "COM1");
  EXPECT_FALSE(com.Overlapped());
  EXPECT_EQ(com.InpQueue(), 1024);
  EXPECT_EQ(com.OutQueue(), 1024);
  EXPECT_EQ(com.BufSize(), 0);
  EXPECT_FALSE(com.Active());
  EXPECT_EQ(com.Handle(), INVALID_HANDLE_VALUE);
  EXPECT_FALSE(com.OverlappedOpen());
  const TTimeouts& t = com.Timeouts();
  for (DWORD v : {t.ReadInterval(), t.ReadTotalMultiplier(), t.ReadTotalConstant(), t.WriteTotalMultiplier(),
                  t.WriteTotalConstant()}) {
    EXPECT_EQ(v, 10u);
  }
  win::DCB expected{};
  expected.DCBlength = 28;
  expected.BaudRate = 9600;
  expected.ByteSize = 8;
  expected.Flags = 1;
  EXPECT_EQ(std::memcmp(&com.DCB().Record(), &expected, sizeof expected), 0) << "all else zero";
  EXPECT_EQ(com.DCB().Flags(), TDcbFlags{fBinary});
  EXPECT_EQ(com.DCB().Parity(), paNone);
  EXPECT_EQ(com.DCB().StopBits(), sbOne);
}

TEST(SerialComDefaults, MainWindowPresetStoresItsConfiguration) {
  TSerialCom com;
  int activated = 0;
  ConfigureMainWindowCom(com, [&](TSerialCom&) { ++activated; });
  EXPECT_TRUE(com.Overlapped());
  EXPECT_EQ(com.ComName(), "COM1");
  EXPECT_EQ(com.InpQueue(), 16384);
  EXPECT_EQ(com.OutQueue(), 1024);
  const win::COMMTIMEOUTS& t = com.Timeouts().Record();
  EXPECT_EQ(t.ReadIntervalTimeout, 400u);
  EXPECT_EQ(t.ReadTotalTimeoutMultiplier, 10u);
  EXPECT_EQ(t.ReadTotalTimeoutConstant, 400u);
  EXPECT_EQ(t.WriteTotalTimeoutMultiplier, 10u);
  EXPECT_EQ(t.WriteTotalTimeoutConstant, 400u);
  EXPECT_EQ(com.DCB().BaudRate(), 115200u);
  EXPECT_EQ(com.DCB().ByteSize(), 8);
  EXPECT_EQ(com.DCB().Record().Flags, 0x1011u) << "fBinary, DTR on, RTS on";
  EXPECT_FALSE(com.Active()) << "the preset opens nothing";
  ASSERT_TRUE(com.onActivate);
  com.onActivate(com);
  EXPECT_EQ(activated, 1);
}

TEST(SerialComDefaults, FlagMemberNIsBitN) {
  const TDcbFlagsConsts all[] = {fBinary,
                                 fParity,
                                 fOutxCtsFlow,
                                 fOutxDsrFlow,
                                 fDtrControlEnable,
                                 fDtrControlHandshake,
                                 fDsrSensitivity,
                                 fTXContinueOnXoff,
                                 fOutX,
                                 fInX,
                                 fErrorChar,
                                 fNull,
                                 fRtsControlEnable,
                                 fRtsControlHandshake,
                                 fAbortOnError};
  for (int n = 0; n < 15; ++n)
    EXPECT_EQ(TDcbFlags{all[n]}.Word(), 1u << n) << n;
  EXPECT_EQ(TDcbFlags::FromWord(0xFFFF).Word(), 0x7FFFu) << "bit 15 is always 0";
  TDcbFlags f{fBinary, fOutX};
  f.Exclude(fBinary).Include(fInX);
  EXPECT_FALSE(f.Contains(fBinary));
  EXPECT_TRUE(f.Contains(fInX));
  EXPECT_EQ(f.Word(), (1u << 8) | (1u << 9));
}

TEST_F(SerialCom, EverythingOnAClosedPortSaysItIsClosed) {
  std::uint8_t buffer[8];
  std::memset(buffer, 0xbd, sizeof buffer);
  win::OVERLAPPED ov{};
  EXPECT_COMM_ERROR(com_.Read(buffer, 8), kClosed);
  EXPECT_COMM_ERROR(com_.ReadEx(buffer, 8, &ov), kClosed);
  EXPECT_COMM_ERROR(com_.Write(buffer, 8), kClosed);
  EXPECT_COMM_ERROR(com_.SetBreak(), kClosed);
  EXPECT_COMM_ERROR(com_.ClearBreak(), kClosed);
  EXPECT_COMM_ERROR(com_.ClearError(nullptr), kClosed);
  EXPECT_COMM_ERROR(com_.ApplyTimeouts(), "Cannot set Timeout values");
  for (std::uint8_t b : buffer)
    EXPECT_EQ(b, 0xbd) << "the buffer is not touched";
  int calls = tcsetattr_calls;
  com_.ApplyState();
  com_.Purge(win::PURGE_RXCLEAR);
  EXPECT_EQ(tcsetattr_calls, calls);
  int deactivated = 0;
  com_.onDeactivate = [&](TSerialCom&) { ++deactivated; };
  com_.Close();
  com_.SetActive(false);
  EXPECT_EQ(deactivated, 0) << "closing a closed port calls nothing";
}

TEST_F(SerialCom, OpenAndCloseCallTheHandlersInOrder) {
  std::vector<std::string> log;
  com_.SetOverlapped(true);
  com_.onActivate = [&](TSerialCom& sender) {
    EXPECT_EQ(&sender, &com_);
    EXPECT_TRUE(sender.Active());
    EXPECT_NE(sender.Handle(), INVALID_HANDLE_VALUE);
    EXPECT_FALSE(sender.WaitTransfer(0));
    log.push_back("activate");
  };
  HANDLE opened = INVALID_HANDLE_VALUE;
  com_.onDeactivate = [&](TSerialCom& sender) {
    EXPECT_FALSE(sender.Active());
    EXPECT_EQ(sender.Handle(), opened) << "the value goes after the handler";
    HANDLE again = win::CreateFile(pty_.path(), 0, 0, win::OPEN_EXISTING, 0);
    EXPECT_NE(again, INVALID_HANDLE_VALUE) << "the device is already closed";
    win::CloseHandle(again);
    log.push_back("deactivate");
  };
  com_.SetActive(true);
  opened = com_.Handle();
  EXPECT_TRUE(com_.OverlappedOpen());
  std::size_t open_count = win::detail::object_count();
  com_.Open();
  com_.SetActive(true);
  EXPECT_EQ(com_.Handle(), opened) << "no second handle";
  EXPECT_EQ(win::detail::object_count(), open_count) << "no new event";
  EXPECT_EQ(log, (std::vector<std::string>{"activate"}));
  com_.SetActive(false);
  EXPECT_EQ(log, (std::vector<std::string>{"activate", "deactivate"}));
  ExpectClosedState();
}

TEST_F(SerialCom, FailedOpenLeavesNothingOpen) {
  com_.SetOverlapped(true);
  int activated = 0;
  com_.onActivate = [&](TSerialCom&) { ++activated; };
  com_.SetComName("/dev/osc-missing");
  EXPECT_COMM_ERROR(com_.Open(), "Cannot open communications device: /dev/osc-missing");
  ExpectClosedState();
  com_.SetComName("NOSUCHPORT");
  EXPECT_COMM_ERROR(com_.SetActive(true), "Cannot open communications device: NOSUCHPORT");
  ExpectClosedState();

  TSerialCom first;
  first.SetComName(pty_.path());
  first.Open();
  std::size_t with_first = win::detail::object_count();
  com_.SetComName(pty_.path());
  EXPECT_COMM_ERROR(com_.Open(), "Cannot open communications device: " + pty_.path());
  EXPECT_FALSE(com_.Active());
  EXPECT_FALSE(com_.OverlappedOpen());
  EXPECT_EQ(win::detail::object_count(), with_first);
  first.Close();
  com_.Open();
  EXPECT_TRUE(com_.Active()) << "free once the other port closed";
  EXPECT_EQ(activated, 1);
}

TEST_F(SerialCom, ConfigurationFailureWhileOpeningClosesThePort) {
  com_.SetOverlapped(true);
  int handlers = 0;
  com_.onActivate = [&](TSerialCom&) { ++handlers; };
  com_.onDeactivate = [&](TSerialCom&) { ++handlers; };
  com_.DCB().SetByteSize(4);  // a closed port only stores
  EXPECT_COMM_ERROR(com_.Open(), "Cannot configures communications device");
  ExpectClosedState();
  com_.DCB().SetByteSize(8);
  com_.Timeouts().SetReadInterval(win::MAXDWORD);
  com_.Timeouts().SetReadTotalMultiplier(win::MAXDWORD);
  com_.Timeouts().SetReadTotalConstant(win::MAXDWORD);
  EXPECT_COMM_ERROR(com_.Open(), "Cannot set Timeout values");
  ExpectClosedState();
  EXPECT_EQ(handlers, 0);
  com_.Timeouts().SetReadTotalConstant(100);
  com_.Open();
  EXPECT_TRUE(com_.Active());
}

TEST_F(SerialCom, LineSettingsApplyAtOnceExceptTheBaudRate) {
  com_.Open();
  int calls = tcsetattr_calls;
  com_.DCB().SetBaudRate(19200);
  EXPECT_EQ(tcsetattr_calls, calls) << "the rate is only stored";
  termios line = pty_.slave_termios();
  EXPECT_NE(cfgetospeed(&line), static_cast<speed_t>(B19200));
  com_.ApplyState();
  EXPECT_EQ(tcsetattr_calls, ++calls);
  line = pty_.slave_termios();
  EXPECT_EQ(cfgetospeed(&line), static_cast<speed_t>(B19200));

  struct Row {
    const char* what;
    std::function<void()> set;
    std::function<bool(const termios&)> seen;
  };
  const Row rows[] = {
      {"ByteSize 7", [&] { com_.DCB().SetByteSize(7); },
       [](const termios& t) { return (t.c_cflag & CSIZE) == CS7; }},
      {"Parity even", [&] { com_.DCB().SetParity(paEven); },
       [](const termios& t) { return (t.c_cflag & (PARENB | PARODD)) == PARENB; }},
      {"StopBits two", [&] { com_.DCB().SetStopBits(sbTwo); },
       [](const termios& t) { return t.c_cflag & CSTOPB; }},
      {"Flags with RTS handshake",
       [&] {
         com_.DCB().SetFlags({fBinary, fRtsControlHandshake});
       },
       [](const termios& t) { return t.c_cflag & CRTSCTS; }},
  };
  for (const Row& r : rows) {
    r.set();
    EXPECT_EQ(tcsetattr_calls, ++calls) << r.what;
    EXPECT_TRUE(r.seen(sys_.Last())) << r.what;
    r.set();
    EXPECT_EQ(tcsetattr_calls, calls) << r.what << " again: same value, nothing sent";
  }
  com_.DCB().SetXOnChar(0x11);
  com_.DCB().SetXOffChar(0x13);
  com_.DCB().SetErrorChar('?');
  com_.DCB().SetEventChar('\n');
  EXPECT_EQ(tcsetattr_calls, calls) << "characters are only stored";
  com_.Close();
  com_.DCB().SetByteSize(6);
  EXPECT_EQ(tcsetattr_calls, calls) << "a closed port only stores";
  EXPECT_EQ(com_.DCB().ByteSize(), 6);
}

TEST_F(SerialCom, SettersRefuseValuesOutsideTheirTypes) {
  EXPECT_COMM_ERROR(com_.DCB().SetByteSize(9), "Cannot configures communications device");
  EXPECT_COMM_ERROR(com_.DCB().SetByteSize(3), "Cannot configures communications device");
  EXPECT_COMM_ERROR(com_.DCB().SetParity(static_cast<TParity>(5)), "Cannot configures communications device");
  EXPECT_COMM_ERROR(com_.DCB().SetStopBits(static_cast<TStopBits>(3)),
                    "Cannot configures communications device");
  EXPECT_EQ(com_.DCB().ByteSize(), 8);
  EXPECT_EQ(com_.DCB().Parity(), paNone);
  EXPECT_EQ(com_.DCB().StopBits(), sbOne);
}

TEST_F(SerialCom, InvalidLineChangeOnAnOpenPortRaisesAndKeepsItOpen) {
  com_.Open();
  EXPECT_COMM_ERROR(com_.DCB().SetStopBits(sbOneAndHalf), "Cannot configures communications device");
  EXPECT_TRUE(com_.Active()) << "only a failure while opening closes the port";
  EXPECT_EQ(com_.DCB().StopBits(), sbOneAndHalf) << "stored, then applied";
}

TEST_F(SerialCom, NamesUpToSixteenCharactersAreUsedWhole) {
  std::vector<std::string> asked;
  std::string path = pty_.path();
  auto factory = [&](const std::string& name, DWORD* error) {
    asked.push_back(name);
    return win::detail::open_termios_device(path, error);
  };
  win::RegisterCommDevice("PORT_NAME_16CHAR", factory);
  win::RegisterCommDevice("PORT_NAME_17CHARS", factory);
  win::RegisterCommDevice("PORT_NAME_17CHAR", factory);  // what a cut name would open
  com_.SetComName("PORT_NAME_16CHAR");
  com_.Open();
  EXPECT_EQ(asked, (std::vector<std::string>{"PORT_NAME_16CHAR"}));
  com_.Close();
  com_.SetComName("PORT_NAME_17CHARS");
  EXPECT_EQ(com_.ComName(), "PORT_NAME_17CHAR") << "the type holds 16";
  EXPECT_COMM_ERROR(com_.Open(), "Cannot open communications device: PORT_NAME_17CHAR");
  EXPECT_EQ(asked.size(), 1u) << "no device was asked for";
  com_.SetComName(std::string(5000, 'x'));
  EXPECT_COMM_ERROR(com_.Open(), "Cannot open communications device: " + std::string(16, 'x'));
  com_.SetComName("Čidlo_ěščřžýáíéů_xyz");
  EXPECT_EQ(com_.ComName(), "Čidlo_ěščřžýáíéů") << "cut at a character, not inside one";
  for (const char* n : {"PORT_NAME_16CHAR", "PORT_NAME_17CHARS", "PORT_NAME_17CHAR"})
    win::UnregisterCommDevice(n);
}

TEST_F(SerialCom, BlockingTransfersReturnWhatArrived) {
  com_.Timeouts().SetReadInterval(0);
  com_.Timeouts().SetReadTotalMultiplier(0);
  com_.Timeouts().SetReadTotalConstant(30);
  com_.Open();
  Bytes out = Pattern(100, 1);
  EXPECT_EQ(com_.Write(out.data(), 100), 100);
  EXPECT_EQ(pty_.Receive(100), out);
  pty_.Send(Pattern(5, 2));
  Bytes in(20, 0xbd);
  ASSERT_TRUE(osc::test::WaitReceived(com_.Handle(), 5));
  EXPECT_EQ(com_.Read(in.data(), 20), 5) << "a read that times out returns the bytes that came";
  EXPECT_EQ(Bytes(in.begin(), in.begin() + 5), Pattern(5, 2));
  EXPECT_EQ(com_.Read(in.data(), 20), 0);
  EXPECT_EQ(com_.Read(in.data(), 0), 0);
  EXPECT_COMM_ERROR(com_.Read(in.data(), -1), "Error reading from the communications device");
  EXPECT_COMM_ERROR(com_.Write(nullptr, 3), "Error writting to communications device");
}

TEST_F(SerialCom, OverlappedTransfersReturnMinusOneWhilePending) {
  com_.SetOverlapped(true);
  com_.Open();
  Bytes in(12, 0);
  EXPECT_EQ(com_.Read(in.data(), 12), -1);
  pty_.Send(Pattern(12, 3));
  ASSERT_TRUE(com_.WaitTransfer(10000));
  EXPECT_EQ(com_.Collect(), std::optional<DWORD>(12));
  EXPECT_EQ(in, Pattern(12, 3));

  win::OVERLAPPED mine{};
  mine.hEvent = win::CreateEvent(true, false);
  Bytes block(2400);
  EXPECT_EQ(com_.ReadEx(block.data(), 2400, &mine), -1);
  int written = com_.Write("\xF5", 1);
  EXPECT_TRUE(written == 1 || written == -1);
  EXPECT_TRUE(com_.WaitTransfer(10000));
  EXPECT_EQ(pty_.Receive(1), Bytes{0xF5});
  com_.Purge(win::PURGE_RXABORT);
  EXPECT_EQ(win::WaitForSingleObject(mine.hEvent, 0), win::WAIT_OBJECT_0);
  win::CloseHandle(mine.hEvent);
}

TEST_F(SerialCom, PurgeDiscardsTheReceiveQueue) {
  com_.Open();
  pty_.Send(Pattern(40, 4));
  ASSERT_TRUE(osc::test::WaitReceived(com_.Handle(), 40));
  win::COMSTAT stat{};
  EXPECT_EQ(com_.ClearError(&stat), 0u);
  EXPECT_EQ(stat.cbInQue, 40u);
  com_.Purge(win::PURGE_RXCLEAR);
  com_.ClearError(&stat);
  EXPECT_EQ(stat.cbInQue, 0u);
  EXPECT_TRUE(com_.SetBreak());
  EXPECT_TRUE(com_.ClearBreak());
}

TEST_F(SerialCom, VanishedDeviceRaisesTheTransferMessages) {
  com_.SetOverlapped(true);
  com_.Open();
  win::OVERLAPPED mine{};
  mine.hEvent = win::CreateEvent(true, false);
  Bytes block(10);
  EXPECT_EQ(com_.ReadEx(block.data(), 10, &mine), -1);
  pty_.CloseMaster();
  ASSERT_EQ(win::WaitForSingleObject(mine.hEvent, 10000), win::WAIT_OBJECT_0);
  DWORD n = 0;
  EXPECT_FALSE(win::GetOverlappedResult(com_.Handle(), &mine, &n, false));
  Bytes in(4);
  EXPECT_COMM_ERROR(com_.Read(in.data(), 4), "Error reading from the communications device");
  EXPECT_COMM_ERROR(com_.ReadEx(in.data(), 4, &mine), "Error reading from the communications device");
  EXPECT_COMM_ERROR(com_.Write(in.data(), 4), "Error writting to communications device");
  EXPECT_COMM_ERROR(com_.ClearError(nullptr), "Error retrieving error status from the communications device");
  EXPECT_FALSE(com_.SetBreak()) << "the system's answer, no error";
  EXPECT_TRUE(com_.Active());
  com_.Close();
  win::CloseHandle(mine.hEvent);
}

TEST_F(SerialCom, BlockingReadOnAVanishedDeviceRaisesTheReadMessage) {
  com_.Timeouts().SetReadTotalConstant(0);
  com_.Timeouts().SetReadTotalMultiplier(0);
  com_.Timeouts().SetReadInterval(0);
  com_.Open();
  std::thread unplug([&] {
    osc::test::WaitPendingReads(com_.Handle(), 1);
    pty_.CloseMaster();
  });
  Bytes in(4);
  EXPECT_COMM_ERROR(com_.Read(in.data(), 4), "Error reading from the communications device");
  unplug.join();
}

TEST_F(SerialCom, FailingDeactivateHandlerStillReleasesTheHandles) {
  com_.SetOverlapped(true);
  com_.Open();
  com_.onDeactivate = [](TSerialCom&) { throw Exception("handler failed"); };
  EXPECT_THROW(com_.Close(), Exception);
  ExpectClosedState();
}

TEST_F(SerialCom, DestroyingTheComponentClosesTheDevice) {
  {
    TSerialCom other;
    other.SetComName(pty_.path());
    other.SetOverlapped(true);
    other.Open();
  }
  EXPECT_EQ(win::detail::object_count(), baseline_);
  com_.Open();
  EXPECT_TRUE(com_.Active());
}

}  // namespace
