#include "acquisition/record_file.h"

#include "platform/errors.h"
#include "support/faulty_file_ops.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <bit>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <limits>
#include <vector>

using namespace osc;
using osc::test::FaultyFileOps;

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteAll(const std::string& path, const Bytes& bytes) {
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

std::vector<std::string> Names(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

// A store of `slot` in a recording of the slots in `mask`, holding `samples` samples.
std::unique_ptr<TDataStore> Recorded(int slot, std::uint8_t mask, std::uint32_t samples, int seconds = 10,
                                     std::string unit = "") {
  auto store = std::make_unique<TDataStore>(slot, seconds, 45366.5 + slot, mask, false,
                                            TChannelScale{8, -2, std::move(unit)});
  for (std::uint32_t i = 0; i < samples; ++i)
    store->AddSample(static_cast<std::uint8_t>(i * 13 + slot));
  return store;
}

// A valid record file: slot, rate, count and samples given, other fields plain.
Bytes RecordBytes(std::uint8_t slot, std::uint32_t rate, std::uint32_t count, std::size_t samples) {
  Bytes b(256 + samples, 0);
  b[0] = 'O';
  b[1] = 'S';
  b[2] = slot;
  b[3] = 0x0F;
  for (int i = 0; i < 4; ++i) {
    b[4 + i] = static_cast<std::uint8_t>(rate >> (8 * i));
    b[24 + i] = static_cast<std::uint8_t>(count >> (8 * i));
  }
  b[15] = 0x41;  // upper 8.0f: 00 00 00 41
  for (std::size_t i = 0; i < samples; ++i)
    b[256 + i] = static_cast<std::uint8_t>(i);
  return b;
}

template <typename T>
void Put(Bytes& b, std::size_t at, T value) {
  const auto bits = std::bit_cast<std::array<std::uint8_t, sizeof(T)>>(value);
  std::copy(bits.begin(), bits.end(), b.begin() + static_cast<std::ptrdiff_t>(at));
}

}  // namespace

TEST(RecordFile, SlotsSavedUnderOneNameGetTheirOwnLowerCaseExtension) {
  test::TempDir dir;
  TSlotStores stores;
  stores[0] = Recorded(1, 0x0B, 100);
  stores[1] = Recorded(2, 0x0B, 100);
  stores[3] = Recorded(4, 0x0B, 100);

  const auto names = RecordFileNames(dir.file("run.CH1"), stores);
  ASSERT_EQ(names.size(), 3u);
  EXPECT_EQ(names[0].Path, dir.file("run.ch1"));
  EXPECT_EQ(names[1].Path, dir.file("run.ch2"));
  EXPECT_EQ(names[2].Path, dir.file("run.ch4"));
  EXPECT_EQ(names[2].Slot, 4);
  SaveRecording(stores, names);

  EXPECT_EQ(Names(dir.path()), (std::vector<std::string>{"run.ch1", "run.ch2", "run.ch4"}));
  EXPECT_TRUE(RecordFileNames(dir.file("run.CH1"), TSlotStores{}).empty());  // nothing to save
}

TEST(RecordFile, ExtensionOfTheFileNameIsReplaced) {
  const std::pair<const char*, const char*> rows[] = {
      {"/data/run.ch4", "/data/run.ch3"}, {"/data/a.b/run", "/data/a.b/run.ch3"},
      {"run.2024.dat", "run.2024.ch3"},   {"run.", "run.ch3"},
      {".hidden", ".hidden.ch3"},         {"měření.CH1", "měření.ch3"},
  };
  for (const auto& [chosen, written] : rows)
    EXPECT_EQ(RecordFileName(chosen, 3), written) << chosen;
}

// The operator is asked about the files that will be replaced, not about the name typed
// in the dialog: "run.CH1" exists but is never written; run.ch1 and run.ch4 are.
TEST(RecordFile, OverwriteQuestionNamesTheFilesActuallyWritten) {
  test::TempDir dir;
  for (const char* name : {"run.CH1", "run.ch1", "run.ch4", "run.ch3"})
    WriteAll(dir.file(name), {1, 2, 3});
  TSlotStores stores;
  stores[0] = Recorded(1, 0x0B, 10);
  stores[1] = Recorded(2, 0x0B, 10);
  stores[3] = Recorded(4, 0x0B, 10);

  EXPECT_EQ(ExistingRecordFiles(RecordFileNames(dir.file("run.CH1"), stores)),
            (std::vector<std::string>{dir.file("run.ch1"), dir.file("run.ch4")}));
  EXPECT_TRUE(ExistingRecordFiles(RecordFileNames(dir.file("new.CH1"), stores)).empty());
}

TEST(RecordFile, RecordingRoundTripsByteForByte) {
  test::TempDir dir;
  const auto original = Recorded(2, 0x0B, 70000, 20, "°C");  // a count above 16 bits
  SaveToFile(*original, dir.file("run.ch2"));
  const Bytes file = ReadAll(dir.file("run.ch2"));
  EXPECT_TRUE(std::equal(file.begin(), file.end(), original->Record().begin(), original->Record().end()));

  auto loaded = CreateFromFile(dir.file("run.ch2"));
  ASSERT_NE(loaded, nullptr);
  EXPECT_EQ(loaded->Name(), "run.ch2");
  EXPECT_EQ(loaded->Count(), 70000u);
  EXPECT_EQ(loaded->Capacity(), file.size());  // the block is exactly the file
  SaveToFile(*loaded, dir.file("copy.ch2"));
  EXPECT_EQ(ReadAll(dir.file("copy.ch2")), file);
}

// Files recorded elsewhere are read as they stand: every byte written by hand.
TEST(RecordFile, HeaderWrittenByHandLoads) {
  test::TempDir dir;
  Bytes file(256 + 5, 0);
  const std::uint8_t head[] = {
      'O',  'S',  3,    0x0D,                          // magic, slot 3, slots 1, 3, 4
      0x80, 0x02, 0x00, 0x00,                          // 640 samples per second
      0x00, 0x00, 0xA0, 0xC0,                          // lower -5.0f
      0x00, 0x00, 0xA0, 0x40,                          // upper 5.0f
      0x00, 0x00, 0x00, 0x00, 0xD0, 0x26, 0xE6, 0x40,  // start 45366.5: 15 March 2024 12:00
      0x04, 0x00, 0x00, 0x00,                          // 4 samples
      0x02, 0xB0, 'C',  0x00,                          // unit "°C" in code page 1250
  };
  std::copy(std::begin(head), std::end(head), file.begin());
  const std::uint8_t samples[] = {0x00, 0x80, 0xFF, 0x40, 0x99};  // the fifth is beyond the count
  std::copy(std::begin(samples), std::end(samples), file.begin() + 256);
  WriteAll(dir.file("hand.ch3"), file);

  auto store = CreateFromFile(dir.file("hand.ch3"));
  ASSERT_NE(store, nullptr);
  EXPECT_EQ(store->Header().Slot, 3);
  EXPECT_EQ(store->Header().ChannelMask, 0x0D);
  EXPECT_EQ(store->Rate(), 640u);
  EXPECT_EQ(store->Lower(), -5.0f);
  EXPECT_EQ(store->Upper(), 5.0f);
  EXPECT_EQ(store->Start(), 45366.5);
  EXPECT_EQ(store->Count(), 4u);
  EXPECT_EQ(store->Samples()[2], 0xFF);
  EXPECT_EQ(store->UnitText(), "°C");
  EXPECT_EQ(store->Capacity(), 261u);
  EXPECT_EQ(store->RemainingSeconds(), 0u);  // one spare byte is no whole second

  file[28] = 0;  // no unit: volts
  WriteAll(dir.file("volts.ch3"), file);
  EXPECT_EQ(CreateFromFile(dir.file("volts.ch3"))->UnitText(), "V");
}

TEST(RecordFile, TheLaterOfTwoFilesForOneSlotWins) {
  test::TempDir dir;
  SaveToFile(*Recorded(2, 0x03, 10), dir.file("a.ch2"));
  SaveToFile(*Recorded(2, 0x03, 20), dir.file("b.ch2"));
  SaveToFile(*Recorded(1, 0x03, 30), dir.file("c.ch1"));

  auto loaded = LoadRecordFiles({dir.file("a.ch2"), dir.file("c.ch1"), dir.file("b.ch2")});
  EXPECT_TRUE(loaded.Errors.empty());
  ASSERT_NE(loaded.Stores[1], nullptr);
  EXPECT_EQ(loaded.Stores[1]->Name(), "b.ch2");
  ASSERT_NE(loaded.Stores[0], nullptr);
  EXPECT_EQ(loaded.Stores[2], nullptr);
}

// Every refusal beside the fuzz corpus: a file of no slot shown here is passed over
// silently, a damaged or unreadable one is refused with its name; the good files of the
// same selection still load, and a huge file is refused from its size alone.
TEST(RecordFile, RefusedAndIgnoredFilesLeaveTheOthersLoaded) {
  constexpr double kInf = std::numeric_limits<double>::infinity();
  constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
  struct Row {
    const char* name;
    std::function<std::string(test::TempDir&)> make;  // the file's path
    bool refused;
  };
  auto damaged = [](std::function<void(Bytes&)> damage) {
    return [damage](test::TempDir& dir) {
      Bytes b = RecordBytes(2, 2880, 10, 10);
      damage(b);
      WriteAll(dir.file("bad.ch2"), b);
      return dir.file("bad.ch2");
    };
  };
  auto huge = [](std::uint64_t size) {
    return [size](test::TempDir& dir) {
      WriteAll(dir.file("huge.ch2"), RecordBytes(2, 2880, 100, 100));
      EXPECT_EQ(truncate(dir.file("huge.ch2").c_str(), static_cast<off_t>(size)), 0);  // sparse
      return dir.file("huge.ch2");
    };
  };
  const Row rows[] = {
      {"slot 0", damaged([](Bytes& b) { b[2] = 0; }), false},
      {"slot 5", damaged([](Bytes& b) { b[2] = 5; }), false},
      {"slot 255, rate 0", damaged([](Bytes& b) { b[2] = 255, Put<std::uint32_t>(b, 4, 0); }), false},
      {"short", damaged([](Bytes& b) { b.resize(255); }), false},
      {"empty", damaged([](Bytes& b) { b.clear(); }), false},
      {"rate 0", damaged([](Bytes& b) { Put<std::uint32_t>(b, 4, 0); }), true},
      {"start NaN", damaged([=](Bytes& b) { Put(b, 16, kNaN); }), true},
      {"start -inf", damaged([=](Bytes& b) { Put(b, 16, -kInf); }), true},
      {"lower NaN", damaged([=](Bytes& b) { Put(b, 8, static_cast<float>(kNaN)); }), true},
      {"upper -inf", damaged([=](Bytes& b) { Put(b, 12, static_cast<float>(-kInf)); }), true},
      {"count 2^31", damaged([](Bytes& b) { Put<std::uint32_t>(b, 24, 0x80000000u); }), true},
      {"2 GiB", huge(std::uint64_t{1} << 31), true},
      {"4 GiB and more", huge((std::uint64_t{1} << 32) + 300), true},
      {"missing", [](test::TempDir& dir) { return dir.file("missing.ch2"); }, true},
      {"pipe",
       [](test::TempDir& dir) {
         EXPECT_EQ(mkfifo(dir.file("pipe.ch2").c_str(), 0600), 0);  // nothing waits for a writer
         return dir.file("pipe.ch2");
       },
       true},
      {"device", [](test::TempDir&) { return std::string("/dev/zero"); }, true},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.name);
    test::TempDir dir;
    WriteAll(dir.file("good.ch1"), RecordBytes(1, 2880, 10, 10));
    WriteAll(dir.file("good.ch3"), RecordBytes(3, 2880, 10, 10));
    const std::string path = r.make(dir);
    auto loaded = LoadRecordFiles({dir.file("good.ch1"), path, dir.file("good.ch3")});
    if (r.refused) {
      ASSERT_EQ(loaded.Errors.size(), 1u);
      EXPECT_NE(loaded.Errors[0].find("\"" + path + "\""), std::string::npos) << loaded.Errors[0];
    } else {
      EXPECT_TRUE(loaded.Errors.empty());
    }
    if (path.find("huge") != std::string::npos) {
      FaultyFileOps alone;
      LoadRecordFiles({path}, alone);
      EXPECT_EQ(alone.reads(), 1);  // the header only
    }
    EXPECT_NE(loaded.Stores[0], nullptr);
    EXPECT_EQ(loaded.Stores[1], nullptr);
    EXPECT_NE(loaded.Stores[2], nullptr);
  }
}

// Each failing read step names the file; interrupted reads are simply repeated.
TEST(RecordFile, FilesThatCannotBeReadAreRefused) {
  test::TempDir dir;
  const auto path = dir.file("a.ch1");
  SaveToFile(*Recorded(1, 0x01, 100000), path);
  for (int failingCall = 1; failingCall <= 4; ++failingCall) {  // open, fstat, header, samples
    SCOPED_TRACE(failingCall);
    FaultyFileOps ops;
    ops.interrupt_reads = true;
    ops.fail_call(failingCall, EIO);
    auto loaded = LoadRecordFiles({path}, ops);
    ASSERT_EQ(loaded.Errors.size(), 1u);
    EXPECT_NE(loaded.Errors[0].find(path), std::string::npos);
    EXPECT_EQ(loaded.Stores[0], nullptr);
  }
}

// A file cut short while it is read (another program truncating it) gives the record
// that was read, its block no larger.
TEST(RecordFile, FileThatShrinksWhileReadIsTakenAsRead) {
  struct GrowingStat : FaultyFileOps {
    int fstat(int fd, struct stat* status) override {
      const int result = FaultyFileOps::fstat(fd, status);
      status->st_size += 1000;
      return result;
    }
  };
  test::TempDir dir;
  SaveToFile(*Recorded(4, 0x08, 300), dir.file("a.ch4"));
  GrowingStat ops;
  auto store = CreateFromFile(dir.file("a.ch4"), ops);
  ASSERT_NE(store, nullptr);
  EXPECT_EQ(store->Capacity(), 556u);
  EXPECT_EQ(store->Count(), 300u);
  EXPECT_EQ(store->Samples()[299], static_cast<std::uint8_t>(299 * 13 + 4));
}

// A record set is saved all or nothing: whichever step of whichever file fails, every old
// file of the set stays as it was, no temporary file is left, and one message names the
// file that failed. (The folder's fsync after the renames is not reported: the set is in
// place by then.)
TEST(RecordFile, FailedSaveOfASetKeepsTheWholeOldSet) {
  test::TempDir dir;
  TSlotStores stores;
  stores[0] = Recorded(1, 0x0B, 100);
  stores[1] = Recorded(2, 0x0B, 100);
  stores[3] = Recorded(4, 0x0B, 100);
  const auto names = RecordFileNames(dir.file("run.CH1"), stores);
  const std::vector<std::string> old{"run.ch1", "run.ch2", "run.ch4"};
  FaultyFileOps count;
  SaveRecording(stores, names, count);
  for (int n = 1; n <= count.save_calls(); ++n) {
    SCOPED_TRACE("failing call " + std::to_string(n));
    for (const auto& name : old)
      WriteAll(dir.file(name), {9, 9, 9});
    FaultyFileOps ops;
    ops.fail_call(n, ENOSPC);
    try {
      SaveRecording(stores, names, ops);
      for (const auto& name : old)
        EXPECT_EQ(ReadAll(dir.file(name)).size(), 356u) << name;
    } catch (const Exception& e) {
      EXPECT_NE(std::string(e.what()).find(dir.path()), std::string::npos) << e.what();
      for (const auto& name : old)
        EXPECT_EQ(ReadAll(dir.file(name)), (Bytes{9, 9, 9})) << name;
    }
    EXPECT_EQ(Names(dir.path()), old);
  }
}
