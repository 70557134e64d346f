#include <gtest/gtest.h>
#include <QLineEdit>
#include <QTest>

#include <functional>
#include "controls/qt/lx_list_box.h"
#include "controls/qt/spin_box.h"
#include "controls/qt/spin_box_btn.h"

#include "support/spin_rig.h"
#include "support/widget_rig.h"

using namespace osc;
using osc::test::CountNear;
using osc::test::Rgb;
using osc::test::ShowActive;

namespace {

class SpinWidget : public ::testing::Test {
 protected:
  void SetUp() override {
    form.resize(320, 120);
    box = new qt::TSpinBox(&form, &timers);
    box->setGeometry(10, 10, 60, 24);
    other = new QLineEdit(&form);
    other->setGeometry(200, 10, 60, 24);
    box->OnChange = [this](TCustomSpinBox&) { ++changes; };
    ASSERT_TRUE(ShowActive(form));
  }

  qt::TSpinBoxBtn& Button() { return *box->ButtonWidget(); }
  // The user focuses the box, selects all and types.
  void TypeOver(const char* text) {
    box->setFocus();
    box->selectAll();
    QTest::keyClicks(box, text);
  }

  TSteppedTimers timers;
  QWidget form;
  qt::TSpinBox* box = nullptr;
  QLineEdit* other = nullptr;
  int changes = 0;
};

}  // namespace

// Each user event reaches the logic: the value it leaves, the commits and the pressed half.
TEST_F(SpinWidget, EventsReachTheBox) {
  const QPoint lower(8, 21);
  struct Case {
    const char* name;
    std::function<void()> act;
    int value, changes, half;
  };
  const Case cases[] = {
      {"Return commits", [&] { TypeOver("42"), QTest::keyClick(box, Qt::Key_Return); }, 42, 1,
       TSpinBoxBtn::kNone},
      {"Enter commits", [&] { TypeOver("42"), QTest::keyClick(box, Qt::Key_Enter); }, 42, 1,
       TSpinBoxBtn::kNone},
      {"focus loss commits", [&] { TypeOver("42"), other->setFocus(); }, 42, 1, TSpinBoxBtn::kNone},
      {"Up held", [&] { box->setFocus(), QTest::keyPress(box, Qt::Key_Up); }, 1, 1, TSpinBoxBtn::kUpper},
      {"Down clicked", [&] { box->setFocus(), QTest::keyClick(box, Qt::Key_Down); }, -1, 1,
       TSpinBoxBtn::kNone},
      {"lower half held", [&] { QTest::mousePress(&Button(), Qt::LeftButton, {}, lower); }, -1, 1,
       TSpinBoxBtn::kLower},
      {"lower half clicked", [&] { QTest::mouseClick(&Button(), Qt::LeftButton, {}, lower); }, -1, 1,
       TSpinBoxBtn::kNone},
  };
  for (const Case& c : cases) {
    box->SetValue(0);
    box->Button().MouseUp();
    other->setFocus();
    changes = 0;
    c.act();
    EXPECT_EQ(box->Value(), c.value) << c.name;
    EXPECT_EQ(changes, c.changes) << c.name;
    EXPECT_EQ(box->Button().BmpIndex(), c.half) << c.name;
  }
  QTest::mousePress(&Button(), Qt::LeftButton, {}, lower);
  EXPECT_TRUE(box->hasFocus()) << "the box takes the focus from a click on its button";
}

TEST_F(SpinWidget, ButtonFollowsTheBoxGeometryAndVisibility) {
  box->setGeometry(20, 40, 80, 30);
  EXPECT_EQ(Button().geometry(), QRect(100, 40, 20, 30));
  box->hide();
  EXPECT_FALSE(Button().isVisible());
  box->show();
  EXPECT_TRUE(Button().isVisible());

  QWidget other_form;
  qt::TSpinBox orphan(nullptr, &timers);
  orphan.setParent(&other_form);
  orphan.setGeometry(5, 5, 50, 21);
  other_form.show();
  EXPECT_EQ(orphan.ButtonWidget()->parentWidget(), &other_form);
  orphan.setParent(nullptr);  // leaves other_form before it is destroyed
}

TEST_F(SpinWidget, DestroyingTheBoxRemovesItsButton) {
  QPointer<qt::TSpinBoxBtn> button = box->ButtonWidget();
  QTest::mousePress(button, Qt::LeftButton, {}, QPoint(2, 2));
  delete box;
  box = nullptr;
  EXPECT_TRUE(button.isNull());
  EXPECT_EQ(timers.RunningCount(), 0u);
}

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
