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

// Unfocused, the selection stays visible in grey with the text in the font colour;
// focused, it takes the highlight and a dotted rectangle that inverts every other pixel
// of the item's edge.
TEST_F(ListBox, SelectionShowsGreyUnfocusedAndHighlightedWithAFocusRectangle) {
  const QRect sel = Clear(1);
  const QRgb grey = qt::TLxListBox::kUnfocusedSelection;
  const QRgb highlight = list->palette().color(QPalette::Active, QPalette::Highlight).rgb();
  for (bool focused : {false, true}) {
    SCOPED_TRACE(focused ? "focused" : "unfocused");
    if (focused) list->setFocus();
    ASSERT_EQ(list->hasFocus(), focused);
    const QImage img = Viewport();
    EXPECT_EQ(CountNear(img, sel, focused ? highlight : grey, 0), sel.width() * sel.height())
        << Rgb(img.pixel(sel.center()));
    const QRgb text =
        list->palette().color(QPalette::Active, focused ? QPalette::HighlightedText : QPalette::Text).rgb();
    EXPECT_GT(CountNear(img, ItemRect(1).adjusted(2, 2, -60, -2), text, 60), 3);
  }
  const QRect r = ItemRect(1);
  const QRgb inverted = qRgb(255 - qRed(highlight), 255 - qGreen(highlight), 255 - qBlue(highlight));
  const int on_edge = CountNear(Viewport(), QRect(r.left(), r.top(), r.width(), 1), inverted, 0);
  EXPECT_GE(on_edge, r.width() / 2 - 1);
  EXPECT_LE(on_edge, r.width() / 2 + 1);
}
