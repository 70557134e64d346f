#include "acquisition/raw_reader.h"

#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <thread>

#include "platform/errors.h"

using namespace osc;
using namespace std::chrono_literals;

namespace {

constexpr auto kGenerous = 10s;

// A source that holds every query until the test lets it go.
struct Gate {
  std::promise<void> open;
  std::shared_future<void> opened = open.get_future().share();
  std::atomic<int> calls{0};

  TRawSource Source(std::int32_t value) {
    return [this, value](int, bool) {
      ++calls;
      opened.wait();
      return value;
    };
  }
};

}  // namespace

TEST(RawReader, QueriesOnItsOwnThreadAndHandsBackTheReading) {
  std::thread::id caller = std::this_thread::get_id();
  std::atomic<bool> other_thread{false};
  TRawReader reader([&](int slot, bool zero) {
    other_thread = std::this_thread::get_id() != caller;
    return slot * 1000 + (zero ? 1 : 0);
  });
  auto query = reader.Start(3, true);
  ASSERT_NE(query, nullptr);
  ASSERT_TRUE(reader.WaitIdle(kGenerous));
  ASSERT_TRUE(query->Done());
  EXPECT_EQ(query->Value(), 3001);
  EXPECT_TRUE(other_thread);

  TRawReader none(nullptr);
  query = none.Start(1, false);
  ASSERT_TRUE(none.WaitIdle(kGenerous));
  EXPECT_EQ(query->Value(), kNoRawValue) << "no source reads as no value";

  // A source's error reaches the caller at Value, and the reader survives it.
  TRawReader failing([](int, bool) -> std::int32_t { throw Exception("Port COM9 not found"); });
  query = failing.Start(1, true);
  ASSERT_TRUE(failing.WaitIdle(kGenerous));
  EXPECT_THROW(query->Value(), Exception);
  EXPECT_NE(failing.Start(1, true), nullptr);
}

TEST(RawReader, RefusesToStackQueriesBehindASlowOne) {
  Gate gate;
  TRawReader reader(gate.Source(4711));
  auto first = reader.Start(1, false);
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(reader.Start(2, true), nullptr);
  EXPECT_TRUE(reader.Busy());
  EXPECT_FALSE(first->Done());
  gate.open.set_value();
  ASSERT_TRUE(reader.WaitIdle(kGenerous));
  EXPECT_EQ(first->Value(), 4711);
  EXPECT_EQ(gate.calls, 1);
  EXPECT_NE(reader.Start(2, true), nullptr);
}

TEST(RawReader, ADroppedQueryFinishesAndTheDestructorWaitsForIt) {
  Gate gate;
  std::weak_ptr<const TRawQuery> watched;
  std::thread opener;
  {
    TRawReader reader(gate.Source(12));
    watched = reader.Start(1, false);  // the caller drops it at once
    while (gate.calls == 0)
      std::this_thread::yield();
    opener = std::thread([&] { gate.open.set_value(); });
  }  // returns only after the query has ended
  opener.join();
  EXPECT_TRUE(watched.expired());
  EXPECT_EQ(gate.calls, 1);
}
