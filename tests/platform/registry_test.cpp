// The Win32 registry calls: keys, values, rights, deletion, transactions, SERIALCOMM; and
// under failure: a failed save keeps the old state whole, in the file and in memory; a
// damaged file is kept aside, never destroyed.
#include "platform/registry/registry.h"
#include "platform/comm/comm_device.h"
#include "platform/registry/registry_store.h"
#include "support/each_failing_step.h"
#include "support/faulty_file_ops.h"
#include "support/scratch_registry.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <functional>

namespace osc::win {
namespace {

using test::ScratchRegistry;

HKEY Create(HKEY parent, const char* path, REGSAM access = KEY_ALL_ACCESS) {
  HKEY key = nullptr;
  LSTATUS r = RegCreateKeyEx(parent, path, 0, nullptr, 0, access, nullptr, &key, nullptr);
  EXPECT_EQ(r, ERROR_SUCCESS) << path;
  return key;
}

LSTATUS Open(HKEY parent, const char* path, REGSAM access, HKEY& key) {
  return RegOpenKeyEx(parent, path, 0, access, &key);
}

LSTATUS SetText(HKEY key, const char* name, const std::string& text) {
  return RegSetValueEx(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                       static_cast<DWORD>(text.size() + 1));
}

// The string data of a value, or "<error N>".
std::string Text(HKEY key, const char* name) {
  char buf[256];
  DWORD size = sizeof buf;
  LSTATUS r = RegQueryValueEx(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(buf), &size);
  if (r != ERROR_SUCCESS) return "<error " + std::to_string(r) + ">";
  return std::string(buf, size > 0 ? size - 1 : 0);
}

// The string data of a value under a path, or "<error N>".
std::string Text(const char* path, const char* name) {
  HKEY key = nullptr;
  if (LSTATUS r = RegOpenKeyEx(HKEY_LOCAL_MACHINE, path, 0, KEY_READ, &key))
    return "<error " + std::to_string(r) + ">";
  std::string text = Text(key, name);
  RegCloseKey(key);
  return text;
}

// The first value's name, as enumeration gives it.
std::string FirstName(HKEY key) {
  char name[16];
  DWORD length = sizeof name;
  LSTATUS r = RegEnumValue(key, 0, name, &length, nullptr, nullptr, nullptr, nullptr);
  return r == ERROR_SUCCESS ? name : "<error>";
}

// What the calls answer when they cannot do what was asked: over A\\B holding "v".
TEST(Registry, CallsRefuseWhatTheyCannotDo) {
  ScratchRegistry reg;
  HKEY b = Create(HKEY_LOCAL_MACHINE, "A\\B");
  ASSERT_EQ(SetText(b, "v", "abcdef"), ERROR_SUCCESS);
  HKEY key = nullptr;
  auto create = [&](const std::string& path) {
    return [&, path] {
      return RegCreateKeyEx(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_READ, nullptr, &key,
                            nullptr);
    };
  };
  std::string deep = "A\\B";
  for (int level = 3; level <= 513; ++level)
    deep += "\\x";
  const std::tuple<const char*, std::function<LSTATUS()>, LSTATUS> cases[] = {
      {"empty name inside a path", create("A\\\\B"), ERROR_INVALID_NAME},
      {"key 513 levels deep", create(deep), ERROR_INVALID_PARAMETER},
      {"open a missing key", [&] { return Open(HKEY_LOCAL_MACHINE, "A\\Missing", KEY_READ, key); },
       ERROR_FILE_NOT_FOUND},
      {"delete a key with subkeys", [&] { return RegDeleteKey(HKEY_LOCAL_MACHINE, "A"); },
       ERROR_ACCESS_DENIED},
  };
  for (const auto& [what, call, expected] : cases)
    EXPECT_EQ(call(), expected) << what;
  EXPECT_EQ(Text(b, "v"), "abcdef") << "nothing changed";
  ASSERT_EQ(RegDeleteKey(HKEY_LOCAL_MACHINE, "a\\b"), ERROR_SUCCESS);
  RegCloseKey(b);
}

TEST(Registry, QueryGivesSizeAndNeverWritesPastTheBuffer) {
  ScratchRegistry reg;
  HKEY key = Create(HKEY_LOCAL_MACHINE, "K");
  ASSERT_EQ(SetText(key, "v", "abcdef"), ERROR_SUCCESS);  // 7 bytes with the zero
  BYTE buf[16];
  std::memset(buf, 0xbd, sizeof buf);
  DWORD type = 0, size = 6;
  EXPECT_EQ(RegQueryValueEx(key, "v", nullptr, &type, buf, &size), ERROR_MORE_DATA);
  EXPECT_EQ(size, 7u);
  EXPECT_EQ(buf[0], 0xbd);
  EXPECT_EQ(RegQueryValueEx(key, "v", nullptr, &type, buf, &size), ERROR_SUCCESS);
  EXPECT_EQ(std::memcmp(buf, "abcdef", 7), 0);
  EXPECT_EQ(buf[7], 0xbd);
  RegCloseKey(key);
}

// Names are found in any case. Nothing reaches the file before the commit; without one,
// values and keys come back exactly, names with their case and place (the settings'
// round trip shows what is committed surviving a restart; a failing commit is the safety test's).
TEST(Registry, TransactionWithoutCommitRestoresValuesAndKeysExactly) {
  ScratchRegistry reg;
  HKEY k = Create(HKEY_LOCAL_MACHINE, "K");
  SetText(k, "kept", "old");
  SetText(k, "second", "2");
  RegCloseKey(Create(HKEY_LOCAL_MACHINE, "K\\Doomed"));
  RegCloseKey(k);
  const std::string before = reg.read_file();

  {
    RegTransaction tx(HKEY_LOCAL_MACHINE);
    ASSERT_EQ(tx.status(), ERROR_SUCCESS);
    EXPECT_EQ(RegBeginTransaction(HKEY_LOCAL_MACHINE), ERROR_BUSY);
    k = Create(HKEY_LOCAL_MACHINE, "K");
    SetText(k, "KEPT", "new");
    EXPECT_EQ(Text(k, "kept"), "new");
    SetText(k, "added", "x");
    HKEY created = Create(HKEY_LOCAL_MACHINE, "K\\Created\\Deep");
    EXPECT_EQ(RegDeleteKey(k, "Doomed"), ERROR_SUCCESS);
    EXPECT_EQ(RegFlushKey(k), ERROR_SUCCESS);
    RegCloseKey(k);
    EXPECT_EQ(reg.read_file(), before);
    k = created;
  }
  EXPECT_EQ(SetText(k, "v", "x"), ERROR_KEY_DELETED);
  RegCloseKey(k);
  HKEY again = nullptr;
  ASSERT_EQ(Open(HKEY_LOCAL_MACHINE, "K", KEY_READ, again), ERROR_SUCCESS);
  EXPECT_EQ(Text(again, "kept"), "old");
  EXPECT_EQ(Text(again, "added"), "<error 2>");
  EXPECT_EQ(FirstName(again), "kept");
  HKEY sub = nullptr;
  EXPECT_EQ(Open(again, "Created", KEY_READ, sub), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(Open(again, "Doomed", KEY_READ, sub), ERROR_SUCCESS);
  RegCloseKey(sub);
  RegCloseKey(again);
  EXPECT_EQ(reg.read_file(), before);
}

TEST(Registry, AFolderThatCannotBeWrittenRefusesWritingButNotReading) {
  ScratchRegistry reg;
  RegCloseKey(Create(HKEY_LOCAL_MACHINE, "K"));
  test::FaultyFileOps ops;
  ops.deny_access = true;
  reg.set_files(&ops);
  HKEY key = nullptr;
  EXPECT_EQ(RegCreateKeyEx(HKEY_LOCAL_MACHINE, "New", 0, nullptr, 0, KEY_READ, nullptr, &key, nullptr),
            ERROR_ACCESS_DENIED);
  EXPECT_EQ(Open(HKEY_LOCAL_MACHINE, "K", KEY_WRITE, key), ERROR_ACCESS_DENIED);
  ASSERT_EQ(Open(HKEY_LOCAL_MACHINE, "K", KEY_READ, key), ERROR_SUCCESS);
  RegCloseKey(key);
}

// UARTs, USB and ACM ports with a device behind them, then the listed in-process devices;
// the key can be read, not written, and never reaches the file.
TEST(Registry, SerialCommListsThePortsReadOnlyAndIsNeverSaved) {
  RegisterCommDevice("SIM4", {}, "four");
  RegisterCommDevice("SIM2", {}, "two");
  RegisterCommDevice("HIDDEN", {});  // reachable by name only
  ScratchRegistry reg;
  reg.add_tty("ttyS0", true, 4, true);
  reg.add_tty("ttyS1", true, 0, true);  // registered but no UART behind it
  reg.add_tty("ttyUSB0", true, -1, true);
  reg.add_tty("ttyUSB1", true, -1, false);  // no device node
  reg.add_tty("ttyUSB2", false, -1, true);  // no device behind it
  reg.add_tty("ttyACM0", true, -1, true);
  reg.add_tty("tty0", true, -1, true);
  reg.write_file("REGEDIT4\n[HKEY_LOCAL_MACHINE\\HARDWARE\\DEVICEMAP\\SERIALCOMM]\n\"stale\"=\"COM9\"\n");
  reg.restart();

  const char* path = "\\HARDWARE\\DEVICEMAP\\SERIALCOMM";
  HKEY key = nullptr;
  EXPECT_EQ(Open(HKEY_LOCAL_MACHINE, path, KEY_ALL_ACCESS, key), ERROR_ACCESS_DENIED);
  ASSERT_EQ(Open(HKEY_LOCAL_MACHINE, path, KEY_READ, key), ERROR_SUCCESS);
  std::vector<std::string> ports;
  for (DWORD i = 0;; ++i) {
    char name[64];
    DWORD length = sizeof name, type = 0;
    BYTE data[256];
    DWORD size = sizeof data;
    if (RegEnumValue(key, i, name, &length, nullptr, &type, data, &size) != ERROR_SUCCESS) break;
    EXPECT_EQ(type, REG_SZ);
    ports.emplace_back(reinterpret_cast<char*>(data));
  }
  RegCloseKey(key);
  const std::string d = reg.dev() + "/";
  EXPECT_EQ(ports, (std::vector<std::string>{d + "ttyS0", d + "ttyUSB0", d + "ttyACM0", "SIM4", "SIM2"}));
  RegCloseKey(Create(HKEY_LOCAL_MACHINE, "SOFTWARE\\App"));
  EXPECT_EQ(reg.read_file().find("HARDWARE"), std::string::npos);
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
  HKEY k = Create(HKEY_LOCAL_MACHINE, "K");
  SetText(k, "v", "old");
  RegCloseKey(k);
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
  test::FaultyFileOps ops;
  ops.deny_rename_aside = true;
  reg.set_files(&ops);
  HKEY key = nullptr;
  EXPECT_EQ(RegCreateKeyEx(HKEY_LOCAL_MACHINE, "K", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
            ERROR_ACCESS_DENIED);
  EXPECT_EQ(RegFlushKey(HKEY_LOCAL_MACHINE), ERROR_SUCCESS);
  EXPECT_NE(RegTakeLoadNotice(HKEY_LOCAL_MACHINE).find(reg.file()), std::string::npos);
  EXPECT_EQ(reg.read_file(), damaged);
}

TEST(Registry, FolderFollowsTheEnvironmentVariableThenXdg) {
  using detail::RegistryFolderFor;
  EXPECT_EQ(RegistryFolderFor("/portable/reg", "/xdg", "/home/u"), "/portable/reg");
  EXPECT_EQ(RegistryFolderFor("", "/xdg", "/home/u"), "/xdg/osciloskop");
  EXPECT_EQ(RegistryFolderFor(nullptr, "relative/xdg", "/home/u"), "/home/u/.config/osciloskop");
}

}  // namespace
}  // namespace osc::win
