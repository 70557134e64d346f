#pragma once
// TSpinBoxBtn: the up/down button beside a spin box, its pressed halves and its
// auto-repeat. A press steps once at once; while held, a 100 ms timer counts three
// ticks down and then repeats the step on every tick: the first repeat comes 400 ms
// after the press, then one every 100 ms. Drawing is left to whoever shows it
// (controls/qt), told through OnRepaint which half changed.
#include <functional>

#include "controls/timer_source.h"

namespace osc {

class TSpinBoxBtn {
 public:
  static constexpr int kDefaultWidth = 14;
  static constexpr int kDefaultHeight = 21;
  static constexpr unsigned kRepeatIntervalMs = 100;
  static constexpr int kRepeatDelayTicks = 3;

  // BmpIndex values and OnRepaint bits.
  static constexpr int kNone = 0;
  static constexpr int kUpper = 1;
  static constexpr int kLower = 2;

  // One step request; down is the lower (decrement) half.
  using TSpinBtnClickEvent = std::function<void(TSpinBoxBtn& sender, bool down, bool repeated)>;

  explicit TSpinBoxBtn(TTimerSource& timers);
  ~TSpinBoxBtn();  // stops the repeat timer
  TSpinBoxBtn(const TSpinBoxBtn&) = delete;
  TSpinBoxBtn& operator=(const TSpinBoxBtn&) = delete;

  // 0 = no half pressed, 1 = upper, 2 = lower. Setting 0 also ends a running repeat.
  int BmpIndex() const { return bmp_index_; }
  void SetBmpIndex(int index);
  bool Visible() const { return visible_; }
  void SetVisible(bool visible);
  // Disabling releases the pressed half and ends the repeat.
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool enabled);

  // The left mouse button at `y` in a button `height` pixels tall; the lower half is
  // the rows from height / 2 down. Ignored while disabled.
  void MouseDown(int y, int height);
  void MouseUp();
  bool Repeating() const { return timer_ != 0; }

  TSpinBtnClickEvent OnBtnClick;
  // Which halves must be drawn again: kUpper, kLower or both.
  std::function<void(int halves)> OnRepaint;

 private:
  void Tick();
  void StopRepeat();
  void Repaint(int halves);

  TTimerSource& timers_;
  TTimerSource::TimerId timer_ = 0;
  int countdown_ = 0;
  int bmp_index_ = kNone;
  bool visible_ = true;
  bool enabled_ = true;
};

}  // namespace osc
