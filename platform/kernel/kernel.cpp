#include "platform/kernel/kernel.h"

#include "platform/kernel/kernel_object.h"

#include <pthread.h>
#include <sched.h>
#include <time.h>

#include <cerrno>
#include <cstdint>
#include <unordered_map>

namespace osc::win {
namespace detail {
namespace {

struct HandleTable {
  std::mutex mutex;
  std::unordered_map<std::uintptr_t, std::shared_ptr<KernelObject>> objects;
  std::uintptr_t next = 0x100;  // multiples of 4, as Windows hands them out
};

HandleTable& table() {
  static HandleTable t;
  return t;
}

}  // namespace

namespace {

timespec deadline_after(DWORD milliseconds) {
  timespec t{};
  clock_gettime(CLOCK_MONOTONIC, &t);
  t.tv_sec += static_cast<time_t>(milliseconds / 1000);
  t.tv_nsec += static_cast<long>(milliseconds % 1000) * 1000000L;
  if (t.tv_nsec >= 1000000000L) {
    t.tv_sec += 1;
    t.tv_nsec -= 1000000000L;
  }
  return t;
}

}  // namespace

// A wait is a cancellation point (platform/kernel/threads.h). The condition variable is
// waited on through pthreads directly: std::condition_variable's waits are noexcept,
// so a cancellation inside them would end the process instead of unwinding. When
// cancelled, the wait re-acquires the mutex and the lock's destructor releases it.
DWORD Waitable::wait(DWORD milliseconds) {
  std::unique_lock lock(mutex_);
  const timespec deadline = deadline_after(milliseconds == INFINITE ? 0 : milliseconds);
  while (!signalled_) {
    if (milliseconds == INFINITE) {
      pthread_cond_wait(cond_.native_handle(), mutex_.native_handle());
    } else if (pthread_cond_clockwait(cond_.native_handle(), mutex_.native_handle(), CLOCK_MONOTONIC,
                                      &deadline) == ETIMEDOUT &&
               !signalled_) {
      return WAIT_TIMEOUT;
    }
  }
  if (auto_reset_) signalled_ = false;
  return WAIT_OBJECT_0;
}

void Waitable::set_signalled(bool signalled) {
  {
    std::lock_guard lock(mutex_);
    signalled_ = signalled;
  }
  if (signalled) {
    if (auto_reset_) {
      cond_.notify_one();
    } else {
      cond_.notify_all();
    }
  }
}

bool Waitable::signalled() const {
  std::lock_guard lock(mutex_);
  return signalled_;
}

HANDLE register_object(std::shared_ptr<KernelObject> object) {
  auto& t = table();
  std::lock_guard lock(t.mutex);
  std::uintptr_t value = t.next;
  t.next += 4;
  t.objects.emplace(value, std::move(object));
  return reinterpret_cast<HANDLE>(value);
}

std::shared_ptr<KernelObject> lookup(HANDLE handle) {
  auto& t = table();
  std::lock_guard lock(t.mutex);
  auto it = t.objects.find(reinterpret_cast<std::uintptr_t>(handle));
  return it == t.objects.end() ? nullptr : it->second;
}

bool unregister(HANDLE handle) {
  std::shared_ptr<KernelObject> doomed;  // destroyed outside the lock
  auto& t = table();
  std::lock_guard lock(t.mutex);
  auto it = t.objects.find(reinterpret_cast<std::uintptr_t>(handle));
  if (it == t.objects.end()) return false;
  doomed = std::move(it->second);
  t.objects.erase(it);
  return true;
}

std::size_t object_count() {
  auto& t = table();
  std::lock_guard lock(t.mutex);
  return t.objects.size();
}

}  // namespace detail

namespace {
thread_local DWORD last_error = ERROR_SUCCESS;
}

DWORD GetLastError() {
  return last_error;
}
void SetLastError(DWORD code) {
  last_error = code;
}

HANDLE CreateEvent(bool manualReset, bool initialState) {
  return detail::register_object(std::make_shared<detail::Event>(manualReset, initialState));
}

BOOL SetEvent(HANDLE event) {
  auto e = detail::lookup_as<detail::Event>(event);
  if (!e) {
    SetLastError(ERROR_INVALID_HANDLE);
    return 0;
  }
  e->set_signalled(true);
  return 1;
}

BOOL ResetEvent(HANDLE event) {
  auto e = detail::lookup_as<detail::Event>(event);
  if (!e) {
    SetLastError(ERROR_INVALID_HANDLE);
    return 0;
  }
  e->set_signalled(false);
  return 1;
}

DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds) {
  auto w = detail::lookup_as<detail::Waitable>(handle);
  if (!w) {
    SetLastError(ERROR_INVALID_HANDLE);
    return WAIT_FAILED;
  }
  return w->wait(milliseconds);
}

BOOL CloseHandle(HANDLE handle) {
  auto object = detail::lookup(handle);
  if (!object || !detail::unregister(handle)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return 0;
  }
  object->on_close_handle();
  return 1;
}

HANDLE DuplicateHandle(HANDLE source) {
  auto object = detail::lookup(source);
  if (!object) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  return detail::register_object(std::move(object));
}

// Waits on a condition that nobody signals rather than calling nanosleep: a
// cancellation point all the same, and one that the sanitizers follow through a
// cancellation (they lose track of a thread cancelled inside nanosleep).
void Sleep(DWORD milliseconds) {
  if (milliseconds == 0) {
    sched_yield();
    return;
  }
  std::mutex mutex;
  std::condition_variable cond;
  std::unique_lock lock(mutex);
  const timespec deadline = detail::deadline_after(milliseconds == INFINITE ? 0 : milliseconds);
  for (;;) {
    if (milliseconds == INFINITE) {
      pthread_cond_wait(cond.native_handle(), mutex.native_handle());
    } else if (pthread_cond_clockwait(cond.native_handle(), mutex.native_handle(), CLOCK_MONOTONIC,
                                      &deadline) == ETIMEDOUT) {
      return;
    }
  }
}

}  // namespace osc::win
