#include "platform/kernel/threads.h"

#include "platform/kernel/kernel.h"
#include "platform/kernel/kernel_object.h"
#include "platform/kernel/threads_internal.h"

#include <cxxabi.h>
#include <pthread.h>
#include <sys/resource.h>
#include <unistd.h>
#include <cerrno>

#include <algorithm>
#include <condition_variable>
#include <memory>
#include <mutex>

namespace osc::win {
namespace detail {
namespace {

int system_get_nice(pid_t tid, int* nice) {
  errno = 0;
  int value = getpriority(PRIO_PROCESS, static_cast<id_t>(tid));
  if (value == -1 && errno != 0) return errno;
  *nice = value;
  return 0;
}

int system_set_nice(pid_t tid, int nice) {
  return setpriority(PRIO_PROCESS, static_cast<id_t>(tid), nice) == 0 ? 0 : errno;
}

bool valid_priority(int priority) {
  switch (priority) {
    case THREAD_PRIORITY_IDLE:
    case THREAD_PRIORITY_LOWEST:
    case THREAD_PRIORITY_BELOW_NORMAL:
    case THREAD_PRIORITY_NORMAL:
    case THREAD_PRIORITY_ABOVE_NORMAL:
    case THREAD_PRIORITY_HIGHEST:
    case THREAD_PRIORITY_TIME_CRITICAL:
      return true;
    default:
      return false;
  }
}

// A thread as a waitable kernel object. The running thread holds a reference to its
// own object, so closing the handle early neither frees the object nor the thread.
class Thread final : public Waitable {
 public:
  Thread(LPTHREAD_START_ROUTINE start, void* parameter, bool suspended)
      : Waitable(false, false), start_(start), parameter_(parameter), suspend_count_(suspended ? 1 : 0) {}

  ~Thread() override {
    if (!created_) return;
    // The last reference goes either on the thread itself, at its very end, or on
    // another thread after the thread has let go of it: the join is then immediate.
    if (pthread_equal(native_, pthread_self())) {
      pthread_detach(native_);
    } else {
      CancellationDisabled noCancel;
      pthread_join(native_, nullptr);
    }
  }

  // Starts the thread and waits until it has reported its id.
  bool launch(const std::shared_ptr<Thread>& self) {
    auto* arg = new std::shared_ptr<Thread>(self);
    if (pthread_create(&native_, nullptr, &Thread::trampoline, arg) != 0) {
      delete arg;
      return false;
    }
    created_ = true;
    CancellationDisabled noCancel;
    std::unique_lock lock(mutex_);
    cond_.wait(lock, [this] { return tid_ != 0; });
    return true;
  }

  pid_t tid() const {
    std::lock_guard lock(mutex_);
    return tid_;
  }

  DWORD resume() {
    std::lock_guard lock(mutex_);
    DWORD previous = suspend_count_;
    if (previous > 0 && --suspend_count_ == 0) cond_.notify_all();
    return previous;
  }

  DWORD exit_code() const {
    std::lock_guard lock(mutex_);
    return exit_code_;
  }

  BOOL terminate(DWORD code) {
    std::unique_lock lock(mutex_);
    if (ended_) return 1;
    kill_code_ = code;
    if (pthread_equal(native_, pthread_self())) {
      lock.unlock();
      pthread_exit(nullptr);  // unwinds like a cancellation; run() records kill_code_
    }
    if (!started_) {
      // Still at the start gate: let it through to end without running the routine.
      kill_before_start_ = true;
      suspend_count_ = 0;
      cond_.notify_all();
    } else {
      pthread_cancel(native_);
    }
    lock.unlock();
    if (wait(kTerminateGraceMs) == WAIT_OBJECT_0) return 1;
    SetLastError(ERROR_TIMEOUT);
    return 0;
  }

  BOOL set_priority(int priority) {
    std::lock_guard lock(mutex_);
    // Once the thread has ended its id may belong to someone else: only store.
    if (!ended_) {
      int nice = std::clamp(base_nice_ + nice_offset(priority), -20, 19);
      int error = nice_calls().set(tid_, nice);
      if (error != 0) {
        SetLastError(error == EACCES || error == EPERM ? ERROR_ACCESS_DENIED : ERROR_INVALID_PARAMETER);
        return 0;
      }
    }
    priority_ = priority;
    return 1;
  }

  int priority() const {
    std::lock_guard lock(mutex_);
    return priority_;
  }

 private:
  static void* trampoline(void* arg) {
    auto* holder = static_cast<std::shared_ptr<Thread>*>(arg);
    std::shared_ptr<Thread> self = std::move(*holder);
    delete holder;
    // Cancellation is allowed only inside the routine; everything around it (the
    // start gate, the bookkeeping) uses noexcept waits.
    pthread_setcancelstate(PTHREAD_CANCEL_DISABLE, nullptr);
    pthread_setcanceltype(PTHREAD_CANCEL_DEFERRED, nullptr);
    self->run();
    return nullptr;
  }

  OSC_CATCHES_FORCED_UNWIND void run() {
    if (!pass_start_gate()) {
      finish(kill_code());
      return;
    }
    DWORD code = 0;
    try {
      code = call_routine();
    } catch (abi::__forced_unwind&) {
      finish(kill_code());
      throw;  // the unwind must go on to the thread's end
    } catch (...) {
      code = THREAD_EXIT_EXCEPTION;
    }
    finish(code);
  }

  // Reports the id, then waits while suspended. False when killed before starting.
  bool pass_start_gate() {
    std::unique_lock lock(mutex_);
    tid_ = gettid();
    if (nice_calls().get(tid_, &base_nice_) != 0) base_nice_ = 0;
    cond_.notify_all();
    cond_.wait(lock, [this] { return suspend_count_ == 0; });
    if (kill_before_start_) return false;
    started_ = true;
    return true;
  }

  DWORD call_routine() {
    struct Disable {
      ~Disable() { pthread_setcancelstate(PTHREAD_CANCEL_DISABLE, nullptr); }
    } disableAfter;
    pthread_setcancelstate(PTHREAD_CANCEL_ENABLE, nullptr);
    return start_(parameter_);
  }

  DWORD kill_code() const {
    std::lock_guard lock(mutex_);
    return kill_code_;
  }

  void finish(DWORD code) {
    {
      std::lock_guard lock(mutex_);
      exit_code_ = code;
      ended_ = true;
    }
    set_signalled(true);
  }

  const LPTHREAD_START_ROUTINE start_;
  void* const parameter_;
  pthread_t native_{};
  bool created_ = false;

  mutable std::mutex mutex_;
  std::condition_variable cond_;
  pid_t tid_ = 0;
  DWORD suspend_count_;
  bool kill_before_start_ = false;
  bool started_ = false;
  bool ended_ = false;
  DWORD exit_code_ = STILL_ACTIVE;
  DWORD kill_code_ = 0;
  int priority_ = THREAD_PRIORITY_NORMAL;
  int base_nice_ = 0;
};

std::shared_ptr<Thread> thread_of(HANDLE handle) {
  auto thread = lookup_as<Thread>(handle);
  if (!thread) SetLastError(ERROR_INVALID_HANDLE);
  return thread;
}

}  // namespace

NiceCalls system_nice_calls() {
  return {&system_get_nice, &system_set_nice};
}

NiceCalls& nice_calls() {
  static NiceCalls calls = system_nice_calls();
  return calls;
}

int nice_offset(int priority) {
  switch (priority) {
    case THREAD_PRIORITY_IDLE:
      return 19;
    case THREAD_PRIORITY_LOWEST:
      return 4;
    case THREAD_PRIORITY_BELOW_NORMAL:
      return 2;
    case THREAD_PRIORITY_ABOVE_NORMAL:
      return -2;
    case THREAD_PRIORITY_HIGHEST:
      return -4;
    case THREAD_PRIORITY_TIME_CRITICAL:
      return -19;
    default:
      return 0;
  }
}

}  // namespace detail

CancellationDisabled::CancellationDisabled() {
  pthread_setcancelstate(PTHREAD_CANCEL_DISABLE, &previous_);
}
CancellationDisabled::~CancellationDisabled() {
  pthread_setcancelstate(previous_, nullptr);
}

HANDLE CreateThread(LPTHREAD_START_ROUTINE start, void* parameter, DWORD creationFlags, DWORD* threadId) {
  if (start == nullptr || (creationFlags & ~CREATE_SUSPENDED) != 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  auto thread = std::make_shared<detail::Thread>(start, parameter, (creationFlags & CREATE_SUSPENDED) != 0);
  if (!thread->launch(thread)) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  if (threadId) *threadId = static_cast<DWORD>(thread->tid());
  return detail::register_object(thread);
}

DWORD ResumeThread(HANDLE thread) {
  auto t = detail::thread_of(thread);
  return t ? t->resume() : 0xFFFFFFFFu;
}

BOOL GetExitCodeThread(HANDLE thread, DWORD* exitCode) {
  auto t = detail::thread_of(thread);
  if (!t) return 0;
  *exitCode = t->exit_code();
  return 1;
}

BOOL TerminateThread(HANDLE thread, DWORD exitCode) {
  auto t = detail::thread_of(thread);
  return t ? t->terminate(exitCode) : 0;
}

BOOL SetThreadPriority(HANDLE thread, int priority) {
  auto t = detail::thread_of(thread);
  if (!t) return 0;
  if (!detail::valid_priority(priority)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  return t->set_priority(priority);
}

int GetThreadPriority(HANDLE thread) {
  auto t = detail::thread_of(thread);
  return t ? t->priority() : THREAD_PRIORITY_ERROR_RETURN;
}

DWORD GetCurrentThreadId() {
  return static_cast<DWORD>(gettid());
}

}  // namespace osc::win

#if defined(__SANITIZE_ADDRESS__)
// A thread unwound by cancellation leaves the address sanitizer's marks on the stack
// frames it leaves without cleanups (ordinary exceptions get them cleared, the forced
// unwind does not). The sanitizer then trips over them in its own sigaltstack call on
// the next no-return path and reports an overflow that is not there.
extern "C" const char* __asan_default_suppressions() {
  return "interceptor_name:sigaltstack\n";
}
#endif
