#include "platform/registry/registry_store.h"

#include "platform/comm/serial_devices.h"
#include "platform/registry/registry_file.h"

#include <fcntl.h>
#include <pwd.h>
#include <unistd.h>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace osc::win::detail {
namespace {

constexpr std::array<const char*, 7> kRootNames = {
    "HKEY_CLASSES_ROOT",     "HKEY_CURRENT_USER",   "HKEY_LOCAL_MACHINE", "HKEY_USERS",
    "HKEY_PERFORMANCE_DATA", "HKEY_CURRENT_CONFIG", "HKEY_DYN_DATA"};
constexpr std::size_t kLocalMachine = 2;
constexpr std::size_t kMaxFileSize = 16u << 20;

std::optional<std::size_t> RootIndex(HKEY key) {
  auto v = reinterpret_cast<std::uintptr_t>(key);
  if (v < 0x80000000u || v >= 0x80000000u + kRootNames.size()) return std::nullopt;
  return v - 0x80000000u;
}

// 0, or an errno (EFBIG for a file too large to be settings).
int ReadWholeFile(const std::string& path, std::string& text) {
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return errno;
  int err = 0;
  char buf[65536];
  for (;;) {
    ssize_t n = ::read(fd, buf, sizeof buf);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) err = errno;
    if (n <= 0) break;
    text.append(buf, static_cast<std::size_t>(n));
    if (text.size() > kMaxFileSize) {
      err = EFBIG;
      break;
    }
  }
  ::close(fd);
  return err;
}

LSTATUS StatusFromErrno(int err) {
  switch (err) {
    case ENOSPC:
    case EDQUOT:
      return ERROR_DISK_FULL;
    case EACCES:
    case EPERM:
    case EROFS:
      return ERROR_ACCESS_DENIED;
    default:
      return ERROR_WRITE_FAULT;
  }
}

std::string FolderOf(const std::string& path) {
  return path.substr(0, path.rfind('/'));
}

// HKLM\HARDWARE, rebuilt at every start and never saved.
void BuildHardwareKey(RegKeyNode& root, const RegistryConfig& config) {
  root.subkeys.erase("HARDWARE");
  auto hardware = root.ensure_subkey("HARDWARE");
  auto comm = hardware->ensure_subkey("DEVICEMAP")->ensure_subkey("SERIALCOMM");
  for (const SerialDevice& d : ListSerialDevices(config.sysfs_root, config.dev_root)) {
    RegValue v{REG_SZ, {d.port.begin(), d.port.end()}};
    v.data.push_back(0);
    comm->set_value(d.value_name, std::move(v));
  }
  for (RegKeyNode* n : {hardware.get(), hardware->find_subkey("DEVICEMAP").get(), comm.get()}) {
    n->is_volatile = true;
    n->read_only = true;
  }
}

}  // namespace

std::string RegistryFolderFor(const char* oscRegistryDir, const char* xdgConfigHome, const char* home) {
  if (oscRegistryDir && *oscRegistryDir) return oscRegistryDir;
  if (xdgConfigHome && xdgConfigHome[0] == '/') return std::string(xdgConfigHome) + "/osciloskop";
  return std::string(home ? home : "") + "/.config/osciloskop";
}

RegistryConfig RegistryConfigFromEnvironment() {
  const char* home = std::getenv("HOME");
  if (!home || !*home) {
    if (const passwd* pw = getpwuid(getuid())) home = pw->pw_dir;
  }
  RegistryConfig config;
  config.folder = RegistryFolderFor(std::getenv("OSC_REGISTRY_DIR"), std::getenv("XDG_CONFIG_HOME"), home);
  return config;
}

void ResetRegistry(const RegistryConfig& config) {
  RegistryStore::instance().reset(config);
}

RegistryStore& RegistryStore::instance() {
  static RegistryStore store;
  return store;
}

RegistryStore::RegistryStore() {
  reset(RegistryConfigFromEnvironment());
}

std::string RegistryStore::folder() {
  std::lock_guard lock(mutex);
  return config_.folder;
}

void RegistryStore::reset(const RegistryConfig& config) {
  std::lock_guard lock(mutex);
  config_ = config;
  for (std::size_t i = 0; i < roots_.size(); ++i) {
    if (roots_[i]) roots_[i]->retired = true;
    roots_[i] = std::make_shared<RootState>();
    roots_[i]->name = kRootNames[i];
    roots_[i]->path = config.folder + "/" + kRootNames[i] + ".reg";
  }
}

FileOps& RegistryStore::files() {
  return config_.files ? *config_.files : SystemFileOps();
}

std::shared_ptr<RootState> RegistryStore::root(HKEY predefined) {
  auto index = RootIndex(predefined);
  if (!index) return nullptr;
  auto& r = roots_[*index];
  if (!r->loaded) {
    load(*r);
    if (*index == kLocalMachine) BuildHardwareKey(*r->tree, config_);
  }
  return r;
}

void RegistryStore::load(RootState& r) {
  r.loaded = true;
  r.tree = std::make_shared<RegKeyNode>();
  std::string text;
  int err = ReadWholeFile(r.path, text);
  if (err == ENOENT) return;
  RegistryParseError parse{0, "soubor je příliš velký"};
  if (err == 0 && ParseRegistryText(text, r.name, *r.tree, parse)) return;
  r.tree = std::make_shared<RegKeyNode>();
  const std::string file = "Soubor nastavení " + r.path;
  if (err != 0 && err != EFBIG) {
    r.locked = true;
    r.notice = file + " nelze přečíst (" + std::strerror(err) +
               "). Program začíná s výchozím nastavením a nebude je ukládat.";
  } else {
    std::string aside;
    std::string what =
        parse.line > 0 ? "řádek " + std::to_string(parse.line) + ": " + parse.reason : parse.reason;
    if (int e = MoveAside(files(), r.path, aside); e == 0) {
      r.notice = file + " je poškozený (" + what + "). Byl odložen jako " + aside +
                 " a program začíná s výchozím nastavením.";
    } else {
      r.locked = true;
      r.notice = file + " je poškozený (" + what + ") a nelze jej odložit (" + std::strerror(e) +
                 "). Program začíná s výchozím nastavením a soubor nezmění.";
    }
  }
  std::fprintf(stderr, "osciloskop: %s\n", r.notice.c_str());
}

bool RegistryStore::writable(RootState& r) {
  if (r.locked) return false;
  FileOps& ops = files();
  std::string folder = FolderOf(r.path);
  if (MakeFolders(ops, folder) != 0 || ops.access(folder, W_OK | X_OK) != 0) return false;
  return ops.access(r.path, F_OK) != 0 || ops.access(r.path, W_OK) == 0;
}

LSTATUS RegistryStore::save(RootState& r) {
  if (!r.dirty || r.retired) return ERROR_SUCCESS;
  if (r.locked) return ERROR_ACCESS_DENIED;
  FileOps& ops = files();
  int err = MakeFolders(ops, FolderOf(r.path));
  if (err == 0) err = WriteFileAtomically(ops, r.path, FormatRegistryText(*r.tree, r.name));
  if (err != 0) return StatusFromErrno(err);
  r.dirty = false;
  return ERROR_SUCCESS;
}

void RegistryStore::changed(RootState& r, const RegKeyNode& key, UndoStep step) {
  if (!key.is_volatile) r.dirty = true;
  if (r.in_transaction) r.undo.push_back(std::move(step));
}

void RegistryStore::undo(RootState& r) {
  for (auto it = r.undo.rbegin(); it != r.undo.rend(); ++it) {
    switch (it->kind) {
      case UndoStep::Kind::SetValue:
        if (it->old_value) {
          it->key->set_value(it->name, *it->old_value);
        } else {
          it->key->erase_value(it->name);
        }
        break;
      case UndoStep::Kind::CreateKey:
        it->key->subkeys.erase(it->subkey->name);
        it->subkey->deleted = true;
        break;
      case UndoStep::Kind::DeleteKey:
        it->key->subkeys.emplace(it->subkey->name, it->subkey);
        it->subkey->deleted = false;
        break;
    }
  }
  r.undo.clear();
  r.dirty = r.dirty_before;
  r.in_transaction = false;
}

}  // namespace osc::win::detail
