#include "acquisition/protocol_bytes.h"

#include <gtest/gtest.h>

#include <vector>

namespace osc {
namespace {

TEST(ProtocolBytes, ControlsIntoMaskModeWordAndStartByte) {
  struct Case {
    InputSelection in;
    int acq, gain, polarity;
    bool slow;
    std::uint8_t mask;
    std::uint16_t mode;
    std::uint8_t start;
  } cases[] = {
      {{true, true, false, false, false, false}, 1, 0, 0, false, 0x03, 0x0001, 0x93},   // the defaults
      {{false, false, false, false, true, false}, 0, 0, 0, false, 0x01, 0x0102, 0x91},  // (5) alone
      {{true, false, true, true, false, true}, 2, 1, 1, false, 0x0F, 0x0214, 0x9F},
      {{false, false, false, true, false, false}, 0, 2, 2, true, 0x08, 0x001A, 0x78},
      {{false, true, false, false, true, true}, 1, 0, 2, true, 0x03, 0x0311, 0x73},
      {{}, 2, 0, 0, false, 0x00, 0x0000, 0x90},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ChannelMaskOf(c.in), c.mask);
    EXPECT_EQ(ModeWordOf(c.acq, c.gain, c.polarity, c.in), c.mode);
    EXPECT_EQ(StartByteOf(ChannelMaskOf(c.in), c.slow), c.start);
  }
  EXPECT_EQ(BlockLengthOf(false), 2400);
  EXPECT_EQ(BlockLengthOf(true), 600);
}

TEST(ProtocolBytes, ParameterRequestAndEcho) {
  EXPECT_EQ(ParameterRequest(0x0215, 21), (std::array<std::uint8_t, 5>{0xB5, 0xFF, 0x02, 0xFF, 21}));
  const std::uint8_t four[] = {0x35, 0x02, 21, 7, 9};
  EXPECT_TRUE(ParameterEchoMatches(four, '4', 0x0215, 21));
  EXPECT_FALSE(ParameterEchoMatches(four, '4', 0x0115, 21));
  EXPECT_FALSE(ParameterEchoMatches(four, '4', 0x0215, 22));
  const std::uint8_t bad_first[] = {0xB5, 0x02, 21, 7, 9};
  EXPECT_FALSE(ParameterEchoMatches(bad_first, '4', 0x0215, 21)) << "bit 7 must be cleared in the echo";
  const std::uint8_t two[] = {0x35, 21};
  EXPECT_TRUE(ParameterEchoMatches(two, '2', 0x0015, 21));
  EXPECT_FALSE(ParameterEchoMatches(two, '2', 0x0015, 20));
  EXPECT_EQ(ParameterReplyLength('4'), 5u);
  EXPECT_EQ(ParameterReplyLength('2'), 2u);
}

TEST(ProtocolBytes, IdentificationNamesTheModel) {
  auto model = [](const char* text, std::uint8_t byte4) {
    std::uint8_t r[8] = {};
    for (int i = 0; i < 4; ++i)
      r[i] = static_cast<std::uint8_t>(text[i]);
    r[4] = byte4;
    return ModelOf(r);
  };
  EXPECT_EQ(model("Mdl4", 0), ModelReply::FourChannel) << "byte 4 is not tested for the 4-channel model";
  EXPECT_EQ(model("Mdl2", 2), ModelReply::TwoChannel);
  EXPECT_EQ(model("Mdl2", 1), ModelReply::Unknown);
  EXPECT_EQ(model("Mdl8", 2), ModelReply::Unknown);
  EXPECT_EQ(model("mdl4", 2), ModelReply::Unknown);
}

TEST(ProtocolBytes, RawReadingsNeedEchoChecksumAndSlot) {
  // 0xFD, 4 values, checksum: everything sums to 0xFF.
  std::vector<std::uint8_t> r = {0xFD, 0x00, 0x20, 0xF0, 0x3F, 0x00, 0x00, 0x10, 0x00};
  unsigned sum = 0;
  for (auto b : r)
    sum += b;
  r.push_back(static_cast<std::uint8_t>(0xFF - (sum & 0xFF)));
  EXPECT_EQ(RawValueOf(r.data(), r.size(), 0xFD, 1), 0x2000);
  EXPECT_EQ(RawValueOf(r.data(), r.size(), 0xFD, 2), 16368);
  EXPECT_EQ(RawValueOf(r.data(), r.size(), 0xFD, 4), 0x0010);
  EXPECT_EQ(RawValueOf(r.data(), r.size(), 0xFD, 5), kNoValue);
  EXPECT_EQ(RawValueOf(r.data(), r.size(), 0xFD, 0), kNoValue);
  EXPECT_EQ(RawValueOf(r.data(), r.size(), 0xFA, 1), kNoValue) << "wrong echo";
  r.back()++;
  EXPECT_EQ(RawValueOf(r.data(), r.size(), 0xFD, 1), kNoValue) << "checksum";

  std::vector<std::uint8_t> two = {0xFA, 0x10, 0x00, 0x20, 0x00};
  two.push_back(static_cast<std::uint8_t>(0xFF - (0xFA + 0x10 + 0x20)));
  EXPECT_EQ(RawValueOf(two.data(), two.size(), 0xFA, 2), 0x20);
  EXPECT_EQ(RawValueOf(two.data(), two.size(), 0xFA, 3), kNoValue) << "a 2-channel module has no slot 3";
  EXPECT_EQ(RawReplyLength('4'), 10u);
  EXPECT_EQ(RawReplyLength('2'), 6u);
}

}  // namespace
}  // namespace osc
