// osc-record: its options, its files against the window's recording of the same signal,
// consecutive sets, stops and kills, and its exit statuses (in-process on "SIM4" and as
// a program on osc-simpty's terminal).
#include "acquisition/record_file.h"
#include "support/recorder_rig.h"
#include "support/scratch_registry.h"
#include "tools/record/record_session.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

extern char** environ;

namespace osc::tools {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), {});
}

std::vector<std::string> Words(const std::string& line) {
  std::istringstream in(line);
  return {std::istream_iterator<std::string>(in), {}};
}

TEST(RecordOptions, ParsesTheWindowsChoicesAndRefusesTheRest) {
  std::string error;
  const auto o = ParseRecordOptions(
      Words("-i 5,2,4 -r 2k -m max --polarity=ac -g x4 --range 16V -d 2h --split 90s -o log/run"), &error);
  ASSERT_TRUE(o) << error;
  EXPECT_TRUE(o->inputs.ch5 && o->inputs.ch2 && o->inputs.ch4 && !o->inputs.ch1);
  EXPECT_EQ(o->sampleIndex, 1);
  EXPECT_EQ(o->acqIndex, 2);
  EXPECT_EQ(o->polarityIndex, 2);
  EXPECT_EQ(o->gainIndex, 2);
  EXPECT_EQ(o->range, "16V");
  EXPECT_EQ(o->duration, 7200);
  EXPECT_EQ(o->setSeconds, 90);
  EXPECT_EQ(o->output, "log/run");
  // 5 is recorded in place of CH 1; a set is no longer than the window's longest record.
  for (const char* bad : {"-i 1,5", "--split 601", "-r 5k", "-d 10x", "-o"}) {
    error.clear();
    EXPECT_FALSE(ParseRecordOptions(Words(bad), &error)) << bad;
    EXPECT_FALSE(error.empty()) << bad;
  }
}

// ---------------------------------------------------------------- in-process, on SIM4

class SessionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    sim::RegisterSimulatedPorts();
    sim::ResetSimulatedModules();
    PrepareModule();
  }
  void TearDown() override { sim::ResetSimulatedModules(); }
  static void PrepareModule() {
    sim::SimulatedModule& m = sim::SimulatedModuleFor("SIM4");
    m.set_pace(10);
    for (int ch = 1; ch <= 6; ++ch)
      m.set_signal(ch, sim::SignalSpec{sim::Waveform::Pattern});
  }
  RecordOptions Options() const {
    RecordOptions o;
    o.port = "SIM4";
    o.output = dir.file("run");
    o.progressSeconds = 0;
    return o;
  }
  // `during` runs after every tick and may raise the stop.
  int Run(const RecordOptions& o,
          const std::function<void(TRecordSession&, std::atomic<int>&)>& during = {}) {
    std::atomic<int> stops{0};
    char* text = nullptr;
    std::size_t size = 0;
    std::FILE* log = open_memstream(&text, &size);
    int status;
    {
      TRecordSession session(o, log, false);
      session.OnTick = [&] {
        if (during) during(session, stops);
      };
      status = session.Run(stops);
    }
    std::fclose(log);
    output.assign(text, size);
    std::free(text);
    return status;
  }
  std::string output;
  test::ScratchRegistry registry;
  test::TempDir dir;
};

TEST_F(SessionTest, LongRecordingsGoOnInSetsThatFollowEachOtherToTheSample) {
  RecordOptions o = Options();
  o.inputs = InputSelection{.ch1 = true, .ch3 = true};
  o.duration = 2.5;
  o.setSeconds = 1;
  ASSERT_EQ(Run(o), kExitOk) << output;
  const std::uint32_t rate = 5760;
  for (int slot : {1, 3}) {
    std::uint64_t index = 0;  // of the whole recording
    double expectedStart = 0;
    for (std::uint32_t set = 0; set < 3; ++set) {
      TRecordStream names(o.output, rate);
      const auto store = CreateFromFile(names.SetFileName(slot, set));
      ASSERT_TRUE(store) << "slot " << slot << " set " << set;
      ASSERT_EQ(store->Count(), set < 2 ? rate : rate / 2) << "slot " << slot << " set " << set;
      if (set > 0) {
        EXPECT_NEAR(store->Start(), expectedStart, 1e-6 / 86400) << "slot " << slot << " set " << set;
      }
      expectedStart = store->Start() + static_cast<double>(store->Count()) / rate / 86400;
      for (std::uint32_t i = 0; i < store->Count(); ++i, ++index)
        ASSERT_EQ(store->Samples()[i], sim::ExpectedSample(slot, index)) << "slot " << slot << " set " << set;
    }
    EXPECT_FALSE(std::filesystem::exists(TRecordStream(o.output, rate).SetFileName(slot, 3)));
  }
}

TEST_F(SessionTest, StopKeepsEveryCompleteBlockAndStaysSmall) {
  RecordOptions o = Options();
  o.inputs = InputSelection{.ch1 = true, .ch2 = true};
  std::size_t largest = 0;
  sim::SimulatedModuleFor("SIM4").set_pace(20);
  // 20 s of module time, more than the recorder's stores hold.
  ASSERT_EQ(Run(o,
                [&](TRecordSession& s, std::atomic<int>& stops) {
                  for (int slot = 1; slot <= 4; ++slot)
                    if (const TDataStore* st = s.Recorder().Store(slot))
                      largest = std::max<std::size_t>(largest, st->Capacity());
                  if (s.Stream()->Written(1) >= 20u * 5760) stops = 1;
                }),
            kExitOk)
      << output;
  EXPECT_LE(largest, 256u + 5760u * TRecordSession::kMemorySeconds);
  const std::uint64_t sent = sim::SimulatedModuleFor("SIM4").stream_bytes();
  std::uint64_t kept = 0;
  for (int slot : {1, 2}) {
    const auto store = CreateFromFile(RecordFileName(o.output, slot));
    ASSERT_TRUE(store);
    EXPECT_TRUE(test::HoldsOwnSequence(store.get(), slot));
    EXPECT_EQ(store->Header().Count, store->Count()) << "the header was made final";
    kept += store->Count();
  }
  // What was still on its way when the break stopped the module: one block at most.
  EXPECT_LT(sent - kept, 2u * TRecorder::kMaxBlockLength) << sent << " bytes sent, " << kept << " kept";
}

// ---------------------------------------------------------------- the program

class Program {
 public:
  explicit Program(std::vector<std::string> args, bool captureStdout = false) {
    int out[2];
    if (pipe2(out, O_CLOEXEC) != 0) return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], captureStdout ? 1 : 2);
    std::vector<char*> argv;
    for (auto& a : args)
      argv.push_back(a.data());
    argv.push_back(nullptr);
    if (posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ) != 0) pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    out_ = out[0];
  }
  ~Program() {
    if (pid_ > 0) {
      kill(pid_, SIGKILL);
      Wait();
    }
    if (out_ >= 0) close(out_);
  }
  // The first line of output (osc-simpty's terminal).
  std::string Line() {
    std::string line;
    char c;
    pollfd p{out_, POLLIN, 0};
    while (poll(&p, 1, 10000) == 1 && read(out_, &c, 1) == 1 && c != '\n')
      line += c;
    return line;
  }
  // Exit status, or 128 + the signal that ended it; everything it wrote.
  int Wait() {
    char buffer[4096];
    ssize_t n;
    while ((n = read(out_, buffer, sizeof buffer)) > 0)
      text.append(buffer, static_cast<std::size_t>(n));
    int status = 0;
    waitpid(pid_, &status, 0);
    pid_ = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  }
  void Signal(int signal) { kill(pid_, signal); }
  std::string text;

 private:
  pid_t pid_ = -1;
  int out_ = -1;
};

std::vector<std::string> Record(const std::string& settings, std::vector<std::string> args) {
  args.insert(args.begin(), {OSC_RECORD_PATH, "--settings-dir", settings});
  return args;
}

// Each exit status once: a usage error, a port problem (missing, or a module without the
// inputs asked for) and a folder that cannot be written.
TEST(ProgramStatus, ExitsWithItsStatus) {
  const std::pair<std::vector<std::string>, int> rows[] = {
      {{"-p", "SIM4", "--range", "99 V"}, kExitUsage},
      {{"-p", "/dev/osc-no-such-port", "-d", "1"}, kExitPort},
      {{"-p", "SIM2", "-i", "3", "-d", "1"}, kExitPort},
      {{"-p", "SIM4", "-o", "/proc/osc-run", "-d", "1"}, kExitIo}};
  for (const auto& [args, status] : rows) {
    test::TempDir dir;
    Program p(Record(dir.file("settings"), args));
    EXPECT_EQ(p.Wait(), status) << ::testing::PrintToString(args) << p.text;
    EXPECT_FALSE(p.text.empty());
  }
}

struct EndCase {
  const char* name;
  std::vector<int> signals;
  bool finished;  // the headers were made final
};

class RecordProgramEnd : public ::testing::TestWithParam<EndCase> {};

// On osc-simpty's terminal: the files open after any end, with every sample written.
TEST_P(RecordProgramEnd, LeavesFilesThatOpen) {
  test::TempDir dir;
  Program module({OSC_SIMPTY_PATH, "--rate", "10", "--signal", "all=pattern"}, true);
  const std::string port = module.Line();
  ASSERT_EQ(port.rfind("/dev/pts/", 0), 0u) << port;
  const std::string name = dir.file("run");
  Program rec(Record(dir.file("settings"), {"-p", port, "-i", "1,2,4", "-o", name, "--progress", "0"}));
  // Samples on the disk are samples kept.
  const auto written = [&] {
    std::error_code e;
    const auto size = std::filesystem::file_size(RecordFileName(name, 4), e);
    return e ? 0 : size;
  };
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (written() < 256 + 3000 && std::chrono::steady_clock::now() < until)
    usleep(10000);
  const std::uintmax_t seen = written() - 256;
  ASSERT_GE(seen, 3000u) << "nothing recorded";
  for (int s : GetParam().signals)
    rec.Signal(s);
  const int status = rec.Wait();
  if (GetParam().finished) {
    EXPECT_EQ(status, kExitOk) << rec.text;
  } else {
    EXPECT_GT(status, 128) << "not ended by the signal at once: " << rec.text;
  }
  const TLoadedRecords loaded =
      LoadRecordFiles({RecordFileName(name, 1), RecordFileName(name, 2), RecordFileName(name, 4)});
  EXPECT_TRUE(loaded.Errors.empty());
  for (int slot : {1, 2, 4}) {
    const TDataStore* store = loaded.Stores[slot - 1].get();
    ASSERT_TRUE(store) << "slot " << slot;
    EXPECT_TRUE(test::HoldsOwnSequence(store, slot));
    EXPECT_GE(store->Count() + 1, seen) << "slot " << slot;
    if (GetParam().finished) {
      EXPECT_EQ(ReadRecordHeader(ReadAll(RecordFileName(name, slot)).data()).Count, store->Count());
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Ends, RecordProgramEnd,
                         ::testing::Values(EndCase{"sigint_finishes", {SIGINT}, true},
                                           EndCase{"killed", {SIGKILL}, false},
                                           // A second signal ends at once.
                                           EndCase{"second_signal", {SIGINT, SIGTERM}, false}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace osc::tools
