#pragma once
// TLxDisplayPanel: a panel styled as a read-only value field (window colour, a single
// sunken border, centred text) that starts empty. Writing Caption changes the display
// only when the text differs from the stored caption.
#include <QLabel>

namespace osc::qt {

class TLxDisplayPanel : public QLabel {
  Q_OBJECT

 public:
  explicit TLxDisplayPanel(QWidget* parent = nullptr);

  const QString& Caption() const { return caption_; }
  void SetCaption(const QString& caption);

 protected:
  void changeEvent(QEvent* event) override;

 private:
  void ApplyWindowColour();

  QString caption_;
};

}  // namespace osc::qt
