#pragma once
// The loss ledger of a recording: every sample that is not the signal, per slot, with
// where it lies. The port reports framing, parity and overrun errors (as flags: one
// report counts one sample, a lower bound); the ring knows the blocks it dropped (their
// times are kept by a filler in the stores); an overflowed input queue ends the
// recording; and losses no one reports (a pseudo-terminal, an adapter hiding its
// overruns) show as fewer bytes than the module's rate allows on the monotonic clock.
//
// Positions are stream positions (bytes since the start, filler included); byte p
// belongs to the p % n-th recorded slot (n slots), as sample p / n of it.
//
// The ledger travels beside the record files as a small text file (LossFileText,
// ParseLossFile) so the record files stay as they are.
#include <array>
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

namespace osc {

class TDataStore;

enum class TLossKind {
  Garbled,    // a framing, parity or overrun error reported by the port
  Dropped,    // a block dropped after a stall; the stores hold a filler of its length
  Overflow,   // bytes lost to an overflowed input queue (the recording ended)
  Shortfall,  // fewer bytes than the module's rate allows
};

struct TLossEvent {
  TLossKind Kind = TLossKind::Garbled;
  std::uint64_t First = 0;              // the first sample of each slot the stretch touches
  std::uint64_t Span = 0;               // samples of each slot the stretch covers
  std::array<std::uint64_t, 4> Lost{};  // samples lost, slots 1..4

  bool operator==(const TLossEvent&) const = default;
};

class TLossLedger {
 public:
  // The rate check compares windows this far apart at most, so a module whose clock
  // runs a little slow never adds up to a loss.
  static constexpr std::int64_t kWindowMs = 15000;
  static constexpr std::int64_t kRecentMs = 5000;

  // A new recording of the slots in `mask` (bits 0..3), the module sending
  // `bytesPerSecond`, read in blocks of `blockLength` bytes, started at `nowMs`.
  void Begin(std::uint8_t mask, std::uint32_t bytesPerSecond, int blockLength, std::int64_t nowMs);
  // A ledger read back: the slots and the events as they were saved.
  void Restore(std::uint8_t mask, std::vector<TLossEvent> events);

  // The port reported errors in the bytes up to `pos`.
  void Garbled(std::uint64_t pos);
  // `bytes` from `pos` on were dropped; the stores got a filler of that length.
  void Dropped(std::uint64_t pos, std::uint64_t bytes);
  // Where the stream is at `nowMs`: checks the count against the module's rate.
  void Tick(std::uint64_t pos, std::int64_t nowMs);
  // The recording ended with the stream at `pos`: a shortfall seen is counted now.
  void Finish(std::uint64_t pos, std::int64_t nowMs);
  // The input queue overflowed at `nowMs` with the stream at `pos`; the recording ends.
  void Overflow(std::uint64_t pos, std::int64_t nowMs);

  std::uint8_t Mask() const { return mask_; }
  const std::vector<TLossEvent>& Events() const { return events_; }
  std::uint64_t Total() const;
  std::uint64_t LostIn(int slot) const;  // slot 1..4
  // Whether sample `index` of every slot is filler (a dropped block): not the signal.
  bool InGap(std::uint64_t index) const;

 private:
  void Add(TLossKind kind, std::uint64_t pos, std::uint64_t span, std::uint64_t bytes);
  double Deficit(std::uint64_t pos, std::int64_t nowMs) const;
  void CountPending(double deficit, std::uint64_t pos);

  struct Probe {
    std::int64_t Ms;
    double Deficit;  // bytes the module sent beyond what arrived, less what was counted
    std::uint64_t Pos;
  };
  std::uint8_t mask_ = 0;
  int slots_ = 0;
  std::uint32_t rate_ = 0;
  int blockLength_ = 0;
  std::int64_t startMs_ = 0;
  double counted_ = 0;
  std::deque<Probe> probes_;
  // A shortfall seen at `pendingMs_` against `pendingFrom_` is counted once a whole
  // recent part has passed, so a loss still going on is counted in full.
  bool pending_ = false;
  std::int64_t pendingMs_ = 0;
  Probe pendingFrom_{};
  std::vector<TLossEvent> events_;
  std::vector<std::pair<std::uint64_t, std::uint64_t>> gaps_;  // [first, end) of each filler
};

// The loss file beside the records saved as `chosen` (its extension replaced, as the
// record files' is, by ".ztraty").
std::string LossFileName(const std::string& chosen);
inline constexpr const char* kLossFileExt = ".ztraty";

// The loss file's text for `ledger` and the records it belongs to (their start, rate
// and counts, so a file that no longer matches them is recognised).
std::string LossFileText(const TLossLedger& ledger, const std::array<const TDataStore*, 4>& stores);
enum class TLossFileState { Absent, Matches, Foreign };
// Reads `text` against the loaded records: Matches fills `ledger`; Foreign when it
// belongs to other records or cannot be read.
TLossFileState ParseLossFile(const std::string& text, const std::array<const TDataStore*, 4>& stores,
                             TLossLedger& ledger);

// ParseLossFile of the file at `path` (read only when a regular file of at most 1 MiB):
// Absent when there is no such file.
TLossFileState LoadLossFile(const std::string& path, const std::array<const TDataStore*, 4>& stores,
                            TLossLedger& ledger);

// The label of the window: "Ztraceno: 0 vzorků", or the count and its share of the
// samples the record should hold.
std::string LossText(std::uint64_t lost, std::uint64_t expected);

}  // namespace osc
