// Loading a recording: four record files at once, as the open command does. The first
// drawn frame waits for this. "cold" drops the files from the page cache before each
// load (posix_fadvise), so the disk is read; "warm" reads them from the cache.
#include "acquisition/record_file.h"

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

namespace {

// Four files of one 10-minute recording: at 11520 samples per second each (6.9 MB, the
// largest a file gets) or as four recorded slots share the rate (2880: 1.7 MB).
struct Recording {
  std::string folder;
  std::vector<std::string> files;

  explicit Recording(std::uint8_t mask) {
    std::string templ = (std::filesystem::temp_directory_path() / "osc-bench-XXXXXX").string();
    folder = mkdtemp(templ.data());
    for (int slot = 1; slot <= 4; ++slot) {
      const std::uint8_t slotMask = mask == 0x0F ? mask : static_cast<std::uint8_t>(1 << (slot - 1));
      osc::TDataStore store(slot, 600, 45366.5, slotMask, false, osc::TChannelScale{10, -10, "V"});
      const std::uint32_t samples = store.Capacity() - 256;
      for (std::uint32_t i = 0; i < samples; ++i)
        store.AddSample(static_cast<std::uint8_t>(i * 7));
      files.push_back(folder + "/run.ch" + std::to_string(slot));
      osc::SaveToFile(store, files.back());
    }
  }
  ~Recording() { std::filesystem::remove_all(folder); }

  void DropFromCache() const {
    for (const auto& file : files) {
      const int fd = open(file.c_str(), O_RDONLY);
      posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
      close(fd);
    }
  }
};

void BM_LoadFourFiles(benchmark::State& state) {
  const Recording recording(state.range(0) != 0 ? 0x0F : 0x01);
  const bool cold = state.range(1) != 0;
  std::int64_t bytes = 0;
  for (auto _ : state) {
    if (cold) {
      state.PauseTiming();
      recording.DropFromCache();
      state.ResumeTiming();
    }
    auto loaded = osc::LoadRecordFiles(recording.files);
    for (const auto& store : loaded.Stores)
      bytes += store->Capacity();
    benchmark::DoNotOptimize(loaded);
  }
  state.SetBytesProcessed(bytes);
  state.SetLabel(std::string(state.range(0) != 0 ? "4 x 1.7 MB" : "4 x 6.9 MB") +
                 (cold ? ", cold" : ", warm"));
}
BENCHMARK(BM_LoadFourFiles)->ArgsProduct({{0, 1}, {0, 1}})->Unit(benchmark::kMillisecond);

// Saving the same four files: written, flushed to the disk and renamed, one by one.
void BM_SaveFourFiles(benchmark::State& state) {
  const Recording recording(0x01);
  auto loaded = osc::LoadRecordFiles(recording.files);
  const auto names = osc::RecordFileNames(recording.folder + "/copy.CH1", loaded.Stores);
  for (auto _ : state)
    osc::SaveRecording(loaded.Stores, names);
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * 4 * 6912256);
}
BENCHMARK(BM_SaveFourFiles)->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace

BENCHMARK_MAIN();
