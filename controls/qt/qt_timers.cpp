#include "controls/qt/qt_timers.h"

#include <QCoreApplication>
#include <QPointer>
#include <QTimer>
#include <map>

namespace osc::qt {

namespace {

class QtTimerSource final : public osc::TTimerSource {
 public:
  TimerId SetTimer(unsigned interval_ms, std::function<void()> tick) override {
    // Parented to the application so that timers left running die with it.
    auto* timer = new QTimer(QCoreApplication::instance());
    timer->setInterval(static_cast<int>(interval_ms));
    QObject::connect(timer, &QTimer::timeout, timer, [tick = std::move(tick)] { tick(); });
    timer->start();
    const TimerId id = next_id_++;
    timers_[id] = timer;
    return id;
  }

  void KillTimer(TimerId id) override {
    auto it = timers_.find(id);
    if (it == timers_.end()) return;
    if (QTimer* timer = it->second) {
      timer->stop();
      timer->deleteLater();  // we may be inside its own timeout
    }
    timers_.erase(it);
  }

 private:
  std::map<TimerId, QPointer<QTimer>> timers_;
  TimerId next_id_ = 1;
};

}  // namespace

osc::TTimerSource& QtTimers() {
  static QtTimerSource source;
  return source;
}

}  // namespace osc::qt
