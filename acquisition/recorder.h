#pragma once
// The recording control: turns Start/Stop into a running acquisition, moves the
// module's byte stream into one sample store per recorded slot, and keeps the graph
// series that show the stores up to date while the recording grows.
//
// Two acquisition paths: Overlapped (the timer keeps 32 asynchronous block reads
// pending and processes completed blocks on the user-interface thread) and Blocking
// (a worker thread reads blocks and stores them; the timer only refreshes). The main
// window chooses one at creation and drives the recorder through TimerTick() and
// RecordButtonClicked(); everything it must do on screen goes through TRecorderHost.
//
// Beyond the classic behaviour: the slot mask is fixed when Start is pressed (a start
// whose mask no longer matches the stores is abandoned); a short block is distributed
// for the bytes received only and the slot order carries on into the next block; a
// vanished device ends the recording as a full store does, with one error message;
// a timed-out or cancelled request is reaped before its record or buffer is reused,
// and the request ring is freed only after every request ended; an input queue that
// overflowed (bytes lost at no block boundary, so the slot of every later byte is
// unknown) ends the recording with one message after the blocks received before it.
#include "acquisition/channel_scale.h"
#include "acquisition/data_store.h"
#include "acquisition/loss.h"
#include "acquisition/overlapped_array.h"
#include "acquisition/protocol.h"
#include "platform/kernel/kernel.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace osc {

class TAxis;
class TBaseEquiDistantSeries;
class TSerialCom;
class TSimpleThread;
class TVelaGraph;
class TVelaGraphData;
class TVelaSeries;
struct TOscRozsah;

enum class TAcquisitionPath { Overlapped, Blocking };

// What the recording reads from the main window's selectors.
struct TRecordingControls {
  InputSelection Inputs;
  int SampleIndex = 0;    // "11 kHz", "  2 kHz"
  int AcqIndex = 1;       // "Sample", "Avg", "Max"
  int GainIndex = 0;      // "x 1", "x 2", "x 4"
  int PolarityIndex = 0;  // "Positive", "Bipolar", "AC"
};

// The main window's side of the recording.
class TRecorderHost {
 public:
  virtual ~TRecorderHost() = default;
  virtual TRecordingControls RecordingControls() = 0;
  virtual void SetCaption(const std::string& text) = 0;
  virtual void Beep() = 0;
  virtual bool RecordButtonDown() = 0;
  virtual void SetRecordButtonDown(bool down) = 0;
  // The button changed state: enable the main timer exactly while recording and the
  // controls exactly while not.
  virtual void RecordingChanged(bool recording) = 0;
  virtual bool MainTimerEnabled() = 0;
  // Asks for one timer tick as soon as the event loop is free (WM_USER+1).
  virtual void PostRunTimerNow() = 0;
  virtual bool AutoZoom() = 0;
  virtual bool AutoMove() = 0;
  virtual bool PeakDisplay() = 0;
  // The "end" navigation command.
  virtual void NavigateEnd() = 0;
  // A new recording starts: both measuring points go.
  virtual void ClearMeasuringPoints() = 0;
  // One message for an error that ended a recording (the device vanished).
  virtual void ShowError(const std::string& message) = 0;
  // A start could not reach the module and is tried again at the next tick: the port
  // failed with `error`, or (empty) the module did not answer. The operator should see
  // why the recording does not begin.
  virtual void StartRetried(const std::string& /*error*/) {}
  // The selected input range; Start computes the slots' scales from it after reading
  // the controls. None keeps the scales last given to UpdateScale.
  virtual const TOscRozsah* SelectedRange() { return nullptr; }
  // The loss ledger changed (a tick of a recording, a new recording).
  virtual void LossesChanged() {}
};

class TRecorder {
 public:
  static constexpr int kRequests = 32;
  static constexpr int kMaxBlockLength = 2400;
  static constexpr int kSlots = 4;

  TRecorder(TRecorderHost& host, TSerialCom& com, ProtocolState& state, DeviceProtocol& protocol,
            TVelaGraphData& data, TVelaGraph& view, TAcquisitionPath path);
  // Stops a running recording and frees the requests once every one has ended.
  ~TRecorder();
  TRecorder(const TRecorder&) = delete;
  TRecorder& operator=(const TRecorder&) = delete;

  TAcquisitionPath Path() const { return path_; }

  // Start or stop after the record button (or F12) changed its state.
  void RecordButtonClicked();
  // The main timer's tick (800 ms, and at once after a start).
  void TimerTick();
  // WM_USER+1: a tick at once while the main timer runs.
  void RunTimerNow();
  // Releases the record button and stops, when it is down.
  void StopRecording();

  // Controls -> slot mask, mode word, slow mode, block length (the slot mask stays as
  // it was at Start while a recording is armed or running).
  void ReadControls();
  // The scales of slots 1..4 from a range entry and the current controls.
  void UpdateScale(const TOscRozsah* range);
  const TChannelScales& ChannelScale() const { return scales_; }

  void CreateStores();
  void RebuildSeries();
  // Every series' Y range from the current scale of its slot (the offset bar moved);
  // the stored records keep their own values.
  void ApplyScaleToSeries();
  // Gives `count` bytes of the stream to the stores in slot order, carrying the order
  // on into the next block. Raises EOutOfMemory ("Mem Full") when a store is full.
  void DistributeBlock(const std::uint8_t* block, int count);
  // `count` bytes that were dropped: each slot repeats its last sample, so the later
  // samples keep their times (the ledger marks the stretch as not the signal).
  void DistributeFiller(int count);
  void RefreshSeries();
  void ShowRemainingTime();

  // The graph's X-position notification: new decimation steps for the visible span.
  void GraphXPositionChange(TAxis& axis, double posLeft, double posRight);
  // X axis labels: "ss.zzz" below 0.99 s between ticks, the long time format above.
  static void AxisGetText(TAxis& sender, std::string& text, double value, double step);
  // The series' value callback.
  void GetSampleValue(TVelaSeries& series, int index, double& value);
  // The series' clip callback: the limits the samples behind points first..last reach.
  unsigned GetClip(TVelaSeries& series, int first, int last);

  // Stores of slots 1..4 (nullptr when the slot has none).
  TDataStore* Store(int slot) const;
  // The four as the loss file takes them.
  std::array<const TDataStore*, kSlots> StorePointers() const;
  // All four, as the record files' save takes them.
  const TSlotStores& Stores() const { return stores_; }
  // A store read from a file takes the slot; the previous one is freed.
  void ReplaceStore(int slot, std::unique_ptr<TDataStore> store);
  // Frees all stores and rebuilds the (then empty) series.
  void EraseStores();
  // Refresh of one slot's series from its store (auto-zoom shows the whole record).
  void RefreshStore(int slot, bool autoZoom);

  int MaxSeconds() const { return maxSeconds_; }
  void SetMaxSeconds(int seconds) { maxSeconds_ = seconds; }
  bool Running() const { return running_; }
  int BlockLength() const { return blockLength_; }
  DeviceProtocol& Protocol() { return protocol_; }
  ProtocolState& State() { return state_; }
  TSerialCom& Com() { return com_; }

  // The monotonic clock in ms the stall of the stream is measured on (tests advance
  // their own).
  void SetClock(std::function<std::int64_t()> nowMs) { clock_ = std::move(nowMs); }

  // Ring counters of the overlapped path (for tests and figures).
  int Completed() const { return completed_; }
  int Reissued() const { return reissued_; }
  int Processed() const { return processed_; }
  std::uint64_t ShortBlocks() const { return shortBlocks_; }
  std::uint64_t DroppedBlocks() const { return droppedBlocks_; }

  // What the recording (or the records loaded with their loss file) lost.
  const TLossLedger& Losses() const { return losses_; }
  TLossLedger& Losses() { return losses_; }
  // Whether the ledger belongs to the stores shown (a record without a loss file has none).
  bool LossesKnown() const { return lossesKnown_; }
  void SetLossesKnown(bool known) { lossesKnown_ = known; }

 private:
  void Start();
  void Stop();
  void TickOverlapped();
  void TickBlocking();
  bool StartHandshake();
  void ProcessRing();
  // Stores the completed blocks not yet processed; ends the recording after them with
  // `failure` as its message when one is given.
  void ProcessCompleted(std::string failure);
  // Counts the requests that completed, up to `ahead` beyond the last one reissued.
  void CountCompletions(int ahead);
  // Stores the completed blocks in order; a transfer the port failed sets `failure` and
  // ends there. A full store raises EOutOfMemory.
  void StoreCompleted(std::string& failure);
  // The recorded slots in stream order (0-based), their number returned; the next
  // byte's place in it is made valid.
  int SlotOrder(std::array<int, kSlots>& order);
  void IssueBlockRead(int request);
  void ReapRequests();
  void WorkerBody();
  bool MaskStillMatches();
  void EndByError(const std::string& message);
  // Stores what completed before a stop and shows it (both paths).
  void CollectBeforeStop();
  // The caption while running: the time left, and a stream that stopped coming.
  void ShowProgress(bool dataCame);
  // A start that failed after the module answered: why, and the next tick tries again.
  void StartFailed(const std::string& why);
  void AttachSeries(int slot, TBaseEquiDistantSeries& series);
  void SetSpan(int slot, double spanDays);
  // Takes the dropped blocks of the ring (reissued before processed) into the stores
  // as filler and the ledger.
  void TakeDroppedBlocks();
  int BytesPerSecond() const;

  TRecorderHost& host_;
  TSerialCom& com_;
  ProtocolState& state_;
  DeviceProtocol& protocol_;
  TVelaGraphData& data_;
  TVelaGraph& view_;
  const TAcquisitionPath path_;
  std::unique_ptr<TSimpleThread> worker_;

  TRecordingControls controls_;
  TChannelScales scales_{};
  TSlotStores stores_;
  std::array<TBaseEquiDistantSeries*, kSlots> series_{};
  int maxSeconds_ = 120;
  int blockLength_ = kMaxBlockLength;
  bool running_ = false;
  bool armed_ = false;
  std::uint8_t startMask_ = 0;
  int nextSlot_ = 0;  // index into the recorded slots where the next byte goes

  TOverlappedArray requests_{kRequests};
  std::vector<std::uint8_t> buffers_;
  std::array<bool, kRequests> issued_{};  // a request of this slot may still touch its buffer
  int completed_ = 0;
  int reissued_ = 0;
  int processed_ = 0;
  std::uint64_t shortBlocks_ = 0;
  std::uint64_t droppedBlocks_ = 0;

  std::function<std::int64_t()> clock_;
  std::int64_t lastData_ = 0;  // when the stream last brought a block

  TLossLedger losses_;
  bool lossesKnown_ = false;
  std::atomic<std::uint64_t> streamPos_{0};       // bytes given to the stores, filler included
  std::atomic<std::uint32_t> garbledReports_{0};  // the blocking worker's error reports

  std::atomic<bool> newData_{false};
  std::atomic<bool> workerFailed_{false};
  std::string workerError_;
  std::atomic<win::LONG> tickCounter_{-1};
};

}  // namespace osc
