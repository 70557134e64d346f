// End to end: the osc-simpty tool serves the simulated module on a pseudo-terminal, and
// the protocol reaches it through the real termios backend, as on a serial line.
#include "acquisition/protocol.h"

#include "platform/comm/comm.h"
#include "platform/kernel/kernel.h"
#include "simulator/signal.h"
#include "support/protocol_rig.h"

#include <gtest/gtest.h>

#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <csignal>

extern char** environ;

namespace osc::test {
namespace {

// The tool as a child process; its first output line is the terminal's path.
class SimPtyProcess {
 public:
  explicit SimPtyProcess(std::vector<std::string> args) {
    int out[2];
    if (pipe(out) != 0) return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    args.insert(args.begin(), OSC_SIMPTY_PATH);
    std::vector<char*> argv;
    for (auto& a : args)
      argv.push_back(a.data());
    argv.push_back(nullptr);
    if (posix_spawn(&pid_, OSC_SIMPTY_PATH, &actions, nullptr, argv.data(), environ) != 0) pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    char c;
    pollfd p{out[0], POLLIN, 0};
    while (poll(&p, 1, 10000) == 1 && read(out[0], &c, 1) == 1 && c != '\n')
      path_ += c;
    close(out[0]);
  }
  ~SimPtyProcess() {
    if (pid_ <= 0) return;
    kill(pid_, SIGTERM);
    int status = 0;
    waitpid(pid_, &status, 0);
  }
  const std::string& path() const { return path_; }

 private:
  pid_t pid_ = -1;
  std::string path_;
};

class ProtocolPtyTest : public ::testing::TestWithParam<bool> {};

TEST_P(ProtocolPtyTest, IdentifyParametersStartStreamStop) {
  SimPtyProcess tool({"--rate", "10", "--signal", "all=pattern"});
  ASSERT_EQ(tool.path().rfind("/dev/pts/", 0), 0u) << "the tool printed: " << tool.path();

  ProtocolRig rig(GetParam(), tool.path());
  rig.protocol.SetSleep([](win::DWORD ms) { win::Sleep(ms); });  // the real waits
  rig.state.ChannelMask = 0x0B;                                  // slots 1, 2 and 4
  rig.state.ModeWord = 0x0002;
  ASSERT_TRUE(rig.protocol.IdentifyAndSendParameters());
  EXPECT_EQ(rig.state.DeviceType, '4');
  EXPECT_EQ(rig.host.readings.size(), 1u);

  EXPECT_EQ(rig.protocol.SendStartByte(), 0x9B);
  rig.protocol.BeginStartReply();
  const int length = BlockLengthOf(false);
  std::vector<std::uint8_t> data(4 * static_cast<std::size_t>(length));
  if (GetParam()) {
    std::vector<win::OVERLAPPED> records(4);
    for (std::size_t b = 0; b < records.size(); ++b) {
      records[b].hEvent = win::CreateEvent(true, true);
      rig.com.ReadEx(data.data() + b * length, length, &records[b]);
    }
    ASSERT_TRUE(rig.protocol.FinishStartReply());
    for (auto& r : records) {
      ASSERT_EQ(win::WaitForSingleObject(r.hEvent, 5000), win::WAIT_OBJECT_0);
      win::DWORD n = 0;
      EXPECT_TRUE(win::GetOverlappedResult(rig.com.Handle(), &r, &n, 0));
      EXPECT_EQ(n, static_cast<win::DWORD>(length));
      win::CloseHandle(r.hEvent);
    }
  } else {
    ASSERT_TRUE(rig.protocol.FinishStartReply());
    for (int b = 0; b < 4; ++b)
      ASSERT_EQ(rig.com.Read(data.data() + b * length, length), length);
  }
  for (std::size_t k = 0; k < data.size(); ++k) {
    const int slot = std::array{1, 2, 4}[k % 3];
    ASSERT_EQ(data[k], sim::ExpectedSample(slot, k / 3)) << "byte " << k;
  }

  // The terminal carries no break: the tool ends the stream at the identification's
  // purge. Stream bytes it wrote in the instant before it saw the purge can still spoil
  // that identification (the tool's help says so); the next one must then succeed.
  bool stopped = rig.protocol.Stop() || rig.protocol.Identify();
  EXPECT_TRUE(stopped);
  EXPECT_NE(rig.protocol.QueryRawValue(1, false), kNoValue) << "the module takes commands again";
}

INSTANTIATE_TEST_SUITE_P(PortModes, ProtocolPtyTest, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& info) {
                           return info.param ? "Overlapped" : "Blocking";
                         });

}  // namespace
}  // namespace osc::test
