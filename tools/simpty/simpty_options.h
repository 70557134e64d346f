#pragma once
// Command line of osc-simpty, the simulated module on a pseudo-terminal.
#include "simulator/module_model.h"

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace osc::tools {

struct SimPtyOptions {
  sim::ModuleType type = sim::ModuleType::FourChannel;
  double rate = 1.0;  // pace multiplier; 0 = unpaced
  std::vector<std::pair<int, sim::SignalSpec>> signals;
  std::vector<std::pair<int, double>> ranges;
  std::vector<int> ac_inputs;
  std::vector<std::pair<sim::Fault, sim::FaultMode>> faults;
  bool stats = false;
  std::string link;  // a symbolic link to create to the terminal
  bool help = false;
};

// nullopt with *error set when the arguments are wrong.
std::optional<SimPtyOptions> ParseSimPtyOptions(const std::vector<std::string>& args, std::string* error);
std::string SimPtyHelp();

}  // namespace osc::tools
