// osc-simpty: the simulated acquisition module on a pseudo-terminal.
#include "tools/simpty/pty_module_server.h"

#include <atomic>
#include <csignal>
#include <cstdio>
#include <exception>

namespace {

std::atomic<bool> stop_requested{false};

void RequestStop(int) {
  stop_requested = true;
}

}  // namespace

int main(int argc, char** argv) {
  std::string error;
  auto options = osc::tools::ParseSimPtyOptions(std::vector<std::string>(argv + 1, argv + argc), &error);
  if (!options) {
    std::fprintf(stderr, "osc-simpty: %s\nTry 'osc-simpty --help'.\n", error.c_str());
    return 2;
  }
  if (options->help) {
    std::fputs(osc::tools::SimPtyHelp().c_str(), stdout);
    return 0;
  }
  struct sigaction sa {};
  sa.sa_handler = RequestStop;
  sigaction(SIGINT, &sa, nullptr);
  sigaction(SIGTERM, &sa, nullptr);
  std::signal(SIGPIPE, SIG_IGN);
  try {
    osc::tools::PtyModuleServer server(*options);
    std::printf("%s\n", server.path().c_str());
    std::fflush(stdout);
    server.run(stop_requested, options->stats ? stderr : nullptr);
    if (server.dropped()) {
      std::fprintf(stderr, "osc-simpty: %llu stream bytes dropped (the host did not read)\n",
                   static_cast<unsigned long long>(server.dropped()));
    }
  } catch (const std::exception& e) {
    std::fprintf(stderr, "osc-simpty: %s\n", e.what());
    return 1;
  }
  return 0;
}
