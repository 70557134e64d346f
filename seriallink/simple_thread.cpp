#include "seriallink/simple_thread.h"

#include "platform/errors.h"
#include "platform/kernel/kernel.h"
#include "platform/kernel/threads.h"

#include <cxxabi.h>

#include <array>

namespace osc {
namespace {

constexpr std::array<int, 7> kPriorityNumbers = {-15, -2, -1, 0, 1, 2, 15};

constexpr win::DWORD kSignalledBySelf = 0xFFFFFFFFu;
constexpr win::DWORD kKilledExitCode = 1;

void close(std::atomic<win::HANDLE>& handle) {
  if (win::HANDLE h = handle.exchange(nullptr)) win::CloseHandle(h);
}

}  // namespace

int PriorityNumber(TThreadPriority priority) {
  return kPriorityNumbers.at(static_cast<std::size_t>(priority));
}

TThreadPriority PriorityFromNumber(int number) {
  for (std::size_t i = 0; i < kPriorityNumbers.size(); ++i) {
    if (kPriorityNumbers[i] == number) return static_cast<TThreadPriority>(i);
  }
  return tpNormal;
}

TSimpleThread::~TSimpleThread() {
  win::CancellationDisabled noCancel;  // Stop waits, and a destructor must not unwind
  Stop();
}

TThreadPriority TSimpleThread::Priority() {
  if (win::HANDLE h = Handle()) priority_ = PriorityFromNumber(win::GetThreadPriority(h));
  return priority_;
}

void TSimpleThread::SetPriority(TThreadPriority value) {
  if (value != Priority()) win::SetThreadPriority(Handle(), PriorityNumber(value));
  priority_ = value;
}

void TSimpleThread::Start() {
  if (Handle() != nullptr) throw Exception("Thread already running");
  terminated_ = false;
  stop_event_ = win::CreateEvent(true, false);
  // The thread always starts at its gate, so that Handle and ThreadID are in place
  // before the body can look at them; it is let go below unless asked otherwise.
  win::DWORD id = 0;
  win::HANDLE thread = win::CreateThread(&TSimpleThread::Body, this, win::CREATE_SUSPENDED, &id);
  if (thread == nullptr) {
    close(stop_event_);
    throw Exception("Cannot create thread");
  }
  thread_id_ = id;
  handle_ = thread;
  SetPriority(priority_);
  if (!CreateSuspended) win::ResumeThread(thread);
}

win::DWORD TSimpleThread::Signal() {
  terminated_ = true;
  win::SetEvent(StopEvent());
  if (win::GetCurrentThreadId() == ThreadID()) return kSignalledBySelf;
  return win::WaitForSingleObject(Handle(), static_cast<win::DWORD>(TimeOut));
}

void TSimpleThread::Stop() {
  win::HANDLE thread = Handle();
  if (thread == nullptr) return;
  if (Signal() == win::WAIT_TIMEOUT && !win::TerminateThread(thread, kKilledExitCode)) {
    win::WaitForSingleObject(thread, win::INFINITE);
  }
  close(handle_);
  close(stop_event_);
}

void TSimpleThread::Terminate() {
  if (OnTerminate) OnTerminate(*this);
}

OSC_CATCHES_FORCED_UNWIND win::DWORD TSimpleThread::Body(void* self) {
  auto& thread = *static_cast<TSimpleThread*>(self);
  win::DWORD exitCode = 0;
  try {
    if (thread.OnExecute) thread.OnExecute(thread, exitCode);
  } catch (abi::__forced_unwind&) {
    throw;  // killed: no OnTerminate
  } catch (...) {
    thread.Terminate();
    throw;
  }
  thread.Terminate();
  return exitCode;
}

}  // namespace osc
