#include <gtest/gtest.h>
#include <QLineEdit>

#include "controls/qt/lx_list_box.h"
#include "support/widget_rig.h"

using namespace osc;
using osc::test::CountNear;
using osc::test::Rgb;
using osc::test::ShowActive;

namespace {

class ListBox : public ::testing::Test {
 protected:
  void SetUp() override {
    form.resize(300, 200);
    list = new qt::TLxListBox(&form);
    list->setGeometry(10, 10, 120, 100);
    list->addItems({"20 V", "5 V", "1 V"});
    list->setCurrentRow(1);
    other = new QLineEdit(&form);
    other->setGeometry(150, 10, 80, 24);
    ASSERT_TRUE(ShowActive(form));
    other->setFocus();
  }

  QImage Viewport() { return list->viewport()->grab().toImage(); }
  QRect ItemRect(int row) { return list->visualItemRect(list->item(row)); }
  // The right part of an item: clear of its text and of the focus rectangle.
  QRect Clear(int row) {
    const QRect r = ItemRect(row);
    return QRect(r.right() - 20, r.top() + 2, 16, r.height() - 4);
  }

  QWidget form;
  qt::TLxListBox* list = nullptr;
  QLineEdit* other = nullptr;
};

}  // namespace

TEST_F(ListBox, ItemsHaveOneFixedHeight) {
  EXPECT_GE(list->ItemHeight(), qt::TLxListBox::kMinItemHeight);
  for (int row = 0; row < 3; ++row)
    EXPECT_EQ(ItemRect(row).height(), list->ItemHeight());
}

TEST_F(ListBox, UnfocusedSelectionStaysVisibleInGrey) {
  ASSERT_FALSE(list->hasFocus());
  const QImage img = Viewport();
  const QRect sel = Clear(1);
  EXPECT_EQ(CountNear(img, sel, qt::TLxListBox::kUnfocusedSelection, 0), sel.width() * sel.height())
      << Rgb(img.pixel(sel.center()));
  // The text keeps the font colour: dark pixels in the grey row.
  const QRect text_area = ItemRect(1).adjusted(2, 0, -60, 0);
  EXPECT_GT(CountNear(img, text_area, list->palette().color(QPalette::Text).rgb(), 60), 3);
  // Other rows stay on the window colour.
  EXPECT_EQ(CountNear(img, Clear(0), list->palette().color(QPalette::Base).rgb(), 0),
            sel.width() * sel.height());
}

TEST_F(ListBox, FocusedSelectionHighlightsWithAFocusRectangle) {
  list->setFocus();
  ASSERT_TRUE(list->hasFocus());
  const QImage img = Viewport();
  const QRgb highlight = list->palette().color(QPalette::Active, QPalette::Highlight).rgb();
  const QRect sel = Clear(1);
  EXPECT_EQ(CountNear(img, sel, highlight, 0), sel.width() * sel.height()) << Rgb(img.pixel(sel.center()));
  const QRgb light_text = list->palette().color(QPalette::Active, QPalette::HighlightedText).rgb();
  EXPECT_GT(CountNear(img, ItemRect(1).adjusted(2, 2, -60, -2), light_text, 60), 3);
  // The dotted rectangle inverts every other pixel of the item's edge.
  const QRect r = ItemRect(1);
  const QRgb inverted = qRgb(255 - qRed(highlight), 255 - qGreen(highlight), 255 - qBlue(highlight));
  const int on_edge = CountNear(img, QRect(r.left(), r.top(), r.width(), 1), inverted, 0);
  EXPECT_GE(on_edge, r.width() / 2 - 1);
  EXPECT_LE(on_edge, r.width() / 2 + 1);
  EXPECT_EQ(CountNear(img, Clear(0), list->palette().color(QPalette::Base).rgb(), 0),
            sel.width() * sel.height());
}
