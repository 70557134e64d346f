// Loading and saving the settings: defaults, damaged values, failed saves; below them
// TRegs' typed reads and writes and their errors.
#include "config/settings.h"
#include "config/regs.h"
#include "platform/errors.h"
#include "support/faulty_file_ops.h"
#include "support/range_entry_expect.h"
#include "support/scratch_registry.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <variant>

namespace osc {
namespace {

using namespace win;
using test::ExpectSameEntry;
using test::ScratchRegistry;
using namespace std::literals;

const std::string kRanges = std::string(kSettingsKey) + "\\Ranges";

void Store(const std::string& key, const std::string& name, DWORD type, std::vector<BYTE> data) {
  HKEY k = nullptr;
  ASSERT_EQ(
      RegCreateKeyEx(HKEY_LOCAL_MACHINE, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k, nullptr),
      ERROR_SUCCESS);
  ASSERT_EQ(RegSetValueEx(k, name.c_str(), 0, type, data.data(), static_cast<DWORD>(data.size())),
            ERROR_SUCCESS);
  RegCloseKey(k);
}

void StoreDword(const std::string& key, const std::string& name, std::uint32_t v) {
  Store(key, name, REG_DWORD,
        {static_cast<BYTE>(v), static_cast<BYTE>(v >> 8), static_cast<BYTE>(v >> 16),
         static_cast<BYTE>(v >> 24)});
}

void ExpectSameSettings(const SettingsHolder& a, const SettingsHolder& b) {
  EXPECT_EQ(a.Port, b.Port);
  EXPECT_EQ(a.ModelIndex, b.ModelIndex);
  ASSERT_EQ(a.Ranges.size(), b.Ranges.size());
  for (std::size_t i = 0; i < a.Ranges.size(); ++i) {
    SCOPED_TRACE("entry " + std::to_string(i + 1));
    EXPECT_EQ(a.Ranges[i].Text, b.Ranges[i].Text);
    ExpectSameEntry(*a.Ranges[i].Entry, *b.Ranges[i].Entry);
  }
}

// A fully set entry whose every saved field differs from every default.
std::shared_ptr<TOscRozsah> FullEntry(double range) {
  auto e = std::make_shared<TOscRozsah>(range);
  e->RangeCh5 = 12.5;
  e->RangeCh6 = 0.25;
  for (int d = 1; d <= 6; ++d) {
    if (d <= 4) {
      e->CH[d].Gain = d * 1.5;
      e->CH[d].OffsetBip = -d * 0.75;
    }
    e->CH[d].OffsetAC = d * 0.125;
    e->CH[d].Unit = "u" + std::to_string(d);
  }
  return e;
}

// A damaged file goes aside (the registry's test shows how); the settings load their
// defaults, pass the notice on, and entries the count promises get default values and keys.
TEST(Settings, ADamagedFileOrMissingEntriesLoadTheDefaults) {
  ScratchRegistry reg;
  reg.write_file("REGEDIT4\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\MERVO\\Quadrel\\CurrentVersion]\n\"Port\"=\"COM");
  reg.restart();
  SettingsHolder s;
  s.LoadSettings();
  EXPECT_EQ(s.Port, "COM1");
  EXPECT_NE(s.LoadNotice.find(reg.file() + ".broken-"), std::string::npos) << s.LoadNotice;
  ASSERT_EQ(s.Ranges.size(), 1u);
  EXPECT_EQ(s.Ranges[0].Text, "16 V");

  StoreDword(kRanges, "Count", 3);
  Store(kRanges + "\\1", "Range", REG_BINARY, {0, 0, 0, 0, 0, 0, 0x14, 0x40});
  s.LoadSettings();
  ASSERT_EQ(s.Ranges.size(), 3u);
  EXPECT_EQ(s.Ranges[0].Text, " 5 V");
  EXPECT_EQ(s.Ranges[2].Text, "16 V");
  EXPECT_EQ(s.Ranges[2].Entry->RangeCh5, 1.0);
  EXPECT_NE(reg.read_file().find("Ranges\\3]"), std::string::npos) << "the key is created";
}

TEST(Settings, ACountOfZeroOrLessGivesOneEntryAndAnAbsurdCountIsCapped) {
  for (std::uint32_t count : {0u, 0xFFFFFFFFu, 0x80000000u, 5000u}) {
    SCOPED_TRACE(count);
    ScratchRegistry reg;
    StoreDword(kRanges, "Count", count);
    SettingsHolder s;
    s.LoadSettings();
    EXPECT_EQ(s.Ranges.size(), count == 5000 ? 1000u : 1u);
    EXPECT_EQ(s.Ranges[0].Text, "16 V");
  }
}

// Each value is read on its own: one of the wrong type loads as if missing and takes
// nothing after it down. Gain and bipolar offset of channels 5 and 6 are not saved; a
// unit keeps its first three characters.
TEST(Settings, EachValueLoadsOnItsOwnAndOnlyWhatIsSavedComesBack) {
  ScratchRegistry reg;
  SettingsHolder saved;
  saved.Port = "/dev/ttyUSB0";
  saved.ModelIndex = 1;
  saved.Ranges = {MakeRangeItem(FullEntry(30)), MakeRangeItem(FullEntry(40))};
  saved.Ranges[0].Entry->CH[5].Gain = 3;
  saved.Ranges[0].Entry->CH[6].OffsetBip = 4;
  saved.SaveSettings();
  Store(kSettingsKey, "Type", REG_SZ, {'1', 0});
  Store(kRanges + "\\1", "Range_Ch5", REG_DWORD, {1, 0, 0, 0});
  Store(kRanges + "\\1", "CH4_Unit", REG_BINARY, {'m', 'V', 0});
  Store(kRanges + "\\1", "CH3_Unit", REG_SZ, {'k', 'm', '/', 'h', 0});

  SettingsHolder loaded;
  loaded.LoadSettings();
  EXPECT_EQ(loaded.Port, "/dev/ttyUSB0");
  EXPECT_EQ(loaded.ModelIndex, 0);
  ASSERT_EQ(loaded.Ranges.size(), 2u);
  TOscRozsah expected = *FullEntry(30);
  expected.RangeCh5 = 1.0;
  expected.CH[4].Unit = "";
  expected.CH[3].Unit = "km/";
  ExpectSameEntry(*loaded.Ranges[0].Entry, expected);
  ExpectSameEntry(*loaded.Ranges[1].Entry, *FullEntry(40));
}

// Each failing step of the file is the atomic writer's, and the registry's commit keeps
// memory as the file is: here the one save must be one transaction.
TEST(Settings, AFailedSaveKeepsTheOldSettingsWhole) {
  ScratchRegistry reg;
  SettingsHolder old;
  old.Port = "/dev/ttyS1";
  old.Ranges = {MakeRangeItem(FullEntry(10)), MakeRangeItem(FullEntry(20))};
  old.SaveSettings();
  const std::string oldFile = reg.read_file();

  test::FaultyFileOps ops;
  ops.fail_call(2, ENOSPC);
  reg.set_files(&ops);
  SettingsHolder changed;
  changed.Port = "SIM4";
  changed.ModelIndex = 1;
  changed.Ranges = {MakeRangeItem(FullEntry(60))};
  try {
    changed.SaveSettings();
    FAIL() << "no error";
  } catch (const Exception& e) {
    EXPECT_NE(e.message().find(reg.file()), std::string::npos) << e.message();
  }
  EXPECT_FALSE(changed.Regs.Opened());
  EXPECT_EQ(reg.read_file(), oldFile);
  SettingsHolder inMemory;
  inMemory.LoadSettings();
  ExpectSameSettings(inMemory, old);
}

TEST(Settings, SaveModelTypeWritesOnlyTheModel) {
  ScratchRegistry reg;
  SettingsHolder s;
  s.Port = "not saved";
  s.ModelIndex = 1;
  s.SaveModelType();
  reg.restart();
  SettingsHolder back;
  back.LoadSettings();
  EXPECT_EQ(back.ModelIndex, 1);
  EXPECT_EQ(back.Port, "COM1");
}

std::vector<BYTE> Raw(const char* key, const char* name, DWORD& type) {
  HKEY k = nullptr;
  EXPECT_EQ(RegOpenKeyEx(HKEY_LOCAL_MACHINE, key, 0, KEY_READ, &k), ERROR_SUCCESS);
  std::vector<BYTE> data(64);
  DWORD size = static_cast<DWORD>(data.size());
  EXPECT_EQ(RegQueryValueEx(k, name, nullptr, &type, data.data(), &size), ERROR_SUCCESS);
  RegCloseKey(k);
  data.resize(size);
  return data;
}

std::vector<BYTE> DoubleBytes(double v) {
  std::vector<BYTE> b(8);
  std::memcpy(b.data(), &v, 8);  // the test machines are little-endian, as the layout is
  return b;
}

std::vector<BYTE> Chars(std::string_view s) {
  return {s.begin(), s.end()};
}

// One stored value and what each read makes of it: a number, a text, or the error.
struct ReadCase {
  const char* name;
  DWORD type;
  std::vector<BYTE> data;
  std::variant<int, double, std::string> expected;  // Read* chosen by the alternative
  bool raises;
};

TEST(Regs, ReadsCheckTypeAndSizeAndWritesUseTheRegistryTypes) {
  ScratchRegistry reg;
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const ReadCase cases[] = {
      {"dword", REG_DWORD, {0xff, 0xff, 0xff, 0xff}, -1, false},
      {"dword of 2 bytes", REG_DWORD, {5, 0}, 0, true},
      {"short string as integer", REG_SZ, Chars("5\0"sv), 0, true},
      {"long string as integer", REG_SZ, Chars("12345\0"sv), -7, false},
      {"double", REG_BINARY, DoubleBytes(-2.5e-3), -2.5e-3, false},
      {"4 binary bytes as double", REG_BINARY, {1, 2, 3, 4}, 0.0, true},
      {"string longer than 8 bytes as double", REG_SZ, Chars("123456789\0"sv), -7.0, false},
      {"NaN", REG_BINARY, DoubleBytes(nan), -7.0, false},
      {"string", REG_SZ, Chars("abc\0"sv), std::string("abc"), false},
      {"string without its zero", REG_SZ, Chars("abcd"sv), std::string("abcd"), false},
      {"string with an inner zero", REG_SZ, Chars("ab\0cd\0"sv), std::string("ab"), false},
      {"empty data", REG_SZ, {}, std::string("dflt"), false},
      {"dword as string", REG_DWORD, {1, 0, 0, 0}, std::string(), true},
  };
  TRegs regs;
  regs.SetRootKey(TRootKey::rkLocalMachine);
  regs.OpenKey("K");
  for (const ReadCase& c : cases) {
    SCOPED_TRACE(c.name);
    Store("K", c.name, c.type, c.data);
    try {
      if (auto* i = std::get_if<int>(&c.expected)) {
        EXPECT_EQ(regs.ReadInteger(c.name, -7), *i);
      } else if (auto* d = std::get_if<double>(&c.expected)) {
        EXPECT_EQ(regs.ReadFloat(c.name, -7.0), *d);
      } else {
        EXPECT_EQ(regs.ReadString(c.name, "dflt"), std::get<std::string>(c.expected));
      }
      EXPECT_FALSE(c.raises) << "no error";
    } catch (const Exception& e) {
      EXPECT_TRUE(c.raises) << e.what();
      EXPECT_NE(e.message().find(c.name), std::string::npos) << e.message();
    }
  }
  EXPECT_EQ(regs.ReadInteger("missing", 3), 3);

  // Writes use the registry types and little-endian bytes.
  regs.WriteFloat("f", 16.0);
  regs.WriteInteger("i", -2);
  regs.WriteString("s", "µV");
  regs.Close();
  DWORD type = 0;
  EXPECT_EQ(Raw("K", "f", type), (std::vector<BYTE>{0, 0, 0, 0, 0, 0, 0x30, 0x40}));
  EXPECT_EQ(type, REG_BINARY);
  EXPECT_EQ(Raw("K", "i", type), (std::vector<BYTE>{0xfe, 0xff, 0xff, 0xff}));
  EXPECT_EQ(type, REG_DWORD);
  EXPECT_EQ(Raw("K", "s", type), (std::vector<BYTE>{0xC2, 0xB5, 'V', 0}));
  EXPECT_EQ(type, REG_SZ);
}

}  // namespace
}  // namespace osc
