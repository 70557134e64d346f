// The exchanges with the simulated modules "SIM4" and "SIM2", through the
// serial layer, on an overlapped and on a blocking port.
#include "acquisition/protocol.h"

#include "simulator/simulated_module.h"
#include "support/protocol_rig.h"

#include <gtest/gtest.h>

#include <chrono>
#include <optional>

namespace osc::test {
namespace {

using sim::Fault;
using sim::FaultMode;
using sim::SimulatedModuleFor;

sim::SimulatedModule& Sim4() {
  return SimulatedModuleFor("SIM4");
}
sim::SimulatedModule& Sim2() {
  return SimulatedModuleFor("SIM2");
}

class ProtocolTest : public ::testing::TestWithParam<bool> {
 protected:
  void SetUp() override {
    sim::RegisterSimulatedPorts();
    sim::ResetSimulatedModules();
    Sim4().set_pace(0);
    Sim2().set_pace(0);
  }
  bool overlapped() const { return GetParam(); }
  ProtocolRig rig4{GetParam(), "SIM4"};
};

// Both models: the first identification opens the port, the parameters reach the module
// with their echo (the 4-channel one carries readings), raw values come with their zero
// marker, and a port that cannot be opened is an error.
TEST_P(ProtocolTest, ExchangesWithBothModels) {
  Sim4().set_signal(2, {sim::Waveform::DC, 0, 0, 8.0});
  Sim4().set_signal(5, {sim::Waveform::DC, 0, 0, 0.0});
  Sim4().set_signal(6, {sim::Waveform::DC, 0, 0, -248.0});
  rig4.state.ModeWord = 0x0115;
  rig4.state.OffsetByte = 21;
  EXPECT_FALSE(rig4.com.Active()) << "the port waits for the first identification";
  ASSERT_TRUE(rig4.protocol.Identify());
  EXPECT_EQ(rig4.host.models, std::vector<int>{kModelFourChannel});
  EXPECT_EQ(rig4.protocol.QueryRawValue(2, true), 512 * 16) << "Positive: zero reading = plain";
  EXPECT_TRUE(rig4.protocol.SendParameters());
  EXPECT_EQ(Sim4().mode_word(), 0x0115);
  EXPECT_EQ(Sim4().offset_byte(), 21);
  EXPECT_EQ(rig4.host.readings, std::vector<std::string>{"AN1: 128   AN2:  64"});

  ProtocolRig rig2(overlapped(), "SIM2");
  rig2.state.ModeWord = 0x0002;
  rig2.state.OffsetByte = 7;
  Sim2().set_signal(1, {sim::Waveform::DC, 0, 0, 16.0});
  ASSERT_TRUE(rig2.protocol.Identify());
  EXPECT_EQ(rig2.host.two_channel_found, 1);
  EXPECT_TRUE(rig2.protocol.SendParameters());
  EXPECT_EQ(Sim2().offset_byte(), 7);
  EXPECT_TRUE(rig2.host.readings.empty()) << "the 2-channel echo has no readings";
  EXPECT_EQ(rig2.protocol.QueryRawValue(1, true), 16368);
  rig2.host.port = "SIM9";
  rig2.com.Close();
  rig2.state.DeviceFound = false;
  EXPECT_THROW(rig2.protocol.QueryRawValue(1, true), ECommError) << "opening fails";
}

// The handshake recovers from one silence by a break and a second try; the slow mode's
// fails without the acknowledge and leaves the line fast.
TEST_P(ProtocolTest, HandshakesAndTheirRecovery) {
  Sim4().inject(Fault::Silence, FaultMode::Once);
  EXPECT_TRUE(rig4.protocol.IdentifyAndSendParameters());
  rig4.state.ChannelMask = 0x01;
  rig4.state.SlowMode = true;
  Sim4().inject(Fault::Silence, FaultMode::Once);
  rig4.protocol.SendStartByte();
  EXPECT_FALSE(rig4.protocol.SlowModeHandshake());
  EXPECT_EQ(rig4.com.DCB().BaudRate(), 115200u) << "the line stays fast";
}

// Every fault spoils its exchange cleanly, within a bounded time (a hang guard
// far above the 100 ms and 400 ms waits involved, not a speed target), and the
// next attempt the program would make succeeds once the fault is gone.
enum class Exchange { Identify, Parameters, Start, RawValue };

class FaultMatrix {
 public:
  explicit FaultMatrix(ProtocolRig& rig) : rig_(rig) {
    Sim4().set_pace(20);  // a start that fails half-way leaves the module streaming
    rig_.state.ChannelMask = 0x01;
    rig_.state.ModeWord = 0x0002;
  }

  void run(Exchange e, std::initializer_list<Fault> faults) {
    for (Fault f : faults) {
      for (FaultMode mode : {FaultMode::Once, FaultMode::Always}) {
        SCOPED_TRACE(::testing::Message()
                     << "exchange " << static_cast<int>(e) << ", fault " << static_cast<int>(f)
                     << (mode == FaultMode::Once ? " once" : " for good"));
        auto t0 = std::chrono::steady_clock::now();
        EXPECT_EQ(faulty(e, f, mode), std::optional<bool>(false));
        EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(3)) << "hang guard";
        Sim4().clear_faults();
        EXPECT_TRUE(attempt(e)) << "the next attempt after the fault";
        EXPECT_TRUE(attempt(e));
      }
    }
  }

 private:
  // One attempt as the program makes it: the timer tick's handshake (with its
  // break and second try) before parameters and a start; a start ends with a
  // stop.
  bool attempt(Exchange e) {
    DeviceProtocol& p = rig_.protocol;
    switch (e) {
      case Exchange::Identify:
        return p.Identify();
      case Exchange::Parameters:
        return p.IdentifyAndSendParameters();
      case Exchange::Start: {
        if (!p.IdentifyAndSendParameters()) return false;
        p.SendStartByte();
        p.BeginStartReply();
        bool ok = p.FinishStartReply();
        return p.Stop() && ok;
      }
      case Exchange::RawValue:
        return p.QueryRawValue(1, false) != kNoValue;
    }
    return false;
  }

  // The exchange with the fault injected just before it; nullopt when what
  // precedes it failed.
  std::optional<bool> faulty(Exchange e, Fault f, FaultMode mode) {
    DeviceProtocol& p = rig_.protocol;
    try {
      if (!p.Identify()) return std::nullopt;
      if ((e == Exchange::Parameters || e == Exchange::Start) && !p.SendParameters()) return std::nullopt;
      Sim4().inject(f, mode);
      switch (e) {
        case Exchange::Identify:
          return p.Identify();
        case Exchange::Parameters:
          return p.SendParameters();
        case Exchange::Start:
          p.SendStartByte();
          p.BeginStartReply();
          return p.FinishStartReply();
        case Exchange::RawValue:
          return p.QueryRawValue(1, false) != kNoValue;
      }
    } catch (const ECommError& error) {
      EXPECT_EQ(f, Fault::PulledCable) << error.what();
      EXPECT_FALSE(rig_.com.Active()) << "closed, to be opened again by the next identification";
      return false;
    }
    return std::nullopt;
  }

  ProtocolRig& rig_;
};

TEST_P(ProtocolTest, FaultsOfEachExchange) {
  FaultMatrix matrix(rig4);
  matrix.run(Exchange::Identify, {Fault::LostByte, Fault::CorruptedByte, Fault::WrongIdentification,
                                  Fault::ShortIdentification, Fault::Silence, Fault::PulledCable});
  matrix.run(Exchange::Parameters,
             {Fault::LostByte, Fault::CorruptedByte, Fault::WrongEcho, Fault::Silence, Fault::PulledCable});
  matrix.run(Exchange::Start,
             {Fault::LostByte, Fault::CorruptedByte, Fault::WrongEcho, Fault::Silence, Fault::PulledCable});
  matrix.run(Exchange::RawValue, {Fault::LostByte, Fault::CorruptedByte, Fault::WrongEcho, Fault::BadChecksum,
                                  Fault::Silence, Fault::PulledCable});
}

INSTANTIATE_TEST_SUITE_P(PortModes, ProtocolTest, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& info) {
                           return info.param ? "Overlapped" : "Blocking";
                         });

}  // namespace
}  // namespace osc::test
