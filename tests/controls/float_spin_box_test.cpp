#include "controls/float_spin_box.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "platform/errors.h"
#include "support/spin_rig.h"

using namespace osc;
using osc::test::SeparatorScope;
using Rig = osc::test::SpinRig<TFloatSpinBox>;

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
    Rig rig;
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
  Rig rig;
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
    Rig rig;
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
  Rig rig;
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
