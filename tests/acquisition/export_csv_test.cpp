// CSV export: every sample of a span comes back as the record's value at its exact time,
// in both dialects, and a failed or cancelled export leaves the old file alone.
#include "acquisition/export_csv.h"

#include "acquisition/scaling.h"
#include "platform/locale/locale.h"
#include "support/format_scope.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

namespace osc {
namespace {

constexpr double kSecondsPerDay = 86400;

// A record of `count` samples at `rate` with a varied pattern.
std::unique_ptr<TDataStore> Record(int slot, std::uint32_t rate, std::uint32_t count, float lower,
                                   float upper, TDateTime start = 46000.25) {
  TRecordHeader h;
  h.Slot = static_cast<std::uint8_t>(slot);
  h.ChannelMask = 0x0F;
  h.Rate = rate;
  h.Lower = lower;
  h.Upper = upper;
  h.Start = start;
  h.Count = count;
  h.Unit = slot == 2 ? "\x22;#" : "";  // a quote, the separator and '#'

  std::vector<std::uint8_t> bytes(kRecordHeaderSize + count);
  WriteRecordHeader(h, bytes.data());
  for (std::uint32_t i = 0; i < count; ++i)
    bytes[kRecordHeaderSize + i] = static_cast<std::uint8_t>((i * 37 + slot * 11 + i / 256) & 0xFF);
  return TDataStore::FromRecord(bytes, "CH");
}

struct Block {
  std::vector<std::string> Columns;
  std::vector<std::vector<std::string>> Rows;
};

std::vector<std::string> Split(const std::string& line, char sep) {
  std::vector<std::string> fields;
  std::string f;
  bool quoted = false;
  for (char c : line) {
    if (c == '"') {
      quoted = !quoted;
    } else if (c == sep && !quoted) {
      fields.push_back(f);
      f.clear();
    } else {
      f += c;
    }
  }
  fields.push_back(f);
  return fields;
}

// Blocks of a CSV text as a script reads it: comment lines skipped, an empty line ends
// a block.
std::vector<Block> Parse(std::string text, char sep) {
  if (text.rfind("\xEF\xBB\xBF", 0) == 0) text.erase(0, 3);
  std::vector<Block> blocks(1);
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty()) {
      blocks.emplace_back();
    } else if (line[0] == '#') {
      continue;
    } else if (blocks.back().Columns.empty()) {
      blocks.back().Columns = Split(line, sep);
    } else {
      blocks.back().Rows.push_back(Split(line, sep));
    }
  }
  return blocks;
}

double Number(std::string text, char decimal) {
  std::replace(text.begin(), text.end(), decimal, '.');
  return std::strtod(text.c_str(), nullptr);
}

std::string Csv(const std::vector<TExportChannel>& channels, const TExportOptions& options) {
  std::string text;
  WriteCsv(channels, options, [&](std::string_view chunk) { text += chunk; });
  return text;
}

enum class Span { Whole, Points, Window };

struct ExportCase {
  const char* name;
  bool local;  // the spreadsheet's dialect (semicolon, decimal comma here)
  std::uint32_t rate;
  Span span;
};

class CsvRoundTrip : public ::testing::TestWithParam<ExportCase> {
  test::FormatScope decimalComma_{',', ' '};
};

// Two channels of one recording (sharing rows; one unit needs quoting) and one at
// another rate (its own block): every exported field reads back as the sample's value
// at its exact time. (Which
// samples a span holds is SampleSpan's.)
TEST_P(CsvRoundTrip, EverySampleOfTheSpanReadsBack) {
  const ExportCase& c = GetParam();
  const std::uint32_t count = 70000;  // more than one read and one 1 MiB chunk
  std::vector<std::unique_ptr<TDataStore>> stores;
  stores.push_back(Record(1, c.rate, count, -4.1875f, 3.8125f));
  stores.push_back(Record(2, c.rate, count - 5, 0, 500));
  stores.push_back(Record(4, 7, 100, -1e-9f, 255));  // its sample 68 is raw 0: no "-0.0"
  const TDateTime start = stores[0]->Start();

  // The points sit where the cross puts them: on a series point of step 13.
  const double xstep = PointXStep(c.rate, 13);
  const double p0 = start + 1000 * xstep, p1 = start + 3001 * xstep;
  const double w0 = start + 20.4 / kSecondsPerDay, w1 = start + 41.7 / kSecondsPerDay;
  std::vector<TExportChannel> channels;
  std::map<int, TSampleSpan> expected;
  for (const auto& s : stores) {
    TSampleSpan span{0, s->Count()};
    if (c.span == Span::Points) span = SpanOfTimes(s->Start(), s->Rate(), s->Count(), p1, p0);
    if (c.span == Span::Window) span = SpanOfTimes(s->Start(), s->Rate(), s->Count(), w0, w1);
    channels.push_back(StoreChannel(*s, span));
    expected[s->Header().Slot] = span;
  }
  TExportOptions options;
  options.Dialect = c.local ? LocalCsv() : CommaCsv();
  const char sep = options.Dialect.Separator, dec = options.Dialect.Decimal;
  const std::vector<Block> blocks = Parse(Csv(channels, options), sep);

  std::size_t b = 0;
  for (std::vector<int> group : {std::vector<int>{1, 2}, std::vector<int>{4}}) {
    const TSampleSpan& span = expected[group[0]];
    if (span.First >= span.End) continue;
    ASSERT_LT(b, blocks.size());
    const Block& block = blocks[b++];
    ASSERT_EQ(block.Columns.size(), group.size() + 1);
    EXPECT_EQ(block.Columns[2 - (group.size() == 1)], group.size() == 1 ? "CH 4 [V]" : "CH 2 [;#]");
    ASSERT_EQ(block.Rows.size(), span.End - span.First);
    const TDataStore& first = *stores[group[0] == 4 ? 2 : 0];
    for (std::size_t r = 0; r < block.Rows.size(); ++r) {
      const std::uint32_t index = span.First + static_cast<std::uint32_t>(r);
      const auto& row = block.Rows[r];
      ASSERT_EQ(row.size(), group.size() + 1);
      const double t = Number(row[0], dec);
      ASSERT_LE(std::fabs(t * first.Rate() - index), 0.05) << row[0];
      for (std::size_t k = 0; k < group.size(); ++k) {
        const TDataStore& s = *stores[group[k] == 4 ? 2 : static_cast<std::size_t>(group[k] - 1)];
        const TSampleSpan& sp = expected[group[k]];
        if (index < sp.First || index >= sp.End) {
          ASSERT_EQ(row[k + 1], "");
          continue;
        }
        const std::uint8_t raw = s.Samples()[index];
        const double v = Number(row[k + 1], dec);
        const double step = (s.Upper() - s.Lower()) / 255.0;
        ASSERT_NEAR(v, RawToValue(raw, s.Lower(), s.Upper()), step / 20) << row[k + 1];
        ASSERT_EQ(std::lround((v - s.Lower()) / step), raw);
        ASSERT_FALSE(v == 0 && row[k + 1][0] == '-') << "negative zero";
      }
    }
  }
  EXPECT_EQ(b, blocks.size());
}

INSTANTIATE_TEST_SUITE_P(, CsvRoundTrip,
                         ::testing::Values(ExportCase{"LocalWhole", true, 3840, Span::Whole},
                                           ExportCase{"CommaPoints", false, 11520, Span::Points},
                                           ExportCase{"LocalWindowOddRate", true, 295, Span::Window}),
                         [](const auto& info) { return std::string(info.param.name); });

// The start time says its offset from UTC, summer time included.
TEST(CsvText, StartTimeCarriesTheLocalOffset) {
  const char* saved = std::getenv("TZ");
  const std::string old = saved ? saved : "";
  setenv("TZ", "CET-1CEST,M3.5.0,M10.5.0/3", 1);  // Central Europe, without tzdata
  tzset();
  EXPECT_EQ(IsoDateTime(EncodeDateTime(2024, 1, 15, 8, 30, 5, 250)), "2024-01-15T08:30:05.250+01:00");
  EXPECT_EQ(IsoDateTime(EncodeDateTime(2024, 7, 15, 8, 30, 5, 0)), "2024-07-15T08:30:05.000+02:00");
  if (saved) {
    setenv("TZ", old.c_str(), 1);
  } else {
    unsetenv("TZ");
  }
  tzset();
}

// A cancelled export leaves the old file and no temporary; that a failed write does the
// same is the atomic writer's (platform).
TEST(CsvExport, CancelledHalfWayLeavesTheOldFile) {
  test::TempDir dir;
  const std::string path = dir.file("out.csv");
  std::ofstream(path) << "old";
  auto store = Record(1, 11520, 400000, 0, 16);  // several MiB of text
  TExportOptions options;
  int progressCalls = 0;
  options.Progress = [&](std::uint64_t done, std::uint64_t total) {
    ++progressCalls;
    return done < total / 2;
  };
  EXPECT_THROW(ExportCsvFile({StoreChannel(*store, {0, store->Count()})}, options, path), EExportCancelled);
  EXPECT_GT(progressCalls, 1);
  std::ifstream in(path);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "old");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
}

}  // namespace
}  // namespace osc
