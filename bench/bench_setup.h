#pragma once
// What every drawing benchmark does before it makes its QGuiApplication: the offscreen
// platform unless another is asked for, and one core, the one it starts on, so the
// numbers do not depend on migrations.
#include <sched.h>

#include <cstdlib>

namespace osc::bench {

inline void OffscreenOnOneCore() {
  if (const char* p = std::getenv("QT_QPA_PLATFORM"); p == nullptr || *p == '\0') {
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
  }
  cpu_set_t one;
  CPU_ZERO(&one);
  CPU_SET(sched_getcpu(), &one);
  sched_setaffinity(0, sizeof(one), &one);
}

}  // namespace osc::bench
