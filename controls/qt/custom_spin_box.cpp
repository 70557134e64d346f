#include "controls/qt/custom_spin_box.h"

#include <QKeyEvent>

#include "controls/qt/spin_box_btn.h"
#include "controls/spin_geometry.h"

namespace osc::qt {

// The line edit as the logic sees it.
class TCustomSpinBox::Port final : public osc::TSpinEdit {
 public:
  explicit Port(QLineEdit& edit) : edit_(edit) {}
  std::string Text() const override { return edit_.text().toStdString(); }
  void SetText(const std::string& text) override { edit_.setText(QString::fromStdString(text)); }
  bool Focused() const override { return edit_.hasFocus(); }
  void SelectAll() override { edit_.selectAll(); }
  void SetFocus() override { edit_.setFocus(Qt::OtherFocusReason); }
  bool Enabled() const override { return edit_.isEnabled(); }
  void SetReadOnly(bool read_only) override { edit_.setReadOnly(read_only); }

 private:
  QLineEdit& edit_;
};

namespace {

osc::TSpinKey SpinKey(int key) {
  if (key == Qt::Key_Up) return osc::TSpinKey::Up;
  if (key == Qt::Key_Down) return osc::TSpinKey::Down;
  return osc::TSpinKey::Other;
}

TBounds Bounds(const QRect& r) {
  return TBounds{r.x(), r.y(), r.width(), r.height()};
}

}  // namespace

TCustomSpinBox::TCustomSpinBox(QWidget* parent) : QLineEdit(parent), port_(std::make_unique<Port>(*this)) {
  resize(osc::TCustomSpinBox::kDefaultWidth, sizeHint().height());
  connect(this, &QLineEdit::textChanged, this, [this] {
    if (port_->OnTextChanged) port_->OnTextChanged();
  });
}

TCustomSpinBox::~TCustomSpinBox() {
  Detach();
}

osc::TSpinEdit& TCustomSpinBox::EditPort() {
  return *port_;
}

void TCustomSpinBox::Attach(osc::TCustomSpinBox& logic) {
  logic_ = &logic;
  button_ = new TSpinBoxBtn(logic.Button(), parentWidget());
  PlaceButton(true);
  button_->FollowBox(!isHidden());
}

void TCustomSpinBox::Detach() {
  delete button_.data();
  button_ = nullptr;
  logic_ = nullptr;
}

void TCustomSpinBox::setVisible(bool visible) {
  QLineEdit::setVisible(visible);
  if (button_) button_->FollowBox(!isHidden());
}

void TCustomSpinBox::keyPressEvent(QKeyEvent* event) {
  const osc::TSpinKey key = SpinKey(event->key());
  if (logic_ && key != osc::TSpinKey::Other) {
    logic_->KeyDown(key);
    event->accept();
    return;
  }
  QLineEdit::keyPressEvent(event);
  if (logic_ && (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)) logic_->EnterPressed();
}

void TCustomSpinBox::keyReleaseEvent(QKeyEvent* event) {
  const osc::TSpinKey key = SpinKey(event->key());
  if (logic_ && key != osc::TSpinKey::Other) {
    // A held key repeats its press only, as Windows does: the half stays down.
    if (!event->isAutoRepeat()) logic_->KeyUp(key);
    event->accept();
    return;
  }
  QLineEdit::keyReleaseEvent(event);
}

void TCustomSpinBox::focusOutEvent(QFocusEvent* event) {
  QLineEdit::focusOutEvent(event);
  if (port_->OnFocusLost) port_->OnFocusLost();
}

void TCustomSpinBox::moveEvent(QMoveEvent* event) {
  QLineEdit::moveEvent(event);
  PlaceButton(false);
}

void TCustomSpinBox::resizeEvent(QResizeEvent* event) {
  QLineEdit::resizeEvent(event);
  PlaceButton(true);
}

void TCustomSpinBox::changeEvent(QEvent* event) {
  QLineEdit::changeEvent(event);
  if (logic_ && event->type() == QEvent::EnabledChange) logic_->EnabledChanged();
}

bool TCustomSpinBox::event(QEvent* event) {
  const bool handled = QLineEdit::event(event);
  if (event->type() == QEvent::ParentChange) FollowParent();
  return handled;
}

void TCustomSpinBox::PlaceButton(bool resized) {
  if (!button_) return;
  const TBounds box = Bounds(geometry());
  const TBounds old = Bounds(button_->geometry());
  const TBounds placed = resized ? SpinButtonAfterResize(box, old) : SpinButtonBesideBox(box, old);
  button_->setGeometry(placed.Left, placed.Top, placed.Width, placed.Height);
}

void TCustomSpinBox::FollowParent() {
  if (!button_ || button_->parentWidget() == parentWidget()) return;
  button_->setParent(parentWidget());
  PlaceButton(true);
  button_->FollowBox(!isHidden());
}

}  // namespace osc::qt
