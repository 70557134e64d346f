#pragma once
// Data export: the samples of one or more records as CSV text for spreadsheets and
// scripts, every sample of the span in physical units (the record's own scale, the
// values the cross reads), never the display's decimation or peaks.
//
// The text: an optional UTF-8 byte order mark, then per group of channels a few comment
// lines ("# "), a column header and one row per sample index. Channels whose records
// share rate and start time share rows (a group); each further group follows after an
// empty line with its own comments. The first column is the time in seconds from the
// record's start, index / rate rounded exactly (integer arithmetic) to enough decimals
// to tell neighbouring samples apart (10^-D <= 1 / (10 rate)); a channel whose span
// does not cover a row leaves its field empty. Values are written with P decimals,
// 10^-P <= (upper - lower) / 2550, so every raw sample reads back as itself.
// Fields holding the separator, a quote, '#' or a line break are quoted (RFC 4180).
#include "acquisition/data_store.h"
#include "acquisition/record_header.h"
#include "acquisition/sample_span.h"
#include "platform/atomic_file.h"
#include "platform/errors.h"

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace osc {

struct TCsvDialect {
  char Separator = ',';
  char Decimal = '.';
  bool Bom = true;  // spreadsheets read UTF-8 units right only after a byte order mark
};
// A comma between fields and a decimal point: what scripts read.
TCsvDialect CommaCsv();
// The local spreadsheet's: a semicolon and the user's decimal separator.
TCsvDialect LocalCsv();

// Reads samples [first, first + into.size()) of a record into `into`; calls come in
// ascending order and never overlap. Raises osc::Exception on a failed read.
using TSampleReader = std::function<void(std::uint64_t first, std::span<std::uint8_t> into)>;

struct TExportChannel {
  TRecordHeader Header;  // slot, rate, scale, start and unit of the record
  TSampleSpan Span;      // what is exported, within the record's samples
  std::string Source;    // the file the record came from; empty for a recording
  TSampleReader Read;
};
// The samples of `store` in `span` (cut to Count() as it is now: a running recording is
// exported as far as it had come). The store must outlive the export.
TExportChannel StoreChannel(const TDataStore& store, TSampleSpan span);

struct TExportOptions {
  TCsvDialect Dialect;
  // Further comment lines, e.g. the polarity and gain of the recording.
  std::vector<std::string> Notes;
  // Called after each chunk of text with the rows written and the rows in all; false
  // cancels the export.
  std::function<bool(std::uint64_t done, std::uint64_t total)> Progress;
};

// Raised when Progress cancelled an export.
class EExportCancelled : public Exception {
 public:
  EExportCancelled() : Exception("Export byl zrušen.") {}
};

// Rows the channels give (all groups).
std::uint64_t CsvRowCount(const std::vector<TExportChannel>& channels);

// Writes the text in chunks of about 1 MiB to `sink`, which raises on failure.
void WriteCsv(const std::vector<TExportChannel>& channels, const TExportOptions& options,
              const std::function<void(std::string_view)>& sink);

// Writes the text to `path` atomically: a failure raises "Soubor "<path>" nelze uložit:
// <reason>", a cancel EExportCancelled, and either way `path` is untouched and no
// temporary file stays.
void ExportCsvFile(const std::vector<TExportChannel>& channels, const TExportOptions& options,
                   const std::string& path, FileOps& ops = SystemFileOps());

// The measuring points' readings for the clipboard, tab-separated with the user's decimal
// separator (a spreadsheet takes them as numbers): a header line, then per record its
// value at each point's time (the nearest sample), U2-U1, T2-T1 and the frequency that
// T2-T1 stands for. A point at X = 0 is not set and leaves its fields empty; empty
// when neither is set.
struct TReadingChannel {
  std::string Name;  // "CH 1"
  const TDataStore* Store = nullptr;
};
std::string ReadingsTsv(const std::vector<TReadingChannel>& channels, TDateTime x0, TDateTime x1);

// The start time as ISO 8601 with milliseconds and the local UTC offset
// ("2024-03-12T14:05:33.250+01:00").
std::string IsoDateTime(TDateTime value);

}  // namespace osc
