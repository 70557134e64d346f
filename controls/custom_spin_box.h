#pragma once
// TCustomSpinBox: what the integer and the floating spin boxes share, without a display.
//
// The box drives a TSpinEdit (a line edit) and owns its TSpinBoxBtn. Typed text becomes
// the value at once (OnEditing), but OnChange is raised only when a value is committed:
// focus leaving, Enter, a step, a programmatic write or UpdateText. Programmatic text
// updates nest through UpdateDepth; the text changes they cause are not typing, and
// beyond two levels of nesting the inner writes raise no OnChange.
//
// Whoever shows the box forwards the edit's events to it: text changes and focus loss
// through the edit's OnTextChanged / OnFocusLost, keys through KeyDown / KeyUp /
// EnterPressed, a change of the box's enabled state through EnabledChanged.
#include <functional>

#include "controls/spin_button.h"
#include "controls/spin_edit.h"
#include "controls/timer_source.h"

namespace osc {

enum class TSpinKey { Up, Down, Other };

class TCustomSpinBox {
 public:
  using TNotifyEvent = std::function<void(TCustomSpinBox& sender)>;

  static constexpr int kDefaultWidth = 48;

  TCustomSpinBox(TTimerSource& timers, TSpinEdit& edit);
  virtual ~TCustomSpinBox();
  TCustomSpinBox(const TCustomSpinBox&) = delete;
  TCustomSpinBox& operator=(const TCustomSpinBox&) = delete;

  // No stepping, no typing.
  bool ReadOnly() const { return read_only_; }
  void SetReadOnly(bool read_only);
  // Typing allowed; stepping still works when false.
  bool EditorEnabled() const { return editor_enabled_; }
  void SetEditorEnabled(bool enabled);
  // Shows empty text; parsing then yields the last committed value.
  bool Blank() const { return blank_; }
  void SetBlank(bool blank);
  bool VisibleBtn() const { return btn_.Visible(); }
  void SetVisibleBtn(bool visible) { btn_.SetVisible(visible); }
  // While loading, UpdateText does nothing; ending the load updates the text once.
  bool Loading() const { return loading_; }
  void SetLoading(bool loading);

  TSpinBoxBtn& Button() { return btn_; }
  TSpinEdit& Edit() { return edit_; }
  int UpdateDepth() const { return update_depth_; }

  // One increment (Down false) or decrement (Down true).
  virtual void Step(bool down, bool repeated) = 0;
  // Unless loading: writes the value to itself (re-adjust, re-show, notify if changed).
  virtual void UpdateText() = 0;

  TNotifyEvent OnChange;   // a value was committed
  TNotifyEvent OnEditing;  // typing changed the value

  // Up and Down step (unless read-only) and press the matching half; both are consumed
  // either way (true). Other keys are not.
  bool KeyDown(TSpinKey key);
  bool KeyUp(TSpinKey key);
  // Enter, after the edit's own handling: commits the typed value.
  void EnterPressed() { UpdateText(); }
  // The box was enabled or disabled.
  void EnabledChanged() { ApplyEnabling(); }

 protected:
  // Raises UpdateDepth for its lifetime.
  class UpdateGuard {
   public:
    explicit UpdateGuard(TCustomSpinBox& box) : box_(box) { ++box_.update_depth_; }
    ~UpdateGuard() { --box_.update_depth_; }
    UpdateGuard(const UpdateGuard&) = delete;
    UpdateGuard& operator=(const UpdateGuard&) = delete;

   private:
    TCustomSpinBox& box_;
  };

  // The typing algorithm of the concrete box; called for text changes while not updating.
  virtual void Typed() = 0;
  // Shows `text` with UpdateDepth raised; selects it all when `select_all` or focused.
  void ShowText(const std::string& text, bool select_all);
  void RaiseChange() {
    if (OnChange) OnChange(*this);
  }
  void RaiseEditing() {
    if (OnEditing) OnEditing(*this);
  }

  TSpinEdit& edit_;
  int update_depth_ = 0;

 private:
  void TextChanged();
  void FocusLost();
  void BtnClick(bool down, bool repeated);
  void ApplyEnabling();

  TSpinBoxBtn btn_;
  bool read_only_ = false;
  bool editor_enabled_ = true;
  bool blank_ = false;
  bool loading_ = false;
};

}  // namespace osc
