#pragma once
// Periodic timers as the window system gives them, behind one seam so that the
// auto-repeat of the spin button can be driven by a clock the tests step by hand.
#include <cstdint>
#include <functional>
#include <map>

namespace osc {

class TTimerSource {
 public:
  using TimerId = unsigned;  // 0 is never a timer

  virtual ~TTimerSource() = default;
  // Calls `tick` every `interval_ms` on the caller's thread until KillTimer; returns a
  // non-zero id.
  virtual TimerId SetTimer(unsigned interval_ms, std::function<void()> tick) = 0;
  // Stops the timer; an unknown id (or 0) is ignored. Safe inside the timer's own tick.
  virtual void KillTimer(TimerId id) = 0;
};

// Timers whose time moves only through Advance: due ticks fire in time order, each at
// its own due time, so a test sees exactly what 400 ms of holding a button does.
class TSteppedTimers final : public TTimerSource {
 public:
  TimerId SetTimer(unsigned interval_ms, std::function<void()> tick) override;
  void KillTimer(TimerId id) override;

  void Advance(unsigned ms);
  std::uint64_t NowMs() const { return now_; }
  std::size_t RunningCount() const { return timers_.size(); }

 private:
  struct Timer {
    unsigned interval;
    std::uint64_t due;
    std::function<void()> tick;
  };
  std::map<TimerId, Timer> timers_;
  std::uint64_t now_ = 0;
  TimerId next_id_ = 1;
};

}  // namespace osc
