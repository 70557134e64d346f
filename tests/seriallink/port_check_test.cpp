// What the port check tells about a port: real pseudo-terminals, real locks and /proc
// where this machine has them; a system that answers as told for permissions.
#include "seriallink/port_check.h"

#include "platform/comm/comm_device.h"

#include "support/comm_support.h"
#include "support/temp_dir.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>

using namespace osc;

namespace {

namespace fs = std::filesystem;

void WriteFile(const fs::path& path, const std::string& text) {
  fs::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << text;
}

// The real system, except what a test sets.
class TestSys : public TPortCheckSys {
 public:
  std::optional<struct stat> stat_result;
  int access_errno = 0;
  std::vector<gid_t> process_groups = {1000};
  std::vector<gid_t> user_groups = {1000};
  std::map<gid_t, std::string> group_names = {{20, "dialout"}, {0, "root"}};
  std::string user = "jan";
  std::optional<int> own_pid;
  std::map<int, bool> alive;

  int Stat(const std::string& path, struct stat* st) override {
    if (!stat_result) return TPortCheckSys::Stat(path, st);
    *st = *stat_result;
    return 0;
  }
  int AccessReadWrite(const std::string& path) override {
    if (access_errno == 0) return TPortCheckSys::AccessReadWrite(path);
    errno = access_errno;
    return -1;
  }
  std::vector<gid_t> ProcessGroups() override { return process_groups; }
  std::vector<gid_t> UserGroups() override { return user_groups; }
  std::string GroupName(gid_t gid) override { return group_names.count(gid) ? group_names[gid] : ""; }
  std::string UserName() override { return user; }
  int OwnPid() override { return own_pid ? *own_pid : TPortCheckSys::OwnPid(); }
  bool ProcessAlive(int pid) override { return alive[pid]; }
};

// A device node as stat shows it: a serial line (major 4, minor 64: ttyS0) of group 20.
struct stat SerialNode() {
  struct stat st {};
  st.st_mode = S_IFCHR | 0660;
  st.st_rdev = makedev(4, 64);
  st.st_dev = makedev(0, 5);
  st.st_ino = 1053;
  st.st_gid = 20;
  return st;
}

// A /proc of the test's own: the tty driver list and whatever a test adds.
struct FakeProc {
  test::TempDir dir;
  explicit FakeProc(TestSys& sys) {
    sys.ProcRoot = dir.path();
    WriteFile(fs::path(dir.path()) / "tty" / "drivers",
              "/dev/tty             /dev/tty        5       0 system:/dev/tty\n"
              "serial               /dev/ttyS       4 64-111 serial\n"
              "pty_slave            /dev/pts      136 0-1048575 pty:slave\n");
  }
  void Process(int pid, const std::string& comm) {
    WriteFile(fs::path(dir.path()) / std::to_string(pid) / "comm", comm + "\n");
  }
};

}  // namespace

TEST(PortCheck, ListedDevicesAndUnknownNames) {
  win::RegisterCommDevice("SIM4", {}, "simulovaný modul, 4 kanály");
  win::RegisterCommDevice("SIM2", {}, "simulovaný modul, 2 kanály");
  TestSys sys;
  TPortReport sim = InspectPort("sim4", sys);
  EXPECT_EQ(sim.State, TPortState::Simulated);
  EXPECT_EQ(PortSummary(sim), "sim4 – simulovaný modul, 4 kanály");
  EXPECT_EQ(PortProblem(sim), "");

  TPortReport unknown = InspectPort("FOO", sys);
  EXPECT_EQ(unknown.State, TPortState::Unknown);
  EXPECT_EQ(PortSummary(unknown), "");
  EXPECT_EQ(PortProblem(unknown),
            "Port „FOO“ neexistuje: zadejte zařízení (/dev/...), COM1 až COM256, SIM4 nebo SIM2.");
}

TEST(PortCheck, ComNamesShowTheirDevice) {
  TestSys sys;
  test::TempDir sysfs;
  sys.SysfsRoot = sysfs.path();
  EXPECT_EQ(PortSummary(DescribePort("COM3", sys)), "COM3 = /dev/ttyS2 – vestavěný sériový port");
  EXPECT_EQ(PortSummary(DescribePort("COM65", sys)), "COM65 = /dev/ttyUSB0");
}

TEST(PortCheck, UsbAdaptersShowTheirProductName) {
  TestSys sys;
  test::TempDir sysfs;
  sys.SysfsRoot = sysfs.path();
  const fs::path usb = fs::path(sysfs.path()) / "devices" / "pci0000:00" / "usb1" / "1-2";
  const fs::path tty = usb / "1-2:1.0" / "ttyUSB7";
  fs::create_directories(tty);
  fs::create_directories(fs::path(sysfs.path()) / "class" / "tty" / "ttyUSB7");
  fs::create_directory_symlink(tty, fs::path(sysfs.path()) / "class" / "tty" / "ttyUSB7" / "device");
  WriteFile(usb / "idVendor", "0403\n");
  WriteFile(usb / "idProduct", "6001\n");
  WriteFile(usb / "manufacturer", "FTDI\n");
  WriteFile(usb / "product", "FT232R USB UART\n");
  EXPECT_EQ(DescribePort("/dev/ttyUSB7", sys).Product, "FT232R USB UART (0403:6001)");
  fs::remove(usb / "product");
  EXPECT_EQ(DescribePort("/dev/ttyUSB7", sys).Product, "FTDI (0403:6001)");
  fs::remove(usb / "manufacturer");
  EXPECT_EQ(DescribePort("/dev/ttyUSB7", sys).Product, "USB (0403:6001)");
  EXPECT_EQ(PortSummary(DescribePort("/dev/ttyUSB7", sys)), "/dev/ttyUSB7 – USB (0403:6001)");
}

TEST(PortCheck, MissingDevicesAndOtherFilesCannotBeOpened) {
  TestSys sys;
  TPortReport missing = InspectPort("/dev/ttyUSB-osc-test-missing", sys);
  EXPECT_EQ(missing.State, TPortState::Missing);
  EXPECT_EQ(PortProblem(missing), "Zařízení /dev/ttyUSB-osc-test-missing neexistuje. Je adaptér připojen?");

  TPortReport null = InspectPort("/dev/null", sys);
  EXPECT_EQ(null.State, TPortState::NotSerial);
  EXPECT_EQ(PortProblem(null), "/dev/null není sériový port.");

  FakeProc proc(sys);
  sys.stat_result = SerialNode();
  sys.stat_result->st_rdev = makedev(5, 0);  // the controlling terminal
  EXPECT_EQ(InspectPort("/dev/ttyS0", sys).State, TPortState::NotSerial);
  sys.stat_result->st_mode = S_IFREG | 0666;
  sys.stat_result->st_rdev = makedev(4, 64);
  EXPECT_EQ(InspectPort("/dev/ttyS0", sys).State, TPortState::NotSerial);
}

TEST(PortCheck, APseudoTerminalNobodyHoldsIsReady) {
  test::PtyPair pty;
  TestSys sys;
  TPortReport r = InspectPort(pty.path(), sys);
  EXPECT_EQ(r.State, TPortState::Ready);
  EXPECT_EQ(r.Product, "pseudoterminál");
  EXPECT_TRUE(r.Holders.empty());  // the test's own handle is this program's
  EXPECT_EQ(PortProblem(r), "");
  EXPECT_EQ(PortSummary(r), pty.path() + " – pseudoterminál");
}

TEST(PortCheck, ALockOfAnotherProcessMakesThePortBusy) {
  test::PtyPair pty;
  const int fd = ::open(pty.path().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(::flock(fd, LOCK_EX | LOCK_NB), 0);
  TestSys sys;
  EXPECT_EQ(InspectPort(pty.path(), sys).State, TPortState::Ready);  // our own lock

  sys.own_pid = -1;  // as another process sees it
  TPortReport r = InspectPort(pty.path(), sys);
  EXPECT_EQ(r.State, TPortState::Busy);
  ASSERT_EQ(r.Holders.size(), 1u);
  EXPECT_EQ(r.Holders[0].Pid, ::getpid());
  EXPECT_TRUE(r.Holders[0].Exclusive);
  const std::string comm = TPortCheckSys().ReadText("/proc/self/comm");
  EXPECT_EQ(PortProblem(r), "Port je obsazen: používá ho " + comm.substr(0, comm.size() - 1) + " (PID " +
                                std::to_string(::getpid()) + ").");

  ::flock(fd, LOCK_UN);
  r = InspectPort(pty.path(), sys);
  EXPECT_EQ(r.State, TPortState::Ready);  // open without a lock: shared, not busy
  ASSERT_EQ(r.Holders.size(), 1u);
  EXPECT_FALSE(r.Holders[0].Exclusive);
  EXPECT_EQ(PortProblem(r), "");  // sharing does not stop the port from working
  EXPECT_NE(PortSharing(r).find("Port má otevřený také "), std::string::npos) << PortSharing(r);
  ::close(fd);
}

TEST(PortCheck, LocksAreReadFromProcLocksForTheDeviceNodeOnly) {
  TestSys sys;
  FakeProc proc(sys);
  sys.stat_result = SerialNode();
  sys.own_pid = 1;
  proc.Process(300, "minicom");
  WriteFile(fs::path(proc.dir.path()) / "locks",
            "1: FLOCK  ADVISORY  WRITE 100 00:05:1054 0 EOF\n"     // another node
            "2: POSIX  ADVISORY  WRITE 200 00:06:1053 0 EOF\n"     // another file system
            "2: -> FLOCK  ADVISORY  WRITE 250 00:05:1053 0 EOF\n"  // waiting
            "3: LEASE  ACTIVE    READ  260 00:05:1053 0 EOF\n"
            "4: FLOCK  ADVISORY  WRITE 1 00:05:1053 0 EOF\n"  // this process
            "5: POSIX  ADVISORY  WRITE 300 00:05:1053 0 EOF\n");
  TPortReport r = InspectPort("/dev/ttyS0", sys);
  EXPECT_EQ(r.State, TPortState::Busy);
  ASSERT_EQ(r.Holders.size(), 1u);
  EXPECT_EQ(r.Holders[0].Pid, 300);
  EXPECT_EQ(PortProblem(r), "Port je obsazen: používá ho minicom (PID 300).");
}

TEST(PortCheck, LiveUucpLockFilesMakeThePortBusy) {
  TestSys sys;
  FakeProc proc(sys);
  test::TempDir locks;
  sys.LockDirs = {locks.path()};
  sys.stat_result = SerialNode();
  sys.alive = {{4242, true}, {77, false}};
  WriteFile(fs::path(locks.path()) / "LCK..ttyS0", "      4242\n");
  TPortReport r = InspectPort("/dev/ttyS0", sys);
  EXPECT_EQ(r.State, TPortState::Busy);
  EXPECT_EQ(PortProblem(r), "Port je obsazen: používá ho jiný program (PID 4242).");

  WriteFile(fs::path(locks.path()) / "LCK..ttyS0", "        77\n");  // stale
  EXPECT_EQ(InspectPort("/dev/ttyS0", sys).State, TPortState::Ready);
  const int pid = 4242;
  WriteFile(fs::path(locks.path()) / "LCK..ttyS0",
            std::string(reinterpret_cast<const char*>(&pid), sizeof pid));
  EXPECT_EQ(InspectPort("/dev/ttyS0", sys).State, TPortState::Busy);
}

TEST(PortCheck, NoPermissionNamesTheGroupToJoin) {
  struct Case {
    const char* what;
    std::vector<gid_t> process, user;
    gid_t device_group;
    const char* problem;
  } cases[] = {
      {"not a member",
       {1000},
       {1000},
       20,
       "Nemáte oprávnění k /dev/ttyS0. Přidejte se do skupiny dialout a znovu se přihlaste:\n"
       "sudo usermod -aG dialout jan"},
      {"member since the last login",
       {1000},
       {1000, 20},
       20,
       "Nemáte oprávnění k /dev/ttyS0: do skupiny dialout patříte až od příštího přihlášení. Odhlaste se a "
       "znovu se přihlaste."},
      {"member, but the group may not write",
       {1000, 20},
       {1000, 20},
       20,
       "Nemáte oprávnění ke čtení a zápisu /dev/ttyS0."},
      {"owned by root", {1000}, {1000}, 0, "Nemáte oprávnění ke čtení a zápisu /dev/ttyS0."},
      {"a group without a name", {1000}, {1000}, 4711, "Nemáte oprávnění ke čtení a zápisu /dev/ttyS0."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TestSys sys;
    FakeProc proc(sys);
    sys.stat_result = SerialNode();
    sys.stat_result->st_gid = c.device_group;
    sys.access_errno = EACCES;
    sys.process_groups = c.process;
    sys.user_groups = c.user;
    TPortReport r = InspectPort("/dev/ttyS0", sys);
    EXPECT_EQ(r.State, TPortState::NoPermission);
    EXPECT_EQ(PortProblem(r), c.problem);
  }
}

TEST(PortCheck, OtherFailuresAreNamed) {
  TestSys sys;
  FakeProc proc(sys);
  sys.stat_result = SerialNode();
  sys.access_errno = EIO;
  TPortReport r = InspectPort("/dev/ttyS0", sys);
  EXPECT_EQ(r.State, TPortState::Failed);
  EXPECT_EQ(PortProblem(r), std::string("Zařízení /dev/ttyS0 nelze prověřit: ") + std::strerror(EIO) + ".");
}
