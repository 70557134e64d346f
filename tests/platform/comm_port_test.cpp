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
#include <fstream>

using namespace osc::win;
using osc::test::Bytes;

namespace {

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
