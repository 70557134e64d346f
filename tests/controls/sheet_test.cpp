// A sheet of the controls in their states, saved as pictures at scale 1 and 2 for a
// person to look at (build tree: tests/controls/screenshots).
#include <gtest/gtest.h>
#include <QDir>
#include <QLabel>
#include <QPainter>

#include "controls/qt/lx_display_panel.h"
#include "controls/qt/lx_list_box.h"
#include "controls/qt/spin_box.h"
#include "controls/qt/spin_box_btn.h"
#include "support/spin_rig.h"
#include "support/widget_rig.h"

using namespace osc;

namespace {

struct Sheet {
  QWidget form;
  std::vector<qt::TCustomSpinBox*> boxes;
  qt::TLxListBox* focused_list = nullptr;
  qt::TLxListBox* idle_list = nullptr;
  int row = 0;

  Sheet() {
    form.resize(470, 330);
    form.setWindowTitle("Ovládací prvky");
  }
  template <class Box>
  Box* Add(const char* caption) {
    const int y = 10 + row++ * 38;
    auto* label = new QLabel(QString::fromUtf8(caption), &form);
    label->setGeometry(10, y, 150, 24);
    auto* box = new Box(&form);
    box->move(165, y);
    box->resize(70, box->height());
    boxes.push_back(box);
    return box;
  }
  qt::TLxListBox* AddList(int x, const char* caption) {
    auto* label = new QLabel(QString::fromUtf8(caption), &form);
    label->setGeometry(x, 10, 100, 20);
    auto* list = new qt::TLxListBox(&form);
    list->setGeometry(x, 32, 95, 110);
    list->addItems({"20 V", "10 V", "5 V", "1 V", "200 mV"});
    list->setCurrentRow(2);
    return list;
  }
};

QString ScreenshotPath(const char* name) {
  QDir().mkpath(OSC_SCREENSHOT_DIR);
  return QString(OSC_SCREENSHOT_DIR) + "/" + name;
}

}  // namespace

TEST(ControlsSheet, RendersEveryStateAtScale1And2) {
  test::SeparatorScope czech(',', ' ');
  Sheet s;
  auto* percent = s.Add<qt::TSpinBox>("Zesílení [%] (1,23)");
  test::MakePercentBox(*percent);
  percent->SetValue(123);
  auto* blank = s.Add<qt::TSpinBox>("Prázdný (Blank)");
  blank->SetValue(7);
  blank->SetBlank(true);
  auto* disabled = s.Add<qt::TSpinBox>("Zakázaný");
  disabled->SetValue(42);
  disabled->setEnabled(false);
  auto* upper = s.Add<qt::TSpinBox>("Horní polovina stisknuta");
  upper->SetValue(15);
  upper->Button().SetBmpIndex(TSpinBoxBtn::kUpper);
  auto* lower = s.Add<qt::TSpinBox>("Dolní polovina stisknuta");
  lower->SetValue(14);
  lower->Button().SetBmpIndex(TSpinBoxBtn::kLower);
  auto* hex = s.Add<qt::TSpinBox>("Hex, Digits 2 (-10)");
  hex->SetMode(TSpinBoxMode::fsHexadecimal);
  hex->SetDigits(2);
  hex->SetHexSymbol("h");
  hex->SetValue(-10);
  auto* read_only = s.Add<qt::TSpinBox>("Jen pro čtení");
  read_only->SetDecSymbol(" V");
  read_only->SetValue(60);
  read_only->SetReadOnly(true);
  auto* volts = s.Add<qt::TFloatSpinBox>("Napětí [V]");
  volts->SetDigits(2);
  volts->SetSymbol(" V");
  volts->SetValue(2.345678);

  s.focused_list = s.AddList(260, "S fokusem");
  s.idle_list = s.AddList(365, "Bez fokusu");
  auto* empty_panel = new qt::TLxDisplayPanel(&s.form);
  empty_panel->setGeometry(260, 160, 200, 24);
  auto* panel = new qt::TLxDisplayPanel(&s.form);
  panel->setGeometry(260, 196, 200, 24);
  panel->SetCaption(QString::fromUtf8("Korekce: 1,25 %"));

  ASSERT_TRUE(test::ShowActive(s.form));
  s.focused_list->setFocus();
  ASSERT_TRUE(s.focused_list->hasFocus());

  for (qt::TCustomSpinBox* box : s.boxes) {
    const QRect b = box->ButtonWidget()->geometry();
    EXPECT_EQ(b.height(), box->height());
    EXPECT_EQ(b.top(), box->y());
    EXPECT_EQ(b.left(), box->geometry().right() + 1);
    EXPECT_EQ(b.width(), box->height() * 2 / 3);
  }
  EXPECT_EQ(percent->text(), "1,23");
  EXPECT_EQ(hex->text(), "F6h");
  EXPECT_EQ(blank->text(), "");
  EXPECT_EQ(volts->text(), "2,35 V");

  const QImage x1 = s.form.grab().toImage();
  EXPECT_TRUE(x1.save(ScreenshotPath("controls_sheet_x1.png")));
  QImage x2(s.form.size() * 2, QImage::Format_ARGB32_Premultiplied);
  x2.setDevicePixelRatio(2);
  x2.fill(Qt::white);
  s.form.render(&x2);
  EXPECT_TRUE(x2.save(ScreenshotPath("controls_sheet_x2.png")));
  // The idle list's selection is grey at both scales.
  const QRect idle = s.idle_list->geometry();
  EXPECT_GT(test::CountNear(x1, idle, qt::TLxListBox::kUnfocusedSelection, 0), 100);
  EXPECT_GT(
      test::CountNear(x2, QRect(idle.topLeft() * 2, idle.size() * 2), qt::TLxListBox::kUnfocusedSelection, 0),
      400);
}
