#include "platform/registry/registry.h"

#include "platform/kernel/kernel_object.h"
#include "platform/registry/registry_store.h"

#include <cstring>
#include <string_view>
#include <utility>
#include <vector>

namespace osc::win {
namespace {

using detail::RegistryStore;
using detail::RegKeyNode;
using detail::RootState;
using detail::UndoStep;

constexpr REGSAM kWriteRights = KEY_SET_VALUE | KEY_CREATE_SUB_KEY | KEY_CREATE_LINK | DELETE;

struct KeyHandle final : detail::KernelObject {
  KeyHandle(std::shared_ptr<RootState> r, std::shared_ptr<RegKeyNode> k, REGSAM a)
      : root(std::move(r)), key(std::move(k)), access(a) {}
  std::shared_ptr<RootState> root;
  std::shared_ptr<RegKeyNode> key;
  REGSAM access;
};

struct Resolved {
  std::shared_ptr<RootState> root;
  std::shared_ptr<RegKeyNode> key;
  REGSAM access = 0;
};

// Looks a handle up; the caller holds the store's mutex.
LSTATUS Resolve(HKEY key, Resolved& out) {
  if (auto root = RegistryStore::instance().root(key)) {
    out = {root, root->tree, KEY_ALL_ACCESS};
    return ERROR_SUCCESS;
  }
  auto handle = detail::lookup_as<KeyHandle>(reinterpret_cast<HANDLE>(key));
  if (!handle || handle->root->retired) return ERROR_INVALID_HANDLE;
  if (handle->key->deleted) return ERROR_KEY_DELETED;
  out = {handle->root, handle->key, handle->access};
  return ERROR_SUCCESS;
}

HKEY NewHandle(const Resolved& parent, std::shared_ptr<RegKeyNode> key, REGSAM access) {
  return reinterpret_cast<HKEY>(
      detail::register_object(std::make_shared<KeyHandle>(parent.root, std::move(key), access)));
}

// The names of a key path; one leading and one trailing '\' are allowed.
bool SplitPath(const char* path, std::vector<std::string_view>& names) {
  std::string_view p = path ? path : "";
  if (!p.empty() && p.front() == '\\') p.remove_prefix(1);
  if (!p.empty() && p.back() == '\\') p.remove_suffix(1);
  while (!p.empty()) {
    std::size_t sep = p.find('\\');
    std::string_view name = p.substr(0, sep);
    if (!detail::ValidKeyName(name)) return false;
    names.push_back(name);
    p = sep == std::string_view::npos ? std::string_view() : p.substr(sep + 1);
    if (sep != std::string_view::npos && p.empty()) return false;
  }
  return true;
}

// Walks down as far as the path exists; returns how many names were found.
std::size_t Walk(std::shared_ptr<RegKeyNode>& node, const std::vector<std::string_view>& names) {
  std::size_t i = 0;
  for (; i < names.size(); ++i) {
    auto next = node->find_subkey(names[i]);
    if (!next) break;
    node = std::move(next);
  }
  return i;
}

// Copies data as RegQueryValueEx returns it.
LSTATUS CopyOut(const detail::RegValue& v, DWORD* type, BYTE* data, DWORD* size) {
  if (type) *type = v.type;
  auto needed = static_cast<DWORD>(v.data.size());
  if (data) {
    if (*size < needed) {
      *size = needed;
      return ERROR_MORE_DATA;
    }
    if (needed > 0) std::memcpy(data, v.data.data(), needed);
  }
  if (size) *size = needed;
  return ERROR_SUCCESS;
}

}  // namespace

LSTATUS RegCreateKeyEx(HKEY key, const char* subKey, DWORD reserved, char* /*keyClass*/, DWORD options,
                       REGSAM access, const SECURITY_ATTRIBUTES* /*security*/, HKEY* result,
                       DWORD* disposition) {
  if (!result || reserved != 0 || (options & ~REG_OPTION_VOLATILE) != 0) return ERROR_INVALID_PARAMETER;
  std::vector<std::string_view> names;
  if (!SplitPath(subKey, names)) return ERROR_INVALID_NAME;
  auto& store = RegistryStore::instance();
  std::lock_guard lock(store.mutex);
  Resolved parent;
  if (LSTATUS e = Resolve(key, parent)) return e;
  auto node = parent.key;
  std::size_t found = Walk(node, names);
  bool creating = found < names.size();
  if (creating || (access & kWriteRights) != 0) {
    if (node->read_only || !store.writable(*parent.root)) return ERROR_ACCESS_DENIED;
  }
  if (creating) {
    if ((parent.access & KEY_CREATE_SUB_KEY) == 0) return ERROR_ACCESS_DENIED;
    if (node->depth + static_cast<int>(names.size() - found) > detail::kMaxKeyDepth) {
      return ERROR_INVALID_PARAMETER;
    }
    bool isVolatile = (options & REG_OPTION_VOLATILE) != 0;
    if (node->is_volatile && !isVolatile) return ERROR_CHILD_MUST_BE_VOLATILE;
    for (std::size_t i = found; i < names.size(); ++i) {
      auto child = node->ensure_subkey(names[i]);
      child->is_volatile = isVolatile;
      store.changed(*parent.root, *child, {UndoStep::Kind::CreateKey, node, {}, {}, child});
      node = std::move(child);
    }
  }
  *result = NewHandle(parent, std::move(node), access);
  if (disposition) *disposition = creating ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
  return ERROR_SUCCESS;
}

LSTATUS RegOpenKeyEx(HKEY key, const char* subKey, DWORD options, REGSAM access, HKEY* result) {
  if (!result || options != 0) return ERROR_INVALID_PARAMETER;
  std::vector<std::string_view> names;
  if (!SplitPath(subKey, names)) return ERROR_INVALID_NAME;
  auto& store = RegistryStore::instance();
  std::lock_guard lock(store.mutex);
  Resolved parent;
  if (LSTATUS e = Resolve(key, parent)) return e;
  auto node = parent.key;
  if (Walk(node, names) < names.size()) return ERROR_FILE_NOT_FOUND;
  if ((access & kWriteRights) != 0 && (node->read_only || !store.writable(*parent.root))) {
    return ERROR_ACCESS_DENIED;
  }
  *result = NewHandle(parent, std::move(node), access);
  return ERROR_SUCCESS;
}

LSTATUS RegQueryValueEx(HKEY key, const char* valueName, DWORD* reserved, DWORD* type, BYTE* data,
                        DWORD* size) {
  if (reserved || (data && !size)) return ERROR_INVALID_PARAMETER;
  auto& store = RegistryStore::instance();
  std::lock_guard lock(store.mutex);
  Resolved k;
  if (LSTATUS e = Resolve(key, k)) return e;
  if ((k.access & KEY_QUERY_VALUE) == 0) return ERROR_ACCESS_DENIED;
  const detail::RegValue* v = k.key->find_value(valueName ? valueName : "");
  if (!v) return ERROR_FILE_NOT_FOUND;
  return CopyOut(*v, type, data, size);
}

LSTATUS RegSetValueEx(HKEY key, const char* valueName, DWORD reserved, DWORD type, const BYTE* data,
                      DWORD size) {
  std::string_view name = valueName ? valueName : "";
  if (reserved != 0 || (!data && size > 0) || !detail::ValidValueName(name)) return ERROR_INVALID_PARAMETER;
  auto& store = RegistryStore::instance();
  std::lock_guard lock(store.mutex);
  Resolved k;
  if (LSTATUS e = Resolve(key, k)) return e;
  if ((k.access & KEY_SET_VALUE) == 0 || k.key->read_only) return ERROR_ACCESS_DENIED;
  std::optional<detail::RegValue> old;
  if (const detail::RegValue* v = k.key->find_value(name)) old = *v;
  detail::RegValue value{type, std::vector<BYTE>(data, data + size)};
  k.key->set_value(name, std::move(value));
  store.changed(*k.root, *k.key, {UndoStep::Kind::SetValue, k.key, std::string(name), std::move(old), {}});
  return ERROR_SUCCESS;
}

LSTATUS RegDeleteKey(HKEY key, const char* subKey) {
  std::vector<std::string_view> names;
  if (!subKey) return ERROR_INVALID_PARAMETER;
  if (!SplitPath(subKey, names)) return ERROR_INVALID_NAME;
  if (names.empty()) return ERROR_INVALID_PARAMETER;
  auto& store = RegistryStore::instance();
  std::lock_guard lock(store.mutex);
  Resolved k;
  if (LSTATUS e = Resolve(key, k)) return e;
  auto parent = k.key;
  std::string_view last = names.back();
  names.pop_back();
  if (Walk(parent, names) < names.size()) return ERROR_FILE_NOT_FOUND;
  auto target = parent->find_subkey(last);
  if (!target) return ERROR_FILE_NOT_FOUND;
  if (!target->subkeys.empty() || target->read_only || parent->read_only) return ERROR_ACCESS_DENIED;
  if (!target->is_volatile && !store.writable(*k.root)) return ERROR_ACCESS_DENIED;
  parent->subkeys.erase(target->name);
  target->deleted = true;
  store.changed(*k.root, *target, {UndoStep::Kind::DeleteKey, parent, {}, {}, target});
  return ERROR_SUCCESS;
}

LSTATUS RegFlushKey(HKEY key) {
  auto& store = RegistryStore::instance();
  std::lock_guard lock(store.mutex);
  Resolved k;
  if (LSTATUS e = Resolve(key, k)) return e;
  if (k.root->in_transaction) return ERROR_SUCCESS;
  return store.save(*k.root);
}

LSTATUS RegCloseKey(HKEY key) {
  auto& store = RegistryStore::instance();
  std::lock_guard lock(store.mutex);
  if (store.root(key)) return ERROR_SUCCESS;
  auto handle = detail::lookup_as<KeyHandle>(reinterpret_cast<HANDLE>(key));
  if (!handle || !detail::unregister(reinterpret_cast<HANDLE>(key))) return ERROR_INVALID_HANDLE;
  RootState& root = *handle->root;
  if (root.dirty && !root.in_transaction) store.save(root);  // a failure is retried by the next close
  return ERROR_SUCCESS;
}

LSTATUS RegEnumValue(HKEY key, DWORD index, char* name, DWORD* nameLength, DWORD* reserved, DWORD* type,
                     BYTE* data, DWORD* size) {
  if (!name || !nameLength || reserved || (data && !size)) return ERROR_INVALID_PARAMETER;
  auto& store = RegistryStore::instance();
  std::lock_guard lock(store.mutex);
  Resolved k;
  if (LSTATUS e = Resolve(key, k)) return e;
  if ((k.access & KEY_QUERY_VALUE) == 0) return ERROR_ACCESS_DENIED;
  if (index >= k.key->values.size()) return ERROR_NO_MORE_ITEMS;
  const auto& [valueName, value] = k.key->values[index];
  if (*nameLength <= valueName.size()) return ERROR_MORE_DATA;
  std::memcpy(name, valueName.c_str(), valueName.size() + 1);
  *nameLength = static_cast<DWORD>(valueName.size());
  return CopyOut(value, type, data, size);
}

LSTATUS RegBeginTransaction(HKEY rootKey) {
  auto& store = RegistryStore::instance();
  std::lock_guard lock(store.mutex);
  auto root = store.root(rootKey);
  if (!root) return ERROR_INVALID_HANDLE;
  if (root->in_transaction) return ERROR_BUSY;
  root->in_transaction = true;
  root->dirty_before = root->dirty;
  root->undo.clear();
  return ERROR_SUCCESS;
}

LSTATUS RegCommitTransaction(HKEY rootKey) {
  auto& store = RegistryStore::instance();
  std::lock_guard lock(store.mutex);
  auto root = store.root(rootKey);
  if (!root) return ERROR_INVALID_HANDLE;
  if (!root->in_transaction) return ERROR_INVALID_FUNCTION;
  LSTATUS status = store.save(*root);
  if (status != ERROR_SUCCESS) {
    store.undo(*root);
    return status;
  }
  root->in_transaction = false;
  root->undo.clear();
  return ERROR_SUCCESS;
}

LSTATUS RegRollbackTransaction(HKEY rootKey) {
  auto& store = RegistryStore::instance();
  std::lock_guard lock(store.mutex);
  auto root = store.root(rootKey);
  if (!root) return ERROR_INVALID_HANDLE;
  if (!root->in_transaction) return ERROR_INVALID_FUNCTION;
  store.undo(*root);
  return ERROR_SUCCESS;
}

std::string RegFilePath(HKEY rootKey) {
  auto& store = RegistryStore::instance();
  std::lock_guard lock(store.mutex);
  auto root = store.root(rootKey);
  return root ? root->path : std::string();
}

std::string RegTakeLoadNotice(HKEY rootKey) {
  auto& store = RegistryStore::instance();
  std::lock_guard lock(store.mutex);
  auto root = store.root(rootKey);
  return root ? std::exchange(root->notice, {}) : std::string();
}

}  // namespace osc::win
