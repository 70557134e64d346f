// TSerialCom through the real termios backend on a pseudo-terminal.
#include "seriallink/serial_com.h"

#include "platform/comm/comm.h"
#include "platform/comm/comm_posix.h"
#include "platform/kernel/kernel.h"
#include "platform/kernel/kernel_object.h"
#include "support/comm_support.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

using namespace osc;
using osc::test::Bytes;
using osc::test::Pattern;
using win::DWORD;
using win::HANDLE;
using win::INVALID_HANDLE_VALUE;

namespace {

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

TEST(SerialComDefaults, MainWindowPresetStoresItsConfiguration) {
  TSerialCom com;
  int activated = 0;
  ConfigureMainWindowCom(com, [&](TSerialCom&) { ++activated; });
  EXPECT_TRUE(com.Overlapped());
  EXPECT_EQ(com.InpQueue(), 16384);
  EXPECT_EQ(com.Timeouts().Record().ReadTotalTimeoutConstant, 400u);
  EXPECT_EQ(com.DCB().BaudRate(), 115200u);
  EXPECT_EQ(com.DCB().Record().Flags, 0x1011u) << "fBinary, DTR on, RTS on";
  EXPECT_FALSE(com.Active()) << "the preset opens nothing";
  ASSERT_TRUE(com.onActivate);
  com.onActivate(com);
  EXPECT_EQ(activated, 1);
}

TEST(SerialComDefaults, FlagMemberNIsBitN) {
  EXPECT_EQ(TDcbFlags{fBinary}.Word(), 1u);
  EXPECT_EQ(TDcbFlags{fDtrControlEnable}.Word(), 1u << 4);
  EXPECT_EQ(TDcbFlags{fAbortOnError}.Word(), 1u << 14);
  EXPECT_EQ(TDcbFlags::FromWord(0xFFFF).Word(), 0x7FFFu) << "bit 15 is always 0";
  EXPECT_EQ((TDcbFlags{fBinary, fOutX}.Exclude(fBinary).Include(fInX).Word()), (1u << 8) | (1u << 9));
}

TEST_F(SerialCom, EverythingOnAClosedPortSaysItIsClosed) {
  std::uint8_t buffer[8];
  std::memset(buffer, 0xbd, sizeof buffer);
  win::OVERLAPPED ov{};
  EXPECT_THROW(com_.Read(buffer, 8), ECommError);
  EXPECT_THROW(com_.ReadEx(buffer, 8, &ov), ECommError);
  EXPECT_THROW(com_.Write(buffer, 8), ECommError);
  EXPECT_THROW(com_.ApplyTimeouts(), ECommError);
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
  EXPECT_THROW(com_.Open(), ECommError);
  ExpectClosedState();

  TSerialCom first;
  first.SetComName(pty_.path());
  first.Open();
  std::size_t with_first = win::detail::object_count();
  com_.SetComName(pty_.path());
  EXPECT_THROW(com_.Open(), ECommError);
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
  EXPECT_THROW(com_.Open(), ECommError);
  ExpectClosedState();
  com_.DCB().SetByteSize(8);
  com_.Timeouts().SetReadInterval(win::MAXDWORD);
  com_.Timeouts().SetReadTotalMultiplier(win::MAXDWORD);
  com_.Timeouts().SetReadTotalConstant(win::MAXDWORD);
  EXPECT_THROW(com_.Open(), ECommError);
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

  com_.DCB().SetByteSize(7);
  EXPECT_EQ(tcsetattr_calls, ++calls);
  EXPECT_EQ(sys_.Last().c_cflag & CSIZE, static_cast<tcflag_t>(CS7));
  com_.DCB().SetByteSize(7);
  EXPECT_EQ(tcsetattr_calls, calls) << "same value, nothing sent";
  com_.Close();
  com_.DCB().SetByteSize(6);
  EXPECT_EQ(tcsetattr_calls, calls) << "a closed port only stores";
  EXPECT_EQ(com_.DCB().ByteSize(), 6);
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
