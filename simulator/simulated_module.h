#pragma once
// The simulated acquisition modules behind the port names "SIM4" (4-channel model) and
// "SIM2" (2-channel model). One module per name lives for the whole process and stays
// powered while its port is closed, as a real module on its cable does: tests reach it
// through SimulatedModuleFor() to connect signals, inject faults and look at its state.
//
// The port side is a platform CommDevice (see simulator/sim_comm_device.h) opened through
// the serial API once RegisterSimulatedPorts() has run. Only one port may be open on a
// module at a time (a second open fails with ERROR_ACCESS_DENIED).
//
// All members are thread-safe.
#include "platform/comm/comm_device.h"
#include "simulator/module_model.h"

#include <memory>
#include <mutex>
#include <string>
#include <type_traits>
#include <vector>

namespace osc::sim {

class SimCommDevice;

class SimulatedModule {
 public:
  explicit SimulatedModule(ModuleType type);
  ~SimulatedModule();
  SimulatedModule(const SimulatedModule&) = delete;
  SimulatedModule& operator=(const SimulatedModule&) = delete;

  // Runs f(ModuleModel&) under the module's lock and lets an open port see the result.
  // A PulledCable fault given to the model this way has no effect: use inject().
  template <class F>
  auto with_model(F&& f) {
    std::lock_guard lock(mutex_);
    if constexpr (std::is_void_v<decltype(f(model_))>) {
      f(model_);
      wake_port();
    } else {
      auto result = f(model_);
      wake_port();
      return result;
    }
  }

  void set_signal(int channel, const SignalSpec& signal);
  void set_input(int channel, const InputSetup& input);
  // The gain and zero errors of a module as delivered on CH1..4 (WithTypicalErrors), for
  // trying the program's calibration; reset() removes them.
  void set_typical_errors();
  void set_pace(double factor);
  void set_ident_byte4(std::uint8_t value);
  // Replies start this long after their command (the stream is not delayed).
  void set_reply_delay(SimTime delay);
  // PulledCable once: an open port dies (the host must reopen it), or else the next
  // open fails; for good: the open port dies and every open fails until cleared.
  void inject(Fault fault, FaultMode mode);
  void clear_faults();
  // Power cycle: default signals, inputs and pace, no faults, command mode. An open port
  // stays open.
  void reset();

  ModuleState state() const;
  DWORD line_baud() const;
  std::uint16_t mode_word() const;
  std::uint8_t offset_byte() const;
  std::uint64_t stream_bytes() const;
  bool port_open() const;
  // The rate the open port's host side is set to (0 while closed).
  DWORD host_baud() const;

  // The port side: a device on this module, or nullptr with *error set.
  std::unique_ptr<win::CommDevice> open(DWORD* error);

 private:
  friend class SimCommDevice;
  void wake_port();

  const ModuleType type_;
  mutable std::mutex mutex_;
  ModuleModel model_;
  SimCommDevice* attached_ = nullptr;
  bool pulled_for_good_ = false;
  bool open_fails_once_ = false;
};

// The module behind "SIM4" or "SIM2" (any case); std::out_of_range for other names.
SimulatedModule& SimulatedModuleFor(const std::string& name);
// Resets both modules (between tests).
void ResetSimulatedModules();
// Makes "SIM4" and "SIM2" openable through the serial API; safe to call more than once.
void RegisterSimulatedPorts();
// The port names of the simulated modules, for port lists.
std::vector<std::string> SimulatedPortNames();

// The time line the simulated modules run on (CLOCK_MONOTONIC).
SimTime MonotonicNow();

}  // namespace osc::sim
