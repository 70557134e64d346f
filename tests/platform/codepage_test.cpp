#include "platform/locale/codepage.h"

#include <gtest/gtest.h>

using namespace osc;

TEST(CodePage, CzechTextSurvivesTheRoundTrip) {
  const std::string czech = "Příliš žluťoučký kůň úpěl ďábelské ódy. ĚŠČŘŽÝÁÍÉÚŮĎŤŇ µ° €";
  const std::string bytes = Utf8ToCp1250(czech);
  EXPECT_EQ(bytes.size(), 59u);  // one byte per character
  EXPECT_EQ(Cp1250ToUtf8(bytes), czech);
}

TEST(CodePage, EveryDefinedByteRoundTrips) {
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
  struct Row {
    const char* name;
    std::string utf8, cp1250;
  };
  const Row rows[] = {
      {"astral plane", "a\xF0\x9F\x98\x80z", "a?z"},
      {"stray continuation byte", "a\x80z", "a?z"},
      {"truncated sequence", "a\xC5", "a?"},
      {"surrogate", "\xED\xA0\x80", "???"},
      {"embedded zero", std::string("a\0b", 3), std::string("a\0b", 3)},
  };
  for (const Row& r : rows)
    EXPECT_EQ(Utf8ToCp1250(r.utf8), r.cp1250) << r.name;
}

TEST(CodePage, LeftCountsCharactersNotBytes) {
  EXPECT_EQ(Utf8Left("°Cx!", 3), "°Cx");
  EXPECT_EQ(Utf8Left("ab", 3), "ab");
}

TEST(CodePage, ValidUtf8RefusesWhatCannotBeDecoded) {
  EXPECT_TRUE(IsValidUtf8("µV ž \xF0\x9F\x98\x80"));
  EXPECT_TRUE(IsValidUtf8(std::string("a\0b", 3)));
  for (const char* bad : {"a\xC5", "\xC0\xAF", "\xED\xA0\x80", "\xF4\x90\x80\x80", "\xE8\xE1"})
    EXPECT_FALSE(IsValidUtf8(bad)) << bad;
}
