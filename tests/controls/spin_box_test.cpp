#include "controls/spin_box.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <functional>
#include <limits>

#include "support/spin_rig.h"

using namespace osc;
using osc::test::MakePercentBox;
using osc::test::SeparatorScope;
using Rig = osc::test::SpinRig<TSpinBox>;

namespace {

using Configure = std::function<void(TSpinBox&)>;

void Range5To60(TSpinBox& b) {
  b.SetMinValue(5);
  b.SetMaxValue(60);
}
void Hex2(TSpinBox& b) {
  b.SetMode(TSpinBoxMode::fsHexadecimal);
  b.SetDigits(2);
}

}  // namespace

TEST(SpinBoxText, ShowsTheValueInEachMode) {
  struct Case {
    const char* name;
    Configure setup;
    int value;
    const char* shown;
  };
  const Case cases[] = {
      {"percent", MakePercentBox, 123, "1.23"},
      {"percent negative", MakePercentBox, -2000, "-20.00"},
      {"percent clamped on write", MakePercentBox, 2500, "20.00"},
      {"thousandths with two decimals",
       [](TSpinBox& b) {
         b.SetMode(TSpinBoxMode::fsFloat);
         b.SetDigits(2);
         b.SetConst_K(0.001);
       },
       10000000, "10000.00"},
      {"offset and suffix",
       [](TSpinBox& b) {
         b.SetMode(TSpinBoxMode::fsFloat);
         b.SetDigits(1);
         b.SetConst_Q(-5);
         b.SetDecSymbol(" V");
       },
       7, "2.0 V"},
      {"seven integer digits go scientific",
       [](TSpinBox& b) {
         b.SetMode(TSpinBoxMode::fsFloat);
         b.SetDigits(2);
       },
       1234567, "1.23457E+06"},
      {"decimal with suffix", [](TSpinBox& b) { b.SetDecSymbol("V"); }, -42, "-42V"},
      {"decimal ignores Digits", [](TSpinBox& b) { b.SetDigits(5); }, 7, "7"},
      {"hex negative keeps the last Digits", Hex2, -10, "F6"},
      {"hex pads to Digits", Hex2, 10, "0A"},
      {"hex longer than Digits", Hex2, 4096, "1000"},
      {"hex all eight digits",
       [](TSpinBox& b) {
         b.SetMode(TSpinBoxMode::fsHexadecimal);
         b.SetDigits(8);
       },
       -10, "FFFFFFF6"},
      {"hex suffix",
       [](TSpinBox& b) {
         Hex2(b);
         b.SetHexSymbol("h");
         b.SetDecSymbol("ignored");
       },
       255, "FFh"},
      {"blank", [](TSpinBox& b) { b.SetBlank(true); }, 5, ""},
      {"snapped to Increment", [](TSpinBox& b) { b.SetIncrement(5); }, 7, "5"},
  };
  for (const Case& c : cases) {
    Rig rig;
    c.setup(rig.box);
    rig.box.SetValue(c.value);
    EXPECT_EQ(rig.edit.Text(), c.shown) << c.name;
  }
}

TEST(SpinBoxText, UsesTheUsersDecimalSeparator) {
  Rig rig;
  SeparatorScope czech(',', ' ');
  MakePercentBox(rig.box);
  rig.box.SetValue(123);
  EXPECT_EQ(rig.edit.Text(), "1,23");
  EXPECT_EQ(rig.box.TextToValue("-4,5"), -450);
  EXPECT_EQ(rig.box.TextToValue("4.5"), 0) << "the other separator is not a number";
}

TEST(SpinBoxText, ParsesEachModeAndNeverThrows) {
  struct Case {
    const char* name;
    Configure setup;
    const char* text;
    int value;
  };
  const Configure volts = [](TSpinBox& b) { b.SetDecSymbol("V"); };
  const Configure hex_h = [](TSpinBox& b) {
    Hex2(b);
    b.SetHexSymbol("h");
  };
  const Case cases[] = {
      {"percent", MakePercentBox, "1.23", 123},
      {"percent whole", MakePercentBox, "5", 500},
      {"percent not a number", MakePercentBox, "1.2.3", 0},
      {"percent beyond int saturates", MakePercentBox, "30000000", INT_MAX},
      {"percent far below saturates", MakePercentBox, "-1e300", INT_MIN},
      {"suffix given", volts, "42V", 42},
      {"suffix lower case", volts, "42v", 42},
      {"suffix omitted", volts, "42", 42},
      {"suffix alone is not stripped", volts, "V", 0},
      {"blank before suffix", volts, "42 V", 42},
      {"suffix with a blank typed without", [](TSpinBox& b) { b.SetDecSymbol(" V"); }, "42v", 42},
      {"negative decimal", [](TSpinBox&) {}, "-7", -7},
      {"decimal beyond int saturates", [](TSpinBox&) {}, "99999999999", INT_MAX},
      {"decimal below int saturates", [](TSpinBox&) {}, "-99999999999999999999", INT_MIN},
      {"decimal garbage", [](TSpinBox&) {}, "4 2", 0},
      {"lone sign", [](TSpinBox&) {}, "-", 0},
      {"hex reads unsigned two digits", Hex2, "F6", 246},
      {"hex lower case", Hex2, "f6", 246},
      {"hex eight digits are the 32-bit pattern", Hex2, "FFFFFFF6", -10},
      {"hex nine digits saturate", Hex2, "1FFFFFFFF", INT_MAX},
      {"hex leading zeros", Hex2, "000000000F6", 246},
      {"hex garbage", Hex2, "G1", 0},
      {"hex suffix", hex_h, "F6H", 246},
      {"hex suffix omitted", hex_h, "f6", 246},
      {"empty", MakePercentBox, "", 0},
  };
  for (const Case& c : cases) {
    Rig rig;
    c.setup(rig.box);
    EXPECT_EQ(rig.box.TextToValue(c.text), c.value) << c.name << ": '" << c.text << "'";
  }
}

TEST(SpinBoxText, BlankReadsTheLastCommittedValue) {
  Rig rig;
  rig.box.SetValue(17);
  rig.box.SetBlank(true);
  EXPECT_EQ(rig.edit.Text(), "");
  EXPECT_EQ(rig.box.TextToValue("99"), 17);
  rig.Type("99");
  EXPECT_EQ(rig.box.Value(), 17);
  EXPECT_EQ(rig.editings, 0);
  rig.LeaveBox();
  EXPECT_EQ(rig.edit.Text(), "") << "a blank box stays blank after a commit";
  rig.box.SetBlank(false);
  EXPECT_EQ(rig.edit.Text(), "17");
}

TEST(SpinBoxText, DataEventsReplaceParsingAndFormatting) {
  Rig rig;
  std::string seen;
  rig.box.OnGetData = [&](TSpinBox&, const std::string& text, int& result) {
    seen = text;
    EXPECT_EQ(result, 0);
    result = 77;
  };
  rig.box.OnSetData = [](TSpinBox&, int value, std::string& text) {
    text = "<" + text + ":" + std::to_string(value) + ">";
  };
  EXPECT_EQ(rig.box.TextToValue("anything V"), 77);
  EXPECT_EQ(seen, "anything V");
  rig.box.SetValue(3);
  EXPECT_EQ(rig.edit.Text(), "<3:3>");
}

TEST(SpinBoxTyping, FollowsTheLimitsAsTheUserTypes) {
  struct Case {
    const char* name;
    Configure setup;
    int start;
    const char* typed;
    int value;              // Value at once
    const char* shown;      // text at once
    bool selected;          // rewritten and selected
    const char* committed;  // text after focus leaves
  };
  const Configure symmetric = [](TSpinBox& b) {
    b.SetMinValue(-20);
    b.SetMaxValue(20);
  };
  const Case cases[] = {
      {"percent 5", MakePercentBox, 0, "5", 500, "5", false, "5.00"},
      {"percent 25 clamps and rewrites", MakePercentBox, 0, "25", 2000, "20.00", true, "20.00"},
      {"percent huge saturates then clamps", MakePercentBox, 0, "30000000", 2000, "20.00", true, "20.00"},
      {"below a positive minimum keeps the text", Range5To60, 10, "3", 5, "3", false, "5"},
      {"above the maximum rewrites", Range5To60, 10, "70", 60, "60", true, "60"},
      {"garbage is 0, then the minimum", Range5To60, 10, "abc", 5, "abc", false, "5"},
      {"below a negative minimum rewrites", symmetric, 0, "-30", -20, "-20", true, "-20"},
      {"equal limits mean none", [](TSpinBox&) {}, 0, "-12345", -12345, "-12345", false, "-12345"},
      {"hex", Hex2, 0, "F6", 246, "F6", false, "F6"},
  };
  for (const Case& c : cases) {
    Rig rig;
    c.setup(rig.box);
    rig.box.SetValue(c.start);
    rig.changes = 0;
    const int writes = rig.edit.SetTextCount();
    rig.Type(c.typed);
    EXPECT_EQ(rig.box.Value(), c.value) << c.name;
    EXPECT_EQ(rig.edit.Text(), c.shown) << c.name;
    EXPECT_EQ(rig.edit.AllSelected(), c.selected) << c.name;
    EXPECT_EQ(rig.edit.SetTextCount() - writes, c.selected ? 1 : 0) << c.name << ": text rewrites";
    EXPECT_EQ(rig.editings, 1) << c.name;
    EXPECT_EQ(rig.changes, 0) << c.name << ": typing commits nothing";
    rig.LeaveBox();
    EXPECT_EQ(rig.edit.Text(), c.committed) << c.name;
    EXPECT_EQ(rig.changes, 1) << c.name;
  }
}

TEST(SpinBoxTyping, OnChangeOncePerCommit) {
  Rig rig;
  rig.box.SetValue(1);
  rig.changes = 0;
  rig.Type("7");
  rig.Type("78");
  rig.Type("78");  // same value: no editing notification
  EXPECT_EQ(rig.editings, 2);
  EXPECT_EQ(rig.changes, 0);
  EXPECT_EQ(rig.box.LastValue(), 1);
  rig.box.EnterPressed();
  EXPECT_EQ(rig.changes, 1);
  EXPECT_EQ(rig.box.LastValue(), 78);
  rig.LeaveBox();
  rig.box.UpdateText();
  EXPECT_EQ(rig.changes, 1) << "nothing new to commit";
  rig.box.SetValue(78);
  EXPECT_EQ(rig.changes, 1);
  rig.box.SetValue(79);
  EXPECT_EQ(rig.changes, 2);
}

TEST(SpinBoxTyping, TypingBackToTheCommittedValueCommitsNothing) {
  Rig rig;
  rig.box.SetValue(4);
  rig.changes = 0;
  rig.Type("5");
  rig.Type("4");
  rig.LeaveBox();
  EXPECT_EQ(rig.editings, 2);
  EXPECT_EQ(rig.changes, 0);
}

TEST(SpinBoxValue, WriteSelectsAllOnlyWhenFocused) {
  Rig rig;
  rig.box.SetValue(3);
  EXPECT_FALSE(rig.edit.AllSelected());
  rig.edit.SetFocused(true);
  rig.box.SetValue(4);
  EXPECT_TRUE(rig.edit.AllSelected());
}

TEST(SpinBoxValue, NestedWritesBeyondTwoLevelsDoNotNotify) {
  Rig rig;
  std::vector<int> depths;
  rig.box.OnChange = [&](TCustomSpinBox&) {
    depths.push_back(rig.box.UpdateDepth());
    rig.box.SetValue(rig.box.Value() + 1);
  };
  rig.box.SetValue(1);
  EXPECT_EQ(depths, (std::vector<int>{1, 2}));
  EXPECT_EQ(rig.box.Value(), 3);
  EXPECT_EQ(rig.box.LastValue(), 3);
  EXPECT_EQ(rig.box.UpdateDepth(), 0);
  EXPECT_EQ(rig.edit.Text(), "3");
}

TEST(SpinBoxValue, ThrowingHandlerLeavesTheDepthBalanced) {
  Rig rig;
  rig.box.OnChange = [](TCustomSpinBox&) { throw std::runtime_error("handler"); };
  EXPECT_THROW(rig.box.SetValue(5), std::runtime_error);
  EXPECT_EQ(rig.box.UpdateDepth(), 0);
  rig.box.OnChange = nullptr;
  rig.Type("9");
  EXPECT_EQ(rig.box.Value(), 9) << "typing still works";
}

TEST(SpinBoxValue, IncrementSnapsTowardsTheNearestMultiple) {
  struct Case {
    int current;
    int written;
    int snapped;
  };
  const Case cases[] = {
      {0, 7, 5},
      {0, 8, 10},
      {0, 12, 10},
      {-5, -8, -10},
      {-5, -7, -5},  // halves go away from zero when the box is negative
      {5, -8, -5},   // ... and towards it when it is not
      {0, INT_MAX, 2147483640},
      {-5, INT_MIN, -2147483640},
  };
  for (const Case& c : cases) {
    Rig rig;
    rig.box.SetValue(c.current);
    rig.box.SetIncrement(5);
    if (c.written == INT_MAX || c.written == INT_MIN) rig.box.SetIncrement(10);
    rig.box.SetValue(c.written);
    EXPECT_EQ(rig.box.Value(), c.snapped) << c.current << " -> " << c.written;
  }
}

TEST(SpinBoxValue, StepsCommitAndSaturate) {
  Rig rig;
  rig.box.SetIncrement(3);
  rig.box.SetValue(3);
  rig.changes = 0;
  rig.box.Step(false, false);
  EXPECT_EQ(rig.box.Value(), 6);
  rig.box.Step(true, true);
  rig.box.Step(true, false);
  EXPECT_EQ(rig.box.Value(), 0);
  EXPECT_EQ(rig.changes, 3);

  Rig top;
  top.box.SetValue(INT_MAX);
  top.box.Step(false, false);
  EXPECT_EQ(top.box.Value(), INT_MAX);
  top.box.SetValue(INT_MIN);
  top.box.Step(true, false);
  EXPECT_EQ(top.box.Value(), INT_MIN);
}

TEST(SpinBoxValue, StepsStopAtTheLimits) {
  Rig rig;
  Range5To60(rig.box);
  rig.box.SetValue(60);
  rig.box.Step(false, false);
  EXPECT_EQ(rig.box.Value(), 60);
  rig.box.SetValue(5);
  rig.box.Step(true, false);
  EXPECT_EQ(rig.box.Value(), 5);
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

TEST(SpinBoxValue, PropertyWritesReshowTheText) {
  Rig rig;
  rig.box.SetValue(250);
  rig.box.SetMode(TSpinBoxMode::fsFloat);
  EXPECT_EQ(rig.edit.Text(), "250.0");
  rig.box.SetConst_K(0.01);
  EXPECT_EQ(rig.edit.Text(), "2.5");
  rig.box.SetDigits(3);
  EXPECT_EQ(rig.edit.Text(), "2.500");
  rig.box.SetConst_Q(1);
  EXPECT_EQ(rig.edit.Text(), "3.500");
  rig.box.SetDecSymbol(" %");
  EXPECT_EQ(rig.edit.Text(), "3.500 %");
  rig.box.SetMode(TSpinBoxMode::fsHexadecimal);
  EXPECT_EQ(rig.edit.Text(), "0FA");
}

TEST(SpinBoxValue, LoadingDefersTheTextUntilItEnds) {
  Rig rig;
  rig.box.SetLoading(true);
  const int writes = rig.edit.SetTextCount();
  MakePercentBox(rig.box);
  rig.box.SetDecSymbol(" %");
  EXPECT_EQ(rig.edit.SetTextCount(), writes);
  rig.box.SetLoading(false);
  EXPECT_EQ(rig.edit.Text(), "0.00 %");
}

TEST(SpinBoxKeys, UpAndDownStepAndPressTheHalves) {
  Rig rig;
  rig.edit.SetFocused(true);
  EXPECT_TRUE(rig.box.KeyDown(TSpinKey::Up));
  EXPECT_EQ(rig.box.Value(), 1);
  EXPECT_EQ(rig.box.Button().BmpIndex(), TSpinBoxBtn::kUpper);
  EXPECT_TRUE(rig.box.KeyUp(TSpinKey::Down));
  EXPECT_EQ(rig.box.Button().BmpIndex(), TSpinBoxBtn::kUpper) << "releasing Down leaves Up pressed";
  EXPECT_TRUE(rig.box.KeyUp(TSpinKey::Up));
  EXPECT_EQ(rig.box.Button().BmpIndex(), TSpinBoxBtn::kNone);
  EXPECT_TRUE(rig.box.KeyDown(TSpinKey::Down));
  EXPECT_TRUE(rig.box.KeyDown(TSpinKey::Down));
  EXPECT_EQ(rig.box.Value(), -1);
  EXPECT_EQ(rig.box.Button().BmpIndex(), TSpinBoxBtn::kLower);
  EXPECT_FALSE(rig.box.KeyDown(TSpinKey::Other));
  rig.LeaveBox();
  EXPECT_EQ(rig.box.Button().BmpIndex(), TSpinBoxBtn::kNone) << "focus loss releases the half";
  EXPECT_EQ(rig.changes, 3);
}

TEST(SpinBoxKeys, ReadOnlyConsumesTheKeysWithoutStepping) {
  Rig rig;
  rig.box.SetReadOnly(true);
  EXPECT_TRUE(rig.edit.ReadOnly());
  EXPECT_FALSE(rig.box.Button().Enabled());
  EXPECT_TRUE(rig.box.KeyDown(TSpinKey::Up));
  EXPECT_EQ(rig.box.Value(), 0);
  EXPECT_EQ(rig.box.Button().BmpIndex(), TSpinBoxBtn::kNone);
  rig.Type("5");
  EXPECT_EQ(rig.box.Value(), 0) << "a read-only edit takes no typing";
  rig.box.SetValue(8);
  EXPECT_EQ(rig.box.Value(), 8) << "the program still writes it";
}

TEST(SpinBoxKeys, EditorDisabledStillSteps) {
  Rig rig;
  rig.box.SetEditorEnabled(false);
  EXPECT_TRUE(rig.edit.ReadOnly());
  EXPECT_TRUE(rig.box.Button().Enabled());
  rig.box.KeyDown(TSpinKey::Up);
  EXPECT_EQ(rig.box.Value(), 1);
  rig.box.Button().MouseDown(0, 21);
  EXPECT_EQ(rig.box.Value(), 2);
  rig.box.SetEditorEnabled(true);
  EXPECT_FALSE(rig.edit.ReadOnly());
}

TEST(SpinBoxButton, StepsTheBoxAndTakesTheFocus) {
  Rig rig;
  rig.box.SetValue(10);
  rig.changes = 0;
  rig.box.Button().MouseDown(15, 21);
  EXPECT_EQ(rig.box.Value(), 9);
  EXPECT_TRUE(rig.edit.Focused());
  EXPECT_EQ(rig.changes, 1);
  rig.timers.Advance(400);
  EXPECT_EQ(rig.box.Value(), 8);
  rig.box.Button().MouseUp();
  rig.timers.Advance(1000);
  EXPECT_EQ(rig.box.Value(), 8);
}

TEST(SpinBoxButton, FollowsTheBoxEnabling) {
  Rig rig;
  rig.edit.SetEnabled(false);
  rig.box.EnabledChanged();
  EXPECT_FALSE(rig.box.Button().Enabled());
  rig.box.Button().MouseDown(0, 21);
  EXPECT_EQ(rig.box.Value(), 0);
  EXPECT_EQ(rig.timers.RunningCount(), 0u);
  rig.edit.SetEnabled(true);
  rig.box.EnabledChanged();
  EXPECT_TRUE(rig.box.Button().Enabled());
}

TEST(SpinBoxButton, FocusLossWhileHeldEndsTheRepeat) {
  Rig rig;
  rig.box.SetValue(10);
  rig.box.Button().MouseDown(20, 21);
  rig.LeaveBox();
  rig.timers.Advance(2000);
  EXPECT_EQ(rig.box.Value(), 9) << "no repeats once nothing is pressed";
  EXPECT_EQ(rig.timers.RunningCount(), 0u);
}
