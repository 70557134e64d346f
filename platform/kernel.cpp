#include "platform/kernel.h"

#include "platform/kernel_object.h"

#include <chrono>
#include <cstdint>
#include <thread>
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

DWORD Waitable::wait(DWORD milliseconds) {
  std::unique_lock lock(mutex_);
  auto ready = [this] { return signalled_; };
  if (milliseconds == INFINITE) {
    cond_.wait(lock, ready);
  } else if (!cond_.wait_for(lock, std::chrono::milliseconds(milliseconds), ready)) {
    return WAIT_TIMEOUT;
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

DWORD GetLastError() { return last_error; }
void SetLastError(DWORD code) { last_error = code; }

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

void Sleep(DWORD milliseconds) {
  std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

}  // namespace osc::win
