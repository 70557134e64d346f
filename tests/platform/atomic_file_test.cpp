#include "platform/atomic_file.h"

#include "platform/errors.h"
#include "support/file_faults.h"
#include "support/small_tmpfs.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

using namespace osc;
using osc::test::FileFaults;

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Pattern(std::size_t size, std::uint8_t seed) {
  Bytes bytes(size);
  for (std::size_t i = 0; i < size; ++i)
    bytes[i] = static_cast<std::uint8_t>(i * 7 + seed);
  return bytes;
}

Bytes ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteAll(const std::string& path, const Bytes& bytes) {
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

std::vector<std::string> Names(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

const char* CallName(FileFaults::Call call) {
  static const char* const names[] = {"open",  "read",  "write",  "fstat",  "stat", "fchmod",
                                      "fsync", "close", "rename", "unlink", "any"};
  return names[call];
}

}  // namespace

TEST(AtomicFile, SaveReplacesTheFileAndKeepsItsPermissions) {
  test::TempDir dir;
  const auto path = dir.file("run.ch1");
  WriteAll(path, Pattern(5000, 1));
  chmod(path.c_str(), 0640);

  SaveFileAtomically(path, Pattern(300, 2));

  EXPECT_EQ(ReadAll(path), Pattern(300, 2));
  struct stat status {};
  ASSERT_EQ(stat(path.c_str(), &status), 0);
  EXPECT_EQ(status.st_mode & 07777, 0640u);
  EXPECT_EQ(Names(dir.path()), std::vector<std::string>{"run.ch1"});  // no temporary file left
}

TEST(AtomicFile, SavingThroughALinkReplacesTheFileItNames) {
  test::TempDir dir;
  WriteAll(dir.file("data.ch1"), Pattern(10, 1));
  std::filesystem::create_symlink("data.ch1", dir.file("link.ch1"));

  SaveFileAtomically(dir.file("link.ch1"), Pattern(20, 2));

  EXPECT_TRUE(std::filesystem::is_symlink(dir.file("link.ch1")));
  EXPECT_EQ(ReadAll(dir.file("data.ch1")), Pattern(20, 2));
}

// Each system call of a save fails in turn: whatever fails, the file is either the old
// one (and the error says so, naming the file) or the new one, and no temporary file
// stays behind.
TEST(AtomicFile, EveryFailingCallLeavesTheOldOrTheNewFile) {
  for (bool existed : {true, false}) {
    int failedCalls = 0;
    for (int n = 1;; ++n) {
      test::TempDir dir;
      const auto path = dir.file("run.ch2");
      if (existed) WriteAll(path, Pattern(4000, 1));
      FileFaults faults;
      faults.FailNth(n, EIO);
      faults.LimitWrites(1500);  // several writes per save
      std::string error;
      try {
        SaveFileAtomically(path, Pattern(4000, 2));
      } catch (const Exception& e) {
        error = e.what();
      }
      if (faults.Failures() == 0) break;  // every call succeeded: the sweep is over
      ++failedCalls;
      const auto failed = faults.Log()[n - 1];
      SCOPED_TRACE(std::string(existed ? "existing file, " : "new file, ") + "call " + std::to_string(n) +
                   " (" + CallName(failed) + ") fails");
      const Bytes now = std::filesystem::exists(path) ? ReadAll(path) : Bytes{};
      if (now == Pattern(4000, 2)) {
        // Only a failure after the rename (or of a best-effort step) keeps the new file.
        if (!error.empty()) {
          EXPECT_NE(error.find("byl zapsán"), std::string::npos) << error;
        }
      } else {
        EXPECT_EQ(now, existed ? Pattern(4000, 1) : Bytes{});
        EXPECT_NE(error.find("\"" + path + "\""), std::string::npos) << error;
        EXPECT_NE(error.find("Input/output error"), std::string::npos) << error;
      }
      EXPECT_EQ(Names(dir.path()).size(), now.empty() && !existed ? 0u : 1u);
    }
    EXPECT_GE(failedCalls, 9) << "open, stat, fchmod, 3 writes, fsync, close, rename, folder";
  }
}

TEST(AtomicFile, ShortAndInterruptedWritesAreCarriedOn) {
  test::TempDir dir;
  const auto path = dir.file("run.ch3");
  {
    FileFaults faults;
    faults.LimitWrites(777);
    faults.Interrupt(FileFaults::Write);
    SaveFileAtomically(path, Pattern(100000, 3));
  }
  EXPECT_EQ(ReadAll(path), Pattern(100000, 3));
}

TEST(AtomicFile, FullDiskKeepsTheOldFile) {
  test::SmallTmpfs disk(64 * 1024);
  if (!disk.Mounted()) GTEST_SKIP() << "cannot mount a small tmpfs (needs root)";
  const auto path = disk.file("run.ch1");
  WriteAll(path, Pattern(20000, 1));

  try {
    SaveFileAtomically(path, Pattern(200 * 1024, 2));  // one write larger than the disk
    FAIL() << "no error";
  } catch (const Exception& e) {
    EXPECT_NE(std::string(e.what()).find(path), std::string::npos) << e.what();
    EXPECT_NE(std::string(e.what()).find("No space left on device"), std::string::npos) << e.what();
  }
  EXPECT_EQ(ReadAll(path), Pattern(20000, 1));
  EXPECT_EQ(Names(disk.path()), std::vector<std::string>{"run.ch1"});

  SaveFileAtomically(path, Pattern(30000, 3));  // what fits still saves
  EXPECT_EQ(ReadAll(path), Pattern(30000, 3));
}

TEST(AtomicFile, MissingFolderIsReportedWithTheFileName) {
  test::TempDir dir;
  const auto path = dir.file("gone/run.ch1");
  try {
    SaveFileAtomically(path, Pattern(10, 1));
    FAIL() << "no error";
  } catch (const Exception& e) {
    EXPECT_STREQ(e.what(), ("Soubor \"" + path + "\" nelze uložit: No such file or directory").c_str());
  }
}
