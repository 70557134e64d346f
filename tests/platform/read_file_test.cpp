#include "platform/read_file.h"

#include "platform/errors.h"
#include "support/faulty_file_ops.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <array>
#include <fstream>

using namespace osc;
using osc::test::FaultyFileOps;

namespace {

std::string OpenError(const std::string& path) {
  try {
    TReadFile file(path);
  } catch (const Exception& e) {
    return e.what();
  }
  return "no error";
}

}  // namespace

// A pipe without a writer would block the open, a device could be endless: neither
// is a file to load.
TEST(ReadFile, OnlyRegularFilesOpenAndNothingWaits) {
  test::TempDir dir;
  const auto fifo = dir.file("pipe.ch1");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  struct Row {
    std::string path, expected;
  };
  const Row rows[] = {
      {fifo, "Nelze otevřít soubor \"" + fifo + "\": není to obyčejný soubor"},
      {"/dev/zero", "Nelze otevřít soubor \"/dev/zero\": není to obyčejný soubor"},
      {dir.path(), "Nelze otevřít soubor \"" + dir.path() + "\": není to obyčejný soubor"},
      {dir.file("none.ch1"),
       "Nelze otevřít soubor \"" + dir.file("none.ch1") + "\": No such file or directory"},
  };
  for (const Row& r : rows)
    EXPECT_EQ(OpenError(r.path), r.expected);
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
    EXPECT_EQ(std::string(e.what()), "Chyba při čtení souboru \"" + path + "\": Input/output error");
  }
}
