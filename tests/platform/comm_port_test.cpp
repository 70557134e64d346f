// Opening ports by name, exclusivity, refusing what is not a serial line, line settings.
#include "platform/comm/comm.h"
#include "platform/comm/comm_device.h"
#include "platform/comm/comm_posix.h"
#include "platform/kernel/kernel.h"
#include "platform/kernel/kernel_object.h"
#include "support/comm_support.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <sys/eventfd.h>
#include <unistd.h>
#include <atomic>
#include <fstream>

using namespace osc::win;
using osc::test::Bytes;

namespace {

HANDLE OpenPort(const std::string& name, DWORD flags = 0) {
  return CreateFile(name, GENERIC_READ | GENERIC_WRITE, 0, OPEN_EXISTING, flags);
}

TEST(CommNames, ComNamesMapToFixedDeviceBlocks) {
  struct Row {
    const char* name;
    const char* path;
  };
  const Row rows[] = {
      {"com1", "/dev/ttyS0"},
      {"COM64", "/dev/ttyS63"},
      {"COM65", "/dev/ttyUSB0"},
      {"COM129", "/dev/ttyACM0"},
      {"COM256", "/dev/rfcomm63"},
      {"\\\\.\\COM12", "/dev/ttyS11"},
      {"COM0", "COM0"},
      {"COM257", "COM257"},
      {"COM01", "COM01"},
      {"COM1x", "COM1x"},
      {"SIM4", "SIM4"},
      {"", ""},
  };
  for (const Row& r : rows)
    EXPECT_EQ(CommDevicePath(r.name), r.path) << r.name;
}

TEST(CommNames, TtyDriverListDecidesWhatIsASerialLine) {
  const char* drivers =
      "/dev/tty             /dev/tty        5       0 system:/dev/tty\n"
      "/dev/console         /dev/console    5       1 system:console\n"
      "/dev/ptmx            /dev/ptmx       5       2 system\n"
      "/dev/vc/0            /dev/vc/0       4       0 system:vtmaster\n"
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
  const Row rows[] = {{4, 64, K::kSerialPort},  {4, 95, K::kSerialPort},      {4, 96, K::kNone},
                      {188, 0, K::kSerialPort}, {136, 7, K::kPseudoTerminal}, {5, 1, K::kNone},
                      {4, 5, K::kNone},         {128, 3, K::kNone},           {188, 512, K::kNone}};
  for (const Row& r : rows) {
    EXPECT_EQ(detail::tty_driver_kind(drivers, r.major, r.minor), r.kind) << r.major << ":" << r.minor;
  }
  EXPECT_EQ(detail::tty_driver_kind("", 4, 64), K::kNone);
  EXPECT_EQ(detail::tty_driver_kind("garbage line\n\n  \n", 4, 64), K::kNone);
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

TEST_F(CommOpen, MissingUnknownAndMalformedNamesFail) {
  ExpectOpenFails("/dev/osc-no-such-device", ERROR_FILE_NOT_FOUND);
  ExpectOpenFails("NOSUCHPORT", ERROR_FILE_NOT_FOUND);
  ExpectOpenFails(pty_.path() + std::string(1, '\0') + "x", ERROR_INVALID_NAME);
}

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
  Bytes content = osc::test::Pattern(1000, 1);
  std::ofstream(file, std::ios::binary).write(reinterpret_cast<const char*>(content.data()), content.size());
  ExpectOpenFails("/dev/.." + file, ERROR_FILE_NOT_FOUND);
  std::ifstream in(file, std::ios::binary);
  Bytes after((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(after, content);
  ExpectOpenFails("/dev/null", ERROR_FILE_NOT_FOUND);
  ExpectOpenFails("/dev/tty", ERROR_FILE_NOT_FOUND);  // the controlling terminal
  ExpectOpenFails("/dev/ptmx", ERROR_FILE_NOT_FOUND);
}

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
  DCB back{};
  ASSERT_TRUE(GetCommState(port, &back));
  EXPECT_EQ(back.BaudRate, 19200u);
  EXPECT_EQ(back.Flags, dcb.Flags);

  dcb.Flags = DCB_fBinary;
  dcb.StopBits = 0;
  dcb.BaudRate = 250000;  // no Bnnn code: set through termios2
  ASSERT_TRUE(SetCommState(port, &dcb));
  CloseHandle(port);
  port = OpenPort(pty_.path());
  ASSERT_TRUE(GetCommState(port, &back));
  EXPECT_EQ(back.BaudRate, 250000u) << "read back from the device at open";
  EXPECT_EQ(back.StopBits, 0);
  CloseHandle(port);
}

TEST_F(CommOpen, InvalidLineSettingsAreRefusedAndChangeNothing) {
  HANDLE port = OpenPort(pty_.path());
  ASSERT_NE(port, INVALID_HANDLE_VALUE);
  DCB good{};
  ASSERT_TRUE(GetCommState(port, &good));
  good.BaudRate = 9600;
  ASSERT_TRUE(SetCommState(port, &good));
  struct Row {
    const char* what;
    void (*spoil)(DCB&);
  };
  const Row rows[] = {
      {"4 data bits", [](DCB& d) { d.ByteSize = 4; }},
      {"parity 5", [](DCB& d) { d.Parity = 5; }},
      {"1.5 stop bits with 8 data bits", [](DCB& d) { d.StopBits = 1; }},
      {"2 stop bits with 5 data bits", [](DCB& d) { d.StopBits = 2, d.ByteSize = 5; }},
      {"baud 0", [](DCB& d) { d.BaudRate = 0; }},
      {"XON equal to XOFF with XON/XOFF", [](DCB& d) { d.Flags |= DCB_fOutX, d.XonChar = d.XoffChar = 0; }},
  };
  for (const Row& r : rows) {
    DCB bad = good;
    r.spoil(bad);
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(SetCommState(port, &bad)) << r.what;
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER) << r.what;
    DCB now{};
    ASSERT_TRUE(GetCommState(port, &now));
    EXPECT_EQ(std::memcmp(&now, &good, sizeof(DCB)), 0) << r.what;
  }
  DCB five = good;
  five.ByteSize = 5;
  five.StopBits = 1;
  EXPECT_TRUE(SetCommState(port, &five)) << "1.5 stop bits with 5 data bits";
  CloseHandle(port);
}

// An in-process device under a registered name, as the simulated module is: it reports
// line errors through its descriptor.
struct Script {
  std::atomic<DWORD> errors{0};
  int fd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  ~Script() { close(fd); }
  void ReportError(DWORD e) {
    errors = e;
    std::uint64_t one = 1;
    EXPECT_EQ(write(fd, &one, sizeof one), 8);
  }
};

class ScriptedDevice final : public CommDevice {
 public:
  explicit ScriptedDevice(Script* s) : s_(s) {}
  int poll_fd() const override { return s_->fd; }
  ssize_t read_some(void*, std::size_t) override { return 0; }
  ssize_t write_some(const void*, std::size_t count) override { return static_cast<ssize_t>(count); }
  bool configure(const DCB&) override { return true; }
  bool set_break(bool) override { return true; }
  void purge(DWORD) override {}
  DWORD take_errors() override {
    std::uint64_t drained = 0;
    (void)!read(s_->fd, &drained, sizeof drained);
    return s_->errors.exchange(0);
  }

 private:
  Script* s_;
};

class CommScripted : public ::testing::Test {
 protected:
  void SetUp() override {
    RegisterCommDevice("SCRIPTED", [this](const std::string&, DWORD* error) -> std::unique_ptr<CommDevice> {
      ++made_;
      *error = ERROR_SUCCESS;
      return std::make_unique<ScriptedDevice>(&script_);
    });
    port_ = OpenPort("scripted", FILE_FLAG_OVERLAPPED);
    ASSERT_NE(port_, INVALID_HANDLE_VALUE);
    ov_.hEvent = CreateEvent(true, false);
  }
  void TearDown() override {
    CloseHandle(port_);
    CloseHandle(ov_.hEvent);
    UnregisterCommDevice("SCRIPTED");
  }
  Script script_;
  int made_ = 0;
  HANDLE port_ = INVALID_HANDLE_VALUE;
  OVERLAPPED ov_{};
};

TEST_F(CommScripted, RegisteredNamesOpenExclusively) {
  EXPECT_EQ(OpenPort("SCRIPTED"), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
  EXPECT_EQ(made_, 1) << "the factory is not asked for a device in use";
  ASSERT_TRUE(CloseHandle(port_));
  port_ = OpenPort("Scripted");
  EXPECT_NE(port_, INVALID_HANDLE_VALUE) << "free again after close";
}

TEST_F(CommScripted, LineErrorsEndTransfersUnderAbortOnError) {
  DCB dcb{};
  ASSERT_TRUE(GetCommState(port_, &dcb));
  dcb.Flags |= DCB_fAbortOnError;
  ASSERT_TRUE(SetCommState(port_, &dcb));
  std::uint8_t buffer[4];
  DWORD n = 0;
  ASSERT_FALSE(ReadFile(port_, buffer, 4, &n, &ov_));
  script_.ReportError(CE_FRAME | CE_BREAK);
  ASSERT_EQ(WaitForSingleObject(ov_.hEvent, 10000), WAIT_OBJECT_0) << "the engine watched the device";
  EXPECT_FALSE(GetOverlappedResult(port_, &ov_, &n, false));
  EXPECT_EQ(GetLastError(), ERROR_OPERATION_ABORTED);
  DWORD errors = 0;
  ASSERT_TRUE(ClearCommError(port_, &errors, nullptr));
  EXPECT_EQ(errors, CE_FRAME | CE_BREAK);
  EXPECT_FALSE(ReadFile(port_, buffer, 4, &n, &ov_));
  EXPECT_EQ(GetLastError(), ERROR_IO_PENDING) << "accepted again after the query";
  CancelIo(port_);
}

}  // namespace
