#include "platform/comm/comm_engine.h"

#include <pthread.h>
#include <sys/eventfd.h>
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstring>
#include <system_error>

namespace osc::win::detail {
namespace {

constexpr std::int64_t kNever = INT64_MAX;
constexpr std::uintptr_t kStatusPending = 0x103;
constexpr int kBackoffMs = 5;

// now + multiplier x count + constant, in 64 bits (the product alone overflows 32),
// saturating at kNever.
std::int64_t deadline_after(std::int64_t now, DWORD multiplier, DWORD count, DWORD constant) {
  std::uint64_t span = std::uint64_t{multiplier} * count;
  if (span > UINT64_MAX - constant) return kNever;
  span += constant;
  if (span >= static_cast<std::uint64_t>(kNever - now)) return kNever;
  return now + static_cast<std::int64_t>(span);
}

std::atomic_ref<std::uintptr_t> status_of(OVERLAPPED* overlapped) {
  return std::atomic_ref<std::uintptr_t>(overlapped->Internal);
}

bool dcb_valid(const DCB& d) {
  if (d.BaudRate == 0 || d.ByteSize < 5 || d.ByteSize > 8 || d.Parity > 4 || d.StopBits > 2) return false;
  if (d.StopBits == 1 && d.ByteSize != 5) return false;  // 1.5 stop bits only with 5 data bits
  if (d.StopBits == 2 && d.ByteSize == 5) return false;
  if ((d.Flags & (DCB_fOutX | DCB_fInX)) && d.XonChar == d.XoffChar) return false;
  return true;
}

DCB default_dcb() {
  DCB d;
  d.DCBlength = sizeof(DCB);
  d.BaudRate = 9600;
  d.ByteSize = 8;
  d.Flags = DCB_fBinary | DCB_fDtrControlEnable | DCB_fRtsControlEnable;
  return d;
}

bool vanished(int error) {
  return error == EIO || error == ENXIO || error == ENODEV;
}

struct StatusCode {
  DWORD error;
  std::uintptr_t status;
};
constexpr StatusCode kStatusCodes[] = {
    {ERROR_SUCCESS, 0},
    {ERROR_IO_PENDING, kStatusPending},
    {ERROR_OPERATION_ABORTED, 0xC0000120},     // STATUS_CANCELLED
    {ERROR_DEVICE_NOT_CONNECTED, 0xC000009D},  // STATUS_DEVICE_NOT_CONNECTED
    {ERROR_INVALID_HANDLE, 0xC0000008},
    {ERROR_INVALID_PARAMETER, 0xC000000D},
    {ERROR_GEN_FAILURE, 0xC0000001},  // STATUS_UNSUCCESSFUL
};

}  // namespace

std::uintptr_t overlapped_status_of(DWORD error) {
  for (const auto& c : kStatusCodes) {
    if (c.error == error) return c.status;
  }
  return 0xC0000001;
}

DWORD error_of_overlapped_status(std::uintptr_t status) {
  for (const auto& c : kStatusCodes) {
    if (c.status == status) return c.error;
  }
  return ERROR_GEN_FAILURE;
}

struct CommRequest {
  enum class Mode { kWait, kImmediate, kFirstByte };

  bool is_read = true;
  std::uint8_t* data = nullptr;
  DWORD count = 0;
  DWORD done = 0;
  OVERLAPPED* overlapped = nullptr;
  std::shared_ptr<Waitable> event;
  std::thread::id issuer;
  bool started = false;
  bool finished = false;
  DWORD error = ERROR_SUCCESS;
  Mode mode = Mode::kWait;
  std::int64_t deadline = kNever;
  std::int64_t interval = kNever;
  std::int64_t last_byte = 0;
};

// A thread blocked in ReadFile or WriteFile may be ended by pthread_cancel while it
// waits. Its buffer lives on its stack, so the forced unwind must take the request out
// of the queues before the stack goes; holding the port lock while doing so guarantees
// that the service thread no longer touches the buffer afterwards.
class CommPort::WithdrawGuard {
 public:
  WithdrawGuard(CommPort& port, CommRequest& request, std::unique_lock<std::mutex>& lock)
      : port_(port), request_(request), lock_(lock) {}
  ~WithdrawGuard() {
    if (dismissed_) return;
    int previous = 0;
    pthread_setcancelstate(PTHREAD_CANCEL_DISABLE, &previous);  // wake() writes to a file
    if (!lock_.owns_lock()) lock_.lock();
    port_.withdraw(request_);
    pthread_setcancelstate(previous, nullptr);
  }
  WithdrawGuard(const WithdrawGuard&) = delete;
  WithdrawGuard& operator=(const WithdrawGuard&) = delete;
  void dismiss() { dismissed_ = true; }

 private:
  CommPort& port_;
  CommRequest& request_;
  std::unique_lock<std::mutex>& lock_;
  bool dismissed_ = false;
};

// Holds off pthread_cancel while a request is being queued: a thread cut off there
// would leave its buffer in the queue with nobody to take it out.
class CommPort::NoCancellation {
 public:
  NoCancellation() { pthread_setcancelstate(PTHREAD_CANCEL_DISABLE, &previous_); }
  ~NoCancellation() { restore(); }
  NoCancellation(const NoCancellation&) = delete;
  NoCancellation& operator=(const NoCancellation&) = delete;
  void restore() {
    if (restored_) return;
    restored_ = true;
    pthread_setcancelstate(previous_, nullptr);
  }

 private:
  int previous_ = PTHREAD_CANCEL_ENABLE;
  bool restored_ = false;
};

CommPort::CommPort(std::unique_ptr<CommDevice> device, bool overlapped, const CommSys& sys,
                   std::function<void()> release)
    : sys_(sys), device_(std::move(device)), overlapped_(overlapped), release_(std::move(release)) {
  if (!device_->get_state(&dcb_) || !dcb_valid(dcb_)) dcb_ = default_dcb();
  dcb_.DCBlength = sizeof(DCB);
}

CommPort::~CommPort() {
  close();
}

DWORD CommPort::start() {
  wake_fd_ = sys_.eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  if (wake_fd_ < 0) return ERROR_NOT_ENOUGH_MEMORY;
  try {
    thread_ = std::thread([this] { run(); });
  } catch (const std::system_error&) {
    return ERROR_NOT_ENOUGH_MEMORY;
  }
  return ERROR_SUCCESS;
}

void CommPort::close() {
  std::unique_lock lock(mutex_);
  if (closing_) {
    changed_.wait(lock, [this] { return closed_; });
    return;
  }
  closing_ = true;
  fail_all(reads_, ERROR_OPERATION_ABORTED);
  fail_all(writes_, ERROR_OPERATION_ABORTED);
  wake();
  lock.unlock();
  if (thread_.joinable()) thread_.join();
  device_.reset();  // only now: the service thread is gone
  if (wake_fd_ >= 0) sys_.close(wake_fd_);
  wake_fd_ = -1;
  if (release_) release_();
  lock.lock();
  closed_ = true;
  changed_.notify_all();
}

void CommPort::wake() {
  if (wake_fd_ < 0) return;
  std::uint64_t one = 1;
  while (sys_.write(wake_fd_, &one, sizeof one) < 0 && errno == EINTR) {
  }  // EAGAIN: a wake-up is already pending
}

DWORD CommPort::setup(DWORD inQueue, DWORD outQueue) {
  if (inQueue == 0 || inQueue > kMaxQueue || outQueue > kMaxQueue) return ERROR_INVALID_PARAMETER;
  std::lock_guard lock(mutex_);
  if (closing_) return ERROR_INVALID_HANDLE;
  std::size_t dropped = input_.resize(inQueue);
  if (dropped > 0) {
    dropped_ += dropped;
    note_errors(CE_RXOVER);
  }
  wake();
  return ERROR_SUCCESS;
}

DWORD CommPort::get_state(DCB* dcb) {
  std::lock_guard lock(mutex_);
  *dcb = dcb_;
  return ERROR_SUCCESS;
}

DWORD CommPort::set_state(const DCB& dcb) {
  if (!dcb_valid(dcb)) return ERROR_INVALID_PARAMETER;
  std::lock_guard lock(mutex_);
  if (closing_) return ERROR_INVALID_HANDLE;
  if (dead_) return ERROR_DEVICE_NOT_CONNECTED;
  if (!device_->configure(dcb)) {
    int e = errno;
    if (vanished(e)) return ERROR_DEVICE_NOT_CONNECTED;
    return e == EINVAL ? ERROR_INVALID_PARAMETER : ERROR_GEN_FAILURE;
  }
  dcb_ = dcb;
  dcb_.DCBlength = sizeof(DCB);
  DWORD dtr = (dcb.Flags >> 4) & 3;
  DWORD rts = (dcb.Flags >> 12) & 3;
  input_flow_control_ = (dcb.Flags & DCB_fInX) || dtr == 2 || rts == 2;
  wake();
  return ERROR_SUCCESS;
}

DWORD CommPort::get_timeouts(COMMTIMEOUTS* timeouts) {
  std::lock_guard lock(mutex_);
  *timeouts = timeouts_;
  return ERROR_SUCCESS;
}

DWORD CommPort::set_timeouts(const COMMTIMEOUTS& t) {
  if (t.ReadIntervalTimeout == MAXDWORD && t.ReadTotalTimeoutMultiplier == MAXDWORD &&
      t.ReadTotalTimeoutConstant == MAXDWORD) {
    return ERROR_INVALID_PARAMETER;
  }
  std::lock_guard lock(mutex_);
  timeouts_ = t;
  return ERROR_SUCCESS;
}

DWORD CommPort::read(void* buffer, DWORD count, DWORD* transferred, OVERLAPPED* overlapped) {
  return transfer(true, buffer, count, transferred, overlapped);
}

DWORD CommPort::write(const void* buffer, DWORD count, DWORD* transferred, OVERLAPPED* overlapped) {
  // The engine only reads from a write request's buffer.
  return transfer(false, const_cast<void*>(buffer), count, transferred, overlapped);
}

DWORD CommPort::transfer(bool isRead, void* buffer, DWORD count, DWORD* transferred, OVERLAPPED* overlapped) {
  if (transferred) *transferred = 0;
  if (!buffer && count > 0) return ERROR_INVALID_PARAMETER;
  auto request = std::make_shared<CommRequest>();
  if (overlapped && overlapped->hEvent) {
    request->event = lookup_as<Waitable>(overlapped->hEvent);
    if (!request->event) return ERROR_INVALID_HANDLE;
  }
  request->is_read = isRead;
  request->data = static_cast<std::uint8_t*>(buffer);
  request->count = count;
  request->overlapped = overlapped;
  request->issuer = std::this_thread::get_id();
  if (overlapped) {
    overlapped->InternalHigh = 0;
    status_of(overlapped).store(kStatusPending, std::memory_order_release);
  }
  if (request->event) request->event->set_signalled(false);

  NoCancellation no_cancel;
  std::unique_lock lock(mutex_);
  DWORD refused = closing_         ? ERROR_INVALID_HANDLE
                  : dead_          ? ERROR_DEVICE_NOT_CONNECTED
                  : abort_tripped_ ? ERROR_OPERATION_ABORTED
                                   : ERROR_SUCCESS;
  if (refused != ERROR_SUCCESS) {
    if (overlapped) status_of(overlapped).store(overlapped_status_of(refused), std::memory_order_release);
    return refused;
  }
  std::int64_t now = sys_.now_ms();
  if (isRead) {
    reads_.push_back(request);
    start_reads(now);
  } else {
    writes_.push_back(request);
    pump_output(now);
  }
  DWORD result = request->error;
  if (!request->finished) {
    if (overlapped_ && overlapped) {
      wake();
      return ERROR_IO_PENDING;
    }
    result = wait_blocking(request, lock, no_cancel);
  }
  if (transferred) *transferred = request->done;
  return result;
}

DWORD CommPort::wait_blocking(const RequestPtr& request, std::unique_lock<std::mutex>& lock,
                              NoCancellation& noCancel) {
  WithdrawGuard guard(*this, *request, lock);
  noCancel.restore();  // from here a cancelled thread takes its request with it
  wake();
  changed_.wait(lock, [&] { return request->finished; });  // a cancellation point
  guard.dismiss();
  return request->error;
}

void CommPort::withdraw(CommRequest& request) {
  if (request.finished) return;
  Queue& queue = request.is_read ? reads_ : writes_;
  auto it =
      std::find_if(queue.begin(), queue.end(), [&](const RequestPtr& r) { return r.get() == &request; });
  if (it != queue.end()) queue.erase(it);
  request.finished = true;
  request.error = ERROR_OPERATION_ABORTED;
  wake();  // the next request becomes current in the service thread
}

void CommPort::wait(OVERLAPPED* overlapped) {
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [&] {
    return closed_ || status_of(overlapped).load(std::memory_order_acquire) != kStatusPending;
  });
}

DWORD CommPort::cancel_calling_thread_io() {
  std::lock_guard lock(mutex_);
  if (closing_) return ERROR_INVALID_HANDLE;
  auto me = std::this_thread::get_id();
  for (Queue* queue : {&reads_, &writes_}) {
    for (auto it = queue->begin(); it != queue->end();) {
      if ((*it)->issuer == me) {
        it = complete(*queue, it, ERROR_OPERATION_ABORTED);
      } else {
        ++it;
      }
    }
  }
  std::int64_t now = sys_.now_ms();
  start_reads(now);
  pump_output(now);
  wake();
  return ERROR_SUCCESS;
}

DWORD CommPort::purge(DWORD flags) {
  if (flags & ~(PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR))
    return ERROR_INVALID_PARAMETER;
  std::lock_guard lock(mutex_);
  if (closing_) return ERROR_INVALID_HANDLE;
  if (flags & PURGE_RXABORT) fail_all(reads_, ERROR_OPERATION_ABORTED);
  if (flags & PURGE_TXABORT) fail_all(writes_, ERROR_OPERATION_ABORTED);
  if (flags & PURGE_RXCLEAR) input_.clear();
  DWORD clear = flags & (PURGE_RXCLEAR | PURGE_TXCLEAR);
  if (clear && !dead_) device_->purge(clear);
  wake();
  return ERROR_SUCCESS;
}

DWORD CommPort::set_break(bool on) {
  std::lock_guard lock(mutex_);
  if (closing_) return ERROR_INVALID_HANDLE;
  if (dead_) return ERROR_DEVICE_NOT_CONNECTED;
  if (!device_->set_break(on)) return vanished(errno) ? ERROR_DEVICE_NOT_CONNECTED : ERROR_GEN_FAILURE;
  break_on_ = on;
  wake();
  return ERROR_SUCCESS;
}

DWORD CommPort::clear_error(DWORD* errors, COMSTAT* stat) {
  std::lock_guard lock(mutex_);
  if (closing_) return ERROR_INVALID_HANDLE;
  if (dead_) return ERROR_DEVICE_NOT_CONNECTED;
  DWORD found = errors_ | device_->take_errors();
  errors_ = 0;
  abort_tripped_ = false;
  if (errors) *errors = found;
  if (stat) {
    DWORD unsent = 0;
    for (const auto& w : writes_)
      unsent += w->count - w->done;
    stat->Flags = 0;
    stat->cbInQue = static_cast<DWORD>(input_.size());
    stat->cbOutQue = unsent + device_->output_queue();
  }
  return ERROR_SUCCESS;
}

void CommPort::sync() {
  std::unique_lock lock(mutex_);
  if (closing_ || !thread_.joinable()) return;
  std::uint64_t target = cycles_ + 2;
  ++sync_waiters_;
  wake();
  changed_.wait(lock, [&] { return cycles_ >= target || closing_; });
  --sync_waiters_;
}

CommPortStats CommPort::stats() {
  std::lock_guard lock(mutex_);
  return {received_, dropped_, input_.size(), reads_.size(), writes_.size()};
}

// ---- the service thread; everything below runs under mutex_ ----

void CommPort::run() {
  std::unique_lock lock(mutex_);
  bool ready = true;
  bool hang_up = false;
  while (!closing_) {
    std::int64_t now = sys_.now_ms();
    service(now, ready, hang_up);
    ++cycles_;
    if (sync_waiters_ > 0) changed_.notify_all();

    pollfd fds[2] = {{wake_fd_, POLLIN, 0}, {dead_ ? -1 : device_->poll_fd(), 0, 0}};
    if (!(input_flow_control_ && input_.full())) fds[1].events |= POLLIN;
    bool writing = !writes_.empty() && !break_on_;
    if (writing && !output_backoff_) fds[1].events |= POLLOUT;
    int timeout = sync_waiters_ > 0 ? 0 : next_timeout(now);
    // A device whose descriptor reports writable while it takes nothing is retried
    // every few milliseconds instead of spinning.
    if (writing && output_backoff_) timeout = timeout < 0 ? kBackoffMs : std::min(timeout, kBackoffMs);
    lock.unlock();
    int n = sys_.poll(fds, 2, timeout);
    int error = errno;
    lock.lock();
    ready = false;
    hang_up = false;
    if (n < 0) {
      if (error != EINTR) device_gone();  // poll itself failing would only spin
      continue;
    }
    if (fds[0].revents & POLLIN) {
      std::uint64_t count = 0;
      sys_.read(wake_fd_, &count, sizeof count);
    }
    ready = fds[1].revents & (POLLIN | POLLHUP | POLLERR | POLLNVAL);
    device_writable_ = fds[1].revents & POLLOUT;
    hang_up = fds[1].revents & (POLLHUP | POLLERR | POLLNVAL);
  }
}

void CommPort::service(std::int64_t now, bool deviceReady, bool hangUp) {
  if (deviceReady && !dead_) pump_input(now, hangUp);
  start_reads(now);
  pump_output(now);
  expire(now);
}

void CommPort::pump_input(std::int64_t now, bool hangUp) {
  for (int chunk = 0; chunk < 64; ++chunk) {
    if (input_flow_control_ && input_.full()) {
      // Leave the rest in the device so that its flow control holds the sender.
      if (hangUp) device_gone();
      break;
    }
    ssize_t n = device_->read_some(scratch_.data(), scratch_.size());
    if (n > 0) {
      received_ += static_cast<std::size_t>(n);
      deliver(scratch_.data(), static_cast<std::size_t>(n), now);
      continue;
    }
    bool transient = n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR);
    // Any other failure ends the device too: retrying it would only spin.
    if ((n < 0 && !transient) || (n == 0 && hangUp)) device_gone();
    break;
  }
  // A device may be readable only to report a line error.
  if (!dead_) note_errors(device_->take_errors());
}

// Reads are served in issue order: the current read takes the bytes first; what no read
// wants is kept in the input queue (a current read has always emptied it).
void CommPort::deliver(const std::uint8_t* data, std::size_t count, std::int64_t now) {
  start_reads(now);
  std::size_t used = 0;
  while (used < count && !reads_.empty()) {
    CommRequest& r = *reads_.front();
    std::size_t take = std::min<std::size_t>(count - used, r.count - r.done);
    std::memcpy(r.data + r.done, data + used, take);
    r.done += static_cast<DWORD>(take);
    r.last_byte = now;
    used += take;
    if (r.done == r.count || r.mode == CommRequest::Mode::kFirstByte) {
      complete_front(reads_, ERROR_SUCCESS);
      start_reads(now);
    }
  }
  std::size_t rest = count - used;
  if (rest == 0) return;
  std::size_t kept = input_.push(data + used, rest);
  if (kept < rest) {
    dropped_ += rest - kept;
    note_errors(CE_RXOVER);
  }
}

void CommPort::start_reads(std::int64_t now) {
  while (!reads_.empty()) {
    CommRequest& r = *reads_.front();
    if (!r.started) {
      r.started = true;
      const COMMTIMEOUTS& t = timeouts_;
      DWORD ri = t.ReadIntervalTimeout, rm = t.ReadTotalTimeoutMultiplier, rc = t.ReadTotalTimeoutConstant;
      if (ri == MAXDWORD && rm == 0 && rc == 0) {
        r.mode = CommRequest::Mode::kImmediate;
      } else if (ri == MAXDWORD && rm == MAXDWORD && rc > 0 && rc < MAXDWORD) {
        r.mode = CommRequest::Mode::kFirstByte;
        r.deadline = deadline_after(now, 0, 0, rc);
      } else {
        if (rm != 0 || rc != 0) r.deadline = deadline_after(now, rm, r.count, rc);
        if (ri != 0) r.interval = ri;
      }
    }
    std::size_t n = input_.pop(r.data + r.done, r.count - r.done);
    if (n > 0) {
      r.done += static_cast<DWORD>(n);
      r.last_byte = now;
    }
    bool satisfied = r.done == r.count || r.mode == CommRequest::Mode::kImmediate ||
                     (r.mode == CommRequest::Mode::kFirstByte && r.done > 0);
    if (!satisfied) return;
    complete_front(reads_, ERROR_SUCCESS);
  }
}

void CommPort::start_writes(std::int64_t now) {
  if (writes_.empty()) return;
  CommRequest& w = *writes_.front();
  if (w.started) return;
  w.started = true;
  DWORD wm = timeouts_.WriteTotalTimeoutMultiplier, wc = timeouts_.WriteTotalTimeoutConstant;
  if (wm != 0 || wc != 0) w.deadline = deadline_after(now, wm, w.count, wc);
}

void CommPort::pump_output(std::int64_t now) {
  if (writes_.empty()) output_backoff_ = false;
  while (!writes_.empty()) {
    start_writes(now);
    CommRequest& w = *writes_.front();
    if (w.done == w.count) {
      complete_front(writes_, ERROR_SUCCESS);
      continue;
    }
    if (break_on_ || dead_) return;  // transmission is suspended during a break
    ssize_t n = device_->write_some(w.data + w.done, w.count - w.done);
    if (n > 0) {
      w.done += static_cast<DWORD>(n);
      output_backoff_ = false;
      continue;
    }
    if (n == 0 || errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) {
      output_backoff_ = device_writable_;
      return;
    }
    if (vanished(errno)) {
      device_gone();
      return;
    }
    complete_front(writes_, ERROR_GEN_FAILURE);
  }
}

void CommPort::expire(std::int64_t now) {
  while (!reads_.empty() && reads_.front()->started) {
    const CommRequest& r = *reads_.front();
    bool total = now >= r.deadline;
    bool gap = r.interval != kNever && r.done > 0 && now - r.last_byte >= r.interval;
    if (!total && !gap) break;
    complete_front(reads_, ERROR_SUCCESS);  // a time-out is a success with what arrived
    start_reads(now);
  }
  while (!writes_.empty() && writes_.front()->started && now >= writes_.front()->deadline) {
    complete_front(writes_, ERROR_SUCCESS);
    pump_output(now);
  }
}

int CommPort::next_timeout(std::int64_t now) const {
  std::int64_t due = kNever;
  if (!reads_.empty() && reads_.front()->started) {
    const CommRequest& r = *reads_.front();
    due = std::min(due, r.deadline);
    if (r.interval != kNever && r.done > 0) due = std::min(due, r.last_byte + r.interval);
  }
  if (!writes_.empty() && writes_.front()->started) due = std::min(due, writes_.front()->deadline);
  if (due == kNever) return -1;
  return static_cast<int>(std::clamp<std::int64_t>(due - now, 0, INT_MAX));
}

CommPort::Queue::iterator CommPort::complete(Queue& queue, Queue::iterator it, DWORD error) {
  RequestPtr r = *it;
  auto next = queue.erase(it);
  r->finished = true;
  r->error = error;
  if (r->overlapped) {
    r->overlapped->InternalHigh = r->done;
    status_of(r->overlapped).store(overlapped_status_of(error), std::memory_order_release);
  }
  if (r->event) r->event->set_signalled(true);
  changed_.notify_all();
  return next;
}

void CommPort::fail_all(Queue& queue, DWORD error) {
  while (!queue.empty())
    complete_front(queue, error);
}

void CommPort::note_errors(DWORD errors) {
  if (errors == 0) return;
  errors_ |= errors;
  if (dcb_.Flags & DCB_fAbortOnError) {
    abort_tripped_ = true;
    fail_all(reads_, ERROR_OPERATION_ABORTED);
    fail_all(writes_, ERROR_OPERATION_ABORTED);
  }
}

void CommPort::device_gone() {
  dead_ = true;
  fail_all(reads_, ERROR_DEVICE_NOT_CONNECTED);
  fail_all(writes_, ERROR_DEVICE_NOT_CONNECTED);
}

}  // namespace osc::win::detail
