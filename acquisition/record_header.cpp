#include "acquisition/record_header.h"

#include <algorithm>
#include <bit>

namespace osc {
namespace {

void put_u16(std::uint8_t* at, std::uint16_t value) {
  at[0] = static_cast<std::uint8_t>(value);
  at[1] = static_cast<std::uint8_t>(value >> 8);
}

void put_u64(std::uint8_t* at, std::uint64_t value) {
  for (int i = 0; i < 8; ++i)
    at[i] = static_cast<std::uint8_t>(value >> (8 * i));
}

std::uint16_t get_u16(const std::uint8_t* at) {
  return static_cast<std::uint16_t>(at[0] | at[1] << 8);
}

std::uint32_t get_u32(const std::uint8_t* at) {
  return static_cast<std::uint32_t>(at[0]) | static_cast<std::uint32_t>(at[1]) << 8 |
         static_cast<std::uint32_t>(at[2]) << 16 | static_cast<std::uint32_t>(at[3]) << 24;
}

std::uint64_t get_u64(const std::uint8_t* at) {
  std::uint64_t value = 0;
  for (int i = 7; i >= 0; --i)
    value = value << 8 | at[i];
  return value;
}

}  // namespace

void PutU32(std::uint8_t* at, std::uint32_t value) {
  for (int i = 0; i < 4; ++i)
    at[i] = static_cast<std::uint8_t>(value >> (8 * i));
}

void WriteRecordHeader(const TRecordHeader& header, std::uint8_t* block) {
  std::fill(block, block + kRecordHeaderSize, std::uint8_t{0});
  put_u16(block + 0, header.Magic);
  block[2] = header.Slot;
  block[3] = header.ChannelMask;
  PutU32(block + 4, header.Rate);
  PutU32(block + 8, std::bit_cast<std::uint32_t>(header.Lower));
  PutU32(block + 12, std::bit_cast<std::uint32_t>(header.Upper));
  put_u64(block + 16, std::bit_cast<std::uint64_t>(header.Start));
  PutU32(block + kRecordCountOffset, header.Count);
  const std::size_t unitLength = std::min(header.Unit.size(), kRecordUnitMax);
  block[kRecordUnitOffset] = static_cast<std::uint8_t>(unitLength);
  for (std::size_t i = 0; i < unitLength; ++i) {
    block[kRecordUnitOffset + 1 + i] = static_cast<std::uint8_t>(header.Unit[i]);
  }
}

TRecordHeader ReadRecordHeader(const std::uint8_t* block) {
  TRecordHeader h;
  h.Magic = get_u16(block);
  h.Slot = block[2];
  h.ChannelMask = block[3];
  h.Rate = get_u32(block + 4);
  h.Lower = std::bit_cast<float>(get_u32(block + 8));
  h.Upper = std::bit_cast<float>(get_u32(block + 12));
  h.Start = std::bit_cast<double>(get_u64(block + 16));
  h.Count = get_u32(block + kRecordCountOffset);
  const std::size_t unitLength = std::min<std::size_t>(block[kRecordUnitOffset], kRecordUnitMax);
  h.Unit.assign(reinterpret_cast<const char*>(block + kRecordUnitOffset + 1), unitLength);
  return h;
}

}  // namespace osc
