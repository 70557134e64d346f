#pragma once
// Raw-value queries of the module off the user-interface thread, for the calibration
// dialogs that poll it: a missing or silent module makes a query take as long as the
// port's time-outs, and the dialog must stay responsive meanwhile.
//
// One reader runs one query at a time on its own thread. Start refuses while a query is
// running, so a poller whose source is slow skips ticks instead of stacking them up. A
// caller that loses interest (a dialog closed mid-query) simply drops its TRawQuery; the
// running query finishes on the reader's thread and its result goes nowhere.
//
// The reader belongs with the port: it must outlive the dialogs that use it, and whoever
// uses the port on another thread first waits for the reader (WaitIdle), since queries
// run on the reader's thread.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

#include "acquisition/protocol_bytes.h"

namespace osc {

// The raw reading's no-value marker (0x80000000) and its full scale.
constexpr std::int32_t kNoRawValue = kNoValue;
constexpr std::int32_t kRawFullScale = 16368;

// One reading of a slot as QueryRawValue gives it: 0..16368, or the no-value marker.
// May block for as long as the exchange takes, and may raise the port's errors.
using TRawSource = std::function<std::int32_t(int slot, bool zero)>;

// The outcome of one query: a reading or the error the source raised.
class TRawQuery {
 public:
  // True once the query has ended; the result is then fixed.
  bool Done() const { return done_.load(std::memory_order_acquire); }
  // The reading; rethrows the source's error. Only after Done().
  std::int32_t Value() const;

 private:
  friend class TRawReader;
  std::atomic<bool> done_{false};
  std::int32_t value_ = 0;
  std::exception_ptr error_;
};

class TRawReader {
 public:
  explicit TRawReader(TRawSource source);
  // Lets a running query finish (as long as the source takes), then ends the thread.
  ~TRawReader();
  TRawReader(const TRawReader&) = delete;
  TRawReader& operator=(const TRawReader&) = delete;

  // Starts a query of `slot` (the zero variant when `zero`); nullptr while another
  // query is still running.
  std::shared_ptr<const TRawQuery> Start(int slot, bool zero);
  bool Busy() const;
  // Waits until no query runs; false when `timeout` passed first.
  bool WaitIdle(std::chrono::milliseconds timeout) const;

 private:
  void Run();

  TRawSource source_;
  mutable std::mutex mutex_;
  mutable std::condition_variable wake_;
  mutable std::condition_variable idle_;
  std::shared_ptr<TRawQuery> query_;  // the query to run or running; null when idle
  int slot_ = 0;
  bool zero_ = false;
  bool stop_ = false;
  std::thread thread_;
};

}  // namespace osc
