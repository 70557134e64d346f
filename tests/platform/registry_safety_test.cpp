// The registry's file under failure: a failed save keeps the old state whole, in the file
// and in memory; a damaged file is kept aside, never destroyed.
#include "platform/registry/registry.h"
#include "support/each_failing_step.h"
#include "support/faulty_file_ops.h"
#include "support/scratch_registry.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

namespace osc::win {
namespace {

using test::FaultyFileOps;
using test::ScratchRegistry;

LSTATUS SetText(HKEY key, const char* name, const std::string& text) {
  return RegSetValueEx(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                       static_cast<DWORD>(text.size() + 1));
}

std::string Text(const char* path, const char* name) {
  HKEY key = nullptr;
  if (LSTATUS r = RegOpenKeyEx(HKEY_LOCAL_MACHINE, path, 0, KEY_READ, &key))
    return "<error " + std::to_string(r) + ">";
  char buf[64];
  DWORD size = sizeof buf;
  LSTATUS r = RegQueryValueEx(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(buf), &size);
  RegCloseKey(key);
  return r == ERROR_SUCCESS ? std::string(buf) : "<error " + std::to_string(r) + ">";
}

void WriteOld(ScratchRegistry& reg) {
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyEx(HKEY_LOCAL_MACHINE, "K", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  SetText(key, "v", "old");
  RegCloseKey(key);
  ASSERT_TRUE(std::filesystem::exists(reg.file()));
}

// Changes `v` and adds a key inside a transaction; returns the commit's result.
LSTATUS ChangeInTransaction() {
  RegTransaction tx(HKEY_LOCAL_MACHINE);
  HKEY key = nullptr;
  if (RegCreateKeyEx(HKEY_LOCAL_MACHINE, "K\\Added", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr)) {
    return ERROR_GEN_FAILURE;
  }
  SetText(key, "big", "x");
  RegCloseKey(key);
  RegOpenKeyEx(HKEY_LOCAL_MACHINE, "K", 0, KEY_ALL_ACCESS, &key);
  SetText(key, "v", "new");
  RegCloseKey(key);
  return tx.commit();
}

// The file's own steps are the atomic writer's; what the registry adds is that a
// refused commit leaves memory as the file is.
TEST(RegistrySafety, EachFailingStepOfACommitKeepsTheOldValues) {
  ScratchRegistry reg;
  WriteOld(reg);
  const std::string oldFile = reg.read_file();
  test::ForEachFailingStep(
      ENOSPC,
      [&](test::FailingStep s) {
        reg.set_files(&s.Ops);
        const LSTATUS r = ChangeInTransaction();
        if (r != ERROR_SUCCESS) {
          EXPECT_EQ(r, ERROR_DISK_FULL);
        }
        return r == ERROR_SUCCESS;
      },
      [&](bool committed) {
        EXPECT_EQ(Text("K", "v"), committed ? "new" : "old");
        EXPECT_EQ(Text("K\\Added", "big"), committed ? "x" : "<error 2>");
        if (!committed) {
          EXPECT_EQ(reg.read_file(), oldFile);
        }
        reg.set_files(nullptr);
      });
}

// Each damaged file goes aside under a name of its own; the notice names both files.
TEST(RegistrySafety, ADamagedFileIsKeptAsideAndTheRegistryStartsEmpty) {
  ScratchRegistry reg;
  const std::string damaged = "REGEDIT4\n[HKEY_LOCAL_MACHINE\\K]\n\"v\"=hex:01,0\n\"w\"=\"\xff";  // cut short
  std::vector<std::string> aside;
  for (const std::string& text : {damaged, std::string("not a registry file")}) {
    reg.write_file(text);
    reg.restart();
    EXPECT_EQ(Text("K", "v"), "<error 2>");
    std::string notice = RegTakeLoadNotice(HKEY_LOCAL_MACHINE);
    EXPECT_NE(notice.find(reg.file()), std::string::npos) << notice;
    EXPECT_EQ(RegTakeLoadNotice(HKEY_LOCAL_MACHINE), "");
    for (const auto& e : std::filesystem::directory_iterator(reg.folder())) {
      if (e.path() != reg.file() && std::find(aside.begin(), aside.end(), e.path()) == aside.end())
        aside.push_back(e.path());
    }
    ASSERT_FALSE(aside.empty());
    EXPECT_NE(notice.find(aside.back()), std::string::npos) << notice;
  }
  ASSERT_EQ(aside.size(), 2u);
  EXPECT_EQ(ScratchRegistry::ReadText(aside[0]), damaged);
  EXPECT_EQ(ScratchRegistry::ReadText(aside[1]), "not a registry file");
}

TEST(RegistrySafety, ADamagedFileThatCannotBeMovedAsideIsNeverWritten) {
  ScratchRegistry reg;
  const std::string damaged = "not a registry file\n";
  reg.write_file(damaged);
  FaultyFileOps ops;
  ops.deny_rename_aside = true;
  reg.set_files(&ops);
  HKEY key = nullptr;
  EXPECT_EQ(RegCreateKeyEx(HKEY_LOCAL_MACHINE, "K", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
            ERROR_ACCESS_DENIED);
  EXPECT_EQ(RegFlushKey(HKEY_LOCAL_MACHINE), ERROR_SUCCESS);
  EXPECT_NE(RegTakeLoadNotice(HKEY_LOCAL_MACHINE).find("nelze jej odložit"), std::string::npos);
  EXPECT_EQ(reg.read_file(), damaged);
}

}  // namespace
}  // namespace osc::win
