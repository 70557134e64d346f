#pragma once
// The single-line edit a spin box drives. The box's logic sees its edit only through
// this interface: the Qt widget gives it over a QLineEdit, TMemoryEdit gives it without
// a display (tests, and any code that wants the value logic alone).
#include <functional>
#include <string>

namespace osc {

class TSpinEdit {
 public:
  virtual ~TSpinEdit() = default;

  virtual std::string Text() const = 0;
  // Replaces the text (UTF-8). Like any change of the text, typed or not, it raises
  // OnTextChanged; the box ignores the ones it causes itself.
  virtual void SetText(const std::string& text) = 0;
  virtual bool Focused() const = 0;
  virtual void SelectAll() = 0;
  // Moves the input focus here; may throw when the edit cannot take it.
  virtual void SetFocus() = 0;
  virtual bool Enabled() const = 0;
  virtual void SetReadOnly(bool read_only) = 0;

  // Set by the spin box that drives this edit; the edit calls them.
  std::function<void()> OnTextChanged;
  std::function<void()> OnFocusLost;
};

// An edit without a display: holds the text, the focus, the selection and the flags.
class TMemoryEdit final : public TSpinEdit {
 public:
  std::string Text() const override { return text_; }
  void SetText(const std::string& text) override;
  bool Focused() const override { return focused_; }
  void SelectAll() override { all_selected_ = true; }
  void SetFocus() override { SetFocused(true); }
  bool Enabled() const override { return enabled_; }
  void SetReadOnly(bool read_only) override { read_only_ = read_only; }

  // What a user does: replaces the text as typing would; refused when read-only.
  void Type(const std::string& text);
  // Focus moving here or away; losing it raises OnFocusLost.
  void SetFocused(bool focused);
  void SetEnabled(bool enabled) { enabled_ = enabled; }

  bool ReadOnly() const { return read_only_; }
  bool AllSelected() const { return all_selected_; }
  int SetTextCount() const { return set_text_count_; }

 private:
  std::string text_;
  bool focused_ = false;
  bool enabled_ = true;
  bool read_only_ = false;
  bool all_selected_ = false;
  int set_text_count_ = 0;
};

}  // namespace osc
