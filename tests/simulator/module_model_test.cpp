#include "simulator/module_model.h"

#include "simulator/sim_comm_device.h"
#include "simulator/simulated_module.h"

#include "simulator/uart.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <vector>

namespace osc::sim::test {
namespace {

using Bytes = std::vector<std::uint8_t>;
using namespace std::chrono_literals;

// A host talking to the model on a hand-driven clock.
struct ModelHost {
  explicit ModelHost(ModuleType type, double pace = 0) : model(type) { model.set_pace(pace); }

  void send(std::initializer_list<std::uint8_t> bytes) { model.receive(Bytes(bytes), baud, now); }
  // Everything due by `now`, at most `max` module bytes.
  Bytes take(std::size_t max = 4096) {
    Bytes out;
    model.transmit(out, max, baud, now);
    return out;
  }
  Bytes exchange(std::initializer_list<std::uint8_t> request, std::size_t max = 4096) {
    send(request);
    return take(max);
  }
  void advance(SimTime d) { now += d; }

  ModuleModel model;
  SimTime now = 1s;
  DWORD baud = kFastBaud;
};

TEST(ModuleModel, StreamingIgnoresCommandsUntilABreak) {
  ModelHost host(ModuleType::FourChannel);
  host.model.set_signal(1, {Waveform::Pattern});
  host.exchange({0x91}, 12);
  host.send({0xF5, 0xFD, 0x91});
  Bytes s = host.take(100);
  for (std::size_t k = 0; k < s.size(); ++k)
    ASSERT_EQ(s[k], ExpectedSample(1, k));
  EXPECT_EQ(host.model.ignored_bytes(), 3u);

  host.model.set_break(true, host.now);
  EXPECT_TRUE(host.take().empty());
  EXPECT_EQ(host.model.state(), ModuleState::Commands);
  host.model.set_break(false, host.now);
  EXPECT_EQ(host.exchange({0xF5}).size(), 8u);
}

// A stream silenced for good sends nothing while silent and, when the silence ends,
// goes on at the line rate from then: no burst of the held-back bytes, no lost sample.
TEST(ModuleModel, SilenceForGoodPausesTheStreamWithoutABurst) {
  ModelHost host(ModuleType::FourChannel, 1.0);
  host.model.set_signal(1, {Waveform::Pattern});
  host.exchange({0x91});
  host.advance(100ms);
  const Bytes before = host.take(100000);
  host.model.inject(Fault::Silence, FaultMode::Always);
  host.advance(500ms);  // nobody asks while the stream is quiet
  host.model.end_silence(host.now);
  host.model.clear_faults();
  host.advance(10ms);
  const Bytes after = host.take(100000);
  EXPECT_NEAR(static_cast<double>(after.size()), 115.2, 2.0);
  ASSERT_FALSE(after.empty());
  const std::uint64_t next = before.size() - 12;  // the start reply came first
  EXPECT_EQ(after[0], ExpectedSample(1, next));
}

// The module's port through the serial engine's device seam is busy while open.
TEST(SimCommDevice, OnePortAtATime) {
  ResetSimulatedModules();
  SimulatedModule& module = SimulatedModuleFor("sim4");
  DWORD error = 0;
  auto port = module.open(&error);
  ASSERT_NE(port, nullptr);
  EXPECT_EQ(module.open(&error), nullptr);
  EXPECT_EQ(error, win::ERROR_ACCESS_DENIED);
  port.reset();
  EXPECT_NE(module.open(&error), nullptr);
}

}  // namespace
}  // namespace osc::sim::test
