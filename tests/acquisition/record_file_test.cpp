#include "acquisition/record_file.h"

#include "platform/errors.h"
#include "support/faulty_file_ops.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
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

// The file of a store as SaveToFile writes it.
Bytes RecordedBytes(int slot, std::uint32_t samples) {
  const auto store = Recorded(slot, 0x0F, samples);
  const auto record = store->Record();
  return Bytes(record.begin(), record.end());
}

}  // namespace

TEST(RecordFile, ExtensionOfTheFileNameIsReplaced) {
  const std::pair<const char*, const char*> rows[] = {{"/data/a.b/run", "/data/a.b/run.ch3"},
                                                      {"run.2024.dat", "run.2024.ch3"},
                                                      {".hidden", ".hidden.ch3"},
                                                      {"měření.CH1", "měření.ch3"}};
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
  EXPECT_EQ(loaded->Count(), 70000u);
  EXPECT_EQ(loaded->Capacity(), file.size());  // the block is exactly the file
  SaveToFile(*loaded, dir.file("copy.ch2"));
  EXPECT_EQ(ReadAll(dir.file("copy.ch2")), file);
}

TEST(RecordFile, RefusedAndIgnoredFilesLeaveTheOthersLoaded) {
  test::TempDir dir;
  WriteAll(dir.file("good.ch1"), RecordedBytes(1, 10));
  WriteAll(dir.file("good.ch3"), RecordedBytes(3, 10));
  Bytes slot5 = RecordedBytes(2, 10);
  slot5[2] = 5;
  WriteAll(dir.file("slot5.ch2"), slot5);
  Bytes nan = RecordedBytes(2, 10);
  std::fill(nan.begin() + 16, nan.begin() + 24, 0xFF);  // the start
  WriteAll(dir.file("nan.ch2"), nan);
  for (auto [name, size] :
       {std::pair{"2GiB.ch2", std::uint64_t{1} << 31}, {"4GiB.ch2", (std::uint64_t{1} << 32) + 300}}) {
    WriteAll(dir.file(name), RecordedBytes(2, 100));
    ASSERT_EQ(truncate(dir.file(name).c_str(), static_cast<off_t>(size)), 0);  // sparse
  }
  ASSERT_EQ(mkfifo(dir.file("pipe.ch2").c_str(), 0600), 0);  // nothing waits for a writer
  const std::pair<std::string, bool> rows[] = {              // the file, refused
                                               {dir.file("slot5.ch2"), false},
                                               {dir.file("nan.ch2"), true},
                                               {dir.file("2GiB.ch2"), true},
                                               {dir.file("4GiB.ch2"), true},
                                               {dir.file("missing.ch2"), true},
                                               {dir.file("pipe.ch2"), true},
                                               {"/dev/zero", true}};
  for (const auto& [path, refused] : rows) {
    SCOPED_TRACE(path);
    auto loaded = LoadRecordFiles({dir.file("good.ch1"), path, dir.file("good.ch3")});
    ASSERT_EQ(loaded.Errors.size(), refused ? 1u : 0u);
    for (const std::string& error : loaded.Errors)
      EXPECT_NE(error.find("\"" + path + "\""), std::string::npos) << error;
    EXPECT_NE(loaded.Stores[0], nullptr);
    EXPECT_EQ(loaded.Stores[1], nullptr);
    EXPECT_NE(loaded.Stores[2], nullptr);
  }
  FaultyFileOps alone;
  LoadRecordFiles({dir.file("4GiB.ch2")}, alone);
  EXPECT_EQ(alone.reads(), 1) << "a huge file is refused from its header";
  // Of two files for one slot the later wins.
  WriteAll(dir.file("later.ch1"), RecordedBytes(1, 20));
  EXPECT_EQ(LoadRecordFiles({dir.file("good.ch1"), dir.file("later.ch1")}).Stores[0]->Count(), 20u);
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
