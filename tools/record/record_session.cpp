#include "tools/record/record_session.h"

#include "acquisition/scaling.h"
#include "platform/errors.h"
#include "platform/locale/locale.h"
#include "seriallink/port_check.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cmath>
#include <ctime>

namespace osc::tools {

namespace {

using Clock = std::chrono::steady_clock;

// "16 V" is named by "16 V", "16V" or "16".
const TRangeItem* FindRange(const TRangeList& ranges, const std::string& name) {
  if (ranges.empty()) return nullptr;
  if (name.empty()) return &ranges.front();
  for (const TRangeItem& item : ranges) {
    if (OptionKey(item.Text) == OptionKey(name) || OptionKey(item.Text) == OptionKey(name) + "v")
      return &item;
  }
  return nullptr;
}

std::string Hms(double seconds) {
  const auto s = static_cast<long long>(seconds);
  char text[32];
  std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", s / 3600, s / 60 % 60, s % 60);
  return text;
}

std::string DefaultName() {
  const std::time_t t = std::time(nullptr);
  std::tm tm{};
  localtime_r(&t, &tm);
  char name[64];
  std::strftime(name, sizeof name, "zaznam-%Y%m%d-%H%M%S", &tm);
  return name;
}

void Pause(int ms) {
  // A signal ends the pause early, so a stop is not kept waiting.
  timespec t{ms / 1000, static_cast<long>(ms % 1000) * 1000000L};
  ::nanosleep(&t, nullptr);
}

}  // namespace

TRecordSession::TRecordSession(RecordOptions options, std::FILE* log, bool terminal)
    : options_(std::move(options)), log_(log), terminal_(terminal) {
  ConfigureMainWindowCom(com_, [this](TSerialCom&) { protocol_.PortActivated(); });
  view_.SetGraphData(&data_);
  data_.SetAutoDestroySeries(true);
  recorder_ =
      std::make_unique<TRecorder>(*this, com_, state_, protocol_, data_, view_, TAcquisitionPath::Overlapped);
}

TRecordSession::~TRecordSession() {
  // Every request ends before the port closes; the protocol's buffers outlive the port.
  recorder_.reset();
  com_.Close();
}

void TRecordSession::Say(const std::string& text) {
  if (progressShown_ && terminal_) std::fputs("\n", log_);
  progressShown_ = false;
  std::fprintf(log_, "osc-record: %s\n", text.c_str());
  std::fflush(log_);
}

void TRecordSession::StartRetried(const std::string& error) {
  ++startFailures_;
  startError_ = error;
}

void TRecordSession::ApplyModelType(int modelIndex) {
  if (modelIndex == settings_.ModelIndex) return;
  settings_.ModelIndex = modelIndex;
  try {
    settings_.SaveModelType();
  } catch (const std::exception&) {
    // The window keeps the model for the next start; a read-only settings folder only
    // means the model is identified again next time.
  }
}

void TRecordSession::TwoChannelModelFound() {
  // As the window unchecks its boxes.
  twoChannel_ = true;
  controls_.PolarityIndex = 0;
  controls_.Inputs.ch3 = controls_.Inputs.ch4 = controls_.Inputs.ch5 = controls_.Inputs.ch6 = false;
}

int TRecordSession::PortFailure(const std::string& error) {
  // The window's words for a start that cannot reach the module.
  TPortCheckSys sys;
  std::string why = PortProblem(InspectPort(port_, sys));
  if (why.empty()) why = error.empty() ? "modul na portu " + port_ + " neodpovídá" : error;
  Say(why);
  return kExitPort;
}

int TRecordSession::Prepare() {
  try {
    settings_.LoadSettings();
  } catch (const std::exception& e) {
    Say(e.what());
    return kExitIo;
  }
  if (!settings_.LoadNotice.empty()) Say(settings_.LoadNotice);
  port_ = options_.port.empty() ? settings_.Port : options_.port;
  const TRangeItem* range = FindRange(settings_.Ranges, options_.range);
  if (range == nullptr) {
    std::string names;
    for (const TRangeItem& item : settings_.Ranges)
      names += (names.empty() ? "" : ", ") + std::string("\"") + item.Text + "\"";
    Say("rozsah \"" + options_.range + "\" není v seznamu rozsahů nastavení (" + names + ")");
    std::fputs(RecordUsage().c_str(), log_);
    return kExitUsage;
  }
  range_ = range->Entry.get();
  const InputSelection wanted = options_.inputs;
  controls_ = TRecordingControls{wanted, options_.sampleIndex, options_.acqIndex, options_.gainIndex,
                                 options_.polarityIndex};
  state_.OffsetByte = DefaultOffset(options_.polarityIndex, options_.gainIndex, wanted.ch5 || wanted.ch6);
  try {
    if (!protocol_.Identify()) return PortFailure("");
  } catch (const std::exception& e) {
    return PortFailure(e.what());
  }
  if (twoChannel_ && (wanted.ch3 || wanted.ch4 || wanted.ch5 || wanted.ch6 || options_.polarityIndex != 0)) {
    Say("modul na portu " + port_ + " je dvoukanálový: má jen vstupy CH 1 a CH 2 a jen polaritu Positive");
    return kExitPort;
  }
  return kExitOk;
}

int TRecordSession::Run(const std::atomic<int>& stops) {
  if (const int failed = Prepare(); failed != kExitOk) return failed;

  recorder_->SetMaxSeconds(kMemorySeconds);
  down_ = true;
  recorder_->RecordButtonClicked();
  const TSlotStores& stores = recorder_->Stores();
  const auto first = std::find_if(stores.begin(), stores.end(), [](const auto& s) { return s != nullptr; });
  if (!down_ || first == stores.end()) return PortFailure("");
  rate_ = (*first)->Rate();
  if (options_.duration > 0)
    target_ =
        std::max<std::uint64_t>(1, static_cast<std::uint64_t>(std::floor(options_.duration * rate_ + 1e-6)));
  stream_ = std::make_unique<TRecordStream>(options_.output.empty() ? DefaultName() : options_.output,
                                            static_cast<std::uint32_t>(options_.setSeconds) * rate_);
  int result = kExitOk;
  try {
    stream_->Begin(stores);
    std::string names;
    for (const std::string& f : stream_->Files())
      names += (names.empty() ? "" : ", ") + f;
    Say(Format("záznam do %s, %d vzorků/s na vstup", {names, static_cast<int>(rate_)}));

    auto nextSync = Clock::now() + std::chrono::seconds(1);
    auto nextProgress = Clock::now();
    bool stopped = false;
    while (!stopped) {
      recorder_->TimerTick();
      Drain();
      if (OnTick) OnTick();
      if (startFailures_ > kMaxStartFailures) {
        StopRecording();
        Drain();
        stream_->Finish();
        return PortFailure(startError_);
      }
      if (!down_) {
        stopped = true;  // ended by itself: a port that failed, a full store
      } else if (stops.load() > 0 || TargetReached()) {
        StopRecording();
        stopped = true;
      }
      Drain();
      const auto now = Clock::now();
      if (now >= nextSync) {
        stream_->Sync();
        nextSync = now + std::chrono::seconds(1);
      }
      const double every = terminal_ ? 1.0 : options_.progressSeconds;
      if (every > 0 && now >= nextProgress && !stopped) {
        Progress(false);
        nextProgress =
            now + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(every));
      }
      if (!stopped) Pause(kTickMs);
    }
    stream_->Finish();
  } catch (const std::exception& e) {
    // The files cannot be written: the module is stopped; what reached the disk stays.
    if (down_) StopRecording();
    Say(e.what());
    return kExitIo;
  }
  Progress(true);
  if (!error_.empty()) {
    Say(error_);
    result = kExitPort;
  }
  return result;
}

void TRecordSession::StopRecording() {
  down_ = false;
  try {
    recorder_->RecordButtonClicked();
  } catch (const std::exception& e) {
    // The stop sequence talks to a module that may have gone; the files are whole.
    if (error_.empty()) error_ = e.what();
  }
}

void TRecordSession::Drain() {
  for (int slot = 1; slot <= TRecorder::kSlots; ++slot) {
    TDataStore* store = recorder_->Store(slot);
    if (store == nullptr) continue;
    std::uint32_t& taken = taken_[static_cast<std::size_t>(slot - 1)];
    const std::uint32_t count = store->Count();
    if (count > taken) {
      std::uint64_t n = count - taken;
      if (target_ > 0) n = std::min(n, target_ - std::min(target_, stream_->Written(slot)));
      stream_->Append(slot, store->Samples() + taken, static_cast<std::size_t>(n));
      taken = count;
    }
    // Half full: the next tick may bring at most the request ring's 32 blocks, far less.
    if (count >= store->Rate() * (kMemorySeconds / 2)) {
      recorder_->ReplaceStore(
          slot, std::make_unique<TDataStore>(slot, kMemorySeconds, store->Start(),
                                             store->Header().ChannelMask, state_.SlowMode,
                                             recorder_->ChannelScale()[static_cast<std::size_t>(slot - 1)]));
      taken = 0;
    }
  }
}

bool TRecordSession::TargetReached() const {
  if (target_ == 0) return false;
  for (int slot = 1; slot <= TRecorder::kSlots; ++slot) {
    if (recorder_->Store(slot) != nullptr && stream_->Written(slot) < target_) return false;
  }
  return true;
}

std::uint64_t TRecordSession::Samples() const {
  std::uint64_t n = 0;
  for (int slot = 1; slot <= TRecorder::kSlots; ++slot)
    n = std::max(n, stream_->Written(slot));
  return n;
}

void TRecordSession::Progress(bool final) {
  const std::uint64_t samples = Samples();
  const double seconds = rate_ > 0 ? static_cast<double>(samples) / rate_ : 0;
  std::string line = Hms(seconds) + " zaznamenáno";
  if (target_ > 0 && !final)
    line += ", zbývá " + Hms(static_cast<double>(target_ - std::min(target_, samples)) / rate_ + 0.999);
  line += Format(", %d vzorků na vstup, ztracené bloky: %d",
                 {static_cast<long long>(samples),
                  static_cast<long long>(recorder_->DroppedBlocks() + recorder_->ShortBlocks())});
  if (final) line += Format(", sad souborů: %d", {static_cast<int>(stream_->Sets())});
  if (terminal_ && !final) {
    std::fprintf(log_, "\r\033[Kosc-record: %s", line.c_str());
    progressShown_ = true;
  } else {
    if (progressShown_ && terminal_) std::fputs("\r\033[K", log_);
    progressShown_ = false;
    std::fprintf(log_, "osc-record: %s\n", line.c_str());
  }
  std::fflush(log_);
}

}  // namespace osc::tools
