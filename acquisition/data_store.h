#pragma once
// TDataStore: the record of one recording slot, a 256-byte header
// (acquisition/record_header.h) followed by one byte per sample, in one block sized
// for the longest recording. The block written byte for byte is the record file.
//
// Threads: one writer (AddSample) and readers on another thread at the same time.
// AddSample stores the byte before it publishes the new count (release); Count()
// acquires it, so every sample below Count() is visible to the reader. Record() (the
// block as a file) is read only while no sample is being added. Everything else is
// for the owning (user-interface) thread.
#include "acquisition/channel_scale.h"
#include "acquisition/record_header.h"
#include "platform/locale/locale.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>

namespace osc {

// Samples per second of one slot: 11520 shared by the recorded slots (the low 4 bits
// of `channelMask`), a sixth of that in slow mode. 0 when no slot is recorded.
std::uint32_t SlotRate(std::uint8_t channelMask, bool slowMode);

// How many samples one series point stands for when `spanDays` are visible: the
// smallest display density of 1920, 960, 480, 288, 144, 80, 40, 20, 10, 5, 2, 1 points
// per second that still gives at least 1000 points (the store's own rate when even
// 1920 gives fewer); rate / density, at least 1.
std::uint32_t ChooseStep(std::uint32_t rate, double spanDays);
// Distance in days between series points: step / rate seconds, in floating point so
// that every point sits at its true time.
double PointXStep(std::uint32_t rate, std::uint32_t step);

// The extremes of one window of samples [First, First + Length), kept by the store for
// the peak display: the two points of a pair share a window, and samples below Count()
// never change, so a window is known by where it lies.
struct TPeakWindow {
  std::uint64_t First = UINT64_MAX;
  std::uint64_t Length = 0;
  std::uint8_t Max = 0;
  std::uint8_t Min = 0;
};

// Which of the converter's limits samples reach: raw 255 (the top of the window) and
// raw 0 (its bottom). Such a sample is clipped: the signal lay somewhere beyond.
enum : unsigned { kClipHigh = 1, kClipLow = 2 };

// The largest and smallest of `n` samples (Max 0, Min 255 when there are none): the
// peak display's one-pass scan.
struct TExtremes {
  std::uint8_t Max = 0;
  std::uint8_t Min = 255;
};
TExtremes SampleExtremes(const std::uint8_t* p, std::size_t n);
// The clip flags of samples whose extremes are `e`.
inline unsigned ClipOf(TExtremes e) {
  return (e.Max == 255 ? kClipHigh : 0u) | (e.Min == 0 ? kClipLow : 0u);
}

class TDataStore {
 public:
  // Samples per clip chunk: the store keeps which limits each chunk reaches, so a view
  // without clipped samples never scans for them.
  static constexpr unsigned kClipChunkBits = 12;

  // An empty record for `slot` (1..4), holding `maxSeconds` at the slot's rate, with
  // the slot's scale and unit. Raises EOutOfMemory when the block cannot be allocated
  // and Exception when `channelMask` records no slot.
  TDataStore(int slot, int maxSeconds, TDateTime start, std::uint8_t channelMask, bool slowMode,
             const TChannelScale& scale);
  // A record read back (a record file): the block is exactly `record` long. A sample
  // count beyond the bytes present is cut to them. nullptr when shorter than the
  // header or its rate is 0 (such a record has no time axis).
  static std::unique_ptr<TDataStore> FromRecord(std::span<const std::uint8_t> record, std::string name);
  // The same, read straight into a block of `size` bytes: `fill` writes the record into
  // the block it is given and returns how many bytes it wrote. When that is fewer than
  // `size` the record is what was written (FromRecord of those bytes).
  static std::unique_ptr<TDataStore> FromRecord(
      std::uint32_t size, std::string name, const std::function<std::size_t(std::span<std::uint8_t>)>& fill);
  ~TDataStore();
  TDataStore(const TDataStore&) = delete;
  TDataStore& operator=(const TDataStore&) = delete;

  // Raises EOutOfMemory "Mem Full" when the block is full; the sample is then dropped.
  void AddSample(std::uint8_t sample);

  std::uint32_t Count() const { return count_.load(std::memory_order_acquire); }
  const std::uint8_t* Samples() const { return block_ + kRecordHeaderSize; }
  // The first 256 + Count() bytes: what a record file holds.
  std::span<const std::uint8_t> Record() const { return {block_, kRecordHeaderSize + Count()}; }

  std::uint32_t Capacity() const { return capacity_; }
  const TRecordHeader& Header() const { return header_; }  // as created; Count is Count()
  std::uint32_t Rate() const { return header_.Rate; }
  float Lower() const { return header_.Lower; }
  float Upper() const { return header_.Upper; }
  TDateTime Start() const { return header_.Start; }
  const std::string& Name() const { return name_; }

  // The unit in UTF-8, "V" when the record has none.
  std::string UnitText() const;
  // Whole seconds the block can still take at the record's rate.
  std::uint32_t RemainingSeconds() const;
  // Length of the record so far, in days.
  double Duration() const;

  // Decimation: how many samples one series point stands for (at least 1).
  std::uint32_t Step() const { return step_; }
  // Chooses Step for a visible span in days (ChooseStep).
  void SetSpan(double spanDays);
  std::uint32_t PointCount() const { return Count() / step_; }
  double XStep() const { return PointXStep(Rate(), step_); }

  // The clip flags of chunk `chunk` (samples chunk << kClipChunkBits onwards) so far.
  unsigned ChunkClip(std::uint32_t chunk) const { return chunkClip_[chunk].load(std::memory_order_relaxed); }

  // The peak display's last window (acquisition/scaling.h), for the owning thread.
  TPeakWindow& PeakWindowCache() const { return peakWindow_; }

 private:
  TDataStore(std::uint32_t capacity, std::string name);
  void TakeHeader();
  void ScanClips();

  std::uint8_t* block_ = nullptr;
  std::uint32_t capacity_ = 0;
  std::atomic<std::uint32_t> count_{0};
  TRecordHeader header_;
  std::uint32_t step_ = 1;
  std::string name_;
  mutable TPeakWindow peakWindow_;
  // Written by AddSample's thread; a flag is set before the count that covers its
  // sample is published.
  std::unique_ptr<std::atomic<std::uint8_t>[]> chunkClip_;
};

// The main window's stores: slots 1..4 at indexes 0..3, none where a slot has no record.
using TSlotStores = std::array<std::unique_ptr<TDataStore>, 4>;

// UnitText of a slot that may have no store.
std::string UnitText(const TDataStore* store);

}  // namespace osc
