#pragma once
// A main window that shows nothing, and a screen of fixed size: the hosts of the
// recorder, the protocol and the graph view for benchmarks that look only at
// stores, series and drawing. The record button and the main timer are plain flags; the
// run-now message is a flag to poll; errors and beeps are counted.
#include "acquisition/protocol.h"
#include "acquisition/recorder.h"
#include "graph/view_host.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace osc::test {

class QuietWindow : public TRecorderHost, public ProtocolHost {
 public:
  TRecordingControls controls;
  bool down = false;
  bool timer = false;
  bool runNow = false;
  bool peak = false;
  bool autoZoom = true;
  bool autoMove = false;
  std::string port = "SIM4";
  std::vector<std::string> errors;
  int beeps = 0;

  TRecordingControls RecordingControls() override { return controls; }
  void SetCaption(const std::string&) override {}
  void Beep() override { ++beeps; }
  bool RecordButtonDown() override { return down; }
  void SetRecordButtonDown(bool d) override { down = d; }
  void RecordingChanged(bool recording) override { timer = recording; }
  bool MainTimerEnabled() override { return timer; }
  void PostRunTimerNow() override { runNow = true; }
  bool AutoZoom() override { return autoZoom; }
  bool AutoMove() override { return autoMove; }
  bool PeakDisplay() override { return peak; }
  void NavigateEnd() override {}
  void ClearMeasuringPoints() override {}
  void ShowError(const std::string& m) override { errors.push_back(m); }

  std::string PortName() override { return port; }
  void ApplyModelType(int) override {}
  void TwoChannelModelFound() override {}
  void ShowAnalogReadings(const std::string&) override {}
  bool CancelIoAvailable() override { return true; }
};

class FixedScreen : public TVelaGraphHost {
 public:
  using Factory = std::function<std::unique_ptr<TCanvasImage>()>;
  // No factory: the view gets no images (it then draws nothing).
  explicit FixedScreen(TSize size = TSize{1000, 700}, Factory factory = nullptr)
      : size_(size), factory_(std::move(factory)) {}

  TSize ClientSize() const override { return size_; }
  void Invalidate() override {}
  void ScreenChanged() override {}
  void SetCursor(TGraphCursor) override {}
  void ConfineCursor(const TRect*) override {}
  bool TakeFocus() override { return true; }
  TPoint CursorPos() const override { return TPoint{}; }
  std::unique_ptr<TCanvasImage> CreateImage() override { return factory_ ? factory_() : nullptr; }

 private:
  TSize size_;
  Factory factory_;
};

}  // namespace osc::test
