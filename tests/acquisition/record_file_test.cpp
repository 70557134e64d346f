#include "acquisition/record_file.h"

#include "platform/errors.h"
#include "platform/kernel/memory_internal.h"
#include "support/faulty_file_ops.h"
#include "support/small_tmpfs.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <bit>
#include <cmath>
#include <filesystem>
#include <fstream>
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
  struct Row {
    const char *chosen, *written;
  };
  const Row rows[] = {
      {"run.CH1", "run.ch3"},
      {"/data/run.ch4", "/data/run.ch3"},
      {"run", "run.ch3"},
      {"/data/a.b/run", "/data/a.b/run.ch3"},
      {"run.2024.dat", "run.2024.ch3"},
      {"run.", "run.ch3"},
      {"/data/.hidden", "/data/.hidden.ch3"},
      {".hidden", ".hidden.ch3"},
      {"měření.CH1", "měření.ch3"},
  };
  for (const Row& r : rows)
    EXPECT_EQ(RecordFileName(r.chosen, 3), r.written) << r.chosen;
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
  const auto original = Recorded(2, 0x0B, 12345, 10, "°C");
  SaveToFile(*original, dir.file("run.ch2"));
  const Bytes file = ReadAll(dir.file("run.ch2"));
  ASSERT_EQ(file.size(), 256u + 12345);
  EXPECT_TRUE(std::equal(file.begin(), file.end(), original->Record().begin(), original->Record().end()));

  auto loaded = CreateFromFile(dir.file("run.ch2"));
  ASSERT_NE(loaded, nullptr);
  EXPECT_EQ(loaded->Name(), "run.ch2");
  EXPECT_EQ(loaded->Header().Slot, 2);
  EXPECT_EQ(loaded->Count(), 12345u);
  EXPECT_EQ(loaded->Rate(), 3840u);
  EXPECT_EQ(loaded->Start(), 45368.5);
  EXPECT_EQ(loaded->UnitText(), "°C");
  EXPECT_EQ(loaded->Capacity(), file.size());
  EXPECT_EQ(loaded->RemainingSeconds(), 0u);  // the block is exactly the file

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

TEST(RecordFile, OversizedCountAndUnitLengthStayInsideTheirFields) {
  test::TempDir dir;
  struct Row {
    const char* name;
    std::uint32_t count;
    std::size_t samples;
    std::uint32_t loaded;
  };
  const Row rows[] = {
      {"count beyond the samples", 5000, 10, 10},
      {"count one beyond", 11, 10, 10},
      {"count exact", 10, 10, 10},
      {"largest count accepted", 0x7FFFFFFF, 3, 3},
      {"header only", 7, 0, 0},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.name);
    WriteAll(dir.file("a.ch1"), RecordBytes(1, 2880, r.count, r.samples));
    auto store = CreateFromFile(dir.file("a.ch1"));
    ASSERT_NE(store, nullptr);
    EXPECT_EQ(store->Count(), r.loaded);
    EXPECT_EQ(store->Record().size(), 256 + r.loaded);
    EXPECT_EQ(store->Capacity(), 256 + r.samples);
  }
  Bytes unit = RecordBytes(1, 2880, 0, 0);
  const std::uint8_t field[] = {200, 'm', 'A', 'h', 'X'};  // 'X' lies beyond the field
  std::copy(std::begin(field), std::end(field), unit.begin() + 28);
  WriteAll(dir.file("u.ch1"), unit);
  EXPECT_EQ(CreateFromFile(dir.file("u.ch1"))->UnitText(), "mAh");
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
  EXPECT_EQ(loaded.Stores[1]->Count(), 20u);
  ASSERT_NE(loaded.Stores[0], nullptr);
  EXPECT_EQ(loaded.Stores[0]->Name(), "c.ch1");
  EXPECT_EQ(loaded.Stores[2], nullptr);
  EXPECT_EQ(loaded.Stores[3], nullptr);
}

// Not a record of any slot shown here: ignored without a message, like the short file.
TEST(RecordFile, FilesOfOtherSlotsAndShortFilesAreIgnoredSilently) {
  test::TempDir dir;
  WriteAll(dir.file("slot0.ch1"), RecordBytes(0, 2880, 10, 10));
  WriteAll(dir.file("slot5.ch1"), RecordBytes(5, 2880, 10, 10));
  WriteAll(dir.file("slot255.ch1"), RecordBytes(255, 0, 10, 10));  // rate 0 does not matter then
  Bytes shortFile = RecordBytes(1, 2880, 0, 0);
  shortFile.pop_back();
  WriteAll(dir.file("short.ch1"), shortFile);
  WriteAll(dir.file("empty.ch1"), {});

  auto loaded = LoadRecordFiles({dir.file("slot0.ch1"), dir.file("slot5.ch1"), dir.file("slot255.ch1"),
                                 dir.file("short.ch1"), dir.file("empty.ch1")});
  EXPECT_TRUE(loaded.Errors.empty());
  for (const auto& store : loaded.Stores)
    EXPECT_EQ(store, nullptr);
}

// A damaged header is refused with a message naming the file; the good files of the
// same selection still load.
TEST(RecordFile, DamagedHeadersAreRefusedAndTheOtherFilesStillLoad) {
  constexpr double kInf = std::numeric_limits<double>::infinity();
  constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
  struct Row {
    const char* name;
    void (*damage)(Bytes&);
    const char* reason;
  };
  const Row rows[] = {
      {"rate 0", [](Bytes& b) { Put<std::uint32_t>(b, 4, 0); }, "vzorkovací frekvence je 0"},
      {"start NaN", [](Bytes& b) { Put(b, 16, kNaN); }, "čas začátku není konečné číslo"},
      {"start +inf", [](Bytes& b) { Put(b, 16, kInf); }, "čas začátku není konečné číslo"},
      {"start -inf", [](Bytes& b) { Put(b, 16, -kInf); }, "čas začátku není konečné číslo"},
      {"lower NaN", [](Bytes& b) { Put(b, 8, static_cast<float>(kNaN)); },
       "dolní nebo horní mez rozsahu není konečné číslo"},
      {"upper -inf", [](Bytes& b) { Put(b, 12, static_cast<float>(-kInf)); },
       "dolní nebo horní mez rozsahu není konečné číslo"},
      {"count 2^31", [](Bytes& b) { Put<std::uint32_t>(b, 24, 0x80000000u); },
       "počet vzorků je 2^31 nebo větší"},
      {"count 2^32-1", [](Bytes& b) { Put<std::uint32_t>(b, 24, 0xFFFFFFFFu); },
       "počet vzorků je 2^31 nebo větší"},
  };
  test::TempDir dir;
  WriteAll(dir.file("good.ch1"), RecordBytes(1, 2880, 10, 10));
  WriteAll(dir.file("good.ch3"), RecordBytes(3, 2880, 10, 10));
  for (const Row& r : rows) {
    SCOPED_TRACE(r.name);
    Bytes bad = RecordBytes(2, 2880, 10, 10);
    r.damage(bad);
    WriteAll(dir.file("bad.ch2"), bad);

    auto loaded = LoadRecordFiles({dir.file("good.ch1"), dir.file("bad.ch2"), dir.file("good.ch3")});
    ASSERT_EQ(loaded.Errors.size(), 1u);
    EXPECT_EQ(loaded.Errors[0], "Soubor \"" + dir.file("bad.ch2") + "\" není platný záznam: " + r.reason);
    EXPECT_NE(loaded.Stores[0], nullptr);
    EXPECT_EQ(loaded.Stores[1], nullptr);
    EXPECT_NE(loaded.Stores[2], nullptr);
  }
}

// A huge file is refused from its size alone: only its header is read, and a good file
// chosen with it still loads.
TEST(RecordFile, FilesOf2GiBOrMoreAreRefusedBeforeTheyAreRead) {
  test::TempDir dir;
  WriteAll(dir.file("good.ch2"), RecordBytes(2, 2880, 10, 10));
  for (std::uint64_t size : {std::uint64_t{1} << 31, (std::uint64_t{1} << 32) + 300}) {
    SCOPED_TRACE(size);
    const auto path = dir.file("huge.ch1");
    WriteAll(path, RecordBytes(1, 2880, 100, 100));
    ASSERT_EQ(truncate(path.c_str(), static_cast<off_t>(size)), 0);  // sparse: no disk used
    FaultyFileOps ops;
    auto loaded = LoadRecordFiles({path}, ops);
    ASSERT_EQ(loaded.Errors.size(), 1u);
    EXPECT_EQ(loaded.Errors[0], "Soubor \"" + path + "\" není platný záznam: soubor má 2 GiB nebo více");
    EXPECT_EQ(ops.reads(), 1);
    EXPECT_EQ(loaded.Stores[0], nullptr);

    auto both = LoadRecordFiles({path, dir.file("good.ch2")});
    ASSERT_EQ(both.Errors.size(), 1u);
    EXPECT_NE(both.Errors[0].find(path), std::string::npos);
    EXPECT_EQ(both.Stores[0], nullptr);
    ASSERT_NE(both.Stores[1], nullptr);
    EXPECT_EQ(both.Stores[1]->Count(), 10u);
  }
}

TEST(RecordFile, FilesThatCannotBeReadAreRefusedWithTheirName) {
  test::TempDir dir;
  const auto path = dir.file("a.ch1");
  SaveToFile(*Recorded(1, 0x01, 100000), path);
  struct Row {
    int failingCall;  // open, fstat, read of the header, read of the samples
    std::string error;
  };
  const Row rows[] = {
      {1, "Nelze otevřít soubor \"" + path + "\": Input/output error"},
      {2, "Nelze otevřít soubor \"" + path + "\": Input/output error"},
      {3, "Chyba při čtení souboru \"" + path + "\": Input/output error"},
      {4, "Chyba při čtení souboru \"" + path + "\": Input/output error"},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.failingCall);
    FaultyFileOps ops;
    ops.interrupt_reads = true;  // interrupted reads are simply repeated
    ops.fail_call(r.failingCall, EIO);
    auto loaded = LoadRecordFiles({path}, ops);
    EXPECT_EQ(loaded.Errors, std::vector<std::string>{r.error});
    EXPECT_EQ(loaded.Stores[0], nullptr);
  }
  FaultyFileOps ops;
  ops.interrupt_reads = true;
  auto loaded = LoadRecordFiles({dir.file("missing.ch2"), path}, ops);
  EXPECT_EQ(loaded.Errors, std::vector<std::string>{"Nelze otevřít soubor \"" + dir.file("missing.ch2") +
                                                    "\": No such file or directory"});
  ASSERT_NE(loaded.Stores[0], nullptr);
  EXPECT_EQ(loaded.Stores[0]->Count(), 100000u);
}

// Nothing waits for a writer that never comes, and nothing reads an endless device.
TEST(RecordFile, PipesDevicesAndFilesWithoutMemoryAreRefusedWithTheirName) {
  test::TempDir dir;
  const auto fifo = dir.file("pipe.ch2");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  SaveToFile(*Recorded(1, 0x01, 10), dir.file("a.ch1"));
  SaveToFile(*Recorded(3, 0x04, 2000000, 200), dir.file("big.ch3"));

  auto loaded = LoadRecordFiles({fifo, "/dev/zero", dir.file("a.ch1")});
  EXPECT_EQ(loaded.Errors, (std::vector<std::string>{
                               "Nelze otevřít soubor \"" + fifo + "\": není to obyčejný soubor",
                               "Nelze otevřít soubor \"/dev/zero\": není to obyčejný soubor",
                           }));
  EXPECT_NE(loaded.Stores[0], nullptr);

  const auto saved = win::detail::memory_calls();
  win::detail::memory_calls().map = [](std::size_t) -> void* { return nullptr; };
  loaded = LoadRecordFiles({dir.file("big.ch3")});
  win::detail::memory_calls() = saved;
  EXPECT_EQ(loaded.Errors, std::vector<std::string>{"Soubor \"" + dir.file("big.ch3") +
                                                    "\" nelze načíst: nedostatek paměti"});
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
      EXPECT_NE(std::string(e.what()).find("na disku není místo"), std::string::npos) << e.what();
      for (const auto& name : old)
        EXPECT_EQ(ReadAll(dir.file(name)), (Bytes{9, 9, 9})) << name;
    }
    EXPECT_EQ(Names(dir.path()), old);
  }
}

// Temporary files of a writer that crashed are removed by the next save into the
// folder (a live writer's stay); a target name of the file system's full 255 bytes saves.
TEST(RecordFile, SaveRemovesACrashedWritersTemporariesAndTakesLongNames) {
  test::TempDir dir;
  pid_t gone = ::fork();
  if (gone == 0) _exit(0);
  ::waitpid(gone, nullptr, 0);
  const std::string crashed = ".run.ch1.tmp-" + std::to_string(gone) + "-1";
  const std::string live = ".run.ch1.tmp-" + std::to_string(::getppid()) + "-1";
  WriteAll(dir.file(crashed), {1});
  WriteAll(dir.file(live), {1});
  const std::string name = std::string(251, 'x') + ".ch1";
  TSlotStores stores;
  stores[0] = Recorded(1, 0x01, 100);
  SaveRecording(stores, RecordFileNames(dir.file(name), stores));
  EXPECT_EQ(Names(dir.path()), (std::vector<std::string>{live, name}));
}

TEST(RecordFile, SaveOnAFullDiskKeepsTheOldRecording) {
  test::SmallTmpfs disk(64 * 1024);
  if (!disk.Mounted()) GTEST_SKIP() << "cannot mount a small tmpfs (needs root)";
  const auto path = disk.file("run.ch1");
  SaveToFile(*Recorded(1, 0x01, 20000), path);
  const Bytes before = ReadAll(path);

  const auto minute = Recorded(1, 0x01, 691200, 60);  // a full minute: 675 KiB
  try {
    SaveToFile(*minute, path);
    FAIL() << "no error";
  } catch (const Exception& e) {
    EXPECT_EQ(std::string(e.what()), "Soubor \"" + path + "\" nelze uložit: na disku není místo");
  }
  EXPECT_EQ(ReadAll(path), before);
  EXPECT_EQ(Names(disk.path()), std::vector<std::string>{"run.ch1"});
  auto loaded = CreateFromFile(path);
  ASSERT_NE(loaded, nullptr);
  EXPECT_EQ(loaded->Count(), 20000u);
}
