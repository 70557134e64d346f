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

  ::flock(fd, LOCK_UN);
  r = InspectPort(pty.path(), sys);
  EXPECT_EQ(r.State, TPortState::Ready);  // open without a lock: shared, not busy
  ASSERT_EQ(r.Holders.size(), 1u);
  EXPECT_FALSE(r.Holders[0].Exclusive);
  EXPECT_EQ(PortProblem(r), "") << "sharing does not stop the port";
  EXPECT_FALSE(PortSharing(r).empty()) << "but it is worth a note";
  ::close(fd);
}

// A serial node (ttyS0 of group 20) as the system shows it, each case changing one thing.
struct Case {
  const char* what;
  TPortState state;
  int holder = 0;  // the pid holding it
  const char* port = "/dev/ttyS0";
  std::string procLocks = "";  // /proc/locks
  std::string lockFile = "";   // LCK..ttyS0
  mode_t mode = S_IFCHR | 0660;
  dev_t rdev = makedev(4, 64);
  int accessErrno = 0;
  bool exists = true;
};

TEST(PortCheck, WhatStandsInTheWay) {
  win::RegisterCommDevice("SIM4", {}, "simulovaný modul, 4 kanály");
  const int binaryPid = 4242;
  const Case cases[] = {
      {.what = "listed simulated module", .state = TPortState::Simulated, .port = "sim4"},
      {.what = "unknown name", .state = TPortState::Unknown, .port = "FOO"},
      {.what = "missing device",
       .state = TPortState::Missing,
       .port = "/dev/ttyUSB-osc-test-missing",
       .exists = false},
      {.what = "not a character device", .state = TPortState::NotSerial, .mode = S_IFREG | 0666},
      {.what = "the controlling terminal", .state = TPortState::NotSerial, .rdev = makedev(5, 0)},
      {.what = "locks of other nodes, waiting and own locks only",
       .state = TPortState::Ready,
       .procLocks = "1: FLOCK  ADVISORY  WRITE 100 00:05:1054 0 EOF\n"     // another node
                    "2: POSIX  ADVISORY  WRITE 200 00:06:1053 0 EOF\n"     // another file system
                    "2: -> FLOCK  ADVISORY  WRITE 250 00:05:1053 0 EOF\n"  // waiting
                    "3: LEASE  ACTIVE    READ  260 00:05:1053 0 EOF\n"
                    "4: FLOCK  ADVISORY  WRITE 1 00:05:1053 0 EOF\n"},  // this process
      {.what = "a POSIX lock in /proc/locks",
       .state = TPortState::Busy,
       .holder = 300,
       .procLocks = "5: POSIX  ADVISORY  WRITE 300 00:05:1053 0 EOF\n"},
      {.what = "a live UUCP lock file",
       .state = TPortState::Busy,
       .holder = 4242,
       .lockFile = "      4242\n"},
      {.what = "a binary UUCP lock file",
       .state = TPortState::Busy,
       .holder = 4242,
       .lockFile = std::string(reinterpret_cast<const char*>(&binaryPid), sizeof binaryPid)},
      {.what = "a stale UUCP lock file", .state = TPortState::Ready, .lockFile = "        77\n"},
      {.what = "an error looking at it", .state = TPortState::Failed, .accessErrno = EIO},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TestSys sys;
    FakeProc proc(sys);
    test::TempDir locks;
    sys.LockDirs = {locks.path()};
    sys.own_pid = 1;
    sys.alive = {{4242, true}, {77, false}};
    proc.Process(300, "minicom");
    if (c.exists) {
      sys.stat_result = SerialNode();
      sys.stat_result->st_mode = c.mode;
      sys.stat_result->st_rdev = c.rdev;
    }
    sys.access_errno = c.accessErrno;
    if (!c.procLocks.empty()) WriteFile(fs::path(proc.dir.path()) / "locks", c.procLocks);
    if (!c.lockFile.empty()) WriteFile(fs::path(locks.path()) / "LCK..ttyS0", c.lockFile);
    TPortReport r = InspectPort(c.port, sys);
    EXPECT_EQ(r.State, c.state);
    EXPECT_EQ(r.Holders.empty() ? 0 : r.Holders[0].Pid, c.holder);
    EXPECT_EQ(PortProblem(r).empty(), c.state == TPortState::Ready || c.state == TPortState::Simulated);
  }
}

TEST(PortCheck, NoPermissionNamesTheGroupToJoin) {
  struct Row {
    const char* what;
    std::vector<gid_t> process, user;
    gid_t device_group;
    std::string group;
    bool afterLogin;
  } rows[] = {
      {"not a member", {1000}, {1000}, 20, "dialout", false},
      {"member since the last login", {1000}, {1000, 20}, 20, "dialout", true},
      {"member, but the group may not write", {1000, 20}, {1000, 20}, 20, "", false},
      {"owned by root", {1000}, {1000}, 0, "", false},
      {"a group without a name", {1000}, {1000}, 4711, "", false},
  };
  for (const Row& c : rows) {
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
    EXPECT_EQ(r.Group, c.group);
    EXPECT_EQ(r.GroupAfterLogin, c.afterLogin);
  }
}
