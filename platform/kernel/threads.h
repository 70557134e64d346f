#pragma once
// Threads as the program uses them on Windows, given on POSIX threads.
//
// A thread is a kernel object: its handle comes from the handle table of
// platform/kernel/kernel.h, WaitForSingleObject on it returns WAIT_OBJECT_0 once the thread
// has ended, and CloseHandle releases the handle without affecting the thread.
//
// Stopping. Threads are meant to be stopped cooperatively (a flag the body polls, an
// event it waits on). TerminateThread is the last resort and works by deferred
// cancellation: the thread is unwound at its next cancellation point (poll, read,
// write, Sleep, WaitForSingleObject, ...) with glibc's forced-unwind exception, so
// destructors run and locks held in RAII objects are released. Code that runs on a
// thread which may be terminated must therefore
//   - never swallow the forced unwind: `catch (...)` must rethrow (catch
//     abi::__forced_unwind and rethrow it before any handler that does not);
//   - never reach a cancellation point inside a noexcept frame (destructors are
//     noexcept): wrap such calls in CancellationDisabled;
//   - keep to code we own: a library that is not written for this must not be
//     interrupted.
// A thread that neither returns nor reaches a cancellation point cannot be ended;
// TerminateThread then reports failure after kTerminateGraceMs. (ThreadSanitizer
// follows a cancellation out of WaitForSingleObject, Sleep and read(), but not out of
// poll() or nanosleep(): it then reports races that are not there.)
//
// Priorities. The Win32 relative priority is kept per thread and GetThreadPriority
// returns the value last set successfully. It is applied as the thread's own nice
// value, relative to the nice value the thread started with (see kNiceOffset in
// threads.cpp): lower priorities raise the nice value, higher ones lower it. Linux
// lets an unprivileged process raise its nice value but not lower it again (unless
// RLIMIT_NICE or CAP_SYS_NICE allow), so a raise of priority, or a return to normal
// after a lowering, may be refused; SetThreadPriority then fails with
// ERROR_ACCESS_DENIED and the thread keeps the priority it had. It never reports a
// priority that is not in effect.
//
// An exception that leaves a thread's start routine ends that thread (not the
// process) with the exit code THREAD_EXIT_EXCEPTION.
#include "platform/win32.h"

// For a function that catches abi::__forced_unwind: the forced unwind carries no
// C++ object, so the reference the handler binds is null by design, which the
// undefined-behaviour sanitizer would report (GCC does not take "null" alone here).
#if defined(__clang__)
#define OSC_CATCHES_FORCED_UNWIND __attribute__((no_sanitize("undefined")))
#else
#define OSC_CATCHES_FORCED_UNWIND __attribute__((no_sanitize_undefined))
#endif

namespace osc::win {

using LPTHREAD_START_ROUTINE = DWORD (*)(void* parameter);

constexpr DWORD CREATE_SUSPENDED = 0x00000004;
constexpr DWORD STILL_ACTIVE = 259;
// The code Windows gives a thread ended by an unhandled C++ exception.
constexpr DWORD THREAD_EXIT_EXCEPTION = 0xE06D7363;

constexpr int THREAD_PRIORITY_IDLE = -15;
constexpr int THREAD_PRIORITY_LOWEST = -2;
constexpr int THREAD_PRIORITY_BELOW_NORMAL = -1;
constexpr int THREAD_PRIORITY_NORMAL = 0;
constexpr int THREAD_PRIORITY_ABOVE_NORMAL = 1;
constexpr int THREAD_PRIORITY_HIGHEST = 2;
constexpr int THREAD_PRIORITY_TIME_CRITICAL = 15;
constexpr int THREAD_PRIORITY_ERROR_RETURN = 0x7FFFFFFF;

// How long TerminateThread waits for the thread to unwind.
constexpr DWORD kTerminateGraceMs = 1000;

// Starts `start(parameter)` on a new thread. With CREATE_SUSPENDED the routine does
// not begin until ResumeThread; the thread already exists, so its id is known and its
// priority can be set. Stores the thread's id (the kernel's tid) in *threadId when
// given. Returns nullptr (last error set) on failure.
HANDLE CreateThread(LPTHREAD_START_ROUTINE start, void* parameter, DWORD creationFlags, DWORD* threadId);

// Decrements the suspend count; the routine starts when it reaches 0. Returns the
// previous count (0 for a running thread), or 0xFFFFFFFF for a bad handle.
DWORD ResumeThread(HANDLE thread);

// STILL_ACTIVE while the thread runs, then its exit code.
BOOL GetExitCodeThread(HANDLE thread, DWORD* exitCode);

// The last resort (see the top of this file). A suspended thread ends without running
// its routine; a running one is cancelled and waited for up to kTerminateGraceMs.
// TRUE when the thread has ended (with `exitCode`, or with its own code if it ended
// first); FALSE with ERROR_TIMEOUT (1460) when it did not unwind in time: the
// cancellation stays pending and the exit code will be `exitCode`. Called on the
// calling thread's own handle, unwinds the caller and does not return.
BOOL TerminateThread(HANDLE thread, DWORD exitCode);

// One of the seven THREAD_PRIORITY_ values (others: ERROR_INVALID_PARAMETER).
BOOL SetThreadPriority(HANDLE thread, int priority);
// THREAD_PRIORITY_ERROR_RETURN for a bad handle.
int GetThreadPriority(HANDLE thread);

DWORD GetCurrentThreadId();

// Makes the enclosed scope free of cancellation for the calling thread, e.g. a
// destructor that writes to a file; restores the previous state.
class CancellationDisabled {
 public:
  CancellationDisabled();
  ~CancellationDisabled();
  CancellationDisabled(const CancellationDisabled&) = delete;
  CancellationDisabled& operator=(const CancellationDisabled&) = delete;

 private:
  int previous_;
};

}  // namespace osc::win
