#include "controls/custom_spin_box.h"

namespace osc {

TCustomSpinBox::TCustomSpinBox(TTimerSource& timers, TSpinEdit& edit) : edit_(edit), btn_(timers) {
  edit_.OnTextChanged = [this] { TextChanged(); };
  edit_.OnFocusLost = [this] { FocusLost(); };
  btn_.OnBtnClick = [this](TSpinBoxBtn&, bool down, bool repeated) { BtnClick(down, repeated); };
  ApplyEnabling();
}

TCustomSpinBox::~TCustomSpinBox() {
  edit_.OnTextChanged = nullptr;
  edit_.OnFocusLost = nullptr;
}

void TCustomSpinBox::SetReadOnly(bool read_only) {
  if (read_only_ == read_only) return;
  read_only_ = read_only;
  ApplyEnabling();
}

void TCustomSpinBox::SetEditorEnabled(bool enabled) {
  if (editor_enabled_ == enabled) return;
  editor_enabled_ = enabled;
  ApplyEnabling();
}

void TCustomSpinBox::SetBlank(bool blank) {
  if (blank_ == blank) return;
  blank_ = blank;
  UpdateText();
}

void TCustomSpinBox::SetLoading(bool loading) {
  if (loading_ == loading) return;
  loading_ = loading;
  if (!loading) UpdateText();
}

bool TCustomSpinBox::KeyDown(TSpinKey key) {
  if (key == TSpinKey::Other) return false;
  if (!read_only_) {
    const bool down = key == TSpinKey::Down;
    btn_.SetBmpIndex(down ? TSpinBoxBtn::kLower : TSpinBoxBtn::kUpper);
    Step(down, false);
  }
  return true;
}

bool TCustomSpinBox::KeyUp(TSpinKey key) {
  if (key == TSpinKey::Other) return false;
  const int half = key == TSpinKey::Down ? TSpinBoxBtn::kLower : TSpinBoxBtn::kUpper;
  if (btn_.BmpIndex() == half) btn_.SetBmpIndex(TSpinBoxBtn::kNone);
  return true;
}

void TCustomSpinBox::ShowText(const std::string& text, bool select_all) {
  UpdateGuard guard(*this);
  edit_.SetText(text);
  if (select_all || edit_.Focused()) edit_.SelectAll();
}

void TCustomSpinBox::TextChanged() {
  if (update_depth_ > 0) return;
  Typed();
}

void TCustomSpinBox::FocusLost() {
  UpdateText();
  btn_.SetBmpIndex(TSpinBoxBtn::kNone);
}

void TCustomSpinBox::BtnClick(bool down, bool repeated) {
  if (!edit_.Enabled()) return;
  if (!read_only_) Step(down, repeated);
  if (!edit_.Focused()) {
    try {
      edit_.SetFocus();
    } catch (...) {
      // A box that cannot take the focus still steps.
    }
  }
}

void TCustomSpinBox::ApplyEnabling() {
  btn_.SetEnabled(edit_.Enabled() && !read_only_);
  edit_.SetReadOnly(read_only_ || !editor_enabled_);
}

}  // namespace osc
