#include "simulator/simulated_module.h"

#include "simulator/sim_comm_device.h"

#include <algorithm>
#include <cctype>
#include <ctime>
#include <stdexcept>

namespace osc::sim {

SimTime MonotonicNow() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return SimTime(static_cast<std::int64_t>(ts.tv_sec) * 1000000000 + ts.tv_nsec);
}

SimulatedModule::SimulatedModule(ModuleType type) : type_(type), model_(type) {}

SimulatedModule::~SimulatedModule() = default;

void SimulatedModule::wake_port() {
  if (attached_) attached_->rearm();
}

void SimulatedModule::set_signal(int channel, const SignalSpec& signal) {
  with_model([&](ModuleModel& m) { m.set_signal(channel, signal); });
}
void SimulatedModule::set_input(int channel, const InputSetup& input) {
  with_model([&](ModuleModel& m) { m.set_input(channel, input); });
}
void SimulatedModule::set_typical_errors() {
  with_model([](ModuleModel& m) {
    for (int ch = 1; ch <= 4; ++ch)
      m.set_input(ch, WithTypicalErrors(ch, m.input(ch)));
  });
}
void SimulatedModule::set_pace(double factor) {
  with_model([&](ModuleModel& m) { m.set_pace(factor); });
}
void SimulatedModule::set_ident_byte4(std::uint8_t value) {
  with_model([&](ModuleModel& m) { m.set_ident_byte4(value); });
}

void SimulatedModule::set_reply_delay(SimTime delay) {
  with_model([&](ModuleModel& m) { m.set_reply_delay(delay); });
}

void SimulatedModule::inject(Fault fault, FaultMode mode) {
  std::lock_guard lock(mutex_);
  if (fault != Fault::PulledCable) {
    if (fault == Fault::Silence && mode != FaultMode::Always) model_.end_silence(MonotonicNow());
    model_.inject(fault, mode);
    wake_port();
    return;
  }
  pulled_for_good_ = mode == FaultMode::Always;
  open_fails_once_ = false;
  if (mode == FaultMode::Off) return;
  if (attached_) {
    attached_->vanish();
  } else if (mode == FaultMode::Once) {
    open_fails_once_ = true;
  }
}

void SimulatedModule::clear_faults() {
  std::lock_guard lock(mutex_);
  model_.end_silence(MonotonicNow());
  model_.clear_faults();
  pulled_for_good_ = false;
  open_fails_once_ = false;
  wake_port();
}

void SimulatedModule::reset() {
  std::lock_guard lock(mutex_);
  model_ = ModuleModel(type_);
  pulled_for_good_ = false;
  open_fails_once_ = false;
  wake_port();
}

ModuleState SimulatedModule::state() const {
  std::lock_guard lock(mutex_);
  return model_.state();
}
DWORD SimulatedModule::line_baud() const {
  std::lock_guard lock(mutex_);
  return model_.line_baud();
}
std::uint16_t SimulatedModule::mode_word() const {
  std::lock_guard lock(mutex_);
  return model_.mode_word();
}
std::uint8_t SimulatedModule::offset_byte() const {
  std::lock_guard lock(mutex_);
  return model_.offset_byte();
}
std::uint64_t SimulatedModule::stream_bytes() const {
  std::lock_guard lock(mutex_);
  return model_.stream_bytes();
}
bool SimulatedModule::port_open() const {
  std::lock_guard lock(mutex_);
  return attached_ != nullptr;
}
DWORD SimulatedModule::host_baud() const {
  std::lock_guard lock(mutex_);
  return attached_ ? attached_->host_baud() : 0;
}

std::unique_ptr<win::CommDevice> SimulatedModule::open(DWORD* error) {
  std::lock_guard lock(mutex_);
  if (pulled_for_good_ || open_fails_once_) {
    open_fails_once_ = false;
    *error = win::ERROR_FILE_NOT_FOUND;
    return nullptr;
  }
  if (attached_) {
    *error = win::ERROR_ACCESS_DENIED;
    return nullptr;
  }
  return std::make_unique<SimCommDevice>(*this);
}

namespace {

struct Modules {
  SimulatedModule four{ModuleType::FourChannel};
  SimulatedModule two{ModuleType::TwoChannel};
};

// Never destroyed: a port the serial engine still holds at exit may refer to its module.
Modules& modules() {
  static Modules* m = new Modules;
  return *m;
}

std::string Upper(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return std::toupper(c); });
  return s;
}

}  // namespace

SimulatedModule& SimulatedModuleFor(const std::string& name) {
  std::string n = Upper(name);
  if (n == "SIM4") return modules().four;
  if (n == "SIM2") return modules().two;
  throw std::out_of_range("no simulated module named " + name);
}

void ResetSimulatedModules() {
  modules().four.reset();
  modules().two.reset();
}

std::vector<std::string> SimulatedPortNames() {
  return {"SIM4", "SIM2"};
}

}  // namespace osc::sim
