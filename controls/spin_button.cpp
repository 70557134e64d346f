#include "controls/spin_button.h"

namespace osc {

TSpinBoxBtn::TSpinBoxBtn(TTimerSource& timers) : timers_(timers) {}

TSpinBoxBtn::~TSpinBoxBtn() {
  StopRepeat();
}

void TSpinBoxBtn::SetBmpIndex(int index) {
  if (index < kNone || index > kLower) index = kNone;
  if (index == bmp_index_) return;
  const int changed = bmp_index_ | index;  // the half released and the half pressed
  bmp_index_ = index;
  // Nothing is held any more: a tick would otherwise step upwards (Down is false).
  if (index == kNone) StopRepeat();
  Repaint(changed);
}

void TSpinBoxBtn::SetVisible(bool visible) {
  if (visible_ == visible) return;
  visible_ = visible;
  Repaint(kUpper | kLower);
}

void TSpinBoxBtn::SetEnabled(bool enabled) {
  if (enabled_ == enabled) return;
  enabled_ = enabled;
  if (!enabled) SetBmpIndex(kNone);
  Repaint(kUpper | kLower);
}

void TSpinBoxBtn::MouseDown(int y, int height) {
  if (!enabled_) return;
  SetBmpIndex(y >= height / 2 ? kLower : kUpper);
  countdown_ = kRepeatDelayTicks;
  if (timer_ == 0) timer_ = timers_.SetTimer(kRepeatIntervalMs, [this] { Tick(); });
  if (OnBtnClick) OnBtnClick(*this, bmp_index_ == kLower, false);
}

void TSpinBoxBtn::MouseUp() {
  SetBmpIndex(kNone);
  StopRepeat();
}

void TSpinBoxBtn::Tick() {
  if (bmp_index_ == kNone) {
    StopRepeat();
    return;
  }
  if (countdown_ > 0) {
    --countdown_;
    return;
  }
  if (OnBtnClick) OnBtnClick(*this, bmp_index_ == kLower, true);
}

void TSpinBoxBtn::StopRepeat() {
  if (timer_ == 0) return;
  const TTimerSource::TimerId id = timer_;
  timer_ = 0;
  timers_.KillTimer(id);
}

void TSpinBoxBtn::Repaint(int halves) {
  if (OnRepaint && halves != 0) OnRepaint(halves);
}

}  // namespace osc
