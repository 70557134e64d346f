// osc-export as a user runs it: refuses what the program refuses, and writes what the
// export writes for the options given.
#include "acquisition/export_csv.h"
#include "acquisition/record_file.h"
#include "support/temp_dir.h"
#include "tools/export/export_options.h"

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <fstream>
#include <iterator>

namespace osc {
namespace {

std::string ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

struct ToolRun {
  int status = -1;
  std::string out;
  std::string err;
};

ToolRun RunTool(const test::TempDir& dir, const std::string& args) {
  const std::string out = dir.file("stdout"), err = dir.file("stderr");
  const int r = std::system((std::string(OSC_EXPORT_PATH) + " " + args + " >" + out + " 2>" + err).c_str());
  return {WIFEXITED(r) ? WEXITSTATUS(r) : -1, ReadText(out), ReadText(err)};
}

std::string Quoted(const std::string& path) {
  return "'" + path + "'";
}

// Two records of one recording: the span, the dialect and the file names reach the
// text; a file gets a byte order mark, standard output none. Which files the loader
// refuses is the record-file tests' and the fuzz corpus's.
TEST(OscExport, WritesTheSpanInTheDialectAsked) {
  test::TempDir dir;
  std::vector<std::unique_ptr<TDataStore>> stores;
  for (int slot : {1, 3}) {
    stores.push_back(std::make_unique<TDataStore>(slot, 10, 46000.5, 0x05, false, TChannelScale{16, -8, ""}));
    for (int i = 0; i < 20000; ++i)
      stores.back()->AddSample(static_cast<std::uint8_t>(i * slot));
    SaveToFile(*stores.back(), dir.file(slot == 1 ? "run.ch1" : "run.ch3"));
  }
  TExportOptions options;
  options.Dialect = {';', ',', false};
  std::vector<TExportChannel> channels;
  for (const auto& s : stores) {
    channels.push_back(StoreChannel(*s, SpanOfSeconds(s->Rate(), s->Count(), 0.5, 1.25)));
    channels.back().Source = s->Header().Slot == 1 ? "run.ch1" : "run.ch3";
  }
  std::string expected;
  WriteCsv(channels, options, [&](std::string_view chunk) { expected += chunk; });

  const std::string files = Quoted(dir.file("run.ch1")) + " " + Quoted(dir.file("run.ch3"));
  const ToolRun piped = RunTool(dir, files + " --from 0.5 --to 1.25 --semicolon --decimal ,");
  EXPECT_EQ(piped.status, 0) << piped.err;
  EXPECT_EQ(piped.out, expected);

  const ToolRun saved = RunTool(
      dir, files + " --semicolon --to 1.25 --decimal , -o " + Quoted(dir.file("out.csv")) + " --from 0.5");
  EXPECT_EQ(saved.status, 0) << saved.err;
  EXPECT_EQ(ReadText(dir.file("out.csv")), "\xEF\xBB\xBF" + expected);

  // A file the loader passes over is refused by name, with nothing on standard output.
  const std::string bad = dir.file("bad.ch1");
  std::ofstream(bad, std::ios::binary) << std::string(300, 'x');  // no record header
  const ToolRun refused = RunTool(dir, files + " " + Quoted(bad));
  EXPECT_NE(refused.status, 0);
  EXPECT_EQ(refused.out, "");
  EXPECT_NE(refused.err.find(bad), std::string::npos) << refused.err;
}

TEST(OscExport, RefusesCommandLinesThatMakeNoSense) {
  const std::vector<std::vector<std::string>> bad{
      {}, {"a.ch1", "--decimal", ","}, {"a.ch1", "--from", "x"}, {"a.ch1", "-o"}};
  for (const auto& args : bad) {
    std::string error;
    EXPECT_FALSE(tools::ParseExportToolOptions(args, &error));
    EXPECT_FALSE(error.empty());
  }
}

}  // namespace
}  // namespace osc
