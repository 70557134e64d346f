#include "acquisition/data_store.h"

#include "platform/errors.h"
#include "platform/kernel/memory.h"
#include "platform/locale/codepage.h"
#include "platform/locale/locale.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>

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

}  // namespace

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
    : block_(allocate(capacity, name)), capacity_(capacity), name_(std::move(name)) {}

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
}

TDataStore::~TDataStore() {
  win::VirtualFree(block_, capacity_);
}

void TDataStore::AddSample(std::uint8_t sample) {
  const std::uint32_t count = count_.load(std::memory_order_relaxed);  // the writer's own value
  if (capacity_ - kRecordHeaderSize <= count) throw EOutOfMemory("Mem Full");
  block_[kRecordHeaderSize + count] = sample;
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
