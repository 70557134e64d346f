#pragma once
// What the program can tell about a port before it opens it, for the operator choosing
// one: what the port is (its device, the product name of a USB adapter, a simulated
// module) and, when opening it would fail, why: the device is missing, it is no serial
// line, the user lacks the permission (naming the group that grants it), or another
// program holds it (naming the program where the system shows it).
//
// Inspecting is passive: nothing is opened, so no modem line moves and no program using
// the port is disturbed. A port is busy when a process holds a lock on its device node
// (flock or fcntl, as this program and most terminal programs take one; /proc/locks) or a
// live UUCP lock file names it (LCK..<tty> in /run/lock or /var/lock). Processes that
// only have it open are named too, as sharing it (their reads would take the module's
// bytes); only those of the same user can be seen. This process's own locks and handles
// do not count: the program closes its port before it opens another.
#include <sys/stat.h>
#include <sys/types.h>
#include <string>
#include <vector>

namespace osc {

enum class TPortState {
  Ready,         // nothing stands in the way
  Simulated,     // SIM4 or SIM2
  Unknown,       // not a device path, COM name or simulated module
  Missing,       // no such device
  NotSerial,     // a file or device that is no serial line
  NoPermission,  // the user may not read and write it
  Busy,          // another program holds it
  Failed,        // it could not be looked at (Errno)
};

struct TPortHolder {
  int Pid = 0;
  std::string Program;     // its command name; empty when unknown
  bool Exclusive = false;  // it holds a lock on the port
};

struct TPortReport {
  std::string Port;  // as given
  TPortState State = TPortState::Ready;
  std::string Device;                // the device path; empty for a simulated module
  std::string Product;               // what the port is, e.g. "FT232R USB UART (0403:6001)"
  std::string Group;                 // NoPermission: the device's group
  std::string User;                  // NoPermission: who runs the program
  bool GroupAfterLogin = false;      // NoPermission: a member of Group from the next login on
  std::vector<TPortHolder> Holders;  // Busy: who holds it; Ready: who shares it
  int Errno = 0;                     // Failed: why
};

// The operating system as the inspection sees it; tests replace parts of it.
class TPortCheckSys {
 public:
  virtual ~TPortCheckSys() = default;
  virtual int Stat(const std::string& path, struct stat* st);
  // access(2) with R_OK | W_OK: 0, or -1 with errno.
  virtual int AccessReadWrite(const std::string& path);
  virtual std::vector<gid_t> ProcessGroups();
  // The groups the user database gives the user (what the next login gets).
  virtual std::vector<gid_t> UserGroups();
  virtual std::string GroupName(gid_t gid);
  virtual std::string UserName();
  virtual bool ProcessAlive(int pid);
  virtual int OwnPid();
  // Text of a file, empty when it cannot be read.
  virtual std::string ReadText(const std::string& path);

  std::string ProcRoot = "/proc";
  std::string SysfsRoot = "/sys";
  std::vector<std::string> LockDirs = {"/run/lock", "/var/lock"};
};

// What `port` is, without the checks: the device and the product, or the simulated
// module. Cheap; for lists of ports.
TPortReport DescribePort(const std::string& port, TPortCheckSys& sys);
// DescribePort, then whether and why opening it would fail.
TPortReport InspectPort(const std::string& port, TPortCheckSys& sys);

// For the operator, in Czech: what the port is ("COM3 = /dev/ttyS2 – vestavěný sériový
// port"), and what stands in the way (empty when nothing does).
std::string PortSummary(const TPortReport& report);
std::string PortProblem(const TPortReport& report);
// Other programs that have an open port open too (empty when none): no obstacle to
// opening it, but a likely cause when the module's bytes go missing.
std::string PortSharing(const TPortReport& report);

}  // namespace osc
