// The program's channel scale applied to the simulated module's samples gives back the
// voltage at the input, with and without input errors that a matching calibration
// corrects: what lets the graphs show physically plausible values.
#include "acquisition/protocol_bytes.h"
#include "acquisition/scaling.h"
#include "simulator/module_model.h"

#include <gtest/gtest.h>

#include <vector>

namespace osc {
namespace {

using namespace std::chrono_literals;

struct Case {
  int polarity, gain;
  bool aux;
  double volts;
  double gain_error = 0, zero_error = 0;  // the module's, and the calibration's
};

std::uint8_t FirstSample(const Case& c, std::uint16_t mode, std::uint8_t offset) {
  sim::ModuleModel m(sim::ModuleType::FourChannel);
  m.set_pace(0);
  const int channel = c.aux ? 5 : 1;
  sim::InputSetup in = m.input(channel);
  in.gain_error = c.gain_error;
  in.zero_error_bipolar = c.polarity == piBipolar ? c.zero_error : 0;
  in.zero_error_ac = c.polarity == piAC || c.aux ? c.zero_error : 0;
  in.ac_coupled = c.polarity == piAC;
  m.set_input(channel, in);
  m.set_signal(channel, {sim::Waveform::Square, 1.0, c.volts, 0.0});  // +volts for half a second
  auto request = ParameterRequest(mode, offset);
  m.receive(request, sim::kFastBaud, 1s);
  std::uint8_t start = StartByteOf(0x01, false);
  m.receive(std::span(&start, 1), sim::kFastBaud, 1s);
  std::vector<std::uint8_t> out;
  m.transmit(out, 5 + 12 + 1, sim::kFastBaud, 1s);
  EXPECT_EQ(out.size(), 18u);
  return out.back();
}

TEST(SimulatedModuleScaling, ProgramScaleRecoversTheInputVoltage) {
  const Case cases[] = {{piPositive, giX2, false, 3.1},
                        {piBipolar, giX1, false, -4.4},
                        {piBipolar, giX4, false, -0.3},
                        {piAC, giX1, false, -7.0},
                        {piAC, giX4, false, -1.1},
                        {piPositive, giX1, true, -321.0},
                        {piPositive, giX4, true, 60.0},
                        {piBipolar, giX2, false, 1.7, 3.0, 2.0},
                        {piAC, giX1, false, -5.0, -4.0, -1.5},
                        {piPositive, giX1, false, 11.0, 5.0, 0.0},
                        {piPositive, giX2, true, 100.0, 0.0, 3.0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << "polarity " << c.polarity << " gain " << c.gain << " aux " << c.aux
                                      << " errors " << c.gain_error << "/" << c.zero_error);
    InputSelection inputs;
    (c.aux ? inputs.ch5 : inputs.ch1) = true;
    const std::uint16_t mode = ModeWordOf(0, c.gain, c.polarity, inputs);
    const std::uint8_t offset = DefaultOffset(c.polarity, c.gain, c.aux);
    TOscRozsah range(16.0);
    const int channel = c.aux ? 5 : 1;
    range.CH[channel].Gain = c.gain_error;
    (c.polarity == piBipolar ? range.CH[channel].OffsetBip : range.CH[channel].OffsetAC) = c.zero_error;
    const TChannelScale scale = ComputeChannelScales(range, c.gain, c.polarity, mode, offset)[0];
    ASSERT_LT(scale.Low, c.volts);
    ASSERT_GT(scale.High, c.volts);
    double value = RawToValue(FirstSample(c, mode, offset), scale.Low, scale.High);
    EXPECT_NEAR(value, c.volts, (scale.High - scale.Low) / 255.0 / 2 * 1.0001);
  }
}

}  // namespace
}  // namespace osc
