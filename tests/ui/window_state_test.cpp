// What the main window keeps between runs: the state file and the recent records.
#include "ui/window_state.h"

#include <gtest/gtest.h>
#include <fstream>

#include "platform/atomic_file.h"
#include "support/temp_dir.h"

namespace osc {
namespace {

TWindowState Sample() {
  TWindowState s;
  s.Geometry = "AdnQywADAAA=";
  s.Bars = "AAAA/wAAAAD9";
  s.Panel = true;
  s.Grid = false;
  s.Cross = false;
  s.Peak = true;
  s.Folder = "/data/měření\\tab\there";
  s.Recent = {{"/a/run.ch1", "/a/run.ch2"}, {"/b/line\nbreak.ch3"}};
  return s;
}

bool Same(const TWindowState& a, const TWindowState& b) {
  return a.Geometry == b.Geometry && a.Bars == b.Bars && a.Panel == b.Panel && a.Grid == b.Grid &&
         a.Cross == b.Cross && a.Peak == b.Peak && a.Folder == b.Folder && a.Recent == b.Recent;
}

TEST(WindowStateFile, WrittenStateReadsBackAndDamagedOrForeignFilesGiveTheDefaults) {
  test::TempDir dir;
  const std::string path = WindowStateFile(dir.file("new/folder"));
  ASSERT_EQ(WriteWindowState(path, Sample(), SystemFileOps()), 0);
  EXPECT_TRUE(Same(ReadWindowState(path, SystemFileOps()), Sample()));

  const std::string good = FormatWindowState(Sample());
  const std::string header = good.substr(0, good.find('\n') + 1);
  const struct {
    const char* what;
    std::string text;
  } damaged[] = {
      {"foreign", "[General]\ngeometry=AAAA\n"},
      {"a later format", "Osciloskop okno 2\ngrid=0\n"},
      {"cut short", good.substr(0, good.size() - 3)},
      {"a toggle not 0 or 1", header + "grid=no\n"},
      {"geometry not base64", header + "geometry=AA\x01\n"},
      {"a line without a value", header + "grid\n"},
      {"a broken escape", header + "folder=a\\x\n"},
      {"an empty file name", header + "recent=/a/run.ch1\t\n"},
      {"a NUL byte", header + std::string("grid=0\n\0", 8)},
      {"too large", header + "folder=" + std::string(300 * 1024, 'a') + "\n"},
  };
  for (const auto& d : damaged) {
    SCOPED_TRACE(d.what);
    std::ofstream(path, std::ios::binary | std::ios::trunc) << d.text;
    EXPECT_TRUE(Same(ReadWindowState(path, SystemFileOps()), TWindowState{}));
  }
}

TEST(RecentRecords, NewestFirstOnceEachEightKeptAndVanishedOnesDropped) {
  std::vector<TRecordFiles> recent;
  for (int i = 0; i < 10; ++i)
    AddRecentRecord(recent, {"/r" + std::to_string(i) + ".ch1", "/r" + std::to_string(i) + ".ch2"});
  ASSERT_EQ(recent.size(), kRecentRecords);
  EXPECT_EQ(recent.front().front(), "/r9.ch1");
  EXPECT_EQ(recent.back().front(), "/r2.ch1");

  AddRecentRecord(recent, {"/r5.ch2", "/r5.ch1"});  // the same record, listed otherwise
  ASSERT_EQ(recent.size(), kRecentRecords);
  EXPECT_EQ(recent.front().front(), "/r5.ch2");
  EXPECT_EQ(recent.back().front(), "/r2.ch1") << "its old place went, not the oldest record";

  const std::vector<TRecordFiles> dropped =
      PruneRecentRecords(recent, [](const std::string& f) { return f != "/r7.ch2" && f != "/r3.ch1"; });
  ASSERT_EQ(dropped.size(), 2u);
  EXPECT_EQ(dropped[0].front(), "/r7.ch1");
  EXPECT_EQ(recent.size(), kRecentRecords - 2);
  EXPECT_EQ(recent.front().front(), "/r5.ch2") << "the order stays";
}

}  // namespace
}  // namespace osc
