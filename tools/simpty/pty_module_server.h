#pragma once
// The simulated module served on a pseudo-terminal: the program under test opens the
// terminal's slave side through its real termios backend; this side plays the module.
//
// A pseudo-terminal carries neither a line break nor a line rate that slows the bytes,
// so the server paces the module's bytes itself, reads the host's rate from the
// terminal settings, and takes the host's receive purge (packet mode) or any host byte
// while streaming as the break that ends the stream.
#include "simulator/module_model.h"
#include "tools/simpty/simpty_options.h"

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace osc::tools {

class PtyModuleServer {
 public:
  // Opens the terminal; throws std::system_error on failure.
  explicit PtyModuleServer(const SimPtyOptions& options);
  ~PtyModuleServer();
  PtyModuleServer(const PtyModuleServer&) = delete;
  PtyModuleServer& operator=(const PtyModuleServer&) = delete;

  const std::string& path() const { return path_; }
  sim::ModuleModel& model() { return model_; }

  // Serves until `stop` is set (looked at least every 100 ms). With `stats`, prints
  // the stream's measured rate there every second.
  void run(const std::atomic<bool>& stop, std::FILE* stats);

  // Stream bytes that did not fit into the terminal (the host did not read).
  std::uint64_t dropped() const { return dropped_; }

 private:
  void serve_host(sim::SimTime now);
  void end_stream(sim::SimTime now);
  void send(sim::SimTime now);
  win::DWORD host_baud() const;
  void report(std::FILE* out, sim::SimTime now);

  sim::ModuleModel model_;
  int master_ = -1;
  int slave_ = -1;  // held open so the master never hangs up between host sessions
  std::string path_;
  std::string link_;
  bool paced_ = true;
  std::vector<std::uint8_t> out_;
  std::size_t out_pos_ = 0;
  std::uint64_t dropped_ = 0;

  // Rate statistics of the running stream.
  bool measuring_ = false;
  sim::SimTime stream_start_{};
  sim::SimTime last_report_{};
  std::uint64_t stream_written_ = 0;
};

}  // namespace osc::tools
