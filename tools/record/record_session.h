#pragma once
// osc-record's recording: the window's recording control (TRecorder on the overlapped
// path, the same protocol and port configuration) behind a host that shows nothing,
// with the record files written while it runs (TRecordStream).
//
// Memory stays flat: the recorder's stores hold a few seconds; whatever they got is
// appended to the files after every tick and a store half full is replaced by an empty
// one. The files are synced once a second.
#include "acquisition/protocol.h"
#include "acquisition/record_stream.h"
#include "acquisition/recorder.h"
#include "config/settings.h"
#include "graph/graph_data.h"
#include "graph/view.h"
#include "seriallink/serial_com.h"
#include "tools/record/record_options.h"

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>

namespace osc::tools {

enum RecordExit { kExitOk = 0, kExitUsage = 1, kExitPort = 2, kExitIo = 3 };

class TRecordSession final : public TRecorderHost, public ProtocolHost {
 public:
  static constexpr int kMemorySeconds = 16;
  static constexpr int kTickMs = 100;
  static constexpr int kMaxStartFailures = 20;

  // Messages and progress go to `log`; `terminal` makes the progress one updating line.
  TRecordSession(RecordOptions options, std::FILE* log, bool terminal);
  ~TRecordSession() override;

  // Records until the duration is reached, `stops` is raised (SIGINT, SIGTERM) or the
  // module is lost; the files are finished on every way out. A RecordExit.
  int Run(const std::atomic<int>& stops);

  // After every tick (tests stop or watch the recording from here).
  std::function<void()> OnTick;
  const TRecordStream* Stream() const { return stream_.get(); }
  TRecorder& Recorder() { return *recorder_; }

  // TRecorderHost
  TRecordingControls RecordingControls() override { return controls_; }
  void SetCaption(const std::string&) override {}
  void Beep() override {}
  bool RecordButtonDown() override { return down_; }
  void SetRecordButtonDown(bool down) override { down_ = down; }
  void RecordingChanged(bool recording) override { timer_ = recording; }
  bool MainTimerEnabled() override { return timer_; }
  void PostRunTimerNow() override {}
  bool AutoZoom() override { return false; }
  bool AutoMove() override { return false; }
  bool PeakDisplay() override { return false; }
  void NavigateEnd() override {}
  void ClearMeasuringPoints() override {}
  void ShowError(const std::string& message) override { error_ = message; }
  void StartRetried(const std::string& error) override;
  const TOscRozsah* SelectedRange() override { return range_; }

  // ProtocolHost
  std::string PortName() override { return port_; }
  void ApplyModelType(int modelIndex) override;
  void TwoChannelModelFound() override;
  void ShowAnalogReadings(const std::string&) override {}
  bool CancelIoAvailable() override { return true; }

 private:
  class Headless : public TVelaGraphHost {
   public:
    TSize ClientSize() const override { return TSize{0, 0}; }
    void Invalidate() override {}
    void ScreenChanged() override {}
    void SetCursor(TGraphCursor) override {}
    void ConfineCursor(const TRect*) override {}
    bool TakeFocus() override { return false; }
    TPoint CursorPos() const override { return TPoint{0, 0}; }
    std::unique_ptr<TCanvasImage> CreateImage() override { return nullptr; }
  };

  int Prepare();
  int PortFailure(const std::string& error);
  void StopRecording();
  // Moves what the stores got into the files; replaces stores that are half full.
  void Drain();
  bool TargetReached() const;
  std::uint64_t Samples() const;
  void Progress(bool final);
  void Say(const std::string& text);

  RecordOptions options_;
  std::FILE* log_;
  bool terminal_;
  SettingsHolder settings_;
  std::string port_;
  const TOscRozsah* range_ = nullptr;
  TRecordingControls controls_;
  bool twoChannel_ = false;
  bool down_ = false;
  bool timer_ = false;
  std::string error_;
  int startFailures_ = 0;
  std::string startError_;
  bool progressShown_ = false;

  TSerialCom com_;
  ProtocolState state_;
  DeviceProtocol protocol_{com_, state_, *this};
  TVelaGraphData data_;
  Headless viewHost_;
  TVelaGraph view_{viewHost_};
  std::unique_ptr<TRecorder> recorder_;

  std::unique_ptr<TRecordStream> stream_;
  std::uint32_t rate_ = 0;
  std::uint64_t target_ = 0;              // samples per slot; 0: until stopped
  std::array<std::uint32_t, 4> taken_{};  // samples of each store already in the files
};

}  // namespace osc::tools
