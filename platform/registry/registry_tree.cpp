#include "platform/registry/registry_tree.h"

#include <algorithm>

namespace osc::win::detail {
namespace {

unsigned char Fold(char c) {
  auto u = static_cast<unsigned char>(c);
  return u >= 'A' && u <= 'Z' ? static_cast<unsigned char>(u + ('a' - 'A')) : u;
}

bool HasControlCharacter(std::string_view name) {
  return std::any_of(name.begin(), name.end(), [](char c) {
    auto u = static_cast<unsigned char>(c);
    return u < 0x20 || u == 0x7F;
  });
}

}  // namespace

bool NameEquals(std::string_view a, std::string_view b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return Fold(x) == Fold(y); });
}

bool NameLess::operator()(std::string_view a, std::string_view b) const {
  return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                      [](char x, char y) { return Fold(x) < Fold(y); });
}

bool ValidKeyName(std::string_view name) {
  return !name.empty() && name.size() <= kMaxKeyNameLength && name.find('\\') == std::string_view::npos &&
         !HasControlCharacter(name);
}

bool ValidValueName(std::string_view name) {
  return name.size() <= kMaxValueNameLength && !HasControlCharacter(name);
}

RegValue* RegKeyNode::find_value(std::string_view valueName) {
  auto it = value_index_.find(valueName);
  return it == value_index_.end() ? nullptr : &values[it->second].second;
}

const RegValue* RegKeyNode::find_value(std::string_view valueName) const {
  return const_cast<RegKeyNode*>(this)->find_value(valueName);
}

void RegKeyNode::set_value(std::string_view valueName, RegValue value) {
  if (RegValue* existing = find_value(valueName)) {
    *existing = std::move(value);
    return;
  }
  value_index_.emplace(std::string(valueName), values.size());
  values.emplace_back(std::string(valueName), std::move(value));
}

void RegKeyNode::erase_value(std::string_view valueName) {
  std::erase_if(values, [&](const auto& v) { return NameEquals(v.first, valueName); });
  value_index_.clear();
  for (std::size_t i = 0; i < values.size(); ++i)
    value_index_.emplace(values[i].first, i);
}

std::shared_ptr<RegKeyNode> RegKeyNode::find_subkey(std::string_view keyName) const {
  auto it = subkeys.find(keyName);
  return it == subkeys.end() ? nullptr : it->second;
}

std::shared_ptr<RegKeyNode> RegKeyNode::ensure_subkey(std::string_view keyName) {
  if (auto existing = find_subkey(keyName)) return existing;
  auto node = std::make_shared<RegKeyNode>(std::string(keyName));
  node->depth = depth + 1;
  subkeys.emplace(std::string(keyName), node);
  return node;
}

bool SameContent(const RegKeyNode& a, const RegKeyNode& b) {
  if (a.name != b.name || a.values != b.values || a.subkeys.size() != b.subkeys.size()) return false;
  auto ia = a.subkeys.begin();
  auto ib = b.subkeys.begin();
  for (; ia != a.subkeys.end(); ++ia, ++ib) {
    if (!SameContent(*ia->second, *ib->second)) return false;
  }
  return true;
}

}  // namespace osc::win::detail
