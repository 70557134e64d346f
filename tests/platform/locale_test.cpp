#include "platform/locale/locale.h"
#include "platform/locale/codepage.h"
#include "support/format_scope.h"

#include <gtest/gtest.h>

using namespace osc;

namespace {

// Czech settings, as a user in Prague has them.
class CzechLocale : public ::testing::Test {
 protected:
  void SetUp() override {
    formats_->TimeSeparator = ':';
    formats_->DateSeparator = '.';
    formats_->LongTimeFormat = "h:nn:ss";
    formats_->ShortDateFormat = "d.m.yyyy";
  }
  test::FormatScope formats_ = test::CzechFormats();
};

}  // namespace

TEST_F(CzechLocale, FormatWritesTheDecimalSeparatorOnlyInFloats) {
  struct Case {
    const char* format;
    std::initializer_list<FormatArg> args;
    const char* expected;
  };
  const Case cases[] = {
      {"%2.0f V", {5.0}, " 5 V"},
      {"%.1f  ", {-4.1875}, "-4,2  "},
      {"    %3.2f %s", {1.5, "mV"}, "    1,50 mV"},
      {"AN1: %3d   AN2: %3d", {7, 255}, "AN1:   7   AN2: 255"},
      {"zbývá %d s", {119u}, "zbývá 119 s"},
      {"100%% %d.%d", {1, 2}, "100% 1.2"},
      {"%d %s", {}, "0 "},  // missing arguments never read the stack
  };
  for (const Case& c : cases)
    EXPECT_EQ(Format(c.format, c.args), c.expected) << c.format;
}

TEST_F(CzechLocale, FloatTextsRoundToPrecisionAndReadOnlyTheUsersSeparator) {
  EXPECT_EQ(FloatToStrF(-0.001, FloatFormat::Fixed, 8, 2), "0,00");
  EXPECT_EQ(FloatToStrF(2.345678, FloatFormat::Fixed, 18, 2), "2,35");
  EXPECT_EQ(FloatToStrF(1234567.0, FloatFormat::Fixed, 6, 2), "1,23457E+06");
  EXPECT_EQ(FloatToStrF(1234.5, FloatFormat::Number, 18, 2), "1 234,50");
  double v = 0;
  EXPECT_TRUE(TryStrToFloat(" 2,5 ", v));
  EXPECT_DOUBLE_EQ(v, 2.5);
  EXPECT_FALSE(TryStrToFloat("2.5", v));
  EXPECT_FALSE(TryStrToFloat("", v));
}

// Days count from 30 December 1899; a millisecond rounded up may carry into the next day.
TEST_F(CzechLocale, DateTimeValues) {
  EXPECT_DOUBLE_EQ(EncodeDateTime(1970, 1, 1, 12, 0, 0, 0), 25569.5);
  TDateTime t = EncodeDateTime(2026, 12, 6, 9, 5, 7, 42);
  EXPECT_EQ(FormatDateTime("tt.zzz", t), "9:05:07.042");
  EXPECT_EQ(FormatDateTime("c", t), "6.12.2026 9:05:07");
  TDateTime almost = EncodeDateTime(2026, 12, 6, 23, 59, 59, 999) + 0.4 / 86400000.0 * 2;
  int y, mo, d, h, mi, s, ms;
  DecodeDateTime(almost, y, mo, d, h, mi, s, ms);
  EXPECT_EQ(d, 7);
  EXPECT_EQ(h, 0);
  EXPECT_EQ(ms, 0);
}

// Every byte CP1250 defines maps to its character and back; Czech text is one byte a letter.
TEST(CodePage, CzechTextAndEveryDefinedByteRoundTrip) {
  const std::string czech = "Příliš žluťoučký kůň úpěl ďábelské ódy. ĚŠČŘŽÝÁÍÉÚŮĎŤŇ µ° €";
  const std::string bytes = Utf8ToCp1250(czech);
  EXPECT_EQ(bytes.size(), 59u);
  EXPECT_EQ(Cp1250ToUtf8(bytes), czech);
  for (int b = 1; b < 256; ++b) {
    const std::string one(1, static_cast<char>(b));
    const std::string utf8 = Cp1250ToUtf8(one);
    if (b == 0x81 || b == 0x83 || b == 0x88 || b == 0x90 || b == 0x98) {
      EXPECT_EQ(utf8, "?") << b;
    } else {
      EXPECT_EQ(Utf8ToCp1250(utf8), one) << b;
    }
  }
}

TEST(CodePage, WhatCannotBeHeldBecomesAQuestionMark) {
  const std::pair<std::string, std::string> rows[] = {
      {"a\xF0\x9F\x98\x80z", "a?z"},  // astral plane
      {"a\x80z", "a?z"},              // stray continuation byte
      {"a\xC5", "a?"},                // truncated sequence
      {"\xED\xA0\x80", "???"},        // surrogate
      {std::string("a\0b", 3), std::string("a\0b", 3)},
  };
  for (const auto& [utf8, cp1250] : rows)
    EXPECT_EQ(Utf8ToCp1250(utf8), cp1250) << utf8;
}

// Left counts characters; bytes that are no UTF-8 count one each.
TEST(CodePage, LeftCountsCharactersAndValidUtf8RefusesWhatCannotBeDecoded) {
  EXPECT_EQ(Utf8Left("°Cx!", 3), "°Cx");
  EXPECT_EQ(Utf8Left("ab", 3), "ab");
  EXPECT_EQ(Utf8Left("\xE8\xE1\xED\xFD", 3), "\xE8\xE1\xED");
  EXPECT_TRUE(IsValidUtf8("µV ž \xF0\x9F\x98\x80"));
  EXPECT_TRUE(IsValidUtf8(std::string("a\0b", 3)));
  for (const char* bad : {"a\xC5", "\xC0\xAF", "\xED\xA0\x80", "\xF4\x90\x80\x80", "\xE8\xE1"})
    EXPECT_FALSE(IsValidUtf8(bad)) << bad;
}
