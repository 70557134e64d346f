#pragma once
// Record files written while a recording runs, for a recorder that keeps no whole
// record in memory: the files of every recorded slot are created at the start, the
// samples appended as they come, and the headers made final at the end.
//
// Until a set is finished its header carries the count the set will hold when full,
// so a file cut short (a crash, a power cut) opens with the samples it has: the
// loader cuts a count beyond the samples present. A recording longer than one set
// goes on in the next set, "<name>-0001.ch1" and so on, each a whole record whose
// start time is the previous one's plus its samples at the rate, to the sample.
#include "acquisition/data_store.h"
#include "acquisition/record_header.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace osc {

class TRecordStream {
 public:
  // `chosen` names the record set as the save command takes it ("run" or "run.ch1"
  // give run.ch1...); `setSamples` is the samples per slot in one set of files.
  TRecordStream(std::string chosen, std::uint32_t setSamples);
  // Closes what is open without finishing it: the files keep their planned counts.
  ~TRecordStream();
  TRecordStream(const TRecordStream&) = delete;
  TRecordStream& operator=(const TRecordStream&) = delete;

  // Creates the first set's file of every slot that has a store, with the store's
  // header. Errors of the file system raise Exception with the file's name.
  void Begin(const TSlotStores& stores);
  // Appends samples of `slot` (1..4), opening the next set when this one is full.
  void Append(int slot, const std::uint8_t* samples, std::size_t count);
  // Puts what was appended on the disk.
  void Sync();
  // Writes the true counts into the open sets' headers, syncs and closes them.
  void Finish();

  // Samples of `slot` appended since Begin.
  std::uint64_t Written(int slot) const;
  // The first set's files, in slot order (later sets are named by SetFileName).
  const std::vector<std::string>& Files() const { return files_; }
  std::uint32_t Sets() const { return sets_; }

  // The file of `slot` in set `set` (0 is the chosen name itself).
  std::string SetFileName(int slot, std::uint32_t set) const;

 private:
  struct Slot {
    bool used = false;
    TRecordHeader header;  // of set 0
    int fd = -1;
    std::string path;
    std::uint32_t set = 0;
    std::uint32_t inSet = 0;
    std::uint64_t total = 0;
  };
  void OpenSet(int slot, std::uint32_t set);
  void CloseSet(Slot& s, bool finish);
  [[noreturn]] void Fail(const std::string& path, int error);

  std::string chosen_;
  std::uint32_t setSamples_;
  std::array<Slot, 4> slots_;
  std::vector<std::string> files_;
  std::uint32_t sets_ = 0;
  std::string dir_;
  bool dirDirty_ = false;
};

}  // namespace osc
