// How the desktop types files through the installed MIME package (the test runs with
// XDG_DATA_DIRS on the staged install): a record by its name and by its content alone,
// and a text that merely begins like one.
#include "acquisition/data_store.h"
#include "acquisition/record_file.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>
#include <QMimeDatabase>
#include <fstream>

namespace {

constexpr const char* kRecord = "application/x-osciloskop-record";

struct Case {
  const char* file;
  bool record;  // written by the program's record writer, else a text
  bool typed;   // the desktop types it as a record
};

class RecordMime : public testing::TestWithParam<Case> {};

TEST_P(RecordMime, TypesByNameAndContent) {
  const Case c = GetParam();
  osc::test::TempDir dir;
  const std::string path = dir.file(c.file);
  if (c.record) {
    osc::TDataStore store(3, 1, 45366.5, 0b1101, false, osc::TChannelScale{8, -2, "V"});
    for (int i = 0; i < 500; ++i)
      store.AddSample(static_cast<std::uint8_t>(i));
    osc::SaveToFile(store, path);
  } else {
    std::ofstream(path) << "OS upgrade notes: the oscilloscope was calibrated today.\n";
  }
  const QString type = QMimeDatabase().mimeTypeForFile(QString::fromStdString(path)).name();
  EXPECT_EQ(type == kRecord, c.typed) << c.file << " typed " << type.toStdString();
}

INSTANTIATE_TEST_SUITE_P(Files, RecordMime,
                         testing::Values(Case{"run.ch3", true, true},    // the name the program gives
                                         Case{"RUN.CH3", true, true},    // saved under another system
                                         Case{"recording", true, true},  // the content alone
                                         Case{"notes", false, false}));  // text beginning "OS"

}  // namespace
