// Replacing a file: whatever fails or crashes, the file holds its old or its new content.
// Reading one: through interrupted calls, naming the file on errors.
#include "platform/atomic_file.h"
#include "platform/errors.h"
#include "platform/read_file.h"
#include "support/each_failing_step.h"
#include "support/faulty_file_ops.h"
#include "support/scratch_registry.h"
#include "support/small_tmpfs.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>
#include <algorithm>
#include <array>
#include <filesystem>
#include <fstream>

namespace osc {
namespace {

using test::FaultyFileOps;
using test::ScratchRegistry;

std::vector<std::string> FilesIn(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(folder))
    names.push_back(e.path().filename());
  std::sort(names.begin(), names.end());
  return names;
}

std::string Pattern(std::size_t size, char seed) {
  std::string s(size, ' ');
  for (std::size_t i = 0; i < size; ++i)
    s[i] = static_cast<char>('a' + (i * 7 + seed) % 26);
  return s;
}

class AtomicFile : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(WriteFileAtomically(SystemFileOps(), target, oldText), 0); }

  test::TempDir dir;
  std::string target = dir.file("settings.reg");
  std::string oldText = Pattern(300, 1);
  std::string newText = Pattern(5000, 2);
};

TEST_F(AtomicFile, EachFailingStepInTurnLeavesTheOldFileAndNoTemporary) {
  for (int error : {EIO, ENOSPC}) {
    const int failures = test::ForEachFailingStep(
        error,
        [&](test::FailingStep s) {
          s.Ops.max_write = 1000;  // several writes, so each of them gets its turn
          const int result = WriteFileAtomically(s.Ops, target, newText);
          if (result != 0) {
            EXPECT_EQ(result, error);
          }
          return result == 0;
        },
        [&](bool succeeded) {
          EXPECT_EQ(ScratchRegistry::ReadText(target), succeeded ? newText : oldText);
          EXPECT_EQ(FilesIn(dir.path()), std::vector<std::string>{"settings.reg"});
        });
    EXPECT_GE(failures, 8) << "open, 5 writes, fsync, close and rename all precede success";
    ASSERT_EQ(WriteFileAtomically(SystemFileOps(), target, oldText), 0);
  }
}

TEST_F(AtomicFile, ShortWritesAreContinuedAndAWriteStoringNothingFails) {
  FaultyFileOps trickle;
  trickle.max_write = 7;
  ASSERT_EQ(WriteFileAtomically(trickle, target, newText), 0);
  EXPECT_EQ(ScratchRegistry::ReadText(target), newText);

  FaultyFileOps stuck;
  stuck.max_write = 0;
  EXPECT_EQ(WriteFileAtomically(stuck, target, oldText), ENOSPC);
  EXPECT_EQ(ScratchRegistry::ReadText(target), newText);
}

// A process killed at any step of a save (the power-cut case without the disk cache) must
// leave the file old or new; only a temporary file may remain.
TEST_F(AtomicFile, ACrashAtEachStepInTurnLeavesTheOldOrTheNewFile) {
  bool finished = false;
  bool sawNew = false;
  for (int step = 1; step < 100 && !finished; ++step) {
    SCOPED_TRACE("killed at step " + std::to_string(step));
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      FaultyFileOps ops;
      ops.max_write = 1000;
      ops.kill_at_call(step);
      _exit(WriteFileAtomically(ops, target, newText) == 0 ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    finished = WIFEXITED(status);
    if (finished) {
      EXPECT_EQ(WEXITSTATUS(status), 0);
    }
    std::string now = ScratchRegistry::ReadText(target);
    EXPECT_TRUE(now == oldText || now == newText) << "size " << now.size();
    if (sawNew) {
      EXPECT_EQ(now, newText) << "a later crash gave the old content back";
    }
    sawNew = now == newText;
    ASSERT_EQ(WriteFileAtomically(SystemFileOps(), target, oldText), 0);
  }
  EXPECT_TRUE(finished);
}

// Temporary files of a writer that crashed are removed by the next save into the folder
// (a live writer's stay); a target name of the file system's full 255 bytes saves.
TEST_F(AtomicFile, ASaveRemovesACrashedWritersTemporariesAndTakesLongNames) {
  const pid_t gone = ::fork();
  if (gone == 0) _exit(0);
  ::waitpid(gone, nullptr, 0);
  const std::string crashed = ".run.ch1.tmp-" + std::to_string(gone) + "-1";
  const std::string live = ".run.ch1.tmp-" + std::to_string(::getppid()) + "-1";
  std::ofstream(dir.file(crashed)) << "x";
  std::ofstream(dir.file(live)) << "x";
  const std::string name = std::string(251, 'x') + ".ch1";
  ASSERT_EQ(WriteFileAtomically(SystemFileOps(), dir.file(name), newText), 0);
  EXPECT_EQ(ScratchRegistry::ReadText(dir.file(name)), newText);
  std::vector<std::string> expected{live, "settings.reg", name};
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(FilesIn(dir.path()), expected);
}

// A real full disk: a 64 KiB tmpfs. Needs the right to mount (root); skipped otherwise.
TEST(AtomicFileOnAFullDisk, AFailedSaveKeepsTheOldFileWhole) {
  test::SmallTmpfs disk(64 << 10);
  if (!disk.Mounted()) GTEST_SKIP() << "cannot mount a tmpfs here (needs root)";
  std::string target = disk.file("settings.reg");
  std::string oldText = Pattern(20000, 3);
  ASSERT_EQ(WriteFileAtomically(SystemFileOps(), target, oldText), 0);
  EXPECT_EQ(WriteFileAtomically(SystemFileOps(), target, Pattern(200000, 4)), ENOSPC);
  EXPECT_EQ(ScratchRegistry::ReadText(target), oldText);
  EXPECT_EQ(FilesIn(disk.path()), std::vector<std::string>{"settings.reg"});
}

TEST(ReadFile, ReadsTheWholeFileThroughInterruptionsAndNamesItOnErrors) {
  test::TempDir dir;
  const auto path = dir.file("a.ch1");
  std::ofstream(path) << "0123456789";
  {
    FaultyFileOps ops;
    ops.interrupt_reads = true;
    TReadFile file(path, ops);
    EXPECT_EQ(file.Size(), 10u);
    std::array<std::uint8_t, 16> buffer{};
    EXPECT_EQ(file.Read(std::span(buffer).first(4)), 4u);
    EXPECT_EQ(file.Read(buffer), 6u);  // the rest, fewer only at the end
    EXPECT_EQ(buffer[0], '4');
    EXPECT_EQ(file.Read(buffer), 0u);
  }
  FaultyFileOps ops;
  ops.fail_call(3, EIO);  // open, fstat, read
  TReadFile file(path, ops);
  std::array<std::uint8_t, 16> buffer{};
  try {
    file.Read(buffer);
    FAIL() << "no error";
  } catch (const Exception& e) {
    EXPECT_NE(std::string(e.what()).find(path), std::string::npos) << e.what();
  }
}

}  // namespace
}  // namespace osc
