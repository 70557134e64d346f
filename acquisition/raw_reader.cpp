#include "acquisition/raw_reader.h"

namespace osc {

std::int32_t TRawQuery::Value() const {
  if (error_) std::rethrow_exception(error_);
  return value_;
}

TRawReader::TRawReader(TRawSource source) : source_(std::move(source)), thread_([this] { Run(); }) {}

TRawReader::~TRawReader() {
  {
    std::lock_guard lock(mutex_);
    stop_ = true;
  }
  wake_.notify_all();
  thread_.join();
}

std::shared_ptr<const TRawQuery> TRawReader::Start(int slot, bool zero) {
  std::shared_ptr<TRawQuery> query;
  {
    std::lock_guard lock(mutex_);
    if (query_ || stop_) return nullptr;
    query = std::make_shared<TRawQuery>();
    query_ = query;
    slot_ = slot;
    zero_ = zero;
  }
  wake_.notify_all();
  return query;
}

bool TRawReader::Busy() const {
  std::lock_guard lock(mutex_);
  return query_ != nullptr;
}

bool TRawReader::WaitIdle(std::chrono::milliseconds timeout) const {
  std::unique_lock lock(mutex_);
  return idle_.wait_for(lock, timeout, [this] { return query_ == nullptr; });
}

void TRawReader::Run() {
  std::unique_lock lock(mutex_);
  for (;;) {
    wake_.wait(lock, [this] { return stop_ || query_ != nullptr; });
    // A query started before the stop still runs: its owner may be waiting for it.
    if (!query_) return;
    const std::shared_ptr<TRawQuery> query = query_;
    const int slot = slot_;
    const bool zero = zero_;
    lock.unlock();
    try {
      query->value_ = source_ ? source_(slot, zero) : kNoRawValue;
    } catch (...) {
      query->error_ = std::current_exception();
    }
    lock.lock();
    query->done_.store(true, std::memory_order_release);
    query_.reset();
    idle_.notify_all();
  }
}

}  // namespace osc
