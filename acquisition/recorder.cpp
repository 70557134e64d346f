#include "acquisition/recorder.h"

#include "acquisition/scaling.h"
#include "graph/axis.h"
#include "graph/graph_data.h"
#include "graph/series.h"
#include "graph/view.h"
#include "platform/comm/comm.h"
#include "platform/errors.h"
#include "platform/kernel/kernel.h"
#include "platform/locale/locale.h"
#include "seriallink/serial_com.h"
#include "seriallink/simple_thread.h"

#include <algorithm>
#include <chrono>
#include <cmath>

namespace osc {

namespace {

constexpr double kSecondsPerDay = 86400.0;
constexpr const char* kOverrunMessage =
    "Měření zastaveno: vstupní fronta portu přetekla a část dat se ztratila.";

constexpr const char* kStartRefused = "modul nepotvrdil začátek měření";
constexpr const char* kSlowStartRefused = "modul nepotvrdil pomalý režim";
constexpr const char* kSilentAfterStop = "Měření zastaveno; modul se po zastavení neozval.";
constexpr const char* kTwoChannelMessage =
    "Měření nezačalo: modul je dvoukanálový a vstupy CH 3, CH 4, (5) a (6) nemá.";

// The operator's words for a port that failed mid-recording, with the system's own.
std::string DeviceLost(const std::string& error) {
  return "Měření zastaveno: spojení s modulem se přerušilo.\n(" + error + ")";
}

std::int64_t SteadyMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

// One line of a message, for the title.
std::string TitleOf(std::string message) {
  std::replace(message.begin(), message.end(), '\n', ' ');
  return message;
}

// Holds the tick counter for one tick; only the outermost tick does work.
class TickGuard {
 public:
  explicit TickGuard(std::atomic<win::LONG>& counter) : counter_(counter) {
    first_ = win::InterlockedIncrement(counter_) == 0;
  }
  ~TickGuard() { win::InterlockedDecrement(counter_); }
  bool First() const { return first_; }

 private:
  std::atomic<win::LONG>& counter_;
  bool first_;
};

// The series' Y range for a slot's lower and upper value, 1 % wider on each side. The
// upper end is widened by |U| so a negative upper value keeps the top samples inside.
void SetValueRange(TVelaSeries& series, double lower, double upper) {
  series.SetYMin(lower - std::fabs(lower) * 0.01);
  series.SetYMax(upper + std::fabs(upper) * 0.01);
}

}  // namespace

TRecorder::TRecorder(TRecorderHost& host, TSerialCom& com, ProtocolState& state, DeviceProtocol& protocol,
                     TVelaGraphData& data, TVelaGraph& view, TAcquisitionPath path)
    : host_(host),
      com_(com),
      state_(state),
      protocol_(protocol),
      data_(data),
      view_(view),
      path_(path),
      worker_(std::make_unique<TSimpleThread>()),
      buffers_(static_cast<std::size_t>(kRequests) * kMaxBlockLength) {
  com_.SetOverlapped(path == TAcquisitionPath::Overlapped);
  worker_->OnExecute = [this](TSimpleThread&, win::DWORD&) { WorkerBody(); };
  clock_ = SteadyMs;
}

TRecorder::~TRecorder() {
  try {
    StopRecording();
  } catch (...) {
    // Closing the window must not fail on a port that has gone.
  }
  worker_->Stop();
  ReapRequests();
}

// ---------------------------------------------------------------- controls and scales

void TRecorder::ReadControls() {
  controls_ = host_.RecordingControls();
  ProtocolState& s = state_;
  s.SlowMode = controls_.SampleIndex != 0;
  blockLength_ = BlockLengthOf(s.SlowMode);
  s.ModeWord = ModeWordOf(controls_.AcqIndex, controls_.GainIndex, controls_.PolarityIndex, controls_.Inputs);
  // Once Start is pressed the slots are fixed: the stores were made for them.
  s.ChannelMask = armed_ ? startMask_ : ChannelMaskOf(controls_.Inputs);
}

void TRecorder::UpdateScale(const TOscRozsah* range) {
  if (range == nullptr) return;
  const ProtocolState& s = state_;
  scales_ =
      ComputeChannelScales(*range, controls_.GainIndex, controls_.PolarityIndex, s.ModeWord, s.OffsetByte);
}

// ---------------------------------------------------------------- stores and series

void TRecorder::CreateStores() {
  host_.ClearMeasuringPoints();
  for (auto& s : stores_)
    s.reset();
  const TDateTime start = Now();
  const ProtocolState& st = state_;
  for (int slot = 1; slot <= kSlots; ++slot) {
    if (st.ChannelMask & (1u << (slot - 1))) {
      stores_[static_cast<std::size_t>(slot - 1)] = std::make_unique<TDataStore>(
          slot, maxSeconds_, start, st.ChannelMask, st.SlowMode, scales_[static_cast<std::size_t>(slot - 1)]);
    }
  }
  nextSlot_ = 0;
  streamPos_ = 0;
  losses_.Begin(st.ChannelMask, 0, blockLength_, clock_());
  lossesKnown_ = true;
  host_.LossesChanged();
}

void TRecorder::RebuildSeries() {
  data_.Clear();
  series_.fill(nullptr);
  const std::uint8_t mask = state_.ChannelMask;
  for (int index = 0; index < kSlots; ++index) {
    TDataStore* store = stores_[static_cast<std::size_t>(index)].get();
    if (store == nullptr || !(mask & (1u << index))) continue;
    auto* series = new TBaseEquiDistantSeries();
    series->SetTag(index);
    series->SetGraphNumber(static_cast<std::uint32_t>(data_.SeriesCount() + 1));
    series->SetAutoYMinMax(false);
    series->SetAutoXMinMax(false);
    series->OnGetValue = [this](TVelaSeries& s, int i, double& v) { GetSampleValue(s, i, v); };
    series->OnGetClip = [this](TVelaSeries& s, int first, int last) { return GetClip(s, first, last); };
    SetValueRange(*series, store->Lower(), store->Upper());
    AttachSeries(index + 1, *series);
    data_.AddSeries(series);  // the container owns it (AutoDestroySeries)
    series->SetAutoXMinMax(false);
    const int g = static_cast<int>(series->GraphNumber()) - 1;
    if (TAxis* x = view_.XAxis(g)) {
      x->SetAutoMinMax(false);
      x->OnGetText = &TRecorder::AxisGetText;
      x->SetStyle(asTime);
    }
    if (TAxis* y = view_.YAxis(g)) y->ZoomAll();
    RefreshStore(index + 1, true);
  }
}

void TRecorder::ApplyScaleToSeries() {
  for (int i = 0; i < data_.SeriesCount(); ++i) {
    TVelaSeries* s = data_.Series(i);
    const int tag = s->Tag();
    if (tag < 0 || tag >= kSlots) continue;
    const TChannelScale& c = scales_[static_cast<std::size_t>(tag)];
    SetValueRange(*s, c.Low, c.High);
  }
  for (int g = 0; g < view_.AxisCount(); ++g) {
    if (TAxis* y = view_.YAxis(g)) y->ZoomAll();
  }
}

void TRecorder::AttachSeries(int slot, TBaseEquiDistantSeries& series) {
  TDataStore& store = *stores_[static_cast<std::size_t>(slot - 1)];
  series_[static_cast<std::size_t>(slot - 1)] = &series;
  series.SetXStart(store.Start());
  series.SetTitle(store.Name());
  SetSpan(slot, store.Duration());
}

void TRecorder::SetSpan(int slot, double spanDays) {
  TDataStore* store = Store(slot);
  TBaseEquiDistantSeries* series = series_[static_cast<std::size_t>(slot - 1)];
  if (store == nullptr || series == nullptr) return;
  store->SetSpan(spanDays);
  series->SetCount(store->PointCount());
  series->SetXStep(store->XStep());
}

void TRecorder::RefreshStore(int slot, bool autoZoom) {
  TDataStore* store = Store(slot);
  TBaseEquiDistantSeries* series = series_[static_cast<std::size_t>(slot - 1)];
  if (store == nullptr || series == nullptr) return;
  const double duration = store->Duration();
  if (autoZoom) {
    SetSpan(slot, duration);
  } else {
    series->SetCount(store->PointCount());
  }
  TAxis* x = view_.XAxis(static_cast<int>(series->GraphNumber()) - 1);
  if (x == nullptr) return;
  x->SetMinMax(series->XStart(), series->XStart() + duration);
  if (autoZoom) x->ZoomAll();
}

int TRecorder::SlotOrder(std::array<int, kSlots>& order) {
  int n = 0;
  for (int i = 0; i < kSlots; ++i) {
    if (stores_[static_cast<std::size_t>(i)]) order[static_cast<std::size_t>(n++)] = i;
  }
  if (nextSlot_ >= n) nextSlot_ = 0;
  return n;
}

void TRecorder::DistributeBlock(const std::uint8_t* block, int count) {
  std::array<int, kSlots> order{};
  const int n = SlotOrder(order);
  if (n == 0) return;
  int k = 0;
  try {
    for (; k < count; ++k) {
      stores_[static_cast<std::size_t>(order[static_cast<std::size_t>(nextSlot_)])]->AddSample(block[k]);
      if (++nextSlot_ == n) nextSlot_ = 0;
    }
  } catch (...) {
    streamPos_.fetch_add(static_cast<std::uint64_t>(k), std::memory_order_relaxed);
    throw;
  }
  streamPos_.fetch_add(static_cast<std::uint64_t>(count), std::memory_order_relaxed);
}

void TRecorder::DistributeFiller(int count) {
  std::array<int, kSlots> order{};
  const int n = SlotOrder(order);
  if (n == 0) return;
  for (int k = 0; k < count; ++k) {
    TDataStore& store = *stores_[static_cast<std::size_t>(order[static_cast<std::size_t>(nextSlot_)])];
    const std::uint32_t c = store.Count();
    store.AddSample(c > 0 ? store.Samples()[c - 1] : 128);
    streamPos_.fetch_add(1, std::memory_order_relaxed);  // rare: only after a stall
    if (++nextSlot_ == n) nextSlot_ = 0;
  }
}

void TRecorder::TakeDroppedBlocks() {
  if (processed_ >= reissued_) return;
  const int blocks = reissued_ - processed_;
  droppedBlocks_ += static_cast<std::uint64_t>(blocks);
  processed_ = reissued_;
  const int bytes = blocks * blockLength_;
  losses_.Dropped(streamPos_, static_cast<std::uint64_t>(bytes));
  DistributeFiller(bytes);
}

int TRecorder::BytesPerSecond() const {
  // 10 bits a byte on the line.
  return static_cast<int>((state_.SlowMode ? kSlowBaud : kFastBaud) / 10);
}

void TRecorder::RefreshSeries() {
  const bool autoZoom = host_.AutoZoom();
  for (int slot = 1; slot <= kSlots; ++slot)
    RefreshStore(slot, autoZoom);
  if (host_.AutoMove()) host_.NavigateEnd();
  view_.InvalidateImage();
  view_.Invalidate();
}

void TRecorder::ShowRemainingTime() {
  // The first recorded slot; slots 3 and 4 count too, so a recording of only those
  // shows its time as well.
  for (const auto& store : stores_) {
    if (store) {
      host_.SetCaption(Format("Probíhá měření, zbývá %d s", {store->RemainingSeconds()}));
      return;
    }
  }
}

void TRecorder::ShowProgress(bool dataCame) {
  const std::int64_t now = clock_();
  if (dataCame) lastData_ = now;
  losses_.Tick(streamPos_, now);
  host_.LossesChanged();
  const int bytesPerSecond = BytesPerSecond();
  const std::int64_t blockMs = std::int64_t{blockLength_} * 1000 / bytesPerSecond;
  const std::int64_t silent = now - lastData_;
  if (silent <= 2 * blockMs) {
    ShowRemainingTime();
    return;
  }
  for (const auto& store : stores_) {
    if (store) {
      host_.SetCaption(Format("Probíhá měření, zbývá %d s – z modulu nepřicházejí data (%d s)",
                              {store->RemainingSeconds(), static_cast<int>(silent / 1000)}));
      return;
    }
  }
}

TDataStore* TRecorder::Store(int slot) const {
  if (slot < 1 || slot > kSlots) return nullptr;
  return stores_[static_cast<std::size_t>(slot - 1)].get();
}

std::array<const TDataStore*, TRecorder::kSlots> TRecorder::StorePointers() const {
  std::array<const TDataStore*, kSlots> result{};
  for (int i = 0; i < kSlots; ++i)
    result[static_cast<std::size_t>(i)] = stores_[static_cast<std::size_t>(i)].get();
  return result;
}

void TRecorder::ReplaceStore(int slot, std::unique_ptr<TDataStore> store) {
  if (slot < 1 || slot > kSlots) return;
  series_[static_cast<std::size_t>(slot - 1)] = nullptr;
  stores_[static_cast<std::size_t>(slot - 1)] = std::move(store);
}

void TRecorder::EraseStores() {
  for (auto& s : stores_)
    s.reset();
  lossesKnown_ = false;
  RebuildSeries();
  host_.LossesChanged();
}

void TRecorder::GetSampleValue(TVelaSeries& series, int index, double& value) {
  const int tag = series.Tag();
  const TDataStore* store = Store(tag + 1);
  if (store == nullptr || index < 0) return;
  // A dropped block's filler is not the signal: the curve has a gap there.
  if (lossesKnown_ && losses_.InGap(std::uint64_t{static_cast<std::uint32_t>(index)} * store->Step())) return;
  osc::GetSampleValue(*store, static_cast<std::uint32_t>(index), host_.PeakDisplay(), value);
}

unsigned TRecorder::GetClip(TVelaSeries& series, int first, int last) {
  static_assert(unsigned{kClipHigh} == unsigned{kEdgeTop} && unsigned{kClipLow} == unsigned{kEdgeBottom});
  const TDataStore* store = Store(series.Tag() + 1);
  if (store == nullptr || first < 0 || last < first) return 0;
  return PointClip(*store, static_cast<std::uint32_t>(first), static_cast<std::uint32_t>(last),
                   host_.PeakDisplay());
}

void TRecorder::GraphXPositionChange(TAxis& axis, double posLeft, double posRight) {
  const bool locked = view_.GlobalXAxis().Locked();
  for (int i = 0; i < data_.SeriesCount(); ++i) {
    TVelaSeries* s = data_.Series(i);
    if (s == nullptr || (!locked && s->GraphNumber() != axis.GraphNumber())) continue;
    const int slot = s->Tag() + 1;
    if (Store(slot) && series_[static_cast<std::size_t>(slot - 1)] == s) SetSpan(slot, posRight - posLeft);
  }
}

void TRecorder::AxisGetText(TAxis&, std::string& text, double value, double step) {
  if (step < 0.99 / kSecondsPerDay) {
    text = FormatDateTime("ss.zzz", value);
  } else {
    text = FormatDateTime("tt", value);
  }
}

// ---------------------------------------------------------------- start and stop

void TRecorder::RecordButtonClicked() {
  if (host_.RecordButtonDown()) {
    Start();
  } else {
    Stop();
  }
}

void TRecorder::Start() {
  armed_ = false;
  ReadControls();
  UpdateScale(host_.SelectedRange());
  if (state_.ChannelMask == 0) {
    host_.SetRecordButtonDown(false);
    return;
  }
  CreateStores();
  RebuildSeries();
  running_ = false;
  startMask_ = state_.ChannelMask;
  armed_ = true;
  host_.RecordingChanged(true);
  host_.PostRunTimerNow();
}

void TRecorder::Stop() {
  const bool wasArmed = armed_;
  armed_ = false;
  // Whatever the line does now, the timer stops and the controls come back.
  host_.RecordingChanged(false);
  if (!wasArmed) return;
  worker_->Stop();
  const bool wasRunning = running_;
  CollectBeforeStop();
  running_ = false;
  bool found = false;
  try {
    found = protocol_.Stop();
  } catch (...) {
    ReapRequests();
    if (wasRunning) host_.SetCaption(kSilentAfterStop);
    throw;
  }
  ReapRequests();
  if (found) {
    host_.SetCaption("Zastaveno");
  } else {
    host_.Beep();
    // The count-down must not stay in the title of a recording that has ended.
    if (wasRunning) host_.SetCaption(kSilentAfterStop);
  }
}

void TRecorder::CollectBeforeStop() {
  if (!running_) return;
  // Every block that completed before the stop is the operator's data: store it before
  // the stop sequence cancels the reads.
  if (path_ == TAcquisitionPath::Overlapped) {
    CountCompletions(kRequests);
    std::string failure;  // a device gone while stopping costs its block, not the earlier ones
    try {
      TakeDroppedBlocks();
      StoreCompleted(failure);
    } catch (const EOutOfMemory&) {
      // The store is full: what it holds is the recording.
    }
  }
  newData_ = false;
  losses_.Finish(streamPos_, clock_());
  host_.LossesChanged();
  RefreshSeries();
}

void TRecorder::StopRecording() {
  if (host_.RecordButtonDown()) {
    host_.SetRecordButtonDown(false);
    RecordButtonClicked();
  }
}

void TRecorder::EndByError(const std::string& message) {
  // The device has gone: stop as a full store does, keep every sample, say it once.
  try {
    StopRecording();
  } catch (const std::exception&) {
    // The stop sequence talks to the same vanished device.
  }
  host_.SetCaption(TitleOf(message));
  host_.ShowError(message);
}

void TRecorder::StartFailed(const std::string& why) {
  running_ = false;
  host_.StartRetried(why);
}

bool TRecorder::MaskStillMatches() {
  // A 2-channel identification while armed takes slots 3 and 4 away from the module.
  const std::uint8_t wanted = ChannelMaskOf(host_.RecordingControls().Inputs);
  return (wanted & startMask_) == startMask_;
}

void TRecorder::RunTimerNow() {
  if (host_.MainTimerEnabled()) TimerTick();
}

void TRecorder::TimerTick() {
  TickGuard guard(tickCounter_);
  if (!guard.First()) return;
  try {
    if (path_ == TAcquisitionPath::Overlapped) {
      TickOverlapped();
    } else {
      TickBlocking();
    }
  } catch (const EOutOfMemory&) {
    try {
      StopRecording();
    } catch (const std::exception&) {
      // The timer is off and the controls are back; the line answers at the next start.
    }
  } catch (const std::exception& e) {
    // A failed exchange is tried again by the next tick.
    if (armed_ && !running_) host_.StartRetried(e.what());
  }
}

// ---------------------------------------------------------------- overlapped path

void TRecorder::TickOverlapped() {
  if (!armed_) return;
  if (!running_) {
    if (!StartHandshake()) return;
  }
  const int before = completed_;
  ProcessRing();
  if (host_.MainTimerEnabled() && armed_) ShowProgress(completed_ != before);
}

void TRecorder::IssueBlockRead(int request) {
  const int slot = request % kRequests;
  win::OVERLAPPED& ov = requests_.Overlapped(slot);
  ov.Internal = ov.InternalHigh = 0;
  issued_[static_cast<std::size_t>(slot)] = true;
  try {
    com_.ReadEx(buffers_.data() + static_cast<std::size_t>(slot) * kMaxBlockLength, blockLength_, &ov);
  } catch (...) {
    issued_[static_cast<std::size_t>(slot)] = false;  // refused: nothing is pending
    throw;
  }
}

void TRecorder::ReapRequests() {
  if (!com_.Active()) {
    issued_.fill(false);
    return;
  }
  bool any = false;
  for (bool b : issued_)
    any = any || b;
  if (!any) return;
  com_.CancelPending();
  for (int k = 0; k < kRequests; ++k) {
    if (!issued_[static_cast<std::size_t>(k)]) continue;
    com_.Reap(&requests_.Overlapped(k));
    issued_[static_cast<std::size_t>(k)] = false;
  }
}

void TRecorder::ProcessRing() {
  // An input queue that overflowed dropped bytes at no block boundary: the slot of every
  // later byte is unknown. Every request still out completed before the loss (the
  // queue only fills while no read is pending), so those blocks are stored and the
  // recording ends.
  // A port whose device vanished refuses even the error query: the blocks completed
  // before are stored and the recording ends the same way.
  std::string lost;
  try {
    const win::DWORD errors = com_.ClearError(nullptr);
    if (errors & win::CE_RXOVER) lost = kOverrunMessage;
    if (errors & (win::CE_FRAME | win::CE_RXPARITY | win::CE_OVERRUN)) losses_.Garbled(streamPos_);
  } catch (const ECommError& e) {
    lost = DeviceLost(e.what());
  }
  if (!lost.empty()) {
    CountCompletions(kRequests);
    ProcessCompleted(lost);
    return;
  }
  // 1. Count completions.
  CountCompletions(kRequests - 1);
  // A device that vanished refuses new reads and fails the pending ones: the blocks
  // that completed before are still stored, then the recording ends.
  std::string failure;
  // 2. Recycle a slot only when at least 16 newer blocks have completed.
  while (reissued_ < completed_ - 16) {
    // The block of this request was processed or dropped; its buffer is free.
    try {
      IssueBlockRead(reissued_);
    } catch (const ECommError& e) {
      failure = DeviceLost(e.what());
      break;
    }
    ++reissued_;
  }
  // 3. Process; blocks whose slot was already reused are dropped.
  try {
    TakeDroppedBlocks();
  } catch (const EOutOfMemory&) {
    RefreshSeries();
    StopRecording();
    return;
  }
  ProcessCompleted(failure);
}

void TRecorder::CountCompletions(int ahead) {
  while (completed_ < reissued_ + ahead &&
         win::WaitForSingleObject(requests_.Event(completed_ % kRequests), 0) == win::WAIT_OBJECT_0) {
    ++completed_;
  }
}

void TRecorder::StoreCompleted(std::string& failure) {
  while (processed_ < completed_) {
    const int slot = processed_ % kRequests;
    win::DWORD count = 0;
    try {
      count = com_.Collect(&requests_.Overlapped(slot)).value_or(0);
    } catch (const ECommError& e) {
      if (failure.empty()) failure = DeviceLost(e.what());
      return;
    }
    issued_[static_cast<std::size_t>(slot)] = false;
    if (static_cast<int>(count) != blockLength_) {
      ++shortBlocks_;
      host_.Beep();
    }
    DistributeBlock(buffers_.data() + static_cast<std::size_t>(slot) * kMaxBlockLength,
                    std::min<int>(static_cast<int>(count), blockLength_));
    ++processed_;
  }
}

void TRecorder::ProcessCompleted(std::string failure) {
  if (processed_ == completed_ && failure.empty()) return;
  try {
    StoreCompleted(failure);
  } catch (const EOutOfMemory&) {
    RefreshSeries();
    StopRecording();
    return;
  }
  RefreshSeries();
  if (failure == kOverrunMessage) {
    losses_.Overflow(streamPos_, clock_());
    host_.LossesChanged();
  }
  if (!failure.empty()) EndByError(failure);
}

// ---------------------------------------------------------------- blocking path

void TRecorder::TickBlocking() {
  if (!armed_) return;
  if (!running_) {
    if (!StartHandshake()) return;
  }
  for (std::uint32_t n = garbledReports_.exchange(0); n > 0; --n)
    losses_.Garbled(streamPos_);
  const bool dataCame = newData_.exchange(false);
  if (dataCame) RefreshSeries();
  ShowProgress(dataCame);
  if (worker_->Handle() != nullptr && win::WaitForSingleObject(worker_->Handle(), 0) == win::WAIT_OBJECT_0) {
    running_ = false;
    if (newData_.exchange(false)) RefreshSeries();
    if (workerFailed_.exchange(false)) {
      if (workerError_ == kOverrunMessage) {
        losses_.Overflow(streamPos_, clock_());
        host_.LossesChanged();
      }
      EndByError(workerError_);
    } else {
      StopRecording();
    }
  }
}

// The start sequence both paths share; they differ in what reads the stream (the ring of
// requests, or the worker) and in the pauses the module was given before.
bool TRecorder::StartHandshake() {
  const bool overlapped = path_ == TAcquisitionPath::Overlapped;
  if (overlapped) {
    ReapRequests();
  } else {
    worker_->Stop();
    win::Sleep(20);
  }
  ReadControls();
  if (!protocol_.IdentifyAndSendParameters()) {
    host_.StartRetried("");
    return false;
  }
  if (overlapped) ReapRequests();  // the identification cancelled what an earlier start left pending
  if (!MaskStillMatches()) {
    StopRecording();
    host_.SetCaption(kTwoChannelMessage);
    return false;
  }
  host_.SetCaption("Start");
  nextSlot_ = 0;
  if (overlapped) {
    for (int k = 0; k < kRequests; ++k)
      win::SetEvent(requests_.Event(k));
    completed_ = reissued_ = processed_ = 0;
    win::Sleep(10);
  }
  com_.ClearError(nullptr);  // an overflow of the idle line is no loss of this recording
  protocol_.SendStartByte();
  if (state_.SlowMode && !protocol_.SlowModeHandshake()) {
    StartFailed(kSlowStartRefused);
    return false;
  }
  // The block reads queue behind the start reply's read.
  protocol_.BeginStartReply();
  if (overlapped) {
    for (int k = 0; k < kRequests; ++k)
      IssueBlockRead(k);
  }
  if (!protocol_.FinishStartReply()) {
    StartFailed(kStartRefused);
    return false;
  }
  running_ = true;
  lastData_ = clock_();
  streamPos_ = 0;
  losses_.Begin(startMask_, static_cast<std::uint32_t>(BytesPerSecond()), blockLength_, lastData_);
  host_.LossesChanged();
  if (!overlapped) {
    workerFailed_ = false;
    worker_->Start();
  }
  return true;
}

void TRecorder::WorkerBody() {
  // The window's thread may read the controls again while this one runs.
  const int length = blockLength_;
  std::vector<std::uint8_t> block(static_cast<std::size_t>(length));
  while (!worker_->Terminated()) {
    int n = 0;
    try {
      n = com_.Read(block.data(), length);
      // Bytes lost to a full input queue may lie in this block: its slots are unknown.
      const win::DWORD errors = com_.ClearError(nullptr);
      if (errors & (win::CE_FRAME | win::CE_RXPARITY | win::CE_OVERRUN)) ++garbledReports_;
      if (errors & win::CE_RXOVER) {
        workerError_ = kOverrunMessage;
        workerFailed_ = true;
        return;
      }
    } catch (const std::exception& e) {
      workerError_ = DeviceLost(e.what());
      workerFailed_ = true;
      return;
    }
    if (n <= 0) continue;
    try {
      DistributeBlock(block.data(), n);
    } catch (const EOutOfMemory&) {
      newData_ = true;
      com_.SetBreak();
      return;
    }
    newData_ = true;
  }
}

}  // namespace osc
