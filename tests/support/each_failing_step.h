#pragma once
// Runs an operation once for every call of the file-system seam it makes, the n-th call
// failing in the n-th run, until a run succeeds: so every failing step of a save is
// tried, and a new step added to the save is tried too without touching the test.
#include "support/faulty_file_ops.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

namespace osc::test {

struct FailingStep {
  int Step;  // the failing call, from 1
  FaultyFileOps& Ops;
};

// `run` performs the operation through step.Ops and returns whether it succeeded;
// `check` then looks at what was left behind (the old file whole, no temporary file).
// Returns the number of failing runs; a failure is reported at the caller's line.
inline int ForEachFailingStep(int error, const std::function<bool(FailingStep)>& run,
                              const std::function<void(bool succeeded)>& check, int maxSteps = 200) {
  for (int step = 1; step <= maxSteps; ++step) {
    SCOPED_TRACE("errno " + std::to_string(error) + ", failing step " + std::to_string(step));
    FaultyFileOps ops;
    ops.fail_call(step, error);
    const bool ok = run({step, ops});
    check(ok);
    if (ok) return step - 1;
  }
  ADD_FAILURE() << "the operation never succeeded within " << maxSteps << " steps";
  return maxSteps;
}

}  // namespace osc::test
