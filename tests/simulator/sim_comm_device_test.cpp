// The simulated module through the serial engine's device seam.
#include "simulator/sim_comm_device.h"

#include "simulator/simulated_module.h"

#include <gtest/gtest.h>

#include <poll.h>
#include <cerrno>
#include <vector>

namespace osc::sim::test {
namespace {

bool Readable(const win::CommDevice& d, int timeout_ms = 0) {
  pollfd p{d.poll_fd(), POLLIN, 0};
  return poll(&p, 1, timeout_ms) == 1 && (p.revents & POLLIN);
}

win::DCB Line(DWORD baud) {
  win::DCB dcb;
  dcb.DCBlength = sizeof dcb;
  dcb.BaudRate = baud;
  dcb.ByteSize = 8;
  dcb.Flags = win::DCB_fBinary;
  return dcb;
}

class SimCommDeviceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetSimulatedModules();
    module().set_pace(0);
    port = open();
    ASSERT_TRUE(port);
    ASSERT_TRUE(port->configure(Line(kFastBaud)));
  }
  static SimulatedModule& module() { return SimulatedModuleFor("sim4"); }
  static std::unique_ptr<win::CommDevice> open() {
    DWORD error = 0;
    return module().open(&error);
  }

  std::unique_ptr<win::CommDevice> port;
};

TEST_F(SimCommDeviceTest, OnePortAtATime) {
  DWORD error = 0;
  EXPECT_EQ(module().open(&error), nullptr);
  EXPECT_EQ(error, win::ERROR_ACCESS_DENIED);
  port.reset();
  EXPECT_FALSE(module().port_open());
  EXPECT_NE(open(), nullptr);
}

TEST_F(SimCommDeviceTest, PulledCableKillsThePortAndLaterOpens) {
  module().inject(Fault::PulledCable, FaultMode::Once);
  EXPECT_TRUE(Readable(*port)) << "the engine must find out";
  std::uint8_t b = 0;
  errno = 0;
  EXPECT_EQ(port->read_some(&b, 1), -1);
  EXPECT_EQ(errno, ENODEV);
  EXPECT_EQ(port->write_some(&b, 1), -1);
  port.reset();
  port = open();
  ASSERT_NE(port, nullptr) << "plugged back in";

  module().inject(Fault::PulledCable, FaultMode::Always);
  port.reset();
  DWORD error = 0;
  EXPECT_EQ(module().open(&error), nullptr);
  EXPECT_EQ(error, win::ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(module().open(&error), nullptr);
  module().clear_faults();
  port = open();
  ASSERT_NE(port, nullptr);
}

}  // namespace
}  // namespace osc::sim::test
