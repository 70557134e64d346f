#pragma once
// TSimpleThread runs one callback on a worker thread and stops it cooperatively,
// with a bounded wait and a forced kill as the last resort.
//
// Contract:
// - Start creates the thread (suspended when CreateSuspended; ResumeThread(Handle())
//   lets it go) and raises osc::Exception "Thread already running" while Handle() is
//   set, even after the body has ended: call Stop before starting again.
// - The body calls OnExecute(thread, exitCode) with exitCode = 0, then OnTerminate,
//   both on the worker thread, also when OnExecute raised (the error then ends the
//   thread, see platform/kernel/threads.h). A killed body gets no OnTerminate.
// - The body polls Terminated() or waits on StopEvent(); Signal sets both and waits up
//   to TimeOut ms: WAIT_OBJECT_0 (0) when the thread ended, WAIT_TIMEOUT (258), or
//   0xFFFFFFFF at once when called from the worker itself.
// - Stop (nothing without a thread): Signal; after a time-out the thread is killed
//   with exit code 1 (platform/kernel/threads.h: the body is unwound at its next
//   cancellation point, so it must follow the rules given there); then both handles
//   are closed and read 0. A body that can be neither stopped nor killed is waited
//   for, since it may still use this object and whatever it writes to. From the
//   worker itself Stop only signals and releases the handles; the body runs on, and
//   the owner must let it end before destroying the component.
// - The destructor calls Stop.
// Properties are set and read from the owning thread; Handle(), ThreadID(),
// Terminated() and StopEvent() may be read from any thread.
#include "platform/win32.h"

#include <atomic>
#include <functional>

namespace osc {

enum TThreadPriority { tpIdle, tpLowest, tpLower, tpNormal, tpHigher, tpHighest, tpTimeCritical };

class TSimpleThread {
 public:
  using TThreadFceEvent = std::function<void(TSimpleThread& thread, win::DWORD& exitCode)>;
  using TNotifyEvent = std::function<void(TSimpleThread& sender)>;

  TSimpleThread() = default;
  ~TSimpleThread();
  TSimpleThread(const TSimpleThread&) = delete;
  TSimpleThread& operator=(const TSimpleThread&) = delete;

  TThreadFceEvent OnExecute;
  TNotifyEvent OnTerminate;
  int TimeOut = 2000;  // milliseconds
  bool CreateSuspended = false;

  // Without a thread the stored value; with one, the system's priority of the thread
  // (tpNormal when it is none of the seven), which is then stored.
  TThreadPriority Priority();
  // Applies the value to a running thread when it differs (a refusal by the system is
  // not an error) and stores it in any case; Start applies the stored value.
  void SetPriority(TThreadPriority value);

  win::HANDLE Handle() const { return handle_.load(); }
  win::DWORD ThreadID() const { return thread_id_.load(); }
  bool Terminated() const { return terminated_.load(); }
  win::HANDLE StopEvent() const { return stop_event_.load(); }

  void Start();
  win::DWORD Signal();
  void Stop();

 private:
  static win::DWORD Body(void* self);
  void Terminate();

  std::atomic<win::HANDLE> handle_{nullptr};
  std::atomic<win::DWORD> thread_id_{0};
  std::atomic<bool> terminated_{false};
  std::atomic<win::HANDLE> stop_event_{nullptr};
  TThreadPriority priority_ = tpNormal;
};

// The system's relative priority number for each value, and back (tpNormal for a
// number that is not in the table).
int PriorityNumber(TThreadPriority priority);
TThreadPriority PriorityFromNumber(int number);

}  // namespace osc
