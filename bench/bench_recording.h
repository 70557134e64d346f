#pragma once
// A finished 4-channel recording for the benchmarks that draw or export one: the window's
// recorder (Bipolar, x2, 16 V), its stores filled with the module's interleaved blocks
// from a signal of the bench's choice, and a 1000 x 700 view of it.
#include "acquisition/protocol.h"
#include "acquisition/record_header.h"
#include "acquisition/recorder.h"
#include "acquisition/scaling.h"
#include "bench/quiet_window.h"
#include "config/range_entry.h"
#include "graph/axis.h"
#include "graph/graph_data.h"
#include "graph/view.h"
#include "platform/qt/qt_canvas.h"
#include "seriallink/serial_com.h"

#include <algorithm>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace osc::bench {

class TBenchRecording {
 public:
  static constexpr int kSlots = 4;
  // The byte of `slot` (0..3) at sample `index`, at `rate` samples a second.
  using TSignal = std::function<std::uint8_t(int slot, std::uint32_t index, std::uint32_t rate)>;

  explicit TBenchRecording(int minutes) {
    window_.controls.Inputs = {true, true, true, true, false, false};
    window_.controls.GainIndex = giX2;
    window_.controls.PolarityIndex = piBipolar;
    window_.port = "/dev/null";
    view_.SetGraphData(&data_);
    data_.SetAutoDestroySeries(true);
    recorder_ = std::make_unique<TRecorder>(window_, com_, state_, protocol_, data_, view_,
                                            TAcquisitionPath::Overlapped);
    view_.OnXPositionChange = [this](TAxis& axis, double l, double r) {
      recorder_->GraphXPositionChange(axis, l, r);
    };
    recorder_->SetMaxSeconds(minutes * 60);
    recorder_->ReadControls();
    TOscRozsah range(16.0);
    recorder_->UpdateScale(&range);
  }
  ~TBenchRecording() {
    recorder_.reset();
    data_.Clear();
  }
  TBenchRecording(const TBenchRecording&) = delete;
  TBenchRecording& operator=(const TBenchRecording&) = delete;

  // Makes the stores and fills every block of them, then the series.
  void Record(const TSignal& signal) {
    recorder_->CreateStores();
    std::vector<std::uint8_t> block(TRecorder::kMaxBlockLength);
    const TDataStore& first = *recorder_->Store(1);
    const std::uint32_t rate = first.Rate();
    const std::uint64_t total = std::uint64_t{first.Capacity() - kRecordHeaderSize} * kSlots;
    for (std::uint64_t written = 0; written < total;) {
      const auto n = static_cast<int>(std::min<std::uint64_t>(block.size(), total - written));
      for (int k = 0; k < n; ++k) {
        const std::uint64_t at = written + static_cast<std::uint64_t>(k);
        block[static_cast<std::size_t>(k)] =
            signal(static_cast<int>(at % kSlots), static_cast<std::uint32_t>(at / kSlots), rate);
      }
      recorder_->DistributeBlock(block.data(), n);
      written += static_cast<std::uint64_t>(n);
    }
    recorder_->RebuildSeries();
  }

  test::QuietWindow& Window() { return window_; }
  TRecorder& Recorder() { return *recorder_; }
  TVelaGraph& View() { return view_; }
  const TSlotStores& Stores() const { return recorder_->Stores(); }

 private:
  test::QuietWindow window_;
  TSerialCom com_;
  ProtocolState state_;
  DeviceProtocol protocol_{com_, state_, window_};
  TVelaGraphData data_;
  test::FixedScreen host_{TSize{1000, 700}, [] { return std::make_unique<TQtImage>(96); }};
  TVelaGraph view_{host_};
  std::unique_ptr<TRecorder> recorder_;
};

}  // namespace osc::bench
