#include "platform/registry/registry_file.h"

#include "platform/locale/codepage.h"
#include "platform/registry/registry.h"

#include <cstdio>

namespace osc::win::detail {
namespace {

constexpr std::string_view kHeader4 = "REGEDIT4";
constexpr std::string_view kHeader5 = "Windows Registry Editor Version 5.00";
constexpr std::string_view kBom = "\xEF\xBB\xBF";

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}

bool IsControl(char c) {
  auto u = static_cast<unsigned char>(c);
  return u < 0x20 || u == 0x7F;
}

std::string_view TrimLeft(std::string_view s) {
  while (!s.empty() && IsBlank(s.front()))
    s.remove_prefix(1);
  return s;
}

std::string_view TrimRight(std::string_view s) {
  while (!s.empty() && IsBlank(s.back()))
    s.remove_suffix(1);
  return s;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool StartsWithCaseless(std::string_view s, std::string_view prefix) {
  return s.size() >= prefix.size() && NameEquals(s.substr(0, prefix.size()), prefix);
}

// Reads up to `maxDigits` hex digits (at least one) from the front of `s`.
bool TakeHex(std::string_view& s, std::size_t maxDigits, DWORD& value) {
  std::size_t n = 0;
  value = 0;
  while (n < s.size() && n < maxDigits && HexDigit(s[n]) >= 0) {
    value = value * 16 + static_cast<DWORD>(HexDigit(s[n]));
    ++n;
  }
  if (n == 0 || (n < s.size() && HexDigit(s[n]) >= 0)) return false;
  s.remove_prefix(n);
  return true;
}

struct Failure {
  const char* reason;
};

class Parser {
 public:
  Parser(std::string_view text, std::string_view rootName, RegKeyNode& root)
      : text_(text), root_name_(rootName), root_(root) {}

  bool run(RegistryParseError& error) {
    try {
      parse();
      return true;
    } catch (const Failure& f) {
      error.line = line_no_;
      error.reason = f.reason;
      return false;
    }
  }

 private:
  void parse() {
    if (text_.substr(0, kBom.size()) == kBom) text_.remove_prefix(kBom.size());
    std::string_view line;
    if (!next_line(line)) throw Failure{"soubor je prázdný"};
    line = TrimRight(line);
    if (line != kHeader4 && line != kHeader5) throw Failure{"chybí hlavička REGEDIT4"};
    while (next_line(line)) {
      std::string_view s = TrimLeft(line);
      if (s.empty() || s.front() == ';') continue;
      if (s.front() == '[') {
        section(s);
      } else if (s.front() == '"' || s.front() == '@') {
        value(s);
      } else {
        throw Failure{"neplatný řádek"};
      }
    }
  }

  bool next_line(std::string_view& line) {
    if (pos_ >= text_.size()) return false;
    std::size_t end = text_.find('\n', pos_);
    if (end == std::string_view::npos) end = text_.size();
    line = text_.substr(pos_, end - pos_);
    pos_ = end + 1;
    ++line_no_;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    return true;
  }

  void section(std::string_view s) {
    std::size_t close = s.rfind(']');
    if (close == std::string_view::npos) throw Failure{"neukončený název klíče"};
    if (!TrimLeft(s.substr(close + 1)).empty()) throw Failure{"text za názvem klíče"};
    std::string_view path = s.substr(1, close - 1);
    if (!path.empty() && path.front() == '-') throw Failure{"mazání klíčů není podporováno"};
    std::size_t sep = path.find('\\');
    if (!NameEquals(path.substr(0, sep), root_name_)) throw Failure{"klíč jiného kořene"};
    RegKeyNode* node = &root_;
    while (sep != std::string_view::npos) {
      path.remove_prefix(sep + 1);
      sep = path.find('\\');
      std::string_view name = path.substr(0, sep);
      if (!ValidKeyName(name)) throw Failure{"neplatný název klíče"};
      if (node->depth >= kMaxKeyDepth) throw Failure{"klíč je vnořen příliš hluboko"};
      node = node->ensure_subkey(name).get();
    }
    current_ = node;
  }

  void value(std::string_view s) {
    if (current_ == nullptr) throw Failure{"hodnota před prvním klíčem"};
    std::string name;
    if (s.front() == '@') {
      s.remove_prefix(1);
    } else {
      name = quoted(s);
      if (!ValidValueName(name)) throw Failure{"neplatný název hodnoty"};
    }
    s = TrimLeft(s);
    if (s.empty() || s.front() != '=') throw Failure{"chybí znak '='"};
    s = TrimLeft(s.substr(1));
    current_->set_value(name, data(s));
  }

  RegValue data(std::string_view s) {
    RegValue v;
    if (!s.empty() && s.front() == '"') {
      std::string text = quoted(s);
      expect_end(s);
      v.type = REG_SZ;
      v.data.assign(text.begin(), text.end());
      v.data.push_back(0);
    } else if (StartsWithCaseless(s, "dword:")) {
      s.remove_prefix(6);
      DWORD d = 0;
      if (!TakeHex(s, 8, d)) throw Failure{"neplatné číslo dword"};
      expect_end(s);
      v.type = REG_DWORD;
      v.data = {static_cast<BYTE>(d), static_cast<BYTE>(d >> 8), static_cast<BYTE>(d >> 16),
                static_cast<BYTE>(d >> 24)};
    } else if (StartsWithCaseless(s, "hex:")) {
      s.remove_prefix(4);
      v.type = REG_BINARY;
      v.data = bytes(s);
    } else if (StartsWithCaseless(s, "hex(")) {
      s.remove_prefix(4);
      if (!TakeHex(s, 8, v.type) || s.substr(0, 2) != "):") throw Failure{"neplatný typ hodnoty"};
      s.remove_prefix(2);
      v.data = bytes(s);
    } else {
      throw Failure{"neplatný zápis hodnoty"};
    }
    return v;
  }

  // A quoted text at the front of `s`; only \\ and \" are escapes.
  std::string quoted(std::string_view& s) {
    std::string out;
    std::size_t i = 1;
    for (;;) {
      if (i >= s.size()) throw Failure{"neukončený řetězec"};
      char c = s[i++];
      if (c == '"') break;
      if (c == '\\') {
        if (i >= s.size() || (s[i] != '\\' && s[i] != '"')) throw Failure{"neplatná sekvence se znakem \\"};
        c = s[i++];
      } else if (IsControl(c)) {
        throw Failure{"řídicí znak v řetězci"};
      }
      out += c;
    }
    s.remove_prefix(i);
    return out;
  }

  void expect_end(std::string_view s) {
    if (!TrimLeft(s).empty()) throw Failure{"text za hodnotou"};
  }

  // Comma-separated hex bytes; a line ending in ",\" continues on the next line.
  std::vector<BYTE> bytes(std::string_view s) {
    std::vector<BYTE> out;
    s = TrimLeft(s);
    if (s.empty()) return out;
    for (;;) {
      DWORD b = 0;
      if (!TakeHex(s, 2, b)) throw Failure{"neplatná hexadecimální data"};
      out.push_back(static_cast<BYTE>(b));
      s = TrimLeft(s);
      if (s.empty()) return out;
      if (s.front() != ',') throw Failure{"neplatná hexadecimální data"};
      s = TrimLeft(s.substr(1));
      if (TrimRight(s) == "\\") {
        if (!next_line(s)) throw Failure{"neúplná hexadecimální data"};
        s = TrimLeft(s);
      }
      if (s.empty()) throw Failure{"neúplná hexadecimální data"};
    }
  }

  std::string_view text_;
  std::string_view root_name_;
  RegKeyNode& root_;
  RegKeyNode* current_ = nullptr;
  std::size_t pos_ = 0;
  int line_no_ = 0;
};

// A REG_SZ that the quoted form reproduces exactly: one terminating zero, printable UTF-8.
bool WritableAsText(const RegValue& v) {
  if (v.type != REG_SZ || v.data.empty() || v.data.back() != 0) return false;
  std::string_view text(reinterpret_cast<const char*>(v.data.data()), v.data.size() - 1);
  for (char c : text) {
    if (c == 0 || IsControl(c)) return false;
  }
  return IsValidUtf8(text);
}

void AppendQuoted(std::string& out, std::string_view text) {
  out += '"';
  for (char c : text) {
    if (c == '\\' || c == '"') out += '\\';
    out += c;
  }
  out += '"';
}

void AppendHex(std::string& out, const RegValue& v) {
  char buf[32];
  if (v.type == REG_BINARY) {
    out += "hex:";
  } else {
    std::snprintf(buf, sizeof buf, "hex(%x):", static_cast<unsigned>(v.type));
    out += buf;
  }
  std::size_t column = out.size() - out.rfind('\n');
  for (std::size_t i = 0; i < v.data.size(); ++i) {
    std::snprintf(buf, sizeof buf, "%02x", static_cast<unsigned>(v.data[i]));
    out += buf;
    column += 2;
    if (i + 1 == v.data.size()) break;
    out += ',';
    ++column;
    if (column >= 74) {
      out += "\\\n  ";
      column = 2;
    }
  }
}

void AppendValue(std::string& out, const std::string& name, const RegValue& v) {
  if (name.empty()) {
    out += '@';
  } else {
    AppendQuoted(out, name);
  }
  out += '=';
  if (WritableAsText(v)) {
    AppendQuoted(out, std::string_view(reinterpret_cast<const char*>(v.data.data()), v.data.size() - 1));
  } else if (v.type == REG_DWORD && v.data.size() == 4) {
    char buf[16];
    unsigned d = v.data[0] | (v.data[1] << 8) | (v.data[2] << 16) | (static_cast<unsigned>(v.data[3]) << 24);
    std::snprintf(buf, sizeof buf, "dword:%08x", d);
    out += buf;
  } else {
    AppendHex(out, v);
  }
  out += '\n';
}

void AppendSection(std::string& out, const std::string& path, const RegKeyNode& node) {
  out += "\n[";
  out += path;
  out += "]\n";
  for (const auto& [name, v] : node.values)
    AppendValue(out, name, v);
}

// `path` is the key's full name; it grows and shrinks back as the walk goes down and up.
void AppendTree(std::string& out, std::string& path, const RegKeyNode& node) {
  if (node.is_volatile) return;
  if (node.depth > 0 || !node.values.empty()) AppendSection(out, path, node);
  for (const auto& [name, child] : node.subkeys) {
    std::size_t length = path.size();
    path += '\\';
    path += child->name;
    AppendTree(out, path, *child);
    path.resize(length);
  }
}

}  // namespace

bool ParseRegistryText(std::string_view text, std::string_view rootName, RegKeyNode& root,
                       RegistryParseError& error) {
  return Parser(text, rootName, root).run(error);
}

std::string FormatRegistryText(const RegKeyNode& root, std::string_view rootName) {
  std::string out(kHeader4);
  out += "\n; Osciloskop settings, UTF-8. Edit only while the program is not running.\n";
  std::string path(rootName);
  AppendTree(out, path, root);
  return out;
}

}  // namespace osc::win::detail
