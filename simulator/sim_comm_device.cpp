#include "simulator/sim_comm_device.h"

#include "simulator/simulated_module.h"

#include <sys/timerfd.h>
#include <unistd.h>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <span>
#include <system_error>

namespace osc::sim {
namespace {

// Paced bytes are handed over at most once a millisecond, as a UART's FIFO or a USB
// adapter batches them, so a stream does not wake the reader for every byte.
constexpr SimTime kBatch = std::chrono::milliseconds(1);

}  // namespace

SimCommDevice::SimCommDevice(SimulatedModule& module) : module_(module) {
  timer_fd_ = timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC);
  if (timer_fd_ < 0) throw std::system_error(errno, std::generic_category(), "timerfd_create");
  module_.attached_ = this;
  module_.model_.discard_output(MonotonicNow());  // nobody listened while the port was closed
  rearm();
}

SimCommDevice::~SimCommDevice() {
  {
    std::lock_guard lock(module_.mutex_);
    if (module_.attached_ == this) module_.attached_ = nullptr;
  }
  close(timer_fd_);
}

void SimCommDevice::rearm() {
  itimerspec when{};
  SimTime now = MonotonicNow();
  std::optional<SimTime> due;
  if (dead_ || pending_pos_ < pending_.size()) {
    due = now;
  } else {
    due = module_.model_.next_output_due(now);
    if (due && module_.model_.pace() > 0) due = std::max(*due, last_read_ + kBatch);
  }
  if (due) {
    // An absolute time that has passed makes the descriptor readable at once; 0 would disarm.
    auto ns = std::max<std::int64_t>(due->count(), 1);
    when.it_value.tv_sec = static_cast<time_t>(ns / 1000000000);
    when.it_value.tv_nsec = static_cast<long>(ns % 1000000000);
  }
  timerfd_settime(timer_fd_, TFD_TIMER_ABSTIME, &when, nullptr);
}

void SimCommDevice::vanish() {
  dead_ = true;
  rearm();
}

ssize_t SimCommDevice::read_some(void* buffer, std::size_t count) {
  std::lock_guard lock(module_.mutex_);
  if (dead_) {
    errno = ENODEV;
    return -1;
  }
  if (pending_pos_ == pending_.size()) {
    pending_.clear();
    pending_pos_ = 0;
    module_.model_.transmit(pending_, count, host_baud_, MonotonicNow());
  }
  last_read_ = MonotonicNow();
  std::size_t n = std::min(count, pending_.size() - pending_pos_);
  if (n) std::memcpy(buffer, pending_.data() + pending_pos_, n);
  pending_pos_ += n;
  rearm();
  return static_cast<ssize_t>(n);
}

ssize_t SimCommDevice::write_some(const void* buffer, std::size_t count) {
  std::lock_guard lock(module_.mutex_);
  if (dead_) {
    errno = ENODEV;
    return -1;
  }
  module_.model_.receive(std::span(static_cast<const std::uint8_t*>(buffer), count), host_baud_,
                         MonotonicNow());
  rearm();
  return static_cast<ssize_t>(count);
}

bool SimCommDevice::configure(const win::DCB& dcb) {
  std::lock_guard lock(module_.mutex_);
  if (dead_) {
    errno = ENODEV;
    return false;
  }
  if (dcb.BaudRate == 0 || dcb.ByteSize < 5 || dcb.ByteSize > 8 || dcb.Parity > 4 || dcb.StopBits > 2) {
    errno = EINVAL;
    return false;
  }
  host_baud_ = dcb.BaudRate;
  return true;
}

bool SimCommDevice::set_break(bool on) {
  std::lock_guard lock(module_.mutex_);
  if (dead_) {
    errno = ENODEV;
    return false;
  }
  module_.model_.set_break(on, MonotonicNow());
  rearm();
  return true;
}

void SimCommDevice::purge(win::DWORD flags) {
  std::lock_guard lock(module_.mutex_);
  if (dead_ || !(flags & win::PURGE_RXCLEAR)) return;
  pending_.clear();
  pending_pos_ = 0;
  module_.model_.discard_output(MonotonicNow());
  rearm();
}

win::DWORD SimCommDevice::take_errors() {
  std::lock_guard lock(module_.mutex_);
  return module_.model_.take_line_errors();
}

}  // namespace osc::sim
