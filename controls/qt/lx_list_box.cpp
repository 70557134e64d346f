#include "controls/qt/lx_list_box.h"

#include <QEvent>
#include <QPainter>
#include <QStyledItemDelegate>
#include <algorithm>

namespace osc::qt {

namespace {

// As Windows draws it: a dotted rectangle inverting what is under it.
void DrawFocusRect(QPainter& painter, const QRect& rect) {
  painter.save();
  painter.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
  QPen pen(Qt::white, 0);
  pen.setDashPattern({1, 1});
  painter.setPen(pen);
  painter.setBrush(Qt::NoBrush);
  painter.drawRect(rect.adjusted(0, 0, -1, -1));
  painter.restore();
}

}  // namespace

class TLxListBox::ItemPainter final : public QStyledItemDelegate {
 public:
  explicit ItemPainter(TLxListBox& list) : QStyledItemDelegate(&list), list_(list) {}

  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex&) const override {
    return QSize(option.rect.width(), list_.ItemHeight());
  }

  void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    const bool selected = option.state & QStyle::State_Selected;
    const bool focused = option.state & QStyle::State_HasFocus;
    const QPalette& pal = list_.palette();
    QColor background = pal.color(QPalette::Base);
    QColor text = pal.color(QPalette::Text);
    if (selected)
      background = focused ? pal.color(QPalette::Active, QPalette::Highlight) : QColor(kUnfocusedSelection);
    if (selected && focused) text = pal.color(QPalette::Active, QPalette::HighlightedText);

    painter->save();
    painter->fillRect(option.rect, background);
    painter->setPen(text);
    painter->setBrush(background);
    painter->setFont(list_.font());
    if (list_.OnDrawItem) {
      list_.OnDrawItem(list_, index.row(), *painter, option.rect, selected, focused);
    } else {
      // One line, vertically centred, 2 pixels in; '&' is a plain character.
      const QRect r = option.rect.adjusted(2, 0, 0, 0);
      painter->drawText(r, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                        index.data(Qt::DisplayRole).toString());
    }
    painter->restore();
    if (focused) DrawFocusRect(*painter, option.rect);
  }

 private:
  TLxListBox& list_;
};

TLxListBox::TLxListBox(QWidget* parent) : QListWidget(parent) {
  setSelectionMode(QAbstractItemView::SingleSelection);
  setUniformItemSizes(true);
  setItemDelegate(new ItemPainter(*this));
}

int TLxListBox::ItemHeight() const {
  if (item_height_ > 0) return item_height_;
  return std::max(kMinItemHeight, fontMetrics().height());
}

void TLxListBox::SetItemHeight(int height) {
  if (item_height_ == height) return;
  item_height_ = height;
  doItemsLayout();
}

void TLxListBox::changeEvent(QEvent* event) {
  QListWidget::changeEvent(event);
  if (event->type() == QEvent::FontChange && item_height_ == 0) doItemsLayout();
}

}  // namespace osc::qt
