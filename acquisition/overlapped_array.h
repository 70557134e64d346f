#pragma once
// TOverlappedArray: the ring of asynchronous read requests, one OVERLAPPED record per
// slot, each with its own manual-reset event that starts signalled. Records keep their
// addresses for the life of the slot, so a pending request never sees its record move.
// The owner must see every request of a slot end before the slot disappears.
#include "platform/win32.h"

#include <memory>
#include <vector>

namespace osc {

class TOverlappedArray {
 public:
  TOverlappedArray() = default;
  explicit TOverlappedArray(int count) { SetCount(count); }
  ~TOverlappedArray() { SetCount(0); }
  TOverlappedArray(const TOverlappedArray&) = delete;
  TOverlappedArray& operator=(const TOverlappedArray&) = delete;

  int Count() const { return static_cast<int>(records_.size()); }
  // Closes the events of the slots that disappear; new slots get a zero-filled record
  // and a new signalled manual-reset event.
  void SetCount(int count);

  win::OVERLAPPED& Overlapped(int slot) { return *records_.at(static_cast<std::size_t>(slot)); }
  win::HANDLE Event(int slot) const { return records_.at(static_cast<std::size_t>(slot))->hEvent; }

 private:
  std::vector<std::unique_ptr<win::OVERLAPPED>> records_;
};

}  // namespace osc
