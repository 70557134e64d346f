#include "acquisition/overlapped_array.h"

#include "platform/kernel/kernel.h"

namespace osc {

void TOverlappedArray::SetCount(int count) {
  if (count < 0) count = 0;
  while (Count() > count) {
    win::CloseHandle(records_.back()->hEvent);
    records_.pop_back();
  }
  while (Count() < count) {
    auto record = std::make_unique<win::OVERLAPPED>();
    record->hEvent = win::CreateEvent(true, true);
    records_.push_back(std::move(record));
  }
}

}  // namespace osc
