#include "acquisition/data_store.h"

#include "platform/errors.h"
#include "platform/kernel/memory_internal.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

using namespace osc;

namespace {

constexpr double kSecond = 1.0 / 86400;

TChannelScale Scale(float low, float high, std::string unit = "") {
  return {high, low, std::move(unit)};
}

// A record block as a file holds it, header fields given by hand.
std::vector<std::uint8_t> RecordBytes(std::uint32_t rate, std::uint32_t count, std::size_t samples,
                                      std::uint8_t unitLength = 0, const char* unit = "") {
  std::vector<std::uint8_t> bytes(kRecordHeaderSize + samples, 0);
  bytes[0] = 'O';
  bytes[1] = 'S';
  bytes[2] = 1;
  bytes[3] = 0x01;
  for (int i = 0; i < 4; ++i)
    bytes[4 + i] = static_cast<std::uint8_t>(rate >> (8 * i));
  bytes[11] = 0xC3;  // lower -128.0f: 00 00 00 C3
  bytes[14] = 0x80;  // upper 256.0f: 00 00 80 43
  bytes[15] = 0x43;
  for (int i = 0; i < 4; ++i)
    bytes[24 + i] = static_cast<std::uint8_t>(count >> (8 * i));
  bytes[28] = unitLength;
  for (int i = 0; i < 3 && unit[i]; ++i)
    bytes[29 + i] = static_cast<std::uint8_t>(unit[i]);
  for (std::size_t i = 0; i < samples; ++i)
    bytes[kRecordHeaderSize + i] = static_cast<std::uint8_t>(i * 3);
  return bytes;
}

}  // namespace

TEST(DataStore, RateIsSharedByTheRecordedSlots) {
  struct Row {
    std::uint8_t mask;
    std::uint32_t normal, slow;
  };
  const Row rows[] = {{0x01, 11520, 1920}, {0x0A, 5760, 960},   {0x0B, 3840, 640},
                      {0x0F, 2880, 480},   {0xF4, 11520, 1920}, {0xF0, 0, 0}};
  for (const Row& r : rows) {
    SCOPED_TRACE(int{r.mask});
    EXPECT_EQ(SlotRate(r.mask, false), r.normal);
    EXPECT_EQ(SlotRate(r.mask, true), r.slow);
  }
}

// The header is a file format: every byte is given here by hand.
TEST(DataStore, HeaderIsWrittenByteForByte) {
  TDataStore store(2, 10, 45000.5, 0x0B, false, Scale(-4.1875f, 3.8125f, "µV"));
  std::uint8_t expected[kRecordHeaderSize] = {
      'O',  'S',  2,    0x0B,                          // magic, slot, mask
      0x00, 0x0F, 0x00, 0x00,                          // 3840 samples per second
      0x00, 0x00, 0x86, 0xC0,                          // lower -4.1875f
      0x00, 0x00, 0x74, 0x40,                          // upper 3.8125f
      0x00, 0x00, 0x00, 0x00, 0x10, 0xF9, 0xE5, 0x40,  // start 45000.5
      0x00, 0x00, 0x00, 0x00,                          // count
      2,    0xB5, 'V',  0x00,                          // unit "µV" in code page 1250
  };
  auto record = store.Record();
  ASSERT_EQ(record.size(), kRecordHeaderSize);
  for (std::size_t i = 0; i < kRecordHeaderSize; ++i)
    EXPECT_EQ(record[i], expected[i]) << "offset " << i;
  EXPECT_EQ(store.Capacity(), 3840u * 10 + 256);
  EXPECT_EQ(store.Name(), "CH 2");
  EXPECT_EQ(store.UnitText(), "µV");

  store.AddSample(0xA5);
  store.AddSample(0x5A);
  record = store.Record();
  ASSERT_EQ(record.size(), kRecordHeaderSize + 2);
  EXPECT_EQ(record[24], 2);
  EXPECT_EQ(record[256], 0xA5);
  EXPECT_EQ(record[257], 0x5A);
}

TEST(DataStore, UnitIsAtMostThreeCharactersAndVoltsWhenEmpty) {
  struct Row {
    const char* unit;
    const char* text;
  };
  const Row rows[] = {{"", "V"}, {"°C", "°C"}, {"kPa", "kPa"}, {"mbar", "mba"}, {"Ωm", "?m"}};
  for (const Row& r : rows) {
    SCOPED_TRACE(r.unit);
    TDataStore store(1, 1, 0, 0x01, false, Scale(0, 1, r.unit));
    EXPECT_EQ(store.UnitText(), r.text);
    EXPECT_LE(store.Record()[28], 3);
  }
  EXPECT_EQ(UnitText(nullptr), "V");
}

TEST(DataStore, OneSlotForOneMinuteHolds691200SamplesThenIsFull) {
  TDataStore store(1, 60, 0, 0x01, false, Scale(0, 16));
  EXPECT_EQ(store.RemainingSeconds(), 60u);
  for (std::uint32_t i = 0; i < 691200; ++i)
    store.AddSample(static_cast<std::uint8_t>(i));
  EXPECT_EQ(store.Count(), 691200u);
  EXPECT_EQ(store.RemainingSeconds(), 0u);
  try {
    store.AddSample(0xEE);
    FAIL() << "no error";
  } catch (const EOutOfMemory& e) {
    EXPECT_STREQ(e.what(), "Mem Full");
  }
  EXPECT_EQ(store.Count(), 691200u);
  EXPECT_EQ(store.Samples()[691199], static_cast<std::uint8_t>(691199));
  EXPECT_EQ(store.Record()[24 + 2], 0x0A);  // 691200 = 0x000A8C00 in the header
}

TEST(DataStore, ThreeSlowSlotsRecord640SamplesPerSecond) {
  TDataStore store(3, 60, 0, 0x0D, true, Scale(0, 16));
  EXPECT_EQ(store.Rate(), 640u);
  EXPECT_EQ(store.Capacity(), 640u * 60 + 256);
  EXPECT_EQ(store.RemainingSeconds(), 60u);
  store.AddSample(0);
  EXPECT_EQ(store.RemainingSeconds(), 59u);  // whole seconds only
  for (int i = 1; i < 960; ++i)
    store.AddSample(0);
  EXPECT_EQ(store.RemainingSeconds(), 58u);
  EXPECT_DOUBLE_EQ(store.Duration(), 1.5 * kSecond);
}

TEST(DataStore, BlockThatCannotBeAllocatedFailsTheCreation) {
  auto saved = win::detail::memory_calls();
  win::detail::memory_calls().map = [](std::size_t) -> void* { return nullptr; };
  try {
    TDataStore store(4, 600, 0, 0x08, false, Scale(0, 16));
    ADD_FAILURE() << "no error";
  } catch (const EOutOfMemory& e) {
    EXPECT_NE(std::string(e.what()).find("CH 4"), std::string::npos) << e.what();
  }
  win::detail::memory_calls() = saved;
  EXPECT_THROW(TDataStore(1, 60, 0, 0x00, false, Scale(0, 16)), Exception);  // no slot recorded
}

TEST(DataStore, DecimationStepFollowsTheVisibleSpan) {
  struct Row {
    const char* name;
    std::uint32_t rate;
    double seconds;
    std::uint32_t step;
    double pointsPerSecond;
  };
  const Row rows[] = {
      {"60 s at 2880: density 20", 2880, 60, 144, 20},
      {"0.4 s: the store's own rate", 1920, 0.4, 1, 1920},
      {"0.6 s at 11520: 1920 per second", 11520, 0.6, 6, 1920},
      {"600 s at 11520: 2 per second", 11520, 600, 5760, 2},
      {"density above the rate", 480, 2, 1, 480},
      {"points per second not rounded", 3840, 4, 13, 3840.0 / 13},  // density 288
      {"nothing visible", 2880, 0, 1, 2880},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.name);
    EXPECT_EQ(ChooseStep(r.rate, r.seconds * kSecond), r.step);
    EXPECT_DOUBLE_EQ(PointXStep(r.rate, r.step), kSecond / r.pointsPerSecond);
  }
}

TEST(DataStore, DamagedRecordsAreCutOrRefused) {
  // A count beyond the bytes present is cut to them, in the header too.
  auto store = TDataStore::FromRecord(RecordBytes(2880, 5000, 10), "a.ch1");
  ASSERT_NE(store, nullptr);
  EXPECT_EQ(store->Count(), 10u);
  EXPECT_EQ(store->Record().size(), kRecordHeaderSize + 10);
  EXPECT_EQ(store->Record()[24], 10);
  EXPECT_EQ(store->Record()[25], 0);
  // A unit length above 3 never reads past the unit's field.
  store = TDataStore::FromRecord(RecordBytes(2880, 0, 0, 200, "mAh"), "b.ch1");
  ASSERT_NE(store, nullptr);
  EXPECT_EQ(store->UnitText(), "mAh");

  auto shortRecord = RecordBytes(2880, 0, 0);
  shortRecord.pop_back();
  EXPECT_EQ(TDataStore::FromRecord(shortRecord, "c.ch1"), nullptr);
  EXPECT_EQ(TDataStore::FromRecord(RecordBytes(0, 10, 10), "d.ch1"), nullptr);
}

// One thread records while another reads, as on the blocking-read path: every sample
// below the count the reader sees must already be there.
TEST(DataStore, ReaderNeverSeesACountAheadOfTheSamples) {
  constexpr std::uint32_t kSamples = 200000;
  TDataStore store(1, 60, 0, 0x01, false, Scale(0, 16));
  std::atomic<bool> done{false};
  std::thread writer([&] {
    for (std::uint32_t i = 0; i < kSamples; ++i)
      store.AddSample(static_cast<std::uint8_t>(i * 7 + 1));
    done = true;
  });
  std::uint32_t mismatches = 0, reads = 0;
  while (!done || store.Count() < kSamples) {
    const std::uint32_t n = store.Count();
    if (n == 0) continue;
    ++reads;
    const std::uint8_t* samples = store.Samples();
    if (samples[n - 1] != static_cast<std::uint8_t>((n - 1) * 7 + 1)) ++mismatches;
  }
  writer.join();
  EXPECT_EQ(mismatches, 0u) << "of " << reads << " reads";
}
