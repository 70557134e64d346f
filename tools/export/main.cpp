// osc-export: record files as CSV text for spreadsheets and scripts, read in pieces, so
// memory does not grow with the record.
#include "acquisition/export_csv.h"
#include "acquisition/record_reader.h"
#include "platform/locale/codepage.h"
#include "platform/locale/locale.h"
#include "tools/export/export_options.h"

#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

namespace {

using namespace osc;

std::string Decimal(double value, int decimals, char mark) {
  char text[64];
  const auto r = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, decimals);
  std::string s(text, r.ec == std::errc() ? r.ptr : text);
  for (char& c : s) {
    if (c == '.') c = mark;
  }
  return s;
}

void PrintInfo(const TRecordReader& r, char mark) {
  const TRecordHeader& h = r.Header();
  std::string slots;
  for (int s = 1; s <= 4; ++s) {
    if (h.ChannelMask & (1u << (s - 1))) slots += (slots.empty() ? "" : ", ") + Format("CH %d", {s});
  }
  const std::string unit = h.Unit.empty() ? "V" : Cp1250ToUtf8(h.Unit);
  std::printf(
      "%s\n  kanál:          CH %d\n  maska kanálů:   0x%02X (%s)\n  frekvence:      %u Hz\n"
      "  vzorků:         %u\n  délka:          %s s\n  začátek:        %s\n  rozsah:         %s až %s %s\n"
      "  jednotka:       %s\n",
      r.Path().c_str(), h.Slot, h.ChannelMask, slots.c_str(), h.Rate, h.Count,
      Decimal(static_cast<double>(h.Count) / h.Rate, 3, mark).c_str(), IsoDateTime(h.Start).c_str(),
      Decimal(h.Lower, 4, mark).c_str(), Decimal(h.Upper, 4, mark).c_str(), unit.c_str(), unit.c_str());
}

void WriteOut(std::string_view chunk) {
  while (!chunk.empty()) {
    const ssize_t n = ::write(STDOUT_FILENO, chunk.data(), chunk.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0)
      throw Exception(Format("Standardní výstup nelze zapsat: %s", {std::strerror(n < 0 ? errno : ENOSPC)}));
    chunk.remove_prefix(static_cast<std::size_t>(n));
  }
}

}  // namespace

int main(int argc, char** argv) {
  std::string error;
  const auto options = tools::ParseExportToolOptions(std::vector<std::string>(argv + 1, argv + argc), &error);
  if (!options) {
    std::fprintf(stderr, "osc-export: %s\nNápověda: osc-export --help\n", error.c_str());
    return 2;
  }
  if (options->help) {
    std::fputs(tools::ExportToolHelp().c_str(), stdout);
    return 0;
  }
  try {
    // Every file is opened and checked before anything is written.
    std::vector<std::shared_ptr<TRecordReader>> streams;
    for (const std::string& path : options->files)
      streams.push_back(std::make_shared<TRecordReader>(path));
    if (options->info) {
      for (const auto& s : streams) {
        if (s != streams.front()) std::printf("\n");
        PrintInfo(*s, options->decimal);
      }
      return std::fflush(stdout) == 0 ? 0 : 1;
    }
    std::vector<TExportChannel> channels;
    for (const auto& s : streams) {
      const TRecordHeader& h = s->Header();
      TExportChannel c;
      c.Header = h;
      c.Span = SpanOfSeconds(h.Rate, h.Count, options->from.value_or(0),
                             options->to.value_or(static_cast<double>(h.Count) / h.Rate));
      const std::string& path = s->Path();
      c.Source = path.substr(path.rfind('/') == std::string::npos ? 0 : path.rfind('/') + 1);
      c.Read = [s](std::uint64_t first, std::span<std::uint8_t> into) { s->Read(first, into); };
      channels.push_back(std::move(c));
    }
    TExportOptions export_options;
    // A byte order mark helps spreadsheets open a file, but not scripts reading a pipe.
    export_options.Dialect = {options->separator, options->decimal, !options->output.empty()};
    if (options->output.empty()) {
      WriteCsv(channels, export_options, WriteOut);
    } else {
      ExportCsvFile(channels, export_options, options->output);
    }
    return 0;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "osc-export: %s\n", e.what());
    return 1;
  }
}
