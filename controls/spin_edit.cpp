#include "controls/spin_edit.h"

namespace osc {

void TMemoryEdit::SetText(const std::string& text) {
  ++set_text_count_;
  text_ = text;
  all_selected_ = false;  // as a line edit does when its text is replaced
  if (OnTextChanged) OnTextChanged();
}

void TMemoryEdit::Type(const std::string& text) {
  if (read_only_ || !enabled_) return;
  text_ = text;
  all_selected_ = false;
  if (OnTextChanged) OnTextChanged();
}

void TMemoryEdit::SetFocused(bool focused) {
  if (focused_ == focused) return;
  focused_ = focused;
  if (!focused && OnFocusLost) OnFocusLost();
}

}  // namespace osc
