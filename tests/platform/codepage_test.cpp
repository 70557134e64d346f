#include "platform/locale/codepage.h"

#include <gtest/gtest.h>

using namespace osc;

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
