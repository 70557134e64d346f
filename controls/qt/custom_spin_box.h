#pragma once
// osc::qt::TCustomSpinBox: the line edit under both spin box widgets. It gives the box's
// logic its edit (text, focus, selection, read-only), forwards keys and focus loss to
// it, and keeps the button widget beside the box: right of it, as tall as it and two
// thirds of that wide, on the box's parent, shown and hidden with it.
//
// Up and Down step the box (consumed even when read-only); Enter commits the typed value
// after the edit's own handling, so a dialog's default button still sees the key; losing
// the focus commits too. Set read-only through the logic's SetReadOnly and
// SetEditorEnabled, not through QLineEdit::setReadOnly, which the box overrides.
//
// The box's width does not include the button: leave room for it beside the box.
#include <QLineEdit>
#include <QPointer>
#include <memory>

#include "controls/custom_spin_box.h"
#include "controls/qt/spin_box_btn.h"

namespace osc::qt {

class TCustomSpinBox : public QLineEdit {
  Q_OBJECT

 public:
  ~TCustomSpinBox() override;

  // The button beside the box; null while the box is being destroyed.
  TSpinBoxBtn* ButtonWidget() const { return button_; }

  void setVisible(bool visible) override;

 protected:
  explicit TCustomSpinBox(QWidget* parent);

  // The edit the concrete box's logic is built on.
  osc::TSpinEdit& EditPort();
  // Called by the concrete box once its logic exists, and before the logic goes.
  void Attach(osc::TCustomSpinBox& logic);
  void Detach();

  void keyPressEvent(QKeyEvent* event) override;
  void keyReleaseEvent(QKeyEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;
  void moveEvent(QMoveEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void changeEvent(QEvent* event) override;
  bool event(QEvent* event) override;

 private:
  class Port;

  void PlaceButton(bool resized);
  void FollowParent();

  std::unique_ptr<Port> port_;
  osc::TCustomSpinBox* logic_ = nullptr;
  QPointer<TSpinBoxBtn> button_;
};

}  // namespace osc::qt
