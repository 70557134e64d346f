#pragma once
// Faults the simulated module can be told to show, each once (the next time it applies)
// or for good (until cleared).
#include <array>
#include <cstddef>

namespace osc::sim {

enum class Fault {
  LostByte,             // the first byte of a reply, or a stream byte, never arrives
  CorruptedByte,        // ... arrives with bit 0 inverted
  WrongEcho,            // parameter echo, raw-query echo or start reply byte 0 is wrong
  BadChecksum,          // the raw-query checksum is off by one
  WrongIdentification,  // the identification names an unknown model ("Mdl8")
  ShortIdentification,  // the identification reply is 7 bytes long
  Silence,              // a command gets no answer; for good: the stream stops as well
  PulledCable,          // the device vanishes: the open port dies; for good: opening fails
  FramingError,         // a stream byte arrives garbled and the line reports a framing error
  LostRun,              // a run of stream bytes never arrives, and nothing says so
};
constexpr std::size_t kFaultCount = 10;

enum class FaultMode { Off, Once, Always };

class FaultSet {
 public:
  void set(Fault f, FaultMode mode) { modes_[static_cast<std::size_t>(f)] = mode; }
  FaultMode mode(Fault f) const { return modes_[static_cast<std::size_t>(f)]; }
  void clear() { modes_.fill(FaultMode::Off); }

  // Whether the fault strikes now; a one-time fault is used up by it.
  bool take(Fault f) {
    auto& m = modes_[static_cast<std::size_t>(f)];
    if (m == FaultMode::Once) {
      m = FaultMode::Off;
      return true;
    }
    return m == FaultMode::Always;
  }

 private:
  std::array<FaultMode, kFaultCount> modes_{};
};

}  // namespace osc::sim
