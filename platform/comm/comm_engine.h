#pragma once
// Internal to the platform layer: one open communications port. It owns the device and
// a service thread that drains the device into the input queue for as long as the port
// is open, serves the read and write requests in the order they were issued, measures
// their time-outs on the seam's monotonic clock, and completes them (OVERLAPPED record,
// event, or a waiting caller). Every operation returns a Win32 error code
// (ERROR_SUCCESS, ERROR_IO_PENDING for an overlapped request still running).
#include "platform/comm/byte_ring.h"
#include "platform/comm/comm_device.h"
#include "platform/comm/comm_sys.h"
#include "platform/kernel/kernel_object.h"

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace osc::win::detail {

struct CommRequest;

// What a port has done, for tests and diagnostics.
struct CommPortStats {
  std::uint64_t received = 0;  // bytes taken from the device
  std::uint64_t dropped = 0;   // bytes lost because the input queue was full
  std::size_t queued = 0;      // bytes waiting in the input queue
  std::size_t pending_reads = 0;
  std::size_t pending_writes = 0;
};

class CommPort final : public KernelObject {
 public:
  static constexpr DWORD kDefaultInputQueue = 4096;
  static constexpr DWORD kMaxQueue = 16u << 20;

  // `release` runs once the device is closed (frees the name for the next open).
  CommPort(std::unique_ptr<CommDevice> device, bool overlapped, const CommSys& sys,
           std::function<void()> release = {});
  ~CommPort() override;
  CommPort(const CommPort&) = delete;
  CommPort& operator=(const CommPort&) = delete;

  // Starts the service thread; ERROR_SUCCESS or the reason it could not.
  DWORD start();
  // Ends every pending request (ERROR_OPERATION_ABORTED), stops the service thread and
  // closes the device. Later calls do nothing.
  void close();
  void on_close_handle() override { close(); }

  DWORD setup(DWORD inQueue, DWORD outQueue);
  DWORD get_state(DCB* dcb);
  DWORD set_state(const DCB& dcb);
  DWORD get_timeouts(COMMTIMEOUTS* timeouts);
  DWORD set_timeouts(const COMMTIMEOUTS& timeouts);

  // ReadFile/WriteFile. Blocks when the port is not overlapped or `overlapped` is null.
  DWORD read(void* buffer, DWORD count, DWORD* transferred, OVERLAPPED* overlapped);
  DWORD write(const void* buffer, DWORD count, DWORD* transferred, OVERLAPPED* overlapped);
  // Waits until the request of `overlapped` has ended.
  void wait(OVERLAPPED* overlapped);
  DWORD cancel_calling_thread_io();
  DWORD purge(DWORD flags);
  DWORD set_break(bool on);
  DWORD clear_error(DWORD* errors, COMSTAT* stat);

  // Returns after the service thread has run two full cycles that began after the call
  // (everything the device had delivered by then has been taken).
  void sync();
  CommPortStats stats();

 private:
  class WithdrawGuard;
  class NoCancellation;
  using RequestPtr = std::shared_ptr<CommRequest>;
  using Queue = std::deque<RequestPtr>;

  DWORD transfer(bool isRead, void* buffer, DWORD count, DWORD* transferred, OVERLAPPED* overlapped);
  DWORD wait_blocking(const RequestPtr& request, std::unique_lock<std::mutex>& lock,
                      NoCancellation& noCancel);
  void withdraw(CommRequest& request);
  void run();
  void service(std::int64_t now, bool deviceReady, bool hangUp);
  void pump_input(std::int64_t now, bool hangUp);
  void deliver(const std::uint8_t* data, std::size_t count, std::int64_t now);
  void pump_output(std::int64_t now);
  void start_reads(std::int64_t now);
  void start_writes(std::int64_t now);
  void expire(std::int64_t now);
  int next_timeout(std::int64_t now) const;
  Queue::iterator complete(Queue& queue, Queue::iterator it, DWORD error);
  void complete_front(Queue& queue, DWORD error) { complete(queue, queue.begin(), error); }
  void fail_all(Queue& queue, DWORD error);
  void note_errors(DWORD errors);
  void device_gone();
  void wake();

  const CommSys& sys_;
  std::unique_ptr<CommDevice> device_;
  const bool overlapped_;
  std::function<void()> release_;
  int wake_fd_ = -1;
  std::thread thread_;

  std::mutex mutex_;
  std::condition_variable changed_;
  bool closing_ = false;
  bool closed_ = false;
  bool dead_ = false;           // the device vanished
  bool break_on_ = false;       // transmission suspended
  bool abort_tripped_ = false;  // fAbortOnError: transfers fail until ClearCommError
  bool input_flow_control_ = false;
  bool device_writable_ = false;  // the last poll said so
  bool output_backoff_ = false;   // it said so, yet the device took nothing
  DCB dcb_{};
  COMMTIMEOUTS timeouts_{};
  ByteRing input_{kDefaultInputQueue};
  DWORD errors_ = 0;
  Queue reads_;
  Queue writes_;
  std::vector<std::uint8_t> scratch_ = std::vector<std::uint8_t>(4096);
  std::uint64_t cycles_ = 0;
  int sync_waiters_ = 0;
  std::uint64_t received_ = 0;
  std::uint64_t dropped_ = 0;
};

// Status values kept in OVERLAPPED::Internal.
std::uintptr_t overlapped_status_of(DWORD error);
DWORD error_of_overlapped_status(std::uintptr_t status);

}  // namespace osc::win::detail
