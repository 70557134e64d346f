#pragma once
// The bytes of the module's exchanges, without the port: what the controls turn into
// (slot mask, mode word, start byte), the requests, and the checks of the replies.
#include <array>
#include <cstddef>
#include <cstdint>

namespace osc {

constexpr std::uint8_t kIdentifyRequest = 0xF5;
constexpr std::uint8_t kRawZeroRequest = 0xFA;
constexpr std::uint8_t kRawPlainRequest = 0xFD;
constexpr std::uint8_t kSlowAcknowledge = 0xFC;
constexpr std::size_t kIdentifyReplyLength = 8;
constexpr std::size_t kStartReplyLength = 12;
constexpr std::uint32_t kFastBaud = 115200;
constexpr std::uint32_t kSlowBaud = 19200;
// QueryRawValue's result when there is no reading.
constexpr std::int32_t kNoValue = static_cast<std::int32_t>(0x80000000u);
// The models' indexes in the settings' model selection.
constexpr int kModelTwoChannel = 0;
constexpr int kModelFourChannel = 1;

// The input check boxes: CH 1..4 and the auxiliary inputs (5) and (6).
struct InputSelection {
  bool ch1 = false, ch2 = false, ch3 = false, ch4 = false, ch5 = false, ch6 = false;
};

// Bit 0..3 = slot 1..4 recorded; channel 5 records in slot 1, channel 6 in slot 2.
std::uint8_t ChannelMaskOf(const InputSelection& inputs);
// acq: index of "Sample", "Avg", "Max"; gain: of "x 1", "x 2", "x 4";
// polarity: of "Positive", "Bipolar", "AC".
std::uint16_t ModeWordOf(int acq, int gain, int polarity, const InputSelection& inputs);
std::uint8_t StartByteOf(std::uint8_t channelMask, bool slowMode);
// Bytes per block read from the stream: whole rounds for 1 to 4 slots.
int BlockLengthOf(bool slowMode);

std::array<std::uint8_t, 5> ParameterRequest(std::uint16_t modeWord, std::uint8_t offsetByte);
std::size_t ParameterReplyLength(char deviceType);
// True when the echoed bytes match the request.
bool ParameterEchoMatches(const std::uint8_t* reply, char deviceType, std::uint16_t modeWord,
                          std::uint8_t offsetByte);

enum class ModelReply { Unknown, FourChannel, TwoChannel };
// The model an 8-byte identification reply names; a 2-channel module needs byte 4 >= 2.
ModelReply ModelOf(const std::uint8_t* reply);

std::size_t RawReplyLength(char deviceType);
// The slot's reading (slot counted from 1), or kNoValue for a bad echo or checksum or a
// slot the model does not have.
std::int32_t RawValueOf(const std::uint8_t* reply, std::size_t length, std::uint8_t request, int slot);

}  // namespace osc
