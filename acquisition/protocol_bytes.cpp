#include "acquisition/protocol_bytes.h"

#include <cstring>

namespace osc {

std::uint8_t ChannelMaskOf(const InputSelection& in) {
  return static_cast<std::uint8_t>((in.ch1 || in.ch5 ? 0x01 : 0) | (in.ch2 || in.ch6 ? 0x02 : 0) |
                                   (in.ch3 ? 0x04 : 0) | (in.ch4 ? 0x08 : 0));
}

std::uint16_t ModeWordOf(int acq, int gain, int polarity, const InputSelection& in) {
  static const std::uint8_t acq_bits[] = {2, 1, 0};  // "Sample", "Avg", "Max"
  unsigned low = (acq >= 0 && acq < 3) ? acq_bits[acq] : 0;
  if (gain == 1) low |= 0x04;
  if (gain == 2) low |= 0x08;
  if (polarity == 1 || polarity == 2) low |= 0x10;
  unsigned high = (in.ch5 ? 0x01 : 0) | (in.ch6 ? 0x02 : 0);
  return static_cast<std::uint16_t>(high << 8 | low);
}

std::uint8_t StartByteOf(std::uint8_t channelMask, bool slowMode) {
  return static_cast<std::uint8_t>((channelMask & 0x0F) | (slowMode ? 0x70 : 0x90));
}

int BlockLengthOf(bool slowMode) {
  return slowMode ? 600 : 2400;
}

std::array<std::uint8_t, 5> ParameterRequest(std::uint16_t modeWord, std::uint8_t offsetByte) {
  return {static_cast<std::uint8_t>((modeWord & 0xFF) | 0xA0), 0xFF, static_cast<std::uint8_t>(modeWord >> 8),
          0xFF, offsetByte};
}

std::size_t ParameterReplyLength(char deviceType) {
  return deviceType == '2' ? 2 : 5;
}

bool ParameterEchoMatches(const std::uint8_t* reply, char deviceType, std::uint16_t modeWord,
                          std::uint8_t offsetByte) {
  const auto low = static_cast<std::uint8_t>((modeWord & 0xFF) | 0x20);
  if (deviceType == '2') return reply[0] == low && reply[1] == offsetByte;
  return reply[0] == low && reply[1] == (modeWord >> 8) && reply[2] == offsetByte;
}

ModelReply ModelOf(const std::uint8_t* reply) {
  if (std::memcmp(reply, "Mdl4", 4) == 0) return ModelReply::FourChannel;
  if (std::memcmp(reply, "Mdl2", 4) == 0 && reply[4] >= 2) return ModelReply::TwoChannel;
  return ModelReply::Unknown;
}

std::size_t RawReplyLength(char deviceType) {
  return deviceType == '2' ? 6 : 10;
}

std::int32_t RawValueOf(const std::uint8_t* reply, std::size_t length, std::uint8_t request, int slot) {
  if (length < 2) return kNoValue;
  unsigned sum = 0;
  for (std::size_t i = 0; i < length; ++i)
    sum += reply[i];
  const auto values = static_cast<int>((length - 2) / 2);
  if ((sum & 0xFF) != 0xFF || reply[0] != request || slot < 1 || slot > values) return kNoValue;
  return reply[2 * slot - 1] | reply[2 * slot] << 8;
}

}  // namespace osc
