#include "acquisition/export_csv.h"

#include "acquisition/scaling.h"
#include "platform/locale/codepage.h"
#include "platform/locale/locale.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstring>
#include <ctime>
#include <iterator>
#include <system_error>

namespace osc {
namespace {

constexpr double kSecondsPerDay = 86400;
// A point placed on a sample differs from the sample's time by rounding only; date-time
// values near 46000 days carry about 0.01 samples of it at the highest rate.
constexpr std::size_t kChunkBytes = 1 << 20;
constexpr std::uint32_t kRowsPerRead = 1 << 16;
constexpr int kMaxDecimals = 9;

// The 256 texts of one channel's values, in the dialect, each at most 47 bytes.
struct TValueTable {
  std::array<std::array<char, 48>, 256> Text{};
  std::array<std::uint8_t, 256> Length{};
  int Decimals = 0;
};

int value_decimals(float lower, float upper) {
  const double step = std::fabs(static_cast<double>(upper) - lower) / 255;
  if (!(step > 0)) return 3;
  int decimals = 0;
  while (decimals < kMaxDecimals && std::pow(10.0, -decimals) > step / 10)
    ++decimals;
  return decimals;
}

// Fixed-point text of `value` with the dialect's decimal mark; a value that rounds to
// zero is written without its sign. Beyond the buffer (absurd scales of a damaged
// file) the general form is used.
std::size_t fixed_text(double value, int decimals, char decimal, char* out, std::size_t size) {
  auto r = std::to_chars(out, out + size, value, std::chars_format::fixed, decimals);
  if (r.ec != std::errc()) r = std::to_chars(out, out + size, value, std::chars_format::general, 12);
  std::size_t n = static_cast<std::size_t>(r.ptr - out);
  if (out[0] == '-' && std::all_of(out + 1, out + n, [](char c) { return c == '0' || c == '.'; })) {
    std::memmove(out, out + 1, --n);
  }
  for (std::size_t i = 0; i < n; ++i) {
    if (out[i] == '.') out[i] = decimal;
  }
  return n;
}

TValueTable value_table(const TRecordHeader& header, char decimal) {
  TValueTable t;
  t.Decimals = value_decimals(header.Lower, header.Upper);
  for (int raw = 0; raw < 256; ++raw) {
    const double v = RawToValue(static_cast<std::uint8_t>(raw), header.Lower, header.Upper);
    t.Length[raw] =
        static_cast<std::uint8_t>(fixed_text(v, t.Decimals, decimal, t.Text[raw].data(), t.Text[raw].size()));
  }
  return t;
}

std::string number_text(double value, int decimals, char decimal) {
  char buffer[64];
  return std::string(buffer, fixed_text(value, decimals, decimal, buffer, sizeof buffer));
}

std::string quoted_field(const std::string& text, char separator) {
  if (text.find_first_of(std::string{separator} + "\"#\r\n") == std::string::npos) return text;
  std::string q = "\"";
  for (char c : text) {
    q += c;
    if (c == '"') q += '"';
  }
  return q + "\"";
}

// A comment stays one line whatever a damaged file's unit or a file name holds.
std::string one_line(std::string text) {
  std::replace_if(
      text.begin(), text.end(), [](char c) { return c == '\n' || c == '\r'; }, ' ');
  return text;
}

std::string unit_of(const TRecordHeader& header) {
  return header.Unit.empty() ? "V" : Cp1250ToUtf8(header.Unit);
}

// Channels that share rows: same rate and start.
std::vector<std::vector<const TExportChannel*>> groups_of(const std::vector<TExportChannel>& channels) {
  std::vector<std::vector<const TExportChannel*>> groups;
  for (const TExportChannel& c : channels) {
    auto same = std::find_if(groups.begin(), groups.end(), [&](const auto& g) {
      return g.front()->Header.Rate == c.Header.Rate && g.front()->Header.Start == c.Header.Start;
    });
    if (same == groups.end()) {
      groups.push_back({&c});
    } else {
      same->push_back(&c);
    }
  }
  return groups;
}

TSampleSpan rows_of(const std::vector<const TExportChannel*>& group) {
  TSampleSpan rows{UINT32_MAX, 0};
  for (const TExportChannel* c : group) {
    if (c->Span.First >= c->Span.End) continue;
    rows.First = std::min(rows.First, c->Span.First);
    rows.End = std::max(rows.End, c->Span.End);
  }
  if (rows.First >= rows.End) return {};
  return rows;
}

// Times index / rate in seconds, rounded to D decimals, stepped in integers: the
// quotient and remainder of index * 10^D / rate grow by fixed amounts per row.
class TTimeColumn {
 public:
  TTimeColumn(std::uint32_t rate, std::uint32_t first, char decimal) : rate_(rate), decimal_(decimal) {
    while (decimals_ < 11 && scale_ < std::uint64_t{10} * rate_) {
      scale_ *= 10;
      ++decimals_;
    }
    stepWhole_ = scale_ / rate_;
    stepRest_ = scale_ % rate_;
    // scale < 100 rate, so stepWhole < 100 and first * stepRest < 2^64: no overflow.
    const std::uint64_t rest = std::uint64_t{first} * stepRest_;
    whole_ = std::uint64_t{first} * stepWhole_ + rest / rate_;
    rest_ = rest % rate_;
  }
  int Decimals() const { return decimals_; }

  // Writes the current row's time and moves to the next row.
  char* Put(char* out) {
    const std::uint64_t t = whole_ + (2 * rest_ >= rate_ ? 1 : 0);
    out = std::to_chars(out, out + 24, t / scale_).ptr;
    if (decimals_ > 0) {
      *out++ = decimal_;
      std::uint64_t frac = t % scale_;
      for (int i = decimals_ - 1; i >= 0; --i) {
        out[i] = static_cast<char>('0' + frac % 10);
        frac /= 10;
      }
      out += decimals_;
    }
    whole_ += stepWhole_;
    rest_ += stepRest_;
    if (rest_ >= rate_) {
      rest_ -= rate_;
      ++whole_;
    }
    return out;
  }

 private:
  std::uint64_t rate_;
  char decimal_;
  int decimals_ = 0;
  std::uint64_t scale_ = 1;
  std::uint64_t stepWhole_ = 0;
  std::uint64_t stepRest_ = 0;
  std::uint64_t whole_ = 0;
  std::uint64_t rest_ = 0;
};

class TCsvWriter {
 public:
  TCsvWriter(const TExportOptions& options, const std::function<void(std::string_view)>& sink,
             std::uint64_t total)
      : options_(options), sink_(sink), total_(total) {}

  void Text(const std::string& text) {
    if (buffer_.size() < kChunkBytes) buffer_.resize(kChunkBytes);
    if (used_ + text.size() > kChunkBytes) Flush();
    if (text.size() > kChunkBytes) {
      sink_(text);
      return;
    }
    std::memcpy(buffer_.data() + used_, text.data(), text.size());
    used_ += text.size();
  }

  void Group(const std::vector<const TExportChannel*>& group) {
    const TRecordHeader& h = group.front()->Header;
    const TSampleSpan rows = rows_of(group);
    const char decimal = options_.Dialect.Decimal;
    const char sep = options_.Dialect.Separator;
    std::vector<TValueTable> tables;
    for (const TExportChannel* c : group)
      tables.push_back(value_table(c->Header, decimal));
    TTimeColumn time(h.Rate, rows.First, decimal);
    // Room for one more row beyond a chunk: time, then a separator and a value each.
    buffer_.resize(std::max(buffer_.size(), kChunkBytes + 64 + group.size() * 49));

    std::string head = "# Osciloskop: export záznamu\n";
    head += "# začátek: " + IsoDateTime(h.Start) + "\n";
    head += Format("# vzorkovací frekvence: %u Hz\n", {h.Rate});
    if (rows.End > rows.First) {
      head += Format("# vzorky: %u až %u (%u řádků)\n", {rows.First, rows.End - 1, rows.End - rows.First});
    } else {
      head += "# vzorky: žádné\n";
    }
    for (std::size_t i = 0; i < group.size(); ++i) {
      const TExportChannel& c = *group[i];
      const int d = tables[i].Decimals;
      std::string line =
          Format("# CH %d: rozsah %s až %s %s", {int{c.Header.Slot}, number_text(c.Header.Lower, d, decimal),
                                                 number_text(c.Header.Upper, d, decimal), unit_of(c.Header)});
      if (!c.Source.empty()) line += ", soubor " + c.Source;
      head += one_line(std::move(line)) + "\n";
    }
    for (const std::string& note : options_.Notes)
      head += "# " + one_line(note) + "\n";
    head += "t [s]";
    for (const TExportChannel* c : group)
      head += sep + quoted_field(Format("CH %d [%s]", {int{c->Header.Slot}, unit_of(c->Header)}), sep);
    head += "\n";
    Text(head);

    std::vector<std::vector<std::uint8_t>> samples(group.size(), std::vector<std::uint8_t>(kRowsPerRead));
    for (std::uint32_t row0 = rows.First; row0 < rows.End;) {
      const std::uint32_t n = std::min(kRowsPerRead, rows.End - row0);
      for (std::size_t i = 0; i < group.size(); ++i) {
        const TSampleSpan& s = group[i]->Span;
        const std::uint32_t from = std::max(row0, s.First);
        const std::uint32_t to = std::min(row0 + n, s.End);
        if (from < to) group[i]->Read(from, {samples[i].data() + (from - row0), to - from});
      }
      for (std::uint32_t k = 0; k < n; ++k) {
        const std::uint32_t row = row0 + k;
        char* out = buffer_.data() + used_;
        out = time.Put(out);
        for (std::size_t i = 0; i < group.size(); ++i) {
          *out++ = sep;
          const TSampleSpan& s = group[i]->Span;
          if (row < s.First || row >= s.End) continue;
          const std::uint8_t raw = samples[i][k];
          std::memcpy(out, tables[i].Text[raw].data(), tables[i].Length[raw]);
          out += tables[i].Length[raw];
        }
        *out++ = '\n';
        used_ = static_cast<std::size_t>(out - buffer_.data());
        ++done_;
        if (used_ >= kChunkBytes) Flush();
      }
      row0 += n;
    }
  }

  void Flush() {
    if (used_ > 0) sink_({buffer_.data(), used_});
    used_ = 0;
    if (options_.Progress && !options_.Progress(done_, total_)) throw EExportCancelled();
  }

 private:
  const TExportOptions& options_;
  const std::function<void(std::string_view)>& sink_;
  std::uint64_t total_;
  std::uint64_t done_ = 0;
  std::vector<char> buffer_;
  std::size_t used_ = 0;
};

}  // namespace

TCsvDialect CommaCsv() {
  return {',', '.', true};
}

TCsvDialect LocalCsv() {
  return {';', formatSettings().DecimalSeparator, true};
}

TExportChannel StoreChannel(const TDataStore& store, TSampleSpan span) {
  TExportChannel c;
  c.Header = store.Header();
  const std::uint32_t count = store.Count();
  c.Header.Count = count;
  c.Span = {std::min(span.First, count), std::min(span.End, count)};
  const std::uint8_t* samples = store.Samples();
  c.Read = [samples](std::uint64_t first, std::span<std::uint8_t> into) {
    std::memcpy(into.data(), samples + first, into.size());
  };
  return c;
}

std::uint64_t CsvRowCount(const std::vector<TExportChannel>& channels) {
  std::uint64_t rows = 0;
  for (const auto& group : groups_of(channels)) {
    const TSampleSpan r = rows_of(group);
    rows += r.End - r.First;
  }
  return rows;
}

void WriteCsv(const std::vector<TExportChannel>& channels, const TExportOptions& options,
              const std::function<void(std::string_view)>& sink) {
  TCsvWriter writer(options, sink, CsvRowCount(channels));
  if (options.Dialect.Bom) writer.Text("\xEF\xBB\xBF");
  // Groups without rows are left out, unless all are: the text then still says what
  // it is.
  const auto all = groups_of(channels);
  std::vector<std::vector<const TExportChannel*>> groups;
  std::copy_if(all.begin(), all.end(), std::back_inserter(groups),
               [](const auto& g) { return rows_of(g).End > 0; });
  if (groups.empty() && !all.empty()) groups.push_back(all.front());
  bool first = true;
  for (const auto& group : groups) {
    if (!first) writer.Text("\n");
    first = false;
    writer.Group(group);
  }
  writer.Flush();
}

void ExportCsvFile(const std::vector<TExportChannel>& channels, const TExportOptions& options,
                   const std::string& path, FileOps& ops) {
  TAtomicFileWriter file(ops, path);
  auto fail = [&path](int error) {
    throw Exception(Format("Soubor \"%s\" nelze uložit: %s", {path, std::generic_category().message(error)}));
  };
  if (file.Error() != 0) fail(file.Error());
  WriteCsv(channels, options, [&](std::string_view chunk) {
    if (file.Write(chunk) != 0) fail(file.Error());
  });
  if (file.Commit() != 0) fail(file.Error());
}

std::string ReadingsTsv(const std::vector<TReadingChannel>& channels, TDateTime x0, TDateTime x1) {
  if (x0 == 0 && x1 == 0) return {};
  const char decimal = formatSettings().DecimalSeparator;
  auto at = [](const TDataStore& s, TDateTime x, double& value) {
    if (x == 0) return false;
    const double k = std::round((x - s.Start()) * kSecondsPerDay * s.Rate());
    if (!(k >= 0 && k < s.Count())) return false;
    value = RawToValue(s.Samples()[static_cast<std::uint32_t>(k)], s.Lower(), s.Upper());
    return true;
  };
  auto time = [](TDateTime x) { return x == 0 ? std::string() : FormatDateTime("tt.zzz", x); };
  std::string text = "kanál\tjednotka\tčas 1\thodnota 1\tčas 2\thodnota 2\tU2-U1\tT2-T1 [s]\tf [Hz]\n";
  for (const TReadingChannel& c : channels) {
    if (c.Store == nullptr) continue;
    const TDataStore& s = *c.Store;
    const int d = value_decimals(s.Lower(), s.Upper());
    double v0 = 0, v1 = 0;
    const bool has0 = at(s, x0, v0), has1 = at(s, x1, v1);
    text += c.Name + "\t" + s.UnitText() + "\t" + time(x0) + "\t" +
            (has0 ? number_text(v0, d, decimal) : "") + "\t" + time(x1) + "\t" +
            (has1 ? number_text(v1, d, decimal) : "") + "\t" +
            (has0 && has1 ? number_text(v1 - v0, d, decimal) : "") + "\t";
    if (x0 != 0 && x1 != 0) {
      const double dt = (x1 - x0) * kSecondsPerDay;
      text +=
          number_text(dt, 6, decimal) + "\t" + (dt != 0 ? number_text(1 / std::fabs(dt), 3, decimal) : "");
    } else {
      text += "\t";
    }
    text += "\n";
  }
  return text;
}

std::string IsoDateTime(TDateTime value) {
  // Years 1..9999 only: a damaged file's start is written as the number it is.
  if (!(value > -693593 && value < 2958466)) return Format("%g", {value});
  int y, mo, d, h, mi, s, ms;
  DecodeDateTime(value, y, mo, d, h, mi, s, ms);
  char text[64];
  int n = std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03d", y, mo, d, h, mi, s, ms);
  std::tm tm{};
  tm.tm_year = y - 1900;
  tm.tm_mon = mo - 1;
  tm.tm_mday = d;
  tm.tm_hour = h;
  tm.tm_min = mi;
  tm.tm_sec = s;
  tm.tm_isdst = -1;
  if (std::mktime(&tm) != static_cast<std::time_t>(-1)) {
    const long offset = tm.tm_gmtoff / 60;
    const long a = offset < 0 ? -offset : offset;
    std::snprintf(text + n, sizeof text - static_cast<std::size_t>(n), "%c%02ld:%02ld",
                  offset < 0 ? '-' : '+', a / 60, a % 60);
  }
  return text;
}

}  // namespace osc
