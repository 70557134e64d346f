// TSerialCom through the real termios backend on a pseudo-terminal.
#include "seriallink/serial_com.h"

#include "platform/comm/comm.h"
#include "platform/kernel/kernel.h"
#include "platform/kernel/kernel_object.h"
#include "support/comm_support.h"

#include <gtest/gtest.h>

#include <functional>

using namespace osc;
using win::HANDLE;
using win::INVALID_HANDLE_VALUE;

namespace {

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

  osc::test::PtyPair pty_;
  TSerialCom com_;
  std::size_t baseline_ = 0;
};

// Open calls the handler once, on a port already usable; closing twice is closing once.
TEST_F(SerialCom, OpenCallsTheHandlerOnceAndCloseReleasesEverything) {
  int activated = 0;
  com_.SetOverlapped(true);
  com_.onActivate = [&](TSerialCom& sender) {
    EXPECT_EQ(&sender, &com_);
    EXPECT_TRUE(sender.Active());
    EXPECT_NE(sender.Handle(), INVALID_HANDLE_VALUE);
    ++activated;
  };
  com_.Open();
  const HANDLE opened = com_.Handle();
  EXPECT_TRUE(com_.OverlappedOpen());
  const std::size_t open_count = win::detail::object_count();
  com_.Open();
  EXPECT_EQ(com_.Handle(), opened) << "no second handle";
  EXPECT_EQ(win::detail::object_count(), open_count) << "no new event";
  EXPECT_EQ(activated, 1);
  com_.Close();
  com_.Close();
  ExpectClosedState();
  HANDLE again = win::CreateFile(pty_.path(), 0, 0, win::OPEN_EXISTING, 0);
  EXPECT_NE(again, INVALID_HANDLE_VALUE) << "the device is closed";
  win::CloseHandle(again);
}

// Each way an open can fail: nothing stays open and no handler runs.
TEST_F(SerialCom, FailedOpenLeavesNothingOpen) {
  com_.SetOverlapped(true);
  int handlers = 0;
  com_.onActivate = [&](TSerialCom&) { ++handlers; };
  com_.onDeactivate = [&](TSerialCom&) { ++handlers; };
  TSerialCom other;
  other.SetComName(pty_.path());
  const std::pair<const char*, std::function<void()>> failures[] = {
      {"missing device", [&] { com_.SetComName("/dev/osc-missing"); }},
      {"device in use",
       [&] {
         com_.SetComName(pty_.path());
         other.Open();
       }},
      {"invalid line settings",
       [&] {
         other.Close();
         com_.DCB().SetByteSize(4);  // a closed port only stores
       }},
      {"invalid time-outs",
       [&] {
         com_.DCB().SetByteSize(8);
         com_.Timeouts().SetReadInterval(win::MAXDWORD);
         com_.Timeouts().SetReadTotalMultiplier(win::MAXDWORD);
         com_.Timeouts().SetReadTotalConstant(win::MAXDWORD);
       }},
  };
  for (const auto& [what, spoil] : failures) {
    SCOPED_TRACE(what);
    spoil();
    const std::size_t before = win::detail::object_count();
    EXPECT_THROW(com_.Open(), ECommError);
    EXPECT_FALSE(com_.Active());
    EXPECT_FALSE(com_.OverlappedOpen());
    EXPECT_EQ(win::detail::object_count(), before);
  }
  EXPECT_EQ(handlers, 0);
  std::uint8_t byte = 0;
  EXPECT_THROW(com_.Write(&byte, 1), ECommError);
  com_.Timeouts().SetReadTotalConstant(100);
  com_.Open();
  EXPECT_TRUE(com_.Active());
}

// A closed port only stores its line settings; Open applies them, and a later rate waits
// for ApplyState.
TEST_F(SerialCom, LineSettingsReachTheLineAtOpenAndTheRateAtApplyState) {
  com_.DCB().SetFlags(TDcbFlags{fBinary, fOutxCtsFlow});
  com_.DCB().SetBaudRate(19200);
  EXPECT_NO_THROW(com_.ApplyState());
  com_.Open();
  termios line = pty_.slave_termios();
  EXPECT_TRUE(line.c_cflag & CRTSCTS) << "each flag is its DCB bit";
  EXPECT_EQ(cfgetospeed(&line), static_cast<speed_t>(B19200));
  com_.DCB().SetBaudRate(9600);
  line = pty_.slave_termios();
  EXPECT_EQ(cfgetospeed(&line), static_cast<speed_t>(B19200)) << "the rate is only stored";
  com_.ApplyState();
  line = pty_.slave_termios();
  EXPECT_EQ(cfgetospeed(&line), static_cast<speed_t>(B9600));
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
