#include "controls/timer_source.h"

namespace osc {

TTimerSource::TimerId TSteppedTimers::SetTimer(unsigned interval_ms, std::function<void()> tick) {
  // A zero interval would fire forever within one Advance.
  const unsigned interval = interval_ms == 0 ? 1 : interval_ms;
  const TimerId id = next_id_++;
  timers_[id] = Timer{interval, now_ + interval, std::move(tick)};
  return id;
}

void TSteppedTimers::KillTimer(TimerId id) {
  timers_.erase(id);
}

void TSteppedTimers::Advance(unsigned ms) {
  const std::uint64_t target = now_ + ms;
  for (;;) {
    auto next = timers_.end();
    for (auto it = timers_.begin(); it != timers_.end(); ++it) {
      if (it->second.due <= target && (next == timers_.end() || it->second.due < next->second.due)) next = it;
    }
    if (next == timers_.end()) break;
    now_ = next->second.due;
    next->second.due += next->second.interval;
    // The tick may kill this timer or start others: call a copy.
    std::function<void()> tick = next->second.tick;
    if (tick) tick();
  }
  now_ = target;
}

}  // namespace osc
