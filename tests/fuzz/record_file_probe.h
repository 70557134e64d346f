#pragma once
// Loads given bytes as a record file through CreateFromFile and checks the result
// against what the bytes say it must be: ignored, refused with the file named, or a
// store whose block is the file and whose count stays inside it. Store blocks come
// from the heap while a probe lives, so AddressSanitizer sees any read beyond one.
// Used by the fuzz target and by the malformed-file tests.
#include "acquisition/record_file.h"
#include "platform/errors.h"
#include "platform/kernel/memory_internal.h"
#include "platform/locale/codepage.h"

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <span>
#include <string>

namespace osc::test {

class RecordFileProbe {
 public:
  enum Outcome { Loaded, Ignored, Refused };
  struct Result {
    Outcome outcome;
    std::string problem;  // empty when the loader did what the bytes call for
  };

  RecordFileProbe() : savedMemory_(win::detail::memory_calls()) {
    win::detail::memory_calls() = {[](std::size_t size) { return std::calloc(size, 1); },
                                   [](void* block, std::size_t) { std::free(block); }};
    fd_ = memfd_create("record", MFD_CLOEXEC);
    path_ = "/proc/self/fd/" + std::to_string(fd_);
  }
  ~RecordFileProbe() {
    close(fd_);
    win::detail::memory_calls() = savedMemory_;
  }
  RecordFileProbe(const RecordFileProbe&) = delete;
  RecordFileProbe& operator=(const RecordFileProbe&) = delete;

  Result Check(std::span<const std::uint8_t> bytes) {
    if (ftruncate(fd_, 0) != 0 ||
        pwrite(fd_, bytes.data(), bytes.size(), 0) != static_cast<ssize_t>(bytes.size())) {
      return {Refused, "cannot prepare the file"};
    }
    const Outcome expected = expect(bytes);
    std::unique_ptr<TDataStore> store;
    try {
      store = CreateFromFile(path_);
    } catch (const Exception& e) {
      if (expected != Refused) return {Refused, std::string("refused: ") + e.what()};
      if (std::string(e.what()).find(path_) == std::string::npos) return {Refused, "unnamed file"};
      return {Refused, ""};
    }
    if (!store) return {Ignored, expected == Ignored ? "" : "ignored"};
    if (expected != Loaded) return {Loaded, "loaded"};
    return {Loaded, checkStore(*store, bytes)};
  }

 private:
  static std::uint32_t u32(std::span<const std::uint8_t> b, std::size_t at) {
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<std::uint32_t>(b[at + 3]) << 24;
  }
  static double f64(std::span<const std::uint8_t> b, std::size_t at) {
    return std::bit_cast<double>(std::uint64_t{u32(b, at)} | std::uint64_t{u32(b, at + 4)} << 32);
  }

  static Outcome expect(std::span<const std::uint8_t> b) {
    if (b.size() < 256 || b[2] < 1 || b[2] > 4) return Ignored;
    const bool finite = std::isfinite(std::bit_cast<float>(u32(b, 8))) &&
                        std::isfinite(std::bit_cast<float>(u32(b, 12))) && std::isfinite(f64(b, 16));
    if (u32(b, 4) == 0 || !finite || u32(b, 24) >= 0x80000000u) return Refused;
    return Loaded;
  }

  static std::string checkStore(TDataStore& store, std::span<const std::uint8_t> b) {
    const std::uint32_t count =
        std::min<std::uint32_t>(u32(b, 24), static_cast<std::uint32_t>(b.size() - 256));
    if (store.Capacity() != b.size()) return "capacity is not the file size";
    if (store.Count() != count) return "count is not cut to the samples present";
    if (store.Rate() != u32(b, 4)) return "rate";
    auto record = store.Record();
    if (record.size() != 256 + count) return "record size";
    for (std::size_t i = 0; i < record.size(); ++i) {
      if (i >= 24 && i < 28) continue;
      if (record[i] != b[i]) return "byte " + std::to_string(i) + " differs from the file";
    }
    const std::size_t unitLength = std::min<std::size_t>(b[28], 3);
    const std::string unit(reinterpret_cast<const char*>(b.data() + 29), unitLength);
    if (store.UnitText() != (unitLength == 0 ? "V" : Cp1250ToUtf8(unit))) return "unit";
    if (store.RemainingSeconds() != (b.size() - 256 - count) / store.Rate()) return "remaining seconds";
    // Touch every sample and the time axis as the graph would.
    unsigned sum = 0;
    for (std::uint32_t i = 0; i < store.Count(); ++i)
      sum += store.Samples()[i];
    store.SetSpan(store.Duration());
    if (store.PointCount() > store.Count() || !(store.XStep() > 0)) return "time axis";
    return sum == ~0u ? "impossible" : "";
  }

  win::detail::MemoryCalls savedMemory_;
  int fd_ = -1;
  std::string path_;
};

}  // namespace osc::test
