#pragma once
// Internal to the platform layer: the system calls behind thread priorities, in one
// place so that tests can make them fail as an unprivileged user sees them fail.
#include <sys/types.h>

namespace osc::win::detail {

struct NiceCalls {
  // Both return 0 or an errno value.
  int (*get)(pid_t tid, int* nice);
  int (*set)(pid_t tid, int nice);
};

// The calls in use; tests replace them and put the originals back.
NiceCalls& nice_calls();
NiceCalls system_nice_calls();

// The nice value the thread gets for a Win32 relative priority, relative to the
// value it started with.
int nice_offset(int priority);

}  // namespace osc::win::detail
