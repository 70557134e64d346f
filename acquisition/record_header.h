#pragma once
// The 256-byte header of a record block. The block is also the record file, so this
// is a file format: little-endian numbers at fixed offsets, encoded byte by byte.
//
//   0  2  magic 0x534F ("O", "S")        16  8  start time (64-bit float, days)
//   2  1  slot number 1..4               24  4  sample count
//   3  1  recorded-slot mask             28  4  unit: length byte 0..3 and up to 3
//   4  4  samples per second                     characters of code page 1250
//   8  4  lower value (32-bit float)     32..255  zero
//  12  4  upper value (32-bit float)    256..     samples, one byte each
#include "platform/locale/locale.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace osc {

constexpr std::size_t kRecordHeaderSize = 256;
constexpr std::uint16_t kRecordMagic = 0x534F;
constexpr std::size_t kRecordCountOffset = 24;
constexpr std::size_t kRecordUnitOffset = 28;
constexpr std::size_t kRecordUnitMax = 3;

struct TRecordHeader {
  std::uint16_t Magic = kRecordMagic;
  std::uint8_t Slot = 0;
  std::uint8_t ChannelMask = 0;
  std::uint32_t Rate = 0;
  float Lower = 0;
  float Upper = 0;
  TDateTime Start = 0;
  std::uint32_t Count = 0;
  std::string Unit;  // code page 1250 bytes; only the first 3 are written
};

// Writes all 256 bytes, the zero fill included.
void WriteRecordHeader(const TRecordHeader& header, std::uint8_t* block);
// Reads the fields back; a unit length above 3 is read as 3, so the unit never
// reaches beyond its field.
TRecordHeader ReadRecordHeader(const std::uint8_t* block);

void PutU32(std::uint8_t* at, std::uint32_t value);

}  // namespace osc
