// The registry file's text: what the writer emits, what the reader takes and refuses.
#include "platform/registry/registry_file.h"
#include "platform/registry/registry.h"

#include <gtest/gtest.h>

namespace osc::win::detail {
namespace {

constexpr const char* kRoot = "HKEY_LOCAL_MACHINE";

RegValue Text(std::string_view s) {
  RegValue v{REG_SZ, {s.begin(), s.end()}};
  v.data.push_back(0);
  return v;
}

RegValue Bytes(DWORD type, std::vector<BYTE> data) {
  return {type, std::move(data)};
}

std::string Repeat(const std::string& s, int n) {
  std::string out;
  while (n-- > 0)
    out += s;
  return out;
}

bool Parse(std::string_view text, RegKeyNode& root, RegistryParseError& error) {
  return ParseRegistryText(text, kRoot, root, error);
}

const RegValue* Find(const RegKeyNode& root, std::initializer_list<const char*> path, const char* value) {
  const RegKeyNode* node = &root;
  for (const char* name : path) {
    auto next = node->find_subkey(name);
    if (!next) return nullptr;
    node = next.get();
  }
  return node->find_value(value);
}

TEST(RegistryFile, WritesRegedit4WithEveryKeyAndValuesInCreationOrder) {
  RegKeyNode root;
  auto app = root.ensure_subkey("SOFTWARE")->ensure_subkey("App");
  app->set_value("Port", Text("COM1"));
  app->set_value("Type", Bytes(REG_DWORD, {0x0a, 0, 0, 0}));
  app->set_value("", Bytes(REG_BINARY, {0x00, 0xff}));
  app->ensure_subkey("Empty");
  auto hidden = root.ensure_subkey("Volatile");
  hidden->is_volatile = true;
  hidden->set_value("x", Text("y"));

  EXPECT_EQ(FormatRegistryText(root, kRoot),
            "REGEDIT4\n"
            "; Osciloskop settings, UTF-8. Edit only while the program is not running.\n"
            "\n[HKEY_LOCAL_MACHINE\\SOFTWARE]\n"
            "\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\App]\n"
            "\"Port\"=\"COM1\"\n"
            "\"Type\"=dword:0000000a\n"
            "@=hex:00,ff\n"
            "\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\App\\Empty]\n");
}

// Values the quoted form cannot hold go as hex, and hex lines stay short (the fuzz
// corpus covers the other forms through its round trip).
TEST(RegistryFile, ValuesTheTextFormCannotHoldSurviveWritingAndReading) {
  std::vector<BYTE> longData(300);
  for (std::size_t i = 0; i < longData.size(); ++i)
    longData[i] = static_cast<BYTE>(i * 7);
  const std::pair<std::string, RegValue> cases[] = {
      {"string with inner zero", Bytes(REG_SZ, {'a', 0, 'b', 0})},
      {"invalid UTF-8", Text("\xE8\xE1")},
      {"long binary", Bytes(REG_BINARY, longData)},
  };
  for (const auto& [name, value] : cases) {
    SCOPED_TRACE(name);
    RegKeyNode root;
    root.ensure_subkey("K")->set_value(name, value);
    std::string text = FormatRegistryText(root, kRoot);
    RegKeyNode back;
    RegistryParseError error;
    ASSERT_TRUE(Parse(text, back, error)) << "line " << error.line << ": " << error.reason << "\n" << text;
    EXPECT_TRUE(SameContent(root, back)) << text;
    for (std::size_t pos = text.find('\n'); pos != std::string::npos; pos = text.find('\n', pos + 1)) {
      std::size_t next = text.find('\n', pos + 1);
      EXPECT_LE((next == std::string::npos ? text.size() : next) - pos - 1, 80u) << "line too long";
    }
  }
}

TEST(RegistryFile, ReadsWhatRegeditAndEditorsWrite) {
  struct Case {
    const char* name;
    const char* text;
    const char* value;
    RegValue expected;
  };
  const Case cases[] = {
      {"CR LF line ends", "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\K]\r\n\"v\"=\"x\"\r\n", "v", Text("x")},
      {"byte order mark", "\xEF\xBB\xBFREGEDIT4\n[HKEY_LOCAL_MACHINE\\K]\n\"v\"=dword:1\n", "v",
       Bytes(REG_DWORD, {1, 0, 0, 0})},
      {"version 5 header", "Windows Registry Editor Version 5.00\n[HKEY_LOCAL_MACHINE\\K]\n@=\"d\"\n", "",
       Text("d")},
      {"comments, blanks, spaces", "REGEDIT4  \n; c\n\n  [HKEY_LOCAL_MACHINE\\K]  \n  ; c\n \"v\" = \"x\" \n",
       "v", Text("x")},
      {"continued hex list", "REGEDIT4\n[HKEY_LOCAL_MACHINE\\K]\n\"v\"=hex(2):41,\\\n   42,\\\n  00\n", "v",
       Bytes(REG_EXPAND_SZ, {'A', 'B', 0})},
      {"a later value of the same name wins", "REGEDIT4\n[HKEY_LOCAL_MACHINE\\K]\n\"v\"=\"1\"\n\"V\"=\"2\"\n",
       "v", Text("2")},
      {"sections merged",
       "REGEDIT4\n[HKEY_LOCAL_MACHINE\\K]\n\"a\"=\"1\"\n[HKEY_LOCAL_MACHINE\\k]\n\"v\"=\"2\"\n", "v",
       Text("2")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    RegKeyNode root;
    RegistryParseError error;
    ASSERT_TRUE(Parse(c.text, root, error)) << "line " << error.line << ": " << error.reason;
    const RegValue* v = Find(root, {"K"}, c.value);
    ASSERT_NE(v, nullptr);
    EXPECT_EQ(*v, c.expected);
  }
}

// A damaged or foreign file must be refused (and so kept aside), never half-read and saved.
TEST(RegistryFile, RefusesDamagedFilesNamingTheLine) {
  struct Case {
    const char* name;
    std::string text;
    int line;
  };
  const std::string head = "REGEDIT4\n[HKEY_LOCAL_MACHINE\\K]\n";
  const Case cases[] = {
      {"empty file", "", 0},
      {"no header", "[HKEY_LOCAL_MACHINE\\K]\n", 1},
      {"UTF-16 file", std::string("\xFF\xFER\0E\0", 6), 1},
      {"value before any key", "REGEDIT4\n\"v\"=\"x\"\n", 2},
      {"key of another root", "REGEDIT4\n[HKEY_CURRENT_USER\\K]\n", 2},
      {"root name only as prefix", "REGEDIT4\n[HKEY_LOCAL_MACHINEX\\K]\n", 2},
      {"unterminated key name", "REGEDIT4\n[HKEY_LOCAL_MACHINE\\K\n", 2},
      {"empty key name", "REGEDIT4\n[HKEY_LOCAL_MACHINE\\\\K]\n", 2},
      {"text after key name", "REGEDIT4\n[HKEY_LOCAL_MACHINE\\K] x\n", 2},
      {"key deletion", "REGEDIT4\n[-HKEY_LOCAL_MACHINE\\K]\n", 2},
      {"unterminated string", head + "\"v\"=\"abc\n", 3},
      {"unknown escape", head + "\"v\"=\"a\\nb\"\n", 3},
      {"control character in string", head + "\"v\"=\"a\x01\"\n", 3},
      {"NUL in string", head + std::string("\"v\"=\"a\0\"\n", 9), 3},
      {"missing '='", head + "\"v\" \"x\"\n", 3},
      {"value deletion", head + "\"v\"=-\n", 3},
      {"text after string", head + "\"v\"=\"x\" y\n", 3},
      {"dword too long", head + "\"v\"=dword:123456789\n", 3},
      {"dword not hex", head + "\"v\"=dword:xyz\n", 3},
      {"hex byte too long", head + "\"v\"=hex:123\n", 3},
      {"hex not hex", head + "\"v\"=hex:zz\n", 3},
      {"hex trailing comma", head + "\"v\"=hex:01,\n", 3},
      {"hex cut after continuation", head + "\"v\"=hex:01,\\\n", 3},
      {"hex continuation into blank line", head + "\"v\"=hex:01,\\\n\n", 4},
      {"bad type", head + "\"v\"=hex(zz):01\n", 3},
      {"garbage line", head + "garbage\n", 3},
      {"truncated line", head + "\"v", 3},
      {"key nested deeper than 512 levels", "REGEDIT4\n[HKEY_LOCAL_MACHINE" + Repeat("\\k", 513) + "]\n", 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    RegKeyNode root;
    RegistryParseError error;
    EXPECT_FALSE(Parse(c.text, root, error));
    EXPECT_EQ(error.line, c.line);
    EXPECT_FALSE(error.reason.empty());
  }
}

}  // namespace
}  // namespace osc::win::detail
