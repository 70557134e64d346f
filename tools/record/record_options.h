#pragma once
// Command line of osc-record, the recorder without a window.
#include "acquisition/protocol_bytes.h"

#include <optional>
#include <string>
#include <vector>

namespace osc::tools {

struct RecordOptions {
  std::string port;  // empty: the port of the settings
  InputSelection inputs{.ch1 = true};
  int sampleIndex = 0;    // "11 kHz", "  2 kHz"
  int acqIndex = 1;       // "Sample", "Avg", "Max"
  int gainIndex = 0;      // "x 1", "x 2", "x 4"
  int polarityIndex = 0;  // "Positive", "Bipolar", "AC"
  std::string range;      // a name from the settings' range list; empty: the first
  double duration = 0;    // seconds of recording; 0: until stopped
  std::string output;     // the record set's name; empty: zaznam-<date>-<time>
  std::string settingsDir;
  int setSeconds = 600;         // longest record of one set of files
  double progressSeconds = 10;  // between progress lines when not on a terminal; 0: none
  bool help = false;
};

// nullopt with *error set when the arguments are wrong.
std::optional<RecordOptions> ParseRecordOptions(const std::vector<std::string>& args, std::string* error);
std::string RecordHelp();
std::string RecordUsage();

// Lower case without blanks: "11 kHz" and "11khz", "16 V" and "16v" name the same.
std::string OptionKey(const std::string& text);

// "1" "90s" "10m" "2h" "3d" (a number of seconds, minutes, hours, days); false when not one.
bool ParseDuration(const std::string& text, double* seconds);

}  // namespace osc::tools
