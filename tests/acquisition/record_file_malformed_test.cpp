// Malformed record files, made from valid ones field by field: each must be
// ignored, refused with its name, or loaded with its count inside the file
// (under ASan the store blocks are heap blocks, so a read beyond one is
// caught).
#include "fuzz/record_file_probe.h"

#include <gtest/gtest.h>

#include <bit>
#include <limits>
#include <random>
#include <vector>

using namespace osc;
using osc::test::RecordFileProbe;

namespace {

using Bytes = std::vector<std::uint8_t>;

void Put32(Bytes& b, std::size_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i)
    b[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}

// Slot 2 of slots 1..4 at 2880 per second, -10 .. 10 V, started at 45366.5, in
// "µA".
Bytes Valid(std::size_t samples) {
  Bytes b(256 + samples, 0);
  b[0] = 'O', b[1] = 'S', b[2] = 2, b[3] = 0x0F;
  Put32(b, 4, 2880);
  Put32(b, 8, 0xC1200000);  // -10.0f
  Put32(b, 12, 0x41200000);
  Put32(b, 20, 0x40E626D0);  // the upper half of 45366.5
  Put32(b, 24, static_cast<std::uint32_t>(samples));
  b[28] = 2, b[29] = 0xB5, b[30] = 'A';
  for (std::size_t i = 0; i < samples; ++i)
    b[256 + i] = static_cast<std::uint8_t>(i * 37);
  return b;
}

std::vector<Bytes> Mutants() {
  std::vector<Bytes> out;
  const Bytes base = Valid(60);
  // Cut at every length up to the whole file.
  for (std::size_t n = 0; n <= base.size(); ++n)
    out.emplace_back(base.begin(), base.begin() + static_cast<std::ptrdiff_t>(n));
  // Each 32-bit field (rate, lower, upper, both halves of the start, count,
  // unit) set to edge values: 0, 1, -1, the largest, one beyond the samples,
  // and special floats.
  const std::uint32_t values[] = {0,          1,          0xFFFFFFFF, 0x7FFFFFFF, 0x80000000, 61,
                                  59,         60,         0x7F800000, 0xFF800000, 0x7FC00000, 0x00000001,
                                  0x80000000, 0x7FF00000, 0xFFF80000, 0x7F7FFFFF, 0x00800000, 0x3F800000};
  for (std::size_t at : {4, 8, 12, 16, 20, 24, 28}) {
    for (std::uint32_t v : values) {
      Bytes b = base;
      Put32(b, at, v);
      out.push_back(b);
    }
  }
  // The slot and unit-length bytes through all their values.
  for (int v = 0; v < 256; v += 3) {
    Bytes slot = base;
    slot[2] = static_cast<std::uint8_t>(v);
    out.push_back(slot);
    Bytes unit = base;
    unit[28] = static_cast<std::uint8_t>(v);
    out.push_back(unit);
  }
  // Random bit flips in the header, then random bytes in it.
  std::mt19937 random(20240315);
  for (int i = 0; i < 128; ++i) {
    Bytes b = base;
    const int flips = 1 + i % 4;
    for (int f = 0; f < flips; ++f)
      b[random() % 32] ^= static_cast<std::uint8_t>(1u << (random() % 8));
    out.push_back(b);
  }
  for (int i = 0; i < 64; ++i) {
    Bytes b = base;
    for (std::size_t k = 0; k < 32; ++k)
      b[k] = static_cast<std::uint8_t>(random());
    b[2] = static_cast<std::uint8_t>(1 + i % 4);  // most of them claim a slot
    out.push_back(b);
  }
  return out;
}

}  // namespace

TEST(RecordFileMalformed, EveryFileIsIgnoredRefusedOrLoadedInsideItsBlock) {
  RecordFileProbe probe;
  int tally[3] = {};
  const auto mutants = Mutants();
  for (std::size_t i = 0; i < mutants.size(); ++i) {
    const auto result = probe.Check(mutants[i]);
    ++tally[result.outcome];
    EXPECT_EQ(result.problem, "") << "mutant " << i << " of " << mutants[i].size() << " bytes";
  }
  EXPECT_GE(mutants.size(), 500u);
  EXPECT_GT(tally[RecordFileProbe::Loaded], 100);
  EXPECT_GT(tally[RecordFileProbe::Ignored], 100);
  EXPECT_GT(tally[RecordFileProbe::Refused], 50);
}
