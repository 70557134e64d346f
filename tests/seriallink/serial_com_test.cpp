// TSerialCom through the real termios backend on a pseudo-terminal.
#include "seriallink/serial_com.h"

#include "platform/comm/comm.h"
#include "platform/comm/comm_posix.h"
#include "platform/kernel/kernel.h"
#include "platform/kernel/kernel_object.h"
#include "support/comm_support.h"

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <string>
#include <vector>

using namespace osc;
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

// The handlers see the port open and, on close, already released; a failing one still
// lets the handles go.
TEST_F(SerialCom, OpenAndCloseCallTheHandlersInOrder) {
  std::vector<std::string> log;
  com_.SetOverlapped(true);
  com_.onActivate = [&](TSerialCom& sender) {
    EXPECT_EQ(&sender, &com_);
    EXPECT_TRUE(sender.Active());
    EXPECT_NE(sender.Handle(), INVALID_HANDLE_VALUE);
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
  EXPECT_EQ(com_.Handle(), opened) << "no second handle";
  EXPECT_EQ(win::detail::object_count(), open_count) << "no new event";
  com_.SetActive(false);
  com_.Close();
  EXPECT_EQ(log, (std::vector<std::string>{"activate", "deactivate"}))
      << "closing a closed port calls nothing";
  ExpectClosedState();

  com_.Open();
  com_.onDeactivate = [](TSerialCom&) { throw Exception("handler failed"); };
  EXPECT_THROW(com_.Close(), Exception);
  ExpectClosedState();
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

TEST_F(SerialCom, LineSettingsApplyAtOnceExceptTheBaudRate) {
  com_.Open();
  int calls = tcsetattr_calls;
  com_.DCB().SetBaudRate(19200);
  EXPECT_EQ(tcsetattr_calls, calls) << "the rate is only stored";
  com_.ApplyState();
  EXPECT_EQ(tcsetattr_calls, ++calls);
  termios line = pty_.slave_termios();
  EXPECT_EQ(cfgetospeed(&line), static_cast<speed_t>(B19200));

  com_.DCB().SetByteSize(7);
  EXPECT_EQ(tcsetattr_calls, ++calls);
  EXPECT_EQ(sys_.Last().c_cflag & CSIZE, static_cast<tcflag_t>(CS7));
  com_.DCB().SetByteSize(7);
  EXPECT_EQ(tcsetattr_calls, calls) << "same value, nothing sent";
  com_.DCB().SetFlags(TDcbFlags{fBinary, fOutxCtsFlow});
  EXPECT_TRUE(sys_.Last().c_cflag & CRTSCTS) << "each flag is its DCB bit";
  com_.Close();
  calls = tcsetattr_calls;
  com_.DCB().SetByteSize(6);
  com_.ApplyState();
  com_.Purge(win::PURGE_RXCLEAR);
  EXPECT_EQ(tcsetattr_calls, calls) << "a closed port only stores";
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
