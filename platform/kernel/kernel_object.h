#pragma once
// Internal to the platform layer: the objects behind handles and the handle table.
// Other platform services (communications devices, threads) register their own
// objects here so that CloseHandle and WaitForSingleObject work on them.
#include "platform/win32.h"

#include <condition_variable>
#include <cstddef>
#include <memory>
#include <mutex>

namespace osc::win::detail {

class KernelObject {
 public:
  virtual ~KernelObject() = default;
  // Called once by CloseHandle after the handle has left the table. Objects that a
  // thread inside a call may still hold (a port with a blocked read) end their work
  // here rather than in the destructor.
  virtual void on_close_handle() {}
};

// An object with a signalled state that threads can wait for.
class Waitable : public KernelObject {
 public:
  // WAIT_OBJECT_0 or WAIT_TIMEOUT; an auto-reset object is cleared by the waiter it wakes.
  DWORD wait(DWORD milliseconds);
  void set_signalled(bool signalled);
  bool signalled() const;

 protected:
  explicit Waitable(bool autoReset, bool initial) : auto_reset_(autoReset), signalled_(initial) {}

 private:
  mutable std::mutex mutex_;
  std::condition_variable cond_;
  const bool auto_reset_;
  bool signalled_;
};

class Event final : public Waitable {
 public:
  Event(bool manualReset, bool initial) : Waitable(!manualReset, initial) {}
};

HANDLE register_object(std::shared_ptr<KernelObject> object);
std::shared_ptr<KernelObject> lookup(HANDLE handle);
bool unregister(HANDLE handle);
// The number of handles open now (tests prove with it that nothing was left open).
std::size_t object_count();

template <class T>
std::shared_ptr<T> lookup_as(HANDLE handle) {
  return std::dynamic_pointer_cast<T>(lookup(handle));
}

}  // namespace osc::win::detail
