#include "simulator/module_model.h"

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

// 10 bits per byte: 86.8 us at 115200 Bd.
TEST(ModuleModel, PacingFollowsTheLineRate) {
  ModelHost host(ModuleType::FourChannel, 1.0);
  const SimTime t0 = host.now;
  host.send({0xF5});
  EXPECT_EQ(host.model.next_output_due(host.now), t0 + 86806ns);
  host.advance(86805ns);
  EXPECT_TRUE(host.take().empty());
  host.advance(1ns);
  EXPECT_EQ(host.take().size(), 1u);
  host.now = t0 + 8 * 86806ns;
  EXPECT_EQ(host.take().size(), 7u);
  EXPECT_EQ(host.model.next_output_due(host.now), std::nullopt);

  host.exchange({0x91});
  const SimTime s0 = host.now;
  host.now = s0 + 1s;
  EXPECT_NEAR(static_cast<double>(host.take(100000).size()), 11520.0, 1.0);
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

TEST(Uart, ReclockingBetweenRates) {
  const Bytes data{0x00, 0x55, 0xFF, 0xF5};
  Bytes same;
  Reclock(data, kFastBaud, kFastBaud, same, nullptr);
  EXPECT_EQ(same, data);

  // 0xFF at 19200 Bd: the 6x faster receiver sees the start bit as five zero data bits.
  Bytes fast;
  bool fe = false;
  Reclock(Bytes{0xFF}, kSlowBaud, kFastBaud, fast, &fe);
  EXPECT_EQ(fast, Bytes{0xE0});
  EXPECT_FALSE(fe);
  // 0x00 at 19200 Bd holds the line low for 54 fast bits: one zero byte with a bad stop bit.
  fast.clear();
  Reclock(Bytes{0x00}, kSlowBaud, kFastBaud, fast, &fe);
  EXPECT_EQ(fast, Bytes{0x00});
  EXPECT_TRUE(fe);
  // Six fast bytes fit into one slow frame.
  Bytes slow;
  Reclock(Bytes(12, 0xF5), kFastBaud, kSlowBaud, slow, nullptr);
  EXPECT_LE(slow.size(), 3u);
}

}  // namespace
}  // namespace osc::sim::test
