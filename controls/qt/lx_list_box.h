#pragma once
// TLxListBox: a single-selection list of fixed-height items whose selected item stays
// visible when the list has no focus: drawn on grey 176, 176, 176 in the normal text
// colour. The focused item (the current one, while the list has the focus) is drawn in
// the highlight colours with a dotted focus rectangle.
#include <QListWidget>
#include <functional>

namespace osc::qt {

class TLxListBox : public QListWidget {
  Q_OBJECT

 public:
  static constexpr QRgb kUnfocusedSelection = qRgb(176, 176, 176);
  // The item height of an 8-point Windows font; a larger font gets its line height.
  static constexpr int kMinItemHeight = 13;

  explicit TLxListBox(QWidget* parent = nullptr);

  // Height of every item: the font's line height (at least kMinItemHeight) unless set.
  int ItemHeight() const;
  void SetItemHeight(int height);

  // Draws one item's content in place of its text. The background is already filled;
  // the painter's pen has the text colour and its brush the background.
  using TDrawItemEvent = std::function<void(TLxListBox& sender, int index, QPainter& painter,
                                            const QRect& rect, bool selected, bool focused)>;
  TDrawItemEvent OnDrawItem;

 protected:
  void changeEvent(QEvent* event) override;

 private:
  class ItemPainter;
  friend class ItemPainter;

  int item_height_ = 0;  // 0: from the font
};

}  // namespace osc::qt
