// The loss ledger: what it counts, per slot, where, and its file beside the records.
#include "acquisition/loss.h"

#include <gtest/gtest.h>

#include "acquisition/data_store.h"
#include "support/format_scope.h"

#include <cmath>
#include <cstdint>
#include <functional>

namespace osc {
namespace {

constexpr std::uint32_t kRate = 11520;  // bytes per second of the fast stream
constexpr int kBlock = 2400;

// The recorder's view of a stream: ticks about every 800 ms see the bytes of the blocks
// completed so far. `sent(ms)` is what arrived at the port by then (NaN: no tick, the
// caller is busy).
std::uint64_t RunTicks(TLossLedger& ledger, std::int64_t seconds,
                       const std::function<double(std::int64_t)>& sent) {
  std::uint32_t seed = 1;
  std::uint64_t pos = 0;
  for (std::int64_t ms = 0; ms < seconds * 1000;) {
    seed = seed * 1664525u + 1013904223u;
    ms += 700 + static_cast<std::int64_t>(seed >> 25);  // 700..827 ms apart
    const double s = sent(ms);
    if (std::isnan(s)) continue;
    const auto arrived = static_cast<std::uint64_t>(std::max(0.0, s));
    pos = arrived / kBlock * kBlock;
    ledger.Tick(pos, ms);
  }
  return pos;
}

TEST(LossLedger, TheRateCheckCountsOnlyRealShortfalls) {
  struct Row {
    const char* name;
    std::int64_t seconds;
    std::function<double(std::int64_t)> sent;
    std::uint64_t lost;  // within half a block
  };
  const Row rows[] = {
      {"an hour at the real rate", 3600, [](std::int64_t ms) { return kRate * ms / 1000.0; }, 0},
      {"a module 0.2 % slow for an hour", 3600, [](std::int64_t ms) { return kRate * 0.998 * ms / 1000.0; },
       0},
      {"a caller that paused 5 s, then caught up", 120,
       [](std::int64_t ms) {
         if (ms > 40000 && ms < 45000) return std::nan("");
         return kRate * ms / 1000.0 - (ms < 45800 && ms > 45000 ? 16384 : 0);  // the queue is read late
       },
       0},
      {"7000 bytes silently dropped at 60 s", 300,
       [](std::int64_t ms) { return kRate * ms / 1000.0 - (ms > 60000 ? 7000 : 0); }, 7000},
      {"a drop below a block goes unseen", 300,
       [](std::int64_t ms) { return kRate * ms / 1000.0 - (ms > 60000 ? 2000 : 0); }, 0},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.name);
    TLossLedger ledger;
    ledger.Begin(0x0F, kRate, kBlock, 0);
    RunTicks(ledger, r.seconds, r.sent);
    EXPECT_NEAR(static_cast<double>(ledger.Total()), static_cast<double>(r.lost), kBlock / 2.0);
    for (const TLossEvent& e : ledger.Events())
      EXPECT_EQ(e.Kind, TLossKind::Shortfall);
  }
}

// Lost bytes go to the slots they belonged to; a dropped block's filler is a gap.
TEST(LossLedger, ReportedLossesAreSharedExactlyAmongTheSlots) {
  TLossLedger ledger;
  ledger.Begin(0b1011, kRate, kBlock, 0);  // slots 1, 2 and 4
  ledger.Dropped(5, 7);                    // bytes 5..11: 2 each, byte 5 to slot 4
  ledger.Garbled(30);                      // byte 30: slot 1
  ASSERT_EQ(ledger.Events().size(), 2u);
  EXPECT_EQ(ledger.Events()[0].Lost, (std::array<std::uint64_t, 4>{2, 2, 0, 3}));
  EXPECT_EQ(ledger.Events()[0].First, 1u);
  EXPECT_EQ(ledger.Events()[1].Lost, (std::array<std::uint64_t, 4>{1, 0, 0, 0}));
  EXPECT_EQ(ledger.Total(), 8u);
  EXPECT_EQ(ledger.LostIn(4), 3u);
  const bool gaps[] = {false, true, true, true, false, false};
  for (std::uint64_t i = 0; i < 6; ++i)
    EXPECT_EQ(ledger.InGap(i), gaps[i]) << i;
}

// Slots 1 and 3 of one recording.
struct Records {
  Records() {
    for (std::size_t s : {0u, 2u}) {
      owned[s] = std::make_unique<TDataStore>(static_cast<int>(s + 1), 10, 46000.123456789, 0x05, false,
                                              TChannelScale{0.0f, 10.0f, "V"});
      for (int i = 0; i < 1000; ++i)
        owned[s]->AddSample(static_cast<std::uint8_t>(i));
      stores[s] = owned[s].get();
    }
  }
  TSlotStores owned;
  std::array<const TDataStore*, 4> stores{};
};

TEST(LossFile, RoundTripAndRecordsItDoesNotBelongTo) {
  Records records;
  auto& stores = records.stores;
  TLossLedger ledger;
  ledger.Begin(0x05, kRate, kBlock, 0);
  ledger.Dropped(400, 2400);
  ledger.Garbled(1801);
  const std::string text = LossFileText(ledger, stores);
  TLossLedger back;
  ASSERT_EQ(ParseLossFile(text, stores, back), TLossFileState::Matches);
  EXPECT_EQ(back.Events(), ledger.Events());

  struct Row {
    const char* name;
    std::function<void()> change;
    std::string text;
  };
  const Row rows[] = {
      {"a record is missing", [&] { stores[2] = nullptr; }, text},
      {"another text", [] {}, "osciloskop-ztraty 2\n"},
      {"a line it cannot read", [] {}, text + "ztrata blok x\n"},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.name);
    records = Records();
    r.change();
    TLossLedger ignored;
    EXPECT_EQ(ParseLossFile(r.text, stores, ignored), TLossFileState::Foreign);
  }
}

TEST(LossText, CountNounAndShare) {
  test::FormatScope comma(',', ' ');
  EXPECT_EQ(LossText(0, 1000), "Ztraceno: 0 vzorků");
  EXPECT_EQ(LossText(1, 1000), "Ztraceno: 1 vzorek (0,100 %)");
  EXPECT_EQ(LossText(3, 1000), "Ztraceno: 3 vzorky (0,300 %)");
}

}  // namespace
}  // namespace osc
