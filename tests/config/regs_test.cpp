// TRegs: typed reads and writes and their errors.
#include "config/regs.h"
#include "platform/errors.h"
#include "support/scratch_registry.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <variant>

namespace osc {
namespace {

using namespace win;
using test::ScratchRegistry;
using namespace std::literals;

void Store(const char* key, const char* name, DWORD type, std::vector<BYTE> data) {
  HKEY k = nullptr;
  ASSERT_EQ(RegCreateKeyEx(HKEY_LOCAL_MACHINE, key, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k, nullptr),
            ERROR_SUCCESS);
  ASSERT_EQ(RegSetValueEx(k, name, 0, type, data.data(), static_cast<DWORD>(data.size())), ERROR_SUCCESS);
  RegCloseKey(k);
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
