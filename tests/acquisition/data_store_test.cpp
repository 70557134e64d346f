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

}  // namespace

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
  const Row rows[] = {{"", "V"}, {"mbar", "mba"}, {"Ωm", "?m"}};
  for (const Row& r : rows) {
    SCOPED_TRACE(r.unit);
    TDataStore store(1, 1, 0, 0x01, false, Scale(0, 1, r.unit));
    EXPECT_EQ(store.UnitText(), r.text);
    EXPECT_LE(store.Record()[28], 3);
  }
}

// Whole seconds of the slot's rate, then full: 640 per second for 3 slow slots.
TEST(DataStore, HoldsWholeSecondsThenIsFull) {
  TDataStore slow(3, 60, 0, 0x0D, true, Scale(0, 16));
  for (int i = 0; i < 960; ++i)
    slow.AddSample(0);
  EXPECT_EQ(slow.RemainingSeconds(), 58u);
  TDataStore store(1, 60, 0, 0x01, false, Scale(0, 16));
  for (std::uint32_t i = 0; i < 691200; ++i)
    store.AddSample(static_cast<std::uint8_t>(i));
  EXPECT_EQ(store.RemainingSeconds(), 0u);
  EXPECT_THROW(store.AddSample(0xEE), EOutOfMemory);
  EXPECT_EQ(store.Count(), 691200u);
  EXPECT_EQ(store.Samples()[691199], static_cast<std::uint8_t>(691199));
}

TEST(DataStore, BlockThatCannotBeAllocatedFailsTheCreation) {
  const auto saved = win::detail::memory_calls();
  win::detail::memory_calls().map = [](std::size_t) -> void* { return nullptr; };
  try {
    TDataStore store(4, 600, 0, 0x08, false, Scale(0, 16));
    ADD_FAILURE() << "no error";
  } catch (const EOutOfMemory& e) {
    EXPECT_NE(std::string(e.what()).find("CH 4"), std::string::npos) << e.what();
  }
  win::detail::memory_calls() = saved;
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
      {"0.4 s: the store's own rate", 1920, 0.4, 1, 1920},
      {"600 s at 11520: 2 per second", 11520, 600, 5760, 2},
      {"points per second not rounded", 3840, 4, 13, 3840.0 / 13},  // density 288
      {"nothing visible", 2880, 0, 1, 2880},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.name);
    EXPECT_EQ(ChooseStep(r.rate, r.seconds * kSecond), r.step);
    EXPECT_DOUBLE_EQ(PointXStep(r.rate, r.step), kSecond / r.pointsPerSecond);
  }
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
