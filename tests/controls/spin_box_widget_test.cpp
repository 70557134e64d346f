#include <gtest/gtest.h>
#include <QLineEdit>
#include <QTest>

#include <functional>
#include "controls/qt/spin_box.h"
#include "controls/qt/spin_box_btn.h"

#include "support/spin_rig.h"
#include "support/widget_rig.h"

using namespace osc;
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
