#include "platform/read_file.h"

#include "platform/errors.h"
#include "support/faulty_file_ops.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <array>
#include <fstream>

using namespace osc;
using osc::test::FaultyFileOps;

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
