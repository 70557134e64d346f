#include "controls/qt/lx_display_panel.h"

#include <QEvent>

namespace osc::qt {

TLxDisplayPanel::TLxDisplayPanel(QWidget* parent) : QLabel(parent) {
  setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
  setAlignment(Qt::AlignCenter);
  setTextFormat(Qt::PlainText);
  setAutoFillBackground(true);
  ApplyWindowColour();
  setText(QString());
}

void TLxDisplayPanel::SetCaption(const QString& caption) {
  if (caption == caption_) return;
  caption_ = caption;
  setText(caption);
}

void TLxDisplayPanel::changeEvent(QEvent* event) {
  QLabel::changeEvent(event);
  if (event->type() == QEvent::PaletteChange) ApplyWindowColour();
}

void TLxDisplayPanel::ApplyWindowColour() {
  // The window colour is what fields are filled with (Base), not the dialog face.
  QPalette pal = palette();
  if (pal.color(QPalette::Window) == pal.color(QPalette::Base)) return;
  pal.setColor(QPalette::Window, pal.color(QPalette::Base));
  setPalette(pal);
}

}  // namespace osc::qt
