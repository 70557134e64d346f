#pragma once
// Internal to the registry: the in-memory tree of one root, shared by the file parser and
// writer and by the store behind the Reg* calls.
#include "platform/win32.h"

#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace osc::win::detail {

constexpr std::size_t kMaxKeyNameLength = 255;
constexpr std::size_t kMaxValueNameLength = 16383;
// Windows allows 512 levels; the limit also bounds the recursion over a tree.
constexpr int kMaxKeyDepth = 512;

// Registry names compare without regard to ASCII case; other bytes compare exactly.
bool NameEquals(std::string_view a, std::string_view b);
struct NameLess {
  using is_transparent = void;
  bool operator()(std::string_view a, std::string_view b) const;
};

bool ValidKeyName(std::string_view name);
bool ValidValueName(std::string_view name);

struct RegValue {
  DWORD type = 0;
  std::vector<BYTE> data;
  bool operator==(const RegValue&) const = default;
};

class RegKeyNode {
 public:
  explicit RegKeyNode(std::string name = {}) : name(std::move(name)) {}

  RegValue* find_value(std::string_view valueName);
  const RegValue* find_value(std::string_view valueName) const;
  // Sets or replaces a value; a replaced value keeps its place and its name's case.
  void set_value(std::string_view valueName, RegValue value);
  void erase_value(std::string_view valueName);

  std::shared_ptr<RegKeyNode> find_subkey(std::string_view keyName) const;
  // The existing subkey of that name, or a new one a level deeper.
  std::shared_ptr<RegKeyNode> ensure_subkey(std::string_view keyName);

  std::string name;
  int depth = 0;                                         // 0 for a root
  std::vector<std::pair<std::string, RegValue>> values;  // in creation order; change through set/erase
  std::map<std::string, std::shared_ptr<RegKeyNode>, NameLess> subkeys;
  bool is_volatile = false;  // kept in memory only, never written to the file
  bool read_only = false;    // no value may be set, no subkey created or deleted
  bool deleted = false;      // removed from the tree; handles on it fail

 private:
  // Where each value is in `values`, so that a key with many values stays fast to load.
  std::map<std::string, std::size_t, NameLess> value_index_;
};

// Same names (exactly), values and subkeys, recursively; flags are not compared.
bool SameContent(const RegKeyNode& a, const RegKeyNode& b);

}  // namespace osc::win::detail
