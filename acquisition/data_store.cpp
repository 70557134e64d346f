#include "acquisition/data_store.h"

#include "platform/errors.h"
#include "platform/kernel/memory.h"
#include "platform/locale/codepage.h"
#include "platform/locale/locale.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace osc {
namespace {

constexpr std::uint32_t kModuleRate = 11520;
constexpr std::uint32_t kSlowDivisor = 6;
constexpr double kSecondsPerDay = 86400;
constexpr double kMinPoints = 1000;
constexpr std::array<std::uint32_t, 12> kDensities = {1920, 960, 480, 288, 144, 80, 40, 20, 10, 5, 2, 1};

std::uint8_t* allocate(std::uint32_t capacity, const std::string& name) {
  auto* block = static_cast<std::uint8_t*>(win::VirtualAlloc(capacity));
  if (block == nullptr) {
    throw EOutOfMemory(Format("Not enough memory for the record of %s (%u bytes)", {name, capacity}));
  }
  return block;
}

std::unique_ptr<std::atomic<std::uint8_t>[]> clip_chunks(std::uint32_t capacity) {
  const std::size_t n = ((capacity >> TDataStore::kClipChunkBits) + 1);
  auto chunks = std::make_unique<std::atomic<std::uint8_t>[]>(n);
  for (std::size_t i = 0; i < n; ++i)
    chunks[i].store(0, std::memory_order_relaxed);
  return chunks;
}

}  // namespace

// The peak display's scan reads every sample of the view once per repaint, so it is
// one pass for both extremes, 64 bytes a step in four independent vectors where the
// processor has SSE2 (every x86-64 has), then byte by byte for the rest.
TExtremes SampleExtremes(const std::uint8_t* p, std::size_t n) {
  TExtremes e;
  std::size_t k = 0;
#if defined(__SSE2__)
  if (n >= 64) {
    __m128i hi[4], lo[4];
    for (int j = 0; j < 4; ++j) {
      hi[j] = _mm_setzero_si128();
      lo[j] = _mm_set1_epi8(static_cast<char>(0xFF));
    }
    for (; k + 64 <= n; k += 64) {
      for (int j = 0; j < 4; ++j) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + k + 16 * j));
        hi[j] = _mm_max_epu8(hi[j], v);
        lo[j] = _mm_min_epu8(lo[j], v);
      }
    }
    alignas(16) std::uint8_t h[16], l[16];
    _mm_store_si128(reinterpret_cast<__m128i*>(h),
                    _mm_max_epu8(_mm_max_epu8(hi[0], hi[1]), _mm_max_epu8(hi[2], hi[3])));
    _mm_store_si128(reinterpret_cast<__m128i*>(l),
                    _mm_min_epu8(_mm_min_epu8(lo[0], lo[1]), _mm_min_epu8(lo[2], lo[3])));
    for (int j = 0; j < 16; ++j) {
      e.Max = std::max(e.Max, h[j]);
      e.Min = std::min(e.Min, l[j]);
    }
  }
#endif
  for (; k < n; ++k) {
    e.Max = std::max(e.Max, p[k]);
    e.Min = std::min(e.Min, p[k]);
  }
  return e;
}

std::uint32_t SlotRate(std::uint8_t channelMask, bool slowMode) {
  const auto slots = static_cast<std::uint32_t>(std::popcount(static_cast<unsigned>(channelMask & 0x0F)));
  if (slots == 0) return 0;
  const std::uint32_t rate = kModuleRate / slots;
  return slowMode ? rate / kSlowDivisor : rate;
}

std::uint32_t ChooseStep(std::uint32_t rate, double spanDays) {
  const double seconds = spanDays * kSecondsPerDay;
  std::uint32_t density = rate;
  for (std::uint32_t candidate : kDensities) {
    if (!(candidate * seconds >= kMinPoints)) break;
    density = candidate;
  }
  const std::uint32_t step = density == 0 ? 1 : rate / density;
  return std::max<std::uint32_t>(step, 1);
}

double PointXStep(std::uint32_t rate, std::uint32_t step) {
  // In floating point: rate / step in integers (3840 / 13 = 295) would put the last
  // point of a 10-minute record seconds away from its true time.
  if (rate == 0) return 1 / kSecondsPerDay;
  return static_cast<double>(std::max<std::uint32_t>(step, 1)) / rate / kSecondsPerDay;
}

TDataStore::TDataStore(std::uint32_t capacity, std::string name)
    : block_(allocate(capacity, name)),
      capacity_(capacity),
      name_(std::move(name)),
      chunkClip_(clip_chunks(capacity)) {}

TDataStore::TDataStore(int slot, int maxSeconds, TDateTime start, std::uint8_t channelMask, bool slowMode,
                       const TChannelScale& scale)
    : name_(Format("CH %d", {slot})) {
  const std::uint32_t rate = SlotRate(channelMask, slowMode);
  if (rate == 0) throw Exception("No channel is recorded");
  const std::uint64_t capacity =
      std::uint64_t{rate} * static_cast<std::uint64_t>(std::max(maxSeconds, 0)) + kRecordHeaderSize;
  if (capacity > UINT32_MAX) throw EOutOfMemory(Format("Not enough memory for the record of %s", {name_}));
  capacity_ = static_cast<std::uint32_t>(capacity);
  block_ = allocate(capacity_, name_);
  chunkClip_ = clip_chunks(capacity_);
  header_.Slot = static_cast<std::uint8_t>(slot);
  header_.ChannelMask = channelMask;
  header_.Rate = rate;
  header_.Lower = scale.Low;
  header_.Upper = scale.High;
  header_.Start = start;
  header_.Count = 0;
  header_.Unit = Utf8ToCp1250(Utf8Left(scale.Unit, kRecordUnitMax));
  WriteRecordHeader(header_, block_);
}

std::unique_ptr<TDataStore> TDataStore::FromRecord(std::span<const std::uint8_t> record, std::string name) {
  if (record.size() < kRecordHeaderSize || record.size() > UINT32_MAX) return nullptr;
  if (ReadRecordHeader(record.data()).Rate == 0) return nullptr;
  std::unique_ptr<TDataStore> store(
      new TDataStore(static_cast<std::uint32_t>(record.size()), std::move(name)));
  std::copy(record.begin(), record.end(), store->block_);
  store->TakeHeader();
  return store;
}

std::unique_ptr<TDataStore> TDataStore::FromRecord(
    std::uint32_t size, std::string name, const std::function<std::size_t(std::span<std::uint8_t>)>& fill) {
  if (size < kRecordHeaderSize) return nullptr;
  std::unique_ptr<TDataStore> store(new TDataStore(size, std::move(name)));
  const std::size_t filled = std::min<std::size_t>(fill({store->block_, size}), size);
  if (filled < size) return FromRecord({store->block_, filled}, store->name_);
  if (ReadRecordHeader(store->block_).Rate == 0) return nullptr;
  store->TakeHeader();
  return store;
}

// The header of a record read back; a count beyond the bytes present is cut to them.
void TDataStore::TakeHeader() {
  header_ = ReadRecordHeader(block_);
  header_.Count = std::min<std::uint32_t>(header_.Count, capacity_ - kRecordHeaderSize);
  PutU32(block_ + kRecordCountOffset, header_.Count);
  count_ = header_.Count;
  ScanClips();
}

void TDataStore::ScanClips() {
  const std::uint32_t count = Count();
  constexpr std::uint32_t chunk = 1u << kClipChunkBits;
  for (std::uint32_t first = 0, c = 0; first < count; first += chunk, ++c) {
    const TExtremes e = SampleExtremes(Samples() + first, std::min(chunk, count - first));
    chunkClip_[c].store(static_cast<std::uint8_t>(ClipOf(e)), std::memory_order_relaxed);
  }
}

TDataStore::~TDataStore() {
  win::VirtualFree(block_, capacity_);
}

void TDataStore::AddSample(std::uint8_t sample) {
  const std::uint32_t count = count_.load(std::memory_order_relaxed);  // the writer's own value
  if (capacity_ - kRecordHeaderSize <= count) throw EOutOfMemory("Mem Full");
  block_[kRecordHeaderSize + count] = sample;
  if (sample == 255 || sample == 0) {
    chunkClip_[count >> kClipChunkBits].fetch_or(sample == 255 ? kClipHigh : kClipLow,
                                                 std::memory_order_relaxed);
  }
  PutU32(block_ + kRecordCountOffset, count + 1);
  count_.store(count + 1, std::memory_order_release);
}

std::string TDataStore::UnitText() const {
  return header_.Unit.empty() ? "V" : Cp1250ToUtf8(header_.Unit);
}

std::uint32_t TDataStore::RemainingSeconds() const {
  return (capacity_ - kRecordHeaderSize - Count()) / Rate();
}

double TDataStore::Duration() const {
  return static_cast<double>(Count()) / Rate() / kSecondsPerDay;
}

void TDataStore::SetSpan(double spanDays) {
  step_ = ChooseStep(Rate(), spanDays);
}

std::string UnitText(const TDataStore* store) {
  return store ? store->UnitText() : "V";
}

}  // namespace osc
