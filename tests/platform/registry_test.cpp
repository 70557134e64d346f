// The Win32 registry calls: keys, values, rights, deletion, transactions, SERIALCOMM.
#include "platform/registry/registry.h"
#include "platform/comm/comm_device.h"
#include "platform/registry/registry_store.h"
#include "support/faulty_file_ops.h"
#include "support/scratch_registry.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>

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

LSTATUS SetDword(HKEY key, const char* name, DWORD value) {
  return RegSetValueEx(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), 4);
}

// The string data of a value, or "<error N>".
std::string Text(HKEY key, const char* name) {
  char buf[256];
  DWORD size = sizeof buf;
  DWORD type = 0;
  LSTATUS r = RegQueryValueEx(key, name, nullptr, &type, reinterpret_cast<BYTE*>(buf), &size);
  if (r != ERROR_SUCCESS) return "<error " + std::to_string(r) + ">";
  return std::string(buf, size > 0 ? size - 1 : 0);
}

TEST(Registry, KeysAndValuesSurviveARestartWithTheirCase) {
  ScratchRegistry reg;
  HKEY app = Create(HKEY_LOCAL_MACHINE, "SOFTWARE\\App");
  ASSERT_EQ(SetText(app, "Port", "COM3"), ERROR_SUCCESS);
  ASSERT_EQ(SetDword(app, "Type", 7), ERROR_SUCCESS);
  const BYTE bin[] = {1, 2, 3};
  ASSERT_EQ(RegSetValueEx(app, "Bin", 0, REG_BINARY, bin, 3), ERROR_SUCCESS);
  ASSERT_EQ(RegCloseKey(app), ERROR_SUCCESS);
  EXPECT_TRUE(std::filesystem::exists(reg.file()));

  reg.restart();
  HKEY again = nullptr;
  ASSERT_EQ(Open(HKEY_LOCAL_MACHINE, "software\\APP", KEY_READ, again), ERROR_SUCCESS);
  EXPECT_EQ(Text(again, "PORT"), "COM3");
  DWORD type = 0, value = 0, size = 4;
  ASSERT_EQ(RegQueryValueEx(again, "type", nullptr, &type, reinterpret_cast<BYTE*>(&value), &size),
            ERROR_SUCCESS);
  EXPECT_EQ(type, REG_DWORD);
  EXPECT_EQ(value, 7u);
  char name[16];
  DWORD nameLength = sizeof name;
  ASSERT_EQ(RegEnumValue(again, 0, name, &nameLength, nullptr, nullptr, nullptr, nullptr), ERROR_SUCCESS);
  EXPECT_STREQ(name, "Port");
  RegCloseKey(again);
}

TEST(Registry, CreateTellsNewFromExistingAndChecksPaths) {
  ScratchRegistry reg;
  HKEY key = nullptr;
  DWORD disposition = 0;
  ASSERT_EQ(
      RegCreateKeyEx(HKEY_LOCAL_MACHINE, "\\A\\B\\", 0, nullptr, 0, KEY_READ, nullptr, &key, &disposition),
      ERROR_SUCCESS);
  EXPECT_EQ(disposition, REG_CREATED_NEW_KEY);
  RegCloseKey(key);
  ASSERT_EQ(RegCreateKeyEx(HKEY_LOCAL_MACHINE, "a\\b", 0, nullptr, 0, KEY_READ, nullptr, &key, &disposition),
            ERROR_SUCCESS);
  EXPECT_EQ(disposition, REG_OPENED_EXISTING_KEY);
  RegCloseKey(key);

  for (const std::string& bad :
       std::vector<std::string>{"A\\\\B", "A\\\\", "A\\\x01", std::string(256, 'x')}) {
    EXPECT_EQ(
        RegCreateKeyEx(HKEY_LOCAL_MACHINE, bad.c_str(), 0, nullptr, 0, KEY_READ, nullptr, &key, nullptr),
        ERROR_INVALID_NAME)
        << bad;
  }
  EXPECT_EQ(Open(HKEY_LOCAL_MACHINE, "A\\Missing", KEY_READ, key), ERROR_FILE_NOT_FOUND);

  std::string deep = "A\\B";  // two levels exist
  for (int level = 3; level <= 512; ++level)
    deep += "\\x";
  ASSERT_EQ(
      RegCreateKeyEx(HKEY_LOCAL_MACHINE, deep.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
      ERROR_SUCCESS);
  RegCloseKey(key);
  deep += "\\x";
  EXPECT_EQ(
      RegCreateKeyEx(HKEY_LOCAL_MACHINE, deep.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
      ERROR_INVALID_PARAMETER);
}

TEST(Registry, QueryGivesSizeAndNeverWritesPastTheBuffer) {
  ScratchRegistry reg;
  HKEY key = Create(HKEY_LOCAL_MACHINE, "K");
  ASSERT_EQ(SetText(key, "v", "abcdef"), ERROR_SUCCESS);  // 7 bytes with the zero
  BYTE buf[16];
  DWORD type = 0xdeadbeef, size = 0;

  ASSERT_EQ(RegQueryValueEx(key, "v", nullptr, &type, nullptr, &size), ERROR_SUCCESS);
  EXPECT_EQ(size, 7u);
  EXPECT_EQ(type, REG_SZ);

  std::memset(buf, 0xbd, sizeof buf);
  size = 6;
  EXPECT_EQ(RegQueryValueEx(key, "v", nullptr, &type, buf, &size), ERROR_MORE_DATA);
  EXPECT_EQ(size, 7u);
  for (BYTE b : buf)
    EXPECT_EQ(b, 0xbd);

  size = 7;
  EXPECT_EQ(RegQueryValueEx(key, "v", nullptr, &type, buf, &size), ERROR_SUCCESS);
  EXPECT_EQ(std::memcmp(buf, "abcdef", 7), 0);
  EXPECT_EQ(buf[7], 0xbd);

  type = 0xdeadbeef;
  size = sizeof buf;
  EXPECT_EQ(RegQueryValueEx(key, "missing", nullptr, &type, buf, &size), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(type, 0xdeadbeefu);
  EXPECT_EQ(RegQueryValueEx(key, "v", nullptr, &type, buf, nullptr), ERROR_INVALID_PARAMETER);
  RegCloseKey(key);
}

TEST(Registry, EachHandleHasOnlyTheRightsItAskedFor) {
  ScratchRegistry reg;
  RegCloseKey(Create(HKEY_LOCAL_MACHINE, "K"));
  struct Case {
    REGSAM rights;
    LSTATUS query, set, createSub, enumerate;
  };
  const Case cases[] = {
      {KEY_READ, ERROR_SUCCESS, ERROR_ACCESS_DENIED, ERROR_ACCESS_DENIED, ERROR_SUCCESS},
      {KEY_SET_VALUE, ERROR_ACCESS_DENIED, ERROR_SUCCESS, ERROR_ACCESS_DENIED, ERROR_ACCESS_DENIED},
      {KEY_CREATE_SUB_KEY, ERROR_ACCESS_DENIED, ERROR_ACCESS_DENIED, ERROR_SUCCESS, ERROR_ACCESS_DENIED},
      {KEY_ALL_ACCESS, ERROR_SUCCESS, ERROR_SUCCESS, ERROR_SUCCESS, ERROR_SUCCESS},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.rights);
    HKEY key = nullptr;
    ASSERT_EQ(Open(HKEY_LOCAL_MACHINE, "K", c.rights, key), ERROR_SUCCESS);
    DWORD size = 0;
    EXPECT_EQ(RegQueryValueEx(key, "never set", nullptr, nullptr, nullptr, &size),
              c.query == ERROR_SUCCESS ? ERROR_FILE_NOT_FOUND : c.query);
    EXPECT_EQ(SetText(key, "v", "x"), c.set);
    HKEY sub = nullptr;
    std::string name = "Sub" + std::to_string(c.rights);
    EXPECT_EQ(RegCreateKeyEx(key, name.c_str(), 0, nullptr, 0, KEY_READ, nullptr, &sub, nullptr),
              c.createSub);
    if (sub) RegCloseKey(sub);
    char n[8];
    DWORD length = sizeof n;
    LSTATUS e = RegEnumValue(key, 99, n, &length, nullptr, nullptr, nullptr, nullptr);
    EXPECT_EQ(e, c.enumerate == ERROR_SUCCESS ? ERROR_NO_MORE_ITEMS : c.enumerate);
    RegCloseKey(key);
  }
}

TEST(Registry, AKeyWithSubkeysCannotBeDeleted) {
  ScratchRegistry reg;
  RegCloseKey(Create(HKEY_LOCAL_MACHINE, "A\\B"));
  HKEY b = Create(HKEY_LOCAL_MACHINE, "A\\B");
  EXPECT_EQ(RegDeleteKey(HKEY_LOCAL_MACHINE, "A"), ERROR_ACCESS_DENIED);
  EXPECT_EQ(SetText(b, "v", "still here"), ERROR_SUCCESS);

  EXPECT_EQ(RegDeleteKey(HKEY_LOCAL_MACHINE, "a\\b"), ERROR_SUCCESS);
  EXPECT_EQ(SetText(b, "v", "x"), ERROR_KEY_DELETED);
  EXPECT_EQ(Text(b, "v"), "<error 1018>");
  EXPECT_EQ(RegDeleteKey(HKEY_LOCAL_MACHINE, "A\\B"), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(RegDeleteKey(HKEY_LOCAL_MACHINE, "A"), ERROR_SUCCESS);
  RegCloseKey(b);

  reg.restart();
  HKEY key = nullptr;
  EXPECT_EQ(Open(HKEY_LOCAL_MACHINE, "A", KEY_READ, key), ERROR_FILE_NOT_FOUND);
}

TEST(Registry, EnumValueFollowsCreationOrder) {
  ScratchRegistry reg;
  HKEY key = Create(HKEY_LOCAL_MACHINE, "K");
  for (const char* n : {"b", "a", "Long name"})
    SetText(key, n, n);
  char name[16];
  DWORD length = 0;
  std::vector<std::string> names;
  for (DWORD i = 0;; ++i) {
    length = sizeof name;
    if (RegEnumValue(key, i, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    EXPECT_EQ(length, std::strlen(name));
    names.push_back(name);
  }
  EXPECT_EQ(names, (std::vector<std::string>{"b", "a", "Long name"}));
  length = 9;  // "Long name" needs 10 with its zero
  EXPECT_EQ(RegEnumValue(key, 2, name, &length, nullptr, nullptr, nullptr, nullptr), ERROR_MORE_DATA);
  RegCloseKey(key);
}

TEST(Registry, ClosedOrUnknownHandlesAreRejected) {
  ScratchRegistry reg;
  HKEY key = Create(HKEY_LOCAL_MACHINE, "K");
  EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
  EXPECT_EQ(RegCloseKey(key), ERROR_INVALID_HANDLE);
  EXPECT_EQ(SetText(key, "v", "x"), ERROR_INVALID_HANDLE);
  EXPECT_EQ(SetText(nullptr, "v", "x"), ERROR_INVALID_HANDLE);
  EXPECT_EQ(RegCloseKey(HKEY_LOCAL_MACHINE), ERROR_SUCCESS);
  HKEY stale = Create(HKEY_LOCAL_MACHINE, "K");
  reg.restart();
  EXPECT_EQ(SetText(stale, "v", "x"), ERROR_INVALID_HANDLE);
}

TEST(Registry, TransactionWritesOnceAtCommit) {
  ScratchRegistry reg;
  RegCloseKey(Create(HKEY_LOCAL_MACHINE, "K"));
  const std::string before = reg.read_file();

  ASSERT_EQ(RegBeginTransaction(HKEY_LOCAL_MACHINE), ERROR_SUCCESS);
  EXPECT_EQ(RegBeginTransaction(HKEY_LOCAL_MACHINE), ERROR_BUSY);
  HKEY key = Create(HKEY_LOCAL_MACHINE, "K\\New");
  SetText(key, "a", "1");
  EXPECT_EQ(RegFlushKey(key), ERROR_SUCCESS);
  RegCloseKey(key);
  EXPECT_EQ(reg.read_file(), before);
  ASSERT_EQ(RegCommitTransaction(HKEY_LOCAL_MACHINE), ERROR_SUCCESS);
  EXPECT_NE(reg.read_file().find("\"a\"=\"1\""), std::string::npos);
  EXPECT_EQ(RegCommitTransaction(HKEY_LOCAL_MACHINE), ERROR_INVALID_FUNCTION);
  EXPECT_EQ(RegBeginTransaction(reinterpret_cast<HKEY>(key)), ERROR_INVALID_HANDLE);
}

TEST(Registry, RollbackRestoresValuesAndKeysExactly) {
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
    k = Create(HKEY_LOCAL_MACHINE, "K");
    SetText(k, "KEPT", "new");
    SetText(k, "added", "x");
    HKEY created = Create(HKEY_LOCAL_MACHINE, "K\\Created\\Deep");
    EXPECT_EQ(RegDeleteKey(k, "Doomed"), ERROR_SUCCESS);
    RegCloseKey(k);
    EXPECT_EQ(SetText(created, "v", "x"), ERROR_SUCCESS);
    // No commit: the transaction rolls back here.
    k = created;
  }
  EXPECT_EQ(SetText(k, "v", "x"), ERROR_KEY_DELETED);
  RegCloseKey(k);
  HKEY again = nullptr;
  ASSERT_EQ(Open(HKEY_LOCAL_MACHINE, "K", KEY_READ, again), ERROR_SUCCESS);
  EXPECT_EQ(Text(again, "kept"), "old");
  EXPECT_EQ(Text(again, "added"), "<error 2>");
  char name[16];
  DWORD length = sizeof name;
  ASSERT_EQ(RegEnumValue(again, 0, name, &length, nullptr, nullptr, nullptr, nullptr), ERROR_SUCCESS);
  EXPECT_STREQ(name, "kept");  // the old name's case and place
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
  EXPECT_EQ(RegCreateKeyEx(HKEY_LOCAL_MACHINE, "K", 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr),
            ERROR_ACCESS_DENIED);
  EXPECT_EQ(Open(HKEY_LOCAL_MACHINE, "K", KEY_WRITE, key), ERROR_ACCESS_DENIED);
  ASSERT_EQ(Open(HKEY_LOCAL_MACHINE, "K", KEY_READ, key), ERROR_SUCCESS);
  RegCloseKey(key);
}

TEST(Registry, AFolderThatCannotBeCreatedRefusesCreatingKeys) {
  test::TempDir dir;
  std::ofstream(dir.file("plain-file")) << "x";
  detail::ResetRegistry({dir.file("plain-file/registry"), dir.file("sys"), dir.file("dev"), nullptr});
  HKEY key = nullptr;
  EXPECT_EQ(RegCreateKeyEx(HKEY_LOCAL_MACHINE, "K", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
            ERROR_ACCESS_DENIED);
  ScratchRegistry leaveClean;
}

TEST(Registry, SerialCommListsUartsUsbAndAcmPortsThenTheListedDevices) {
  RegisterCommDevice("SIM4", {}, "four");
  RegisterCommDevice("SIM2", {}, "two");
  RegisterCommDevice("HIDDEN", {});  // reachable by name only
  ScratchRegistry reg;
  reg.add_tty("ttyS0", true, 4, true);
  reg.add_tty("ttyS1", true, 0, true);  // registered but no UART behind it
  reg.add_tty("ttyS2", true, 4, true);
  reg.add_tty("ttyS10", true, 4, true);
  reg.add_tty("ttyUSB0", true, -1, true);
  reg.add_tty("ttyUSB1", true, -1, false);  // no device node
  reg.add_tty("ttyUSB2", false, -1, true);  // no device behind it
  reg.add_tty("ttyACM0", true, -1, true);
  reg.add_tty("tty0", true, -1, true);
  reg.add_tty("ttyUSBx", true, -1, true);
  reg.restart();

  HKEY key = nullptr;
  ASSERT_EQ(Open(HKEY_LOCAL_MACHINE, "\\HARDWARE\\DEVICEMAP\\SERIALCOMM", 0x20019, key), ERROR_SUCCESS);
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
  EXPECT_EQ(ports, (std::vector<std::string>{d + "ttyS0", d + "ttyS2", d + "ttyS10", d + "ttyUSB0",
                                             d + "ttyACM0", "SIM4", "SIM2"}));
}

TEST(Registry, SerialCommIsReadOnlyAndNeverSaved) {
  RegisterCommDevice("SIM4", {}, "four");
  ScratchRegistry reg;
  reg.write_file("REGEDIT4\n[HKEY_LOCAL_MACHINE\\HARDWARE\\DEVICEMAP\\SERIALCOMM]\n\"stale\"=\"COM9\"\n");
  reg.restart();
  HKEY key = nullptr;
  const char* path = "HARDWARE\\DEVICEMAP\\SERIALCOMM";
  EXPECT_EQ(Open(HKEY_LOCAL_MACHINE, path, KEY_ALL_ACCESS, key), ERROR_ACCESS_DENIED);
  EXPECT_EQ(RegCreateKeyEx(HKEY_LOCAL_MACHINE, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
            ERROR_ACCESS_DENIED);
  EXPECT_EQ(
      RegCreateKeyEx(HKEY_LOCAL_MACHINE, "HARDWARE\\New", 0, nullptr, 0, KEY_READ, nullptr, &key, nullptr),
      ERROR_ACCESS_DENIED);
  EXPECT_EQ(RegDeleteKey(HKEY_LOCAL_MACHINE, path), ERROR_ACCESS_DENIED);
  ASSERT_EQ(RegCreateKeyEx(HKEY_LOCAL_MACHINE, path, 0, nullptr, 0, KEY_READ, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  EXPECT_EQ(Text(key, "stale"), "<error 2>");
  EXPECT_EQ(Text(key, "\\Device\\SIM4"), "SIM4");
  RegCloseKey(key);

  RegCloseKey(Create(HKEY_LOCAL_MACHINE, "SOFTWARE\\App"));
  EXPECT_EQ(reg.read_file().find("HARDWARE"), std::string::npos);
}

TEST(Registry, FolderFollowsTheEnvironmentVariableThenXdg) {
  using detail::RegistryFolderFor;
  EXPECT_EQ(RegistryFolderFor("/portable/reg", "/xdg", "/home/u"), "/portable/reg");
  EXPECT_EQ(RegistryFolderFor("", "/xdg", "/home/u"), "/xdg/osciloskop");
  EXPECT_EQ(RegistryFolderFor(nullptr, "relative/xdg", "/home/u"), "/home/u/.config/osciloskop");
  EXPECT_EQ(RegistryFolderFor(nullptr, nullptr, "/home/u"), "/home/u/.config/osciloskop");
}

}  // namespace
}  // namespace osc::win
