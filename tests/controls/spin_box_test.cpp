#include "controls/spin_box.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <functional>
#include <limits>

#include "controls/float_spin_box.h"
#include "platform/errors.h"
#include "support/spin_rig.h"

using namespace osc;
using osc::test::MakePercentBox;
using osc::test::SeparatorScope;
using Rig = osc::test::SpinRig<TSpinBox>;
using FloatRig = osc::test::SpinRig<TFloatSpinBox>;

namespace {

using Configure = std::function<void(TSpinBox&)>;

void Plain(TSpinBox&) {}

void Range5To60(TSpinBox& b) {
  b.SetMinValue(5);
  b.SetMaxValue(60);
}

}  // namespace

TEST(SpinBoxText, ParsesAndNeverThrows) {
  struct Case {
    const char* name;
    Configure setup;
    const char* text;
    int value;
  };
  const Case cases[] = {
      {"percent", MakePercentBox, "1.23", 123},
      {"percent not a number", MakePercentBox, "1.2.3", 0},
      {"percent beyond int saturates", MakePercentBox, "30000000", INT_MAX},
      {"percent far below saturates", MakePercentBox, "-1e300", INT_MIN},
      {"decimal beyond int saturates", Plain, "99999999999", INT_MAX},
      {"lone sign", Plain, "-", 0},
      {"empty", MakePercentBox, "", 0},
  };
  for (const Case& c : cases) {
    Rig rig;
    c.setup(rig.box);
    EXPECT_EQ(rig.box.TextToValue(c.text), c.value) << c.name << ": '" << c.text << "'";
  }
}

TEST(SpinBoxText, ShowsTheClampedValueWithTheUsersSeparator) {
  Rig rig;
  MakePercentBox(rig.box);
  rig.box.SetValue(2500);
  EXPECT_EQ(rig.edit.Text(), "20.00");
  SeparatorScope czech(',', ' ');
  rig.box.SetValue(-123);
  EXPECT_EQ(rig.edit.Text(), "-1,23");
  EXPECT_EQ(rig.box.TextToValue("-4,5"), -450);
  EXPECT_EQ(rig.box.TextToValue("4.5"), 0) << "the other separator is not a number";
}

TEST(SpinBoxText, BlankReadsTheLastCommittedValue) {
  Rig rig;
  rig.box.SetValue(17);
  rig.box.SetBlank(true);
  EXPECT_EQ(rig.edit.Text(), "");
  rig.Type("99");
  EXPECT_EQ(rig.box.Value(), 17);
  EXPECT_EQ(rig.editings, 0);
  rig.LeaveBox();
  EXPECT_EQ(rig.edit.Text(), "") << "a blank box stays blank after a commit";
  rig.box.SetBlank(false);
  EXPECT_EQ(rig.edit.Text(), "17");
}

TEST(SpinBoxTyping, FollowsTheLimitsAsTheUserTypes) {
  struct Case {
    const char* name;
    Configure setup;
    const char* typed;
    int value;              // Value at once
    const char* shown;      // text at once
    bool selected;          // rewritten and selected
    const char* committed;  // text after focus leaves
  };
  const Case cases[] = {
      {"percent 5", MakePercentBox, "5", 500, "5", false, "5.00"},
      {"percent 25 clamps and rewrites", MakePercentBox, "25", 2000, "20.00", true, "20.00"},
      {"below a positive minimum keeps the text", Range5To60, "3", 5, "3", false, "5"},
      {"garbage is 0, then the minimum", Range5To60, "abc", 5, "abc", false, "5"},
      {"below a negative minimum rewrites", MakePercentBox, "-30", -2000, "-20.00", true, "-20.00"},
      {"equal limits mean none", Plain, "-12345", -12345, "-12345", false, "-12345"},
  };
  for (const Case& c : cases) {
    Rig rig;
    c.setup(rig.box);
    rig.box.SetValue(10);
    rig.changes = 0;
    rig.Type(c.typed);
    EXPECT_EQ(rig.box.Value(), c.value) << c.name;
    EXPECT_EQ(rig.edit.Text(), c.shown) << c.name;
    EXPECT_EQ(rig.edit.AllSelected(), c.selected) << c.name;
    EXPECT_EQ(rig.editings, 1) << c.name;
    EXPECT_EQ(rig.changes, 0) << c.name << ": typing commits nothing";
    rig.LeaveBox();
    EXPECT_EQ(rig.edit.Text(), c.committed) << c.name;
    EXPECT_EQ(rig.changes, 1) << c.name;
  }
}

TEST(SpinBoxTyping, OnChangeOncePerCommitOfANewValue) {
  Rig rig;
  rig.box.SetValue(1);
  rig.changes = 0;
  rig.Type("7");
  rig.Type("78");
  rig.Type("78");  // same value: no editing notification
  EXPECT_EQ(rig.editings, 2);
  EXPECT_EQ(rig.changes, 0);
  rig.box.EnterPressed();
  EXPECT_EQ(rig.changes, 1);
  rig.LeaveBox();
  rig.Type("5");
  rig.Type("78");
  rig.LeaveBox();
  EXPECT_EQ(rig.changes, 1) << "typed back to the committed value";
}

TEST(SpinBoxValue, NestedWritesBeyondTwoLevelsDoNotNotifyAndAThrowKeepsTheDepth) {
  Rig rig;
  std::vector<int> depths;
  rig.box.OnChange = [&](TCustomSpinBox&) {
    depths.push_back(rig.box.UpdateDepth());
    rig.box.SetValue(rig.box.Value() + 1);
  };
  rig.box.SetValue(1);
  EXPECT_EQ(depths, (std::vector<int>{1, 2}));
  EXPECT_EQ(rig.box.LastValue(), 3);

  rig.box.OnChange = [](TCustomSpinBox&) { throw std::runtime_error("handler"); };
  EXPECT_THROW(rig.box.SetValue(5), std::runtime_error);
  EXPECT_EQ(rig.box.UpdateDepth(), 0);
}

TEST(SpinBoxValue, StepsCommitStopAtTheLimitsAndSaturate) {
  struct Case {
    Configure setup;
    int start;
    int value;
  };
  for (const Case& c : {Case{Plain, 3, 4}, Case{Range5To60, 60, 60}, Case{Plain, INT_MAX, INT_MAX}}) {
    Rig rig;
    c.setup(rig.box);
    rig.box.SetValue(c.start);
    rig.changes = 0;
    rig.box.Step(false, false);
    EXPECT_EQ(rig.box.Value(), c.value) << c.start;
    EXPECT_EQ(rig.changes, c.value != c.start ? 1 : 0) << c.start;
  }
}

TEST(SpinBoxValue, ScaledValuesSaturateThenClamp) {
  struct Case {
    double stored;
    int value;
    const char* shown;
  };
  const Case cases[] = {
      {10.0, 10000, "10.00"}, {1e10, 10000000, "10000.00"},
      {-1e10, 1, "0.00"},     {std::numeric_limits<double>::infinity(), 10000000, "10000.00"},
      {std::nan(""), 1, ""},
  };
  for (const Case& c : cases) {
    Rig rig;
    rig.box.SetMode(TSpinBoxMode::fsFloat);
    rig.box.SetDigits(2);
    rig.box.SetConst_K(0.001);
    rig.box.SetMinValue(1);
    rig.box.SetMaxValue(10000000);
    rig.box.SetScaledValue(c.stored);
    EXPECT_EQ(rig.box.Value(), c.value) << c.stored;
    EXPECT_EQ(rig.edit.Text(), c.shown) << c.stored;
    EXPECT_EQ(rig.box.LastValue(), c.value) << c.stored;
  }
}

TEST(SpinBoxKeys, UpAndDownStepAndPressTheHalves) {
  Rig rig;
  rig.edit.SetFocused(true);
  EXPECT_TRUE(rig.box.KeyDown(TSpinKey::Up));
  EXPECT_EQ(rig.box.Value(), 1);
  EXPECT_TRUE(rig.box.KeyUp(TSpinKey::Down));
  EXPECT_EQ(rig.box.Button().BmpIndex(), TSpinBoxBtn::kUpper) << "releasing Down leaves Up pressed";
  EXPECT_TRUE(rig.box.KeyUp(TSpinKey::Up));
  EXPECT_EQ(rig.box.Button().BmpIndex(), TSpinBoxBtn::kNone);
  EXPECT_TRUE(rig.box.KeyDown(TSpinKey::Down));
  EXPECT_EQ(rig.box.Button().BmpIndex(), TSpinBoxBtn::kLower);
  EXPECT_FALSE(rig.box.KeyDown(TSpinKey::Other));
  rig.LeaveBox();
  EXPECT_EQ(rig.box.Button().BmpIndex(), TSpinBoxBtn::kNone) << "focus loss releases the half";
}

// The button follows the box's enabling; focus leaving while it is held ends the repeat.
TEST(SpinBoxButton, FollowsTheBoxEnablingAndFocus) {
  Rig rig;
  rig.edit.SetEnabled(false);
  rig.box.EnabledChanged();
  rig.box.Button().MouseDown(0, 21);
  EXPECT_EQ(rig.box.Value(), 0);
  rig.edit.SetEnabled(true);
  rig.box.EnabledChanged();
  rig.box.Button().MouseDown(0, 21);
  EXPECT_EQ(rig.box.Value(), 1);
  rig.LeaveBox();
  rig.timers.Advance(2000);
  EXPECT_EQ(rig.box.Value(), 1) << "no repeats once nothing is pressed";
  EXPECT_EQ(rig.timers.RunningCount(), 0u);
}

// The gain calibration's voltage box: two decimals, here limited to 1..10.
TEST(FloatSpinBox, TypingKeepsTwoDecimalsWithinTheLimits) {
  struct Case {
    const char* typed;
    double value;           // Value at once
    const char* shown;      // text at once
    const char* committed;  // text after focus leaves
    int editings;
  };
  const Case cases[] = {
      {"2.345678", 2.35, "2.345678", "2.35", 1},
      {"12", 10, "10.00", "10.00", 1},  // above a positive maximum: rewritten
      {"0.5", 1, "0.5", "1.00", 1},     // below a positive minimum: left for more digits
      {"abc", 1.5, "abc", "1.50", 0},   // not a number: the value stays
  };
  for (const Case& c : cases) {
    FloatRig rig;
    rig.box.SetDigits(2);
    rig.box.SetMinValue(1);
    rig.box.SetMaxValue(10);
    rig.box.SetValue(1.5);
    rig.changes = 0;
    rig.Type(c.typed);
    EXPECT_DOUBLE_EQ(rig.box.Value(), c.value) << c.typed;
    EXPECT_EQ(rig.edit.Text(), c.shown) << c.typed;
    EXPECT_EQ(rig.editings, c.editings) << c.typed;
    rig.LeaveBox();
    EXPECT_EQ(rig.edit.Text(), c.committed) << c.typed;
    EXPECT_EQ(rig.changes, c.editings) << c.typed;
  }
}

TEST(FloatSpinBox, FilterDropsLettersAndRaisesForTheRest) {
  FloatRig rig;
  EXPECT_DOUBLE_EQ(rig.box.TextToValue("U=+3.25V"), 3.25);
  EXPECT_DOUBLE_EQ(rig.box.TextToValue("1e3"), 13.0);         // the exponent letter goes too
  EXPECT_DOUBLE_EQ(rig.box.TextToValue("1,234.50"), 1234.5);  // ffNumber's own grouping reads back
  for (const char* text : {"abc", "-", "1.2.3", "2,5"})
    EXPECT_THROW(rig.box.TextToValue(text), EConvertError) << text;
}

// Grouping and the decimal separator never meet, also where the group separator is
// another locale's decimal point (German).
TEST(FloatSpinBox, LocalSeparatorsShowAndReadBack) {
  struct Case {
    char decimal, thousand;
    const char* shown;
  };
  for (const Case& c : {Case{',', ' ', "1 234,50"}, Case{',', '.', "1.234,50"}}) {
    FloatRig rig;
    SeparatorScope local(c.decimal, c.thousand);
    rig.box.SetDigits(2);
    rig.box.SetValue(1234.5);
    EXPECT_EQ(rig.edit.Text(), c.shown);
    EXPECT_DOUBLE_EQ(rig.box.TextToValue(rig.edit.Text()), 1234.5) << c.shown;
    EXPECT_DOUBLE_EQ(rig.box.TextToValue("2,5 V"), 2.5);
    EXPECT_THROW(rig.box.TextToValue("2.5"), EConvertError);
  }
}

TEST(FloatSpinBox, UnknownOrHugeValuesStaySafe) {
  FloatRig rig;
  rig.box.SetValue(std::nan(""));
  EXPECT_EQ(rig.edit.Text(), "");
  rig.changes = 0;
  rig.box.UpdateText();
  EXPECT_EQ(rig.changes, 0) << "NaN committed once, not on every commit";
  rig.box.SetMinValue(-5);
  rig.box.SetMaxValue(5);
  rig.box.SetValue(std::numeric_limits<double>::infinity());
  EXPECT_EQ(rig.box.Value(), 5.0);
}
