// The whole calibration loop without hardware: the simulated 4-channel module with a
// known gain and zero error on CH 2, the device protocol on a serial port, the dialogs
// launched as the settings dialog launches them; then a stream of the calibrated
// channel, scaled with the stored corrections, reads the true input voltage.
#include <gtest/gtest.h>
#include <QApplication>
#include <QPushButton>
#include <QTimer>
#include <vector>

#include "acquisition/protocol.h"
#include "acquisition/scaling.h"
#include "controls/qt/spin_box.h"
#include "controls/timer_source.h"
#include "seriallink/serial_com.h"
#include "simulator/simulated_module.h"
#include "support/format_scope.h"
#include "support/protocol_rig.h"
#include "ui/calib_dialog.h"

using namespace osc;
using namespace std::chrono_literals;

namespace {

constexpr auto kGenerous = 10s;
constexpr double kGainError = 3.7;   // percent
constexpr double kZeroError = -2.3;  // percent of full scale, Bipolar
constexpr int kChannel = 2;

sim::SimulatedModule& Module() {
  return sim::SimulatedModuleFor("SIM4");
}

void ConnectDc(double volts) {
  Module().set_signal(kChannel, {sim::Waveform::DC, 0, 0, volts});
}

class CalibLoop : public ::testing::Test {
 protected:
  void SetUp() override {
    sim::RegisterSimulatedPorts();
    sim::ResetSimulatedModules();
    Module().set_pace(0);
    sim::InputSetup input = Module().with_model([](sim::ModuleModel& m) { return m.input(kChannel); });
    input.range = 16;
    input.gain_error = kGainError;
    input.zero_error_bipolar = kZeroError;
    Module().set_input(kChannel, input);
    ConfigureMainWindowCom(port.com, [this](TSerialCom&) { port.protocol.PortActivated(); });
    port.com.SetOverlapped(false);
    port.host.port = "SIM4";
    port.protocol.SetSleep([](win::DWORD) {});
    inputs.ch2 = true;
  }
  void TearDown() override { reader.WaitIdle(kGenerous); }

  // The main window's polarity selector: the module hears it with the parameters.
  void SelectPolarity(int polarity) {
    ASSERT_TRUE(reader.WaitIdle(kGenerous)) << "a query still uses the port";
    port.state.ModeWord = ModeWordOf(0, giX1, polarity, inputs);
    port.state.OffsetByte = 0;
    ASSERT_TRUE(port.protocol.Identify());
    ASSERT_TRUE(port.protocol.SendParameters());
  }

  // One recording's first block of CH 2 samples.
  std::vector<std::uint8_t> Record() {
    EXPECT_TRUE(reader.WaitIdle(kGenerous)) << "a query still uses the port";
    port.state.ChannelMask = ChannelMaskOf(inputs);
    EXPECT_TRUE(port.protocol.IdentifyAndSendParameters());
    port.protocol.SendStartByte();
    port.protocol.BeginStartReply();
    EXPECT_TRUE(port.protocol.FinishStartReply());
    std::vector<std::uint8_t> block(static_cast<std::size_t>(BlockLengthOf(false)));
    EXPECT_EQ(port.com.Read(block.data(), static_cast<int>(block.size())), static_cast<int>(block.size()));
    EXPECT_TRUE(port.protocol.Stop());
    return block;
  }

  // Every sample of a recording of `volts`, scaled as the graphs scale slot 2, is the
  // voltage within one sample step; the largest difference.
  double WorstError(const TOscRozsah& range, int polarity, double volts) {
    const TChannelScale scale = ComputeChannelScales(range, giX1, polarity, port.state.ModeWord, 0)[1];
    const double step = (scale.High - scale.Low) / 255.0;
    double worst = 0;
    for (std::uint8_t raw : Record())
      worst = std::max(worst, std::fabs(RawToValue(raw, scale.Low, scale.High) - volts));
    return worst / step;  // in sample steps
  }

  // Runs the calibration `button` for CH 2 as the settings dialog does; `operate` is the
  // operator, given the shown dialog after its first reading.
  bool Calibrate(TCalibButton button, int channel, qt::TSpinBox& box,
                 const std::function<void(TFrmMdl4CHCalib&)>& operate) {
    QTimer::singleShot(0, [&] {
      auto* dialog = qobject_cast<TFrmMdl4CHCalib*>(QApplication::activeModalWidget());
      ASSERT_NE(dialog, nullptr);
      operate(*dialog);
      for (int i = 0; i < 3; ++i) {  // live readings
        ASSERT_TRUE(reader.WaitIdle(kGenerous));
        timers.Advance(100);
      }
      EXPECT_TRUE(dialog->BtnKalib->isEnabled());
      dialog->BtnKalib->click();
      if (dialog->isVisible()) dialog->reject();
    });
    return RunCalibration(button, channel - 1, &entry, box, reader, nullptr, &timers);
  }

  test::FormatScope dot{'.', ','};
  test::ProtocolRig port{false, "SIM4"};
  InputSelection inputs;
  TOscRozsah entry{16};
  TSteppedTimers timers;
  TRawReader reader{[this](int slot, bool zero) { return port.protocol.QueryRawValue(slot, zero); }};
};

// The settings dialog's calibration box of a field of the entry.
void MakeCalibBox(qt::TSpinBox& box, double& field) {
  box.SetMode(TSpinBoxMode::fsFloat);
  box.SetDigits(2);
  box.SetConst_K(0.01);
  box.SetMinValue(-2000);
  box.SetMaxValue(2000);
  box.SetScaledValue(field);
  box.OnChange = [&box, &field](TCustomSpinBox&) { field = box.Value() * 0.01; };
}

}  // namespace

// The zero is measured on the calibrated full scale: the gain comes first.
TEST_F(CalibLoop, GainThenZeroCalibrationMakeTheRecordingReadTheTrueVoltage) {
  qt::TSpinBox gain_box;
  qt::TSpinBox bip_box;
  MakeCalibBox(gain_box, entry.CH[kChannel].Gain);
  MakeCalibBox(bip_box, entry.CH[kChannel].OffsetBip);
  SelectPolarity(piPositive);
  ConnectDc(11.3);
  EXPECT_GT(WorstError(entry, piPositive, 11.3), 5.0) << "uncalibrated, the gain error shows";
  ConnectDc(12.0);  // the known voltage, within 8 .. 16 V
  ASSERT_TRUE(Calibrate(TCalibButton::bbCalibGain, kChannel, gain_box, [](TFrmMdl4CHCalib& dialog) {
    dynamic_cast<TFrmMdl4CHCalibGain&>(dialog).SbSkut->SetValue(12.0);
  }));
  EXPECT_NEAR(entry.CH[kChannel].Gain, kGainError, 0.15);  // one 10-bit step at 12 V is 0.13 %
  ConnectDc(4.2);
  EXPECT_LE(WorstError(entry, piPositive, 4.2), 1.0);

  SelectPolarity(piBipolar);
  ConnectDc(2.7);
  EXPECT_GT(WorstError(entry, piBipolar, 2.7), 5.0) << "uncalibrated, the zero error shows";
  ConnectDc(0.0);  // the terminal on GND
  ASSERT_TRUE(Calibrate(TCalibButton::bbCalibBip, kChannel, bip_box, [](TFrmMdl4CHCalib&) {}));
  EXPECT_NEAR(entry.CH[kChannel].OffsetBip, kZeroError, 0.15);  // one 10-bit step is 0.1 %
  for (double volts : {2.7, -4.1, 9.6}) {
    SCOPED_TRACE(volts);
    ConnectDc(volts);
    EXPECT_LE(WorstError(entry, piBipolar, volts), 1.0);
  }
}

TEST_F(CalibLoop, NoChannelSelectedAsksTheModuleNothing) {
  ASSERT_TRUE(port.protocol.Identify());
  const auto before = Module().with_model([](sim::ModuleModel& m) { return m.raw_queries(); });
  EXPECT_EQ(port.protocol.QueryRawValue(0, true), kNoValue);
  EXPECT_EQ(port.protocol.QueryRawValue(-1, false), kNoValue);
  EXPECT_EQ(Module().with_model([](sim::ModuleModel& m) { return m.raw_queries(); }), before);
}
