#include "seriallink/port_check.h"

#include "platform/comm/comm.h"
#include "platform/comm/comm_device.h"
#include "platform/comm/comm_posix.h"

#include <grp.h>
#include <pwd.h>
#include <signal.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace osc {
namespace {

namespace fs = std::filesystem;

std::string Trim(std::string s) {
  const auto blank = [](unsigned char c) { return std::isspace(c) != 0; };
  s.erase(s.begin(), std::find_if_not(s.begin(), s.end(), blank));
  s.erase(std::find_if_not(s.rbegin(), s.rend(), blank).base(), s.end());
  return s;
}

std::string Upper(std::string s) {
  for (char& c : s)
    c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

// ", COM1 až COM256, SIM4 nebo SIM2": the port forms, the listed devices last.
std::string ListedNames() {
  std::vector<std::string> names{"COM1 až COM256"};
  for (const win::ListedCommDevice& d : win::ListedCommDevices())
    names.push_back(d.Name);
  std::string text;
  for (std::size_t k = 0; k < names.size(); ++k)
    text += (k == 0 ? ", " : k + 1 == names.size() ? " nebo " : ", ") + names[k];
  return text;
}

bool StartsWith(const std::string& s, const char* prefix) {
  return s.rfind(prefix, 0) == 0;
}

// The device behind symbolic links (/dev/serial/by-id/...), or the path as given.
std::string Resolved(const std::string& device) {
  std::error_code ec;
  fs::path p = fs::canonical(device, ec);
  return ec ? device : p.string();
}

// "ttyUSB0" for /dev/ttyUSB0, "pts/3" for /dev/pts/3.
std::string TtyName(const std::string& device) {
  const std::string path = Resolved(device);
  return StartsWith(path, "/dev/") ? path.substr(5) : fs::path(path).filename().string();
}

// The USB device above a tty in sysfs: its product name and vendor:product ids.
std::string UsbProduct(const std::string& tty, TPortCheckSys& sys) {
  std::error_code ec;
  const fs::path root = fs::canonical(sys.SysfsRoot, ec);
  fs::path dir = fs::canonical(fs::path(sys.SysfsRoot) / "class" / "tty" / tty / "device", ec);
  if (ec) return "";
  // The USB device is a few levels above the tty (interface, then device); never leave sysfs.
  for (int up = 0; up < 8 && dir != root && StartsWith(dir.string(), root.string().c_str());
       ++up, dir = dir.parent_path()) {
    const std::string vendor = Trim(sys.ReadText((dir / "idVendor").string()));
    if (vendor.empty()) continue;
    std::string name = Trim(sys.ReadText((dir / "product").string()));
    if (name.empty()) name = Trim(sys.ReadText((dir / "manufacturer").string()));
    if (name.empty()) name = "USB";
    return name + " (" + vendor + ":" + Trim(sys.ReadText((dir / "idProduct").string())) + ")";
  }
  return "";
}

std::string Product(const std::string& device, TPortCheckSys& sys) {
  const std::string tty = TtyName(device);
  if (std::string usb = UsbProduct(tty, sys); !usb.empty()) return usb;
  if (StartsWith(tty, "ttyS")) return "vestavěný sériový port";
  if (StartsWith(tty, "rfcomm")) return "Bluetooth";
  if (StartsWith(tty, "pts/")) return "pseudoterminál";
  return "";
}

bool Contains(const std::vector<gid_t>& groups, gid_t gid) {
  return std::find(groups.begin(), groups.end(), gid) != groups.end();
}

void AddHolder(std::vector<TPortHolder>& holders, int pid, bool exclusive) {
  for (TPortHolder& h : holders) {
    if (h.Pid == pid) {
      h.Exclusive = h.Exclusive || exclusive;
      return;
    }
  }
  holders.push_back({pid, "", exclusive});
}

// Processes holding a lock on the device node: /proc/locks names the node by the
// major:minor (hexadecimal) of its file system and its inode.
void LockHolders(const struct stat& st, TPortCheckSys& sys, std::vector<TPortHolder>& holders) {
  char node[64];
  std::snprintf(node, sizeof node, "%02x:%02x:%llu", major(st.st_dev), minor(st.st_dev),
                static_cast<unsigned long long>(st.st_ino));
  std::istringstream lines(sys.ReadText(sys.ProcRoot + "/locks"));
  std::string line;
  while (std::getline(lines, line)) {
    std::istringstream f(line);
    std::string id, type, mode, access, where;
    int pid = 0;
    if (!(f >> id >> type)) continue;
    if (type == "->") continue;  // waiting for the lock, not holding it
    if (!(f >> mode >> access >> pid >> where) || type == "LEASE") continue;
    if (where == node && pid > 0) AddHolder(holders, pid, true);
  }
}

// A live process named by a UUCP lock file (ten-digit text, or a binary int of old).
void LockFileHolders(const std::string& device, TPortCheckSys& sys, std::vector<TPortHolder>& holders) {
  std::string name = TtyName(device);
  std::replace(name.begin(), name.end(), '/', '_');
  for (const std::string& dir : sys.LockDirs) {
    const std::string text = sys.ReadText(dir + "/LCK.." + name);
    if (text.empty()) continue;
    int pid = 0;
    if (text.size() == sizeof(int) && !std::isdigit(static_cast<unsigned char>(Trim(text).c_str()[0]))) {
      std::memcpy(&pid, text.data(), sizeof pid);
    } else {
      pid = std::atoi(Trim(text).c_str());
    }
    if (pid > 0 && sys.ProcessAlive(pid)) AddHolder(holders, pid, true);
  }
}

// Processes with the device open, as far as /proc lets this user see them.
void OpenHolders(const std::string& device, TPortCheckSys& sys, std::vector<TPortHolder>& holders) {
  const std::string target = Resolved(device);
  std::error_code ec;
  for (fs::directory_iterator p(sys.ProcRoot, ec), end; !ec && p != end; p.increment(ec)) {
    const std::string pidText = p->path().filename().string();
    if (pidText.empty() ||
        !std::all_of(pidText.begin(), pidText.end(), [](char c) { return c >= '0' && c <= '9'; }))
      continue;
    std::error_code e;
    for (fs::directory_iterator fd(p->path() / "fd", e), fdEnd; !e && fd != fdEnd; fd.increment(e)) {
      std::error_code l;
      if (fs::read_symlink(fd->path(), l).string() == target && !l) {
        AddHolder(holders, std::stoi(pidText), false);
        break;
      }
    }
  }
}

void CheckPermission(const struct stat& st, TPortCheckSys& sys, TPortReport& r) {
  r.State = TPortState::NoPermission;
  const std::string group = sys.GroupName(st.st_gid);
  if (group.empty() || group == "root" || Contains(sys.ProcessGroups(), st.st_gid)) return;
  r.Group = group;
  r.User = sys.UserName();
  r.GroupAfterLogin = Contains(sys.UserGroups(), st.st_gid);
}

bool IsSerialLine(const struct stat& st, TPortCheckSys& sys) {
  if (!S_ISCHR(st.st_mode)) return false;
  const std::string drivers = sys.ReadText(sys.ProcRoot + "/tty/drivers");
  if (drivers.empty()) return true;  // no /proc: opening will tell
  return win::detail::tty_driver_kind(drivers, major(st.st_rdev), minor(st.st_rdev)) !=
         win::detail::TtyKind::kNone;
}

std::string HolderList(const std::vector<TPortHolder>& holders, bool exclusive) {
  std::string out;
  for (const TPortHolder& h : holders) {
    if (h.Exclusive != exclusive) continue;
    if (!out.empty()) out += ", ";
    out += (h.Program.empty() ? std::string("jiný program") : h.Program) + " (PID " + std::to_string(h.Pid) +
           ")";
  }
  return out;
}

}  // namespace

int TPortCheckSys::Stat(const std::string& path, struct stat* st) {
  return ::stat(path.c_str(), st);
}

int TPortCheckSys::AccessReadWrite(const std::string& path) {
  return ::access(path.c_str(), R_OK | W_OK);
}

std::vector<gid_t> TPortCheckSys::ProcessGroups() {
  std::vector<gid_t> groups(static_cast<std::size_t>(std::max(0, ::getgroups(0, nullptr))));
  const int n = ::getgroups(static_cast<int>(groups.size()), groups.data());
  groups.resize(static_cast<std::size_t>(std::max(0, n)));
  groups.push_back(::getegid());
  return groups;
}

std::vector<gid_t> TPortCheckSys::UserGroups() {
  const std::string user = UserName();
  if (user.empty()) return {};
  int n = 64;
  std::vector<gid_t> groups(static_cast<std::size_t>(n));
  if (::getgrouplist(user.c_str(), ::getgid(), groups.data(), &n) < 0) {
    groups.resize(static_cast<std::size_t>(n));
    if (::getgrouplist(user.c_str(), ::getgid(), groups.data(), &n) < 0) return {};
  }
  groups.resize(static_cast<std::size_t>(n));
  return groups;
}

std::string TPortCheckSys::GroupName(gid_t gid) {
  group g{};
  group* found = nullptr;
  std::vector<char> buffer(16384);
  if (::getgrgid_r(gid, &g, buffer.data(), buffer.size(), &found) != 0 || found == nullptr) return "";
  return g.gr_name;
}

std::string TPortCheckSys::UserName() {
  passwd p{};
  passwd* found = nullptr;
  std::vector<char> buffer(16384);
  if (::getpwuid_r(::getuid(), &p, buffer.data(), buffer.size(), &found) != 0 || found == nullptr) return "";
  return p.pw_name;
}

bool TPortCheckSys::ProcessAlive(int pid) {
  return ::kill(pid, 0) == 0 || errno == EPERM;
}

int TPortCheckSys::OwnPid() {
  return static_cast<int>(::getpid());
}

std::string TPortCheckSys::ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return in ? s.str() : std::string();
}

TPortReport DescribePort(const std::string& port, TPortCheckSys& sys) {
  TPortReport r;
  r.Port = port;
  const std::string upper = Upper(port);
  for (const win::ListedCommDevice& d : win::ListedCommDevices()) {
    if (Upper(d.Name) == upper) {
      r.State = TPortState::Simulated;
      r.Product = d.Description;
      return r;
    }
  }
  r.Device = win::CommDevicePath(port);
  if (!StartsWith(r.Device, "/dev/")) {
    r.State = TPortState::Unknown;
    r.Device.clear();
    return r;
  }
  r.Product = Product(r.Device, sys);
  return r;
}

TPortReport InspectPort(const std::string& port, TPortCheckSys& sys) {
  TPortReport r = DescribePort(port, sys);
  if (r.State != TPortState::Ready) return r;
  struct stat st {};
  if (sys.Stat(r.Device, &st) != 0) {
    const int e = errno;
    if (e == EACCES || e == EPERM) {
      r.State = TPortState::NoPermission;
    } else if (e == ENOENT || e == ENOTDIR || e == ENODEV || e == ENXIO) {
      r.State = TPortState::Missing;
    } else {
      r.State = TPortState::Failed;
      r.Errno = e;
    }
    return r;
  }
  if (!IsSerialLine(st, sys)) {
    r.State = TPortState::NotSerial;
    return r;
  }
  if (sys.AccessReadWrite(r.Device) != 0) {
    const int e = errno;
    if (e == EACCES || e == EPERM || e == EROFS) {
      CheckPermission(st, sys, r);
    } else {
      r.State = TPortState::Failed;
      r.Errno = e;
    }
    return r;
  }
  LockHolders(st, sys, r.Holders);
  LockFileHolders(r.Device, sys, r.Holders);
  OpenHolders(r.Device, sys, r.Holders);
  const int own = sys.OwnPid();
  std::erase_if(r.Holders, [own](const TPortHolder& h) { return h.Pid == own; });
  for (TPortHolder& h : r.Holders) {
    h.Program = Trim(sys.ReadText(sys.ProcRoot + "/" + std::to_string(h.Pid) + "/comm"));
    if (h.Exclusive) r.State = TPortState::Busy;
  }
  return r;
}

std::string PortSummary(const TPortReport& r) {
  if (r.State == TPortState::Simulated) return r.Port + " – " + r.Product;
  if (r.Device.empty()) return "";
  std::string s = r.Device == r.Port ? r.Device : r.Port + " = " + r.Device;
  if (!r.Product.empty()) s += " – " + r.Product;
  return s;
}

std::string PortProblem(const TPortReport& r) {
  switch (r.State) {
    case TPortState::Ready:
    case TPortState::Simulated:
      return "";
    case TPortState::Unknown:
      return "Port „" + r.Port + "“ neexistuje: zadejte zařízení (/dev/...)" + ListedNames() + ".";
    case TPortState::Missing:
      return "Zařízení " + r.Device + " neexistuje. Je adaptér připojen?";
    case TPortState::NotSerial:
      return r.Device + " není sériový port.";
    case TPortState::NoPermission:
      if (r.Group.empty()) return "Nemáte oprávnění ke čtení a zápisu " + r.Device + ".";
      if (r.GroupAfterLogin) {
        return "Nemáte oprávnění k " + r.Device + ": do skupiny " + r.Group +
               " patříte až od příštího přihlášení. Odhlaste se a znovu se přihlaste.";
      }
      return "Nemáte oprávnění k " + r.Device + ". Přidejte se do skupiny " + r.Group +
             " a znovu se přihlaste:\nsudo usermod -aG " + r.Group + " " +
             (r.User.empty() ? "$USER" : r.User);
    case TPortState::Busy:
      return "Port je obsazen: používá ho " + HolderList(r.Holders, true) + ".";
    case TPortState::Failed:
      return "Zařízení " + r.Device + " nelze prověřit: " + std::strerror(r.Errno) + ".";
  }
  return "";
}

std::string PortSharing(const TPortReport& r) {
  if (r.State != TPortState::Ready) return "";
  const std::string sharing = HolderList(r.Holders, false);
  return sharing.empty() ? "" : "Port má otevřený také " + sharing + "; přijatá data si mohou rozdělit.";
}

}  // namespace osc
