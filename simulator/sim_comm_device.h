#pragma once
// The serial engine's view of a simulated module: a non-blocking byte pipe whose poll
// descriptor is a timerfd armed for the moment the module's next byte is due, so paced
// bytes become readable at their line rate without a thread.
#include "platform/comm/comm_device.h"
#include "simulator/module_model.h"

#include <cstdint>
#include <vector>

namespace osc::sim {

class SimulatedModule;

class SimCommDevice final : public win::CommDevice {
 public:
  // Called with the module's lock held.
  explicit SimCommDevice(SimulatedModule& module);
  ~SimCommDevice() override;

  int poll_fd() const override { return timer_fd_; }
  ssize_t read_some(void* buffer, std::size_t count) override;
  ssize_t write_some(const void* buffer, std::size_t count) override;
  bool configure(const win::DCB& dcb) override;
  bool set_break(bool on) override;
  void purge(win::DWORD flags) override;
  win::DWORD take_errors() override;

  // With the module's lock held.
  void rearm();
  void vanish();
  win::DWORD host_baud() const { return host_baud_; }

 private:
  SimulatedModule& module_;
  int timer_fd_ = -1;
  std::vector<std::uint8_t> pending_;  // reclocked bytes not yet read
  std::size_t pending_pos_ = 0;
  win::DWORD host_baud_ = 9600;  // what a freshly opened line runs at
  bool dead_ = false;
  SimTime last_read_{};
};

}  // namespace osc::sim
