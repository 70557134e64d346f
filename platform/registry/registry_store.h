#pragma once
// Internal to the registry: the process-wide store behind the Reg* calls. It keeps one
// tree per predefined root, loads it from the root's file on first use, writes it back
// atomically, and undoes a failed transaction. Tests point it at a scratch folder, a
// fake sysfs and a failing FileOps with ResetRegistry.
#include "platform/atomic_file.h"
#include "platform/registry/registry.h"
#include "platform/registry/registry_tree.h"

#include <array>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace osc::win::detail {

struct RegistryConfig {
  std::string folder;               // where the root files live
  std::string sysfs_root = "/sys";  // where the serial devices are looked up
  std::string dev_root = "/dev";    // where their device nodes are
  FileOps* files = nullptr;         // nullptr: the real system calls
};

// $OSC_REGISTRY_DIR, else $XDG_CONFIG_HOME/osciloskop when that is absolute, else
// <home>/.config/osciloskop. Null or empty arguments count as unset.
std::string RegistryFolderFor(const char* oscRegistryDir, const char* xdgConfigHome, const char* home);
RegistryConfig RegistryConfigFromEnvironment();

// Forgets every root (unsaved changes included) and every open key handle; the next use
// loads the files anew under `config`. For start-up and tests.
void ResetRegistry(const RegistryConfig& config);

// One change made inside a transaction, enough to undo it.
struct UndoStep {
  enum class Kind { SetValue, CreateKey, DeleteKey } kind;
  std::shared_ptr<RegKeyNode> key;     // SetValue: the key; otherwise: the parent
  std::string name;                    // the value's name (SetValue)
  std::optional<RegValue> old_value;   // SetValue: what was there before
  std::shared_ptr<RegKeyNode> subkey;  // CreateKey, DeleteKey: the key created or deleted
};

struct RootState {
  std::string name;  // "HKEY_LOCAL_MACHINE"
  std::string path;  // its file
  std::shared_ptr<RegKeyNode> tree;
  bool loaded = false;
  bool dirty = false;    // the tree differs from the file
  bool locked = false;   // the file must not be written (it could not be read or kept aside)
  bool retired = false;  // dropped by ResetRegistry; handles on it are invalid
  std::string notice;    // what went wrong while loading, for the operator
  bool in_transaction = false;
  bool dirty_before = false;
  std::vector<UndoStep> undo;
};

class RegistryStore {
 public:
  static RegistryStore& instance();

  // Guards every tree and root state. Taken by each Reg* call for its whole run.
  std::mutex mutex;

  // The loaded state of a predefined root, or nullptr for another handle.
  std::shared_ptr<RootState> root(HKEY predefined);
  // Whether the root's file can be written now (its folder is created when missing).
  bool writable(RootState& root);
  // Writes a changed root to its file; ERROR_SUCCESS or the failure's code.
  LSTATUS save(RootState& root);
  // Notes a change: dirty unless `key` is volatile, and undoable inside a transaction.
  void changed(RootState& root, const RegKeyNode& key, UndoStep step);
  void undo(RootState& root);
  void reset(const RegistryConfig& config);
  // Where the root files live; other settings files of the program go beside them.
  std::string folder();

 private:
  RegistryStore();
  void load(RootState& root);
  FileOps& files();

  RegistryConfig config_;
  std::array<std::shared_ptr<RootState>, 7> roots_;
};

}  // namespace osc::win::detail
