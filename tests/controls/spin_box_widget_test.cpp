#include <gtest/gtest.h>
#include <QLineEdit>
#include <QPaintEvent>
#include <QTest>

#include "controls/qt/spin_box.h"
#include "controls/qt/spin_box_btn.h"
#include "platform/errors.h"
#include "support/spin_rig.h"
#include "support/widget_rig.h"

using namespace osc;
using osc::test::SeparatorScope;
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
    box->OnEditing = [this](TCustomSpinBox&) { ++editings; };
    ASSERT_TRUE(ShowActive(form));
  }

  qt::TSpinBoxBtn& Button() { return *box->ButtonWidget(); }
  // The user focuses the box, selects all and types.
  void TypeOver(const char* text) {
    box->setFocus();
    box->selectAll();
    QTest::keyClicks(box, text);
  }

  SeparatorScope separators{'.', ','};
  TSteppedTimers timers;
  QWidget form;
  qt::TSpinBox* box = nullptr;
  QLineEdit* other = nullptr;
  int changes = 0;
  int editings = 0;
};

// Records the regions the button is asked to paint.
class PaintSpy : public QObject {
 public:
  QRegion painted;
  bool eventFilter(QObject*, QEvent* e) override {
    if (e->type() == QEvent::Paint) painted += static_cast<QPaintEvent*>(e)->region();
    return false;
  }
};

}  // namespace

TEST_F(SpinWidget, ButtonSitsBesideTheBoxAsTallAsIt) {
  EXPECT_EQ(Button().parentWidget(), &form);
  EXPECT_EQ(Button().geometry(), QRect(70, 10, 16, 24));
  box->resize(80, 30);
  EXPECT_EQ(Button().geometry(), QRect(90, 10, 20, 30));
  box->move(20, 40);
  EXPECT_EQ(Button().geometry(), QRect(100, 40, 20, 30));
  EXPECT_TRUE(Button().isVisible());
}

TEST_F(SpinWidget, ShownAndHiddenWithTheBox) {
  box->hide();
  EXPECT_FALSE(Button().isVisible());
  box->show();
  EXPECT_TRUE(Button().isVisible());
  box->SetVisibleBtn(false);
  EXPECT_FALSE(Button().isVisible());
  box->hide();
  box->show();
  EXPECT_FALSE(Button().isVisible()) << "VisibleBtn off keeps it hidden";
  box->SetVisibleBtn(true);
  EXPECT_TRUE(Button().isVisible());
}

TEST_F(SpinWidget, FollowsTheBoxToANewParent) {
  QWidget other_form;
  qt::TSpinBox orphan(nullptr, &timers);
  EXPECT_EQ(orphan.ButtonWidget()->parentWidget(), nullptr);
  EXPECT_FALSE(orphan.ButtonWidget()->isVisible()) << "no window of its own";
  orphan.setParent(&other_form);
  orphan.setGeometry(5, 5, 50, 21);
  other_form.show();  // a hidden form delivers the box's move and resize when shown
  EXPECT_EQ(orphan.ButtonWidget()->parentWidget(), &other_form);
  EXPECT_EQ(orphan.ButtonWidget()->geometry(), QRect(55, 5, 14, 21));
  orphan.setParent(nullptr);  // leaves other_form before it is destroyed
}

TEST_F(SpinWidget, EnterCommitsWhatWasTyped) {
  TypeOver("42");
  EXPECT_EQ(box->Value(), 42);
  EXPECT_EQ(editings, 2);
  EXPECT_EQ(changes, 0);
  QTest::keyClick(box, Qt::Key_Return);
  EXPECT_EQ(changes, 1);
  EXPECT_EQ(box->LastValue(), 42);
  QTest::keyClick(box, Qt::Key_Enter);
  EXPECT_EQ(changes, 1) << "nothing new";
}

TEST_F(SpinWidget, FocusLossCommitsAndRewritesTheText) {
  osc::test::MakePercentBox(*box);
  TypeOver("25");
  EXPECT_EQ(box->Value(), 2000);
  EXPECT_EQ(box->text(), "20.00") << "clamped above a positive maximum: rewritten at once";
  EXPECT_EQ(box->selectedText(), "20.00");
  TypeOver("5");
  EXPECT_EQ(box->text(), "5");
  EXPECT_EQ(changes, 0);
  other->setFocus();
  EXPECT_FALSE(box->hasFocus());
  EXPECT_EQ(box->text(), "5.00");
  EXPECT_EQ(box->Value(), 500);
  EXPECT_EQ(changes, 1);
}

TEST_F(SpinWidget, ArrowKeysStepAndPressTheHalves) {
  box->setFocus();
  QTest::keyPress(box, Qt::Key_Up);
  EXPECT_EQ(box->Value(), 1);
  EXPECT_EQ(box->Button().BmpIndex(), TSpinBoxBtn::kUpper);
  QTest::keyRelease(box, Qt::Key_Up);
  EXPECT_EQ(box->Button().BmpIndex(), TSpinBoxBtn::kNone);
  QTest::keyClick(box, Qt::Key_Down);
  QTest::keyClick(box, Qt::Key_Down);
  EXPECT_EQ(box->Value(), -1);
  EXPECT_EQ(changes, 3);
  box->SetReadOnly(true);
  QTest::keyClick(box, Qt::Key_Up);
  EXPECT_EQ(box->Value(), -1);
}

TEST_F(SpinWidget, ReadOnlyAndEditorEnabledSetTheEditAndTheButton) {
  struct Case {
    bool read_only;
    bool editor_enabled;
    bool box_enabled;
    bool edit_read_only;
    bool button_enabled;
  };
  const Case cases[] = {
      {false, true, true, false, true}, {true, true, true, true, false},    {false, false, true, true, true},
      {true, false, true, true, false}, {false, true, false, false, false},
  };
  for (const Case& c : cases) {
    box->SetReadOnly(c.read_only);
    box->SetEditorEnabled(c.editor_enabled);
    box->setEnabled(c.box_enabled);
    EXPECT_EQ(box->isReadOnly(), c.edit_read_only) << c.read_only << c.editor_enabled << c.box_enabled;
    EXPECT_EQ(box->Button().Enabled(), c.button_enabled) << c.read_only << c.editor_enabled << c.box_enabled;
  }
}

TEST_F(SpinWidget, HoldingTheLowerHalfRepeatsOnTheSteppedTimer) {
  box->SetValue(10);
  changes = 0;
  const QPoint lower(Button().width() / 2, Button().height() - 3);
  QTest::mousePress(&Button(), Qt::LeftButton, {}, lower);
  EXPECT_EQ(box->Value(), 9);
  EXPECT_TRUE(box->hasFocus()) << "the box takes the focus from a click on its button";
  EXPECT_EQ(box->Button().BmpIndex(), TSpinBoxBtn::kLower);
  timers.Advance(399);
  EXPECT_EQ(box->Value(), 9);
  timers.Advance(201);
  EXPECT_EQ(box->Value(), 6);  // 400, 500, 600 ms
  QTest::mouseRelease(&Button(), Qt::LeftButton, {}, lower);
  EXPECT_EQ(box->Button().BmpIndex(), TSpinBoxBtn::kNone);
  timers.Advance(1000);
  EXPECT_EQ(box->Value(), 6);
  EXPECT_EQ(changes, 4);
}

TEST_F(SpinWidget, APressRepaintsOnlyThatHalf) {
  PaintSpy spy;
  Button().installEventFilter(&spy);
  QApplication::processEvents();
  spy.painted = QRegion();
  box->Button().SetBmpIndex(TSpinBoxBtn::kLower);
  QApplication::processEvents();
  EXPECT_FALSE(spy.painted.isEmpty());
  EXPECT_TRUE(QRegion(Button().HalfRect(false)).contains(spy.painted.boundingRect()))
      << "painted " << spy.painted.boundingRect().y() << "+" << spy.painted.boundingRect().height();
  spy.painted = QRegion();
  box->Button().SetBmpIndex(TSpinBoxBtn::kUpper);
  QApplication::processEvents();
  EXPECT_EQ(spy.painted.boundingRect(), Button().rect()) << "one half released, the other pressed";
  Button().removeEventFilter(&spy);
}

TEST_F(SpinWidget, FloatBoxKeepsItsValueForTextThatIsNotANumber) {
  qt::TFloatSpinBox fbox(&form, &timers);
  fbox.SetDigits(2);
  fbox.SetValue(1.5);
  fbox.show();
  fbox.setFocus();
  fbox.selectAll();
  QTest::keyClicks(&fbox, "abc");
  EXPECT_EQ(fbox.Value(), 1.5);
  EXPECT_THROW(fbox.TextToValue("abc"), EConvertError);
  fbox.selectAll();
  QTest::keyClicks(&fbox, "2.345678 V");
  EXPECT_DOUBLE_EQ(fbox.Value(), 2.35);
  QTest::keyClick(&fbox, Qt::Key_Return);
  EXPECT_EQ(fbox.text(), "2.35");
}

TEST_F(SpinWidget, DestroyingTheBoxRemovesItsButton) {
  QPointer<qt::TSpinBoxBtn> button = box->ButtonWidget();
  QTest::mousePress(button, Qt::LeftButton, {}, QPoint(2, 2));
  delete box;
  box = nullptr;
  EXPECT_TRUE(button.isNull());
  EXPECT_EQ(timers.RunningCount(), 0u);
}
