// osc-record: the recording without a window, for unattended logging.
#include "platform/locale/locale.h"
#include "simulator/simulated_module.h"
#include "tools/record/record_session.h"

#include <unistd.h>
#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstdlib>

namespace {

std::atomic<int> stops{0};

void RequestStop(int signal) {
  // The first signal stops as the Stop button does; a second ends at once (the files
  // keep their planned counts and open with what reached them).
  if (stops.fetch_add(1) > 0) _exit(128 + signal);
}

}  // namespace

int main(int argc, char** argv) {
  std::string error;
  const auto options =
      osc::tools::ParseRecordOptions(std::vector<std::string>(argv + 1, argv + argc), &error);
  if (!options) {
    std::fprintf(stderr, "osc-record: %s\n%s", error.c_str(), osc::tools::RecordUsage().c_str());
    return osc::tools::kExitUsage;
  }
  if (options->help) {
    std::fputs(osc::tools::RecordHelp().c_str(), stdout);
    return osc::tools::kExitOk;
  }
  // Before anything reads the settings.
  if (!options->settingsDir.empty()) setenv("OSC_REGISTRY_DIR", options->settingsDir.c_str(), 1);
  struct sigaction sa {};
  sa.sa_handler = RequestStop;
  sigaction(SIGINT, &sa, nullptr);
  sigaction(SIGTERM, &sa, nullptr);
  std::signal(SIGPIPE, SIG_IGN);
  osc::LoadSystemFormatSettings();
  osc::sim::RegisterSimulatedPorts();
  osc::tools::TRecordSession session(*options, stderr, isatty(STDERR_FILENO) != 0);
  return session.Run(stops);
}
