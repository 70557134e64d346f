#pragma once
// Kernel objects as the program uses them on Windows: handles, the per-thread last
// error, manual- and auto-reset events, waits with a time-out, sleeps and interlocked
// counters. Handles are issued by one process-wide table and never reused, so a closed
// or unknown handle is reported (ERROR_INVALID_HANDLE), never dereferenced.
//
// Waiting on a handle that another thread closes keeps the object alive until the
// wait returns. All functions may be called from any thread.
#include "platform/win32.h"

#include <atomic>

namespace osc::win {

DWORD GetLastError();
void SetLastError(DWORD code);

// An unnamed event; manual reset stays signalled until ResetEvent, auto reset
// releases one waiter and clears itself. Returns nullptr on failure.
HANDLE CreateEvent(bool manualReset, bool initialState);
BOOL SetEvent(HANDLE event);
BOOL ResetEvent(HANDLE event);

// WAIT_OBJECT_0 when the object is (or becomes) signalled within `milliseconds`,
// WAIT_TIMEOUT when not, WAIT_FAILED (last error set) for a bad handle or an object
// that cannot be waited on. INFINITE waits for ever. A thread (platform/kernel/threads.h) is
// signalled once it has ended. Waits and sleeps are cancellation points.
DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds);

// Closes any handle of the table. FALSE with ERROR_INVALID_HANDLE when unknown.
BOOL CloseHandle(HANDLE handle);

// A second handle to the same object (within this process); nullptr with
// ERROR_INVALID_HANDLE when `source` is unknown. Each handle is closed on its own.
HANDLE DuplicateHandle(HANDLE source);

void Sleep(DWORD milliseconds);

// Full-barrier increments returning the resulting value.
inline LONG InterlockedIncrement(std::atomic<LONG>& value) {
  return ++value;
}
inline LONG InterlockedDecrement(std::atomic<LONG>& value) {
  return --value;
}

}  // namespace osc::win
