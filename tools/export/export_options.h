#pragma once
// osc-export's command line: record files to CSV text (or their headers, --info).
#include <optional>
#include <string>
#include <vector>

namespace osc::tools {

struct ExportToolOptions {
  std::vector<std::string> files;
  std::string output;          // empty: standard output
  std::optional<double> from;  // seconds from the record's start
  std::optional<double> to;
  char separator = ',';
  char decimal = '.';
  bool info = false;
  bool help = false;
};

// nullopt and the reason in `error` for a command line that makes no sense.
std::optional<ExportToolOptions> ParseExportToolOptions(const std::vector<std::string>& args,
                                                        std::string* error);
std::string ExportToolHelp();

}  // namespace osc::tools
