// "SIM4" and "SIM2" through the serial API, as the program opens any port.
#include "platform/comm/comm.h"
#include "platform/kernel/kernel.h"
#include "simulator/simulated_module.h"

#include <gtest/gtest.h>

#include <array>
#include <span>

namespace osc::sim::test {
namespace {

using namespace win;

class SimPortsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    RegisterSimulatedPorts();
    ResetSimulatedModules();
    SimulatedModuleFor("SIM2").set_pace(0);
  }
  static HANDLE Open(const char* name) {
    return CreateFile(name, GENERIC_READ | GENERIC_WRITE, 0, OPEN_EXISTING, 0);
  }
  static void SetRate(HANDLE h, DWORD baud) {
    DCB dcb;
    ASSERT_TRUE(GetCommState(h, &dcb));
    dcb.BaudRate = baud;
    ASSERT_TRUE(SetCommState(h, &dcb));
  }
  static DWORD Transfer(HANDLE h, std::uint8_t request, std::uint8_t* reply, DWORD count) {
    DWORD n = 0;
    EXPECT_TRUE(WriteFile(h, &request, 1, &n, nullptr));
    EXPECT_TRUE(ReadFile(h, reply, count, &n, nullptr));
    return n;
  }
};

TEST_F(SimPortsTest, OpenedByNameOnceAtATime) {
  HANDLE h = Open("sim2");
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  EXPECT_EQ(Open("SIM2"), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
  COMMTIMEOUTS t{400, 10, 400, 10, 400};
  ASSERT_TRUE(SetCommTimeouts(h, &t));
  SetRate(h, 115200);
  std::array<std::uint8_t, 8> reply{};
  EXPECT_EQ(Transfer(h, 0xF5, reply.data(), 8), 8u);
  EXPECT_EQ(reply[3], '2');
  EXPECT_TRUE(CloseHandle(h));
  h = Open("SIM2");
  EXPECT_NE(h, INVALID_HANDLE_VALUE);
  CloseHandle(h);
}

// At the wrong rate the reply is garbled, reported as a framing error, and a read
// that gets fewer bytes ends by its time-out with what came.
TEST_F(SimPortsTest, WrongRateShowsAsFramingErrors) {
  HANDLE h = Open("SIM2");
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  COMMTIMEOUTS t{20, 0, 50, 0, 100};
  ASSERT_TRUE(SetCommTimeouts(h, &t));
  SetRate(h, 19200);
  // The module hears the identification request at its own rate and answers at 115200
  // Bd while the port listens at 19200: set before the request, the port cannot catch
  // the reply at the right rate however the threads are scheduled.
  const std::uint8_t ident = 0xF5;
  SimulatedModuleFor("SIM2").with_model(
      [&](ModuleModel& m) { m.receive(std::span(&ident, 1), 115200, MonotonicNow()); });
  std::array<std::uint8_t, 8> reply{};
  DWORD n = 0;
  ASSERT_TRUE(ReadFile(h, reply.data(), 8, &n, nullptr));
  EXPECT_LT(n, 8u);
  DWORD errors = 0;
  ASSERT_TRUE(ClearCommError(h, &errors, nullptr));
  EXPECT_EQ(errors & CE_FRAME, CE_FRAME);
  CloseHandle(h);
}

TEST_F(SimPortsTest, PulledCableFailsTransfersUntilReopened) {
  HANDLE h = Open("SIM2");
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  SetRate(h, 115200);
  SimulatedModuleFor("SIM2").inject(Fault::PulledCable, FaultMode::Always);
  std::uint8_t b = 0xF5;
  DWORD n = 0;
  bool failed = !WriteFile(h, &b, 1, &n, nullptr) || !ReadFile(h, &b, 1, &n, nullptr);
  EXPECT_TRUE(failed);
  EXPECT_EQ(GetLastError(), ERROR_DEVICE_NOT_CONNECTED);
  CloseHandle(h);
  EXPECT_EQ(Open("SIM2"), INVALID_HANDLE_VALUE);
  SimulatedModuleFor("SIM2").clear_faults();
  h = Open("SIM2");
  EXPECT_NE(h, INVALID_HANDLE_VALUE);
  CloseHandle(h);
}

}  // namespace
}  // namespace osc::sim::test
