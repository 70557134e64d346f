// Fuzz target: any bytes as a record file must be ignored, refused with the file named,
// or loaded into a store that never reaches beyond its block.
#include "record_file_probe.h"

#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static osc::test::RecordFileProbe probe;
  const auto result = probe.Check({data, size});
  if (!result.problem.empty()) {
    std::fprintf(stderr, "record file of %zu bytes: %s\n", size, result.problem.c_str());
    std::abort();
  }
  return 0;
}
