// The worker thread component as the recorder uses it: started, polled for Terminated,
// stopped, killed when deaf to the request.
#include "seriallink/simple_thread.h"

#include "platform/errors.h"
#include "platform/kernel/kernel.h"
#include "platform/kernel/threads.h"

#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>

using namespace osc;
using namespace osc::win;

namespace {

constexpr DWORD kLong = 10000;  // generous: only reached when something is broken

// A second handle to the worker, so that its end and exit code stay visible after
// Stop has closed the component's handle.
struct Watch {
  HANDLE h;
  explicit Watch(const TSimpleThread& t) : h(DuplicateHandle(t.Handle())) {}
  ~Watch() { CloseHandle(h); }
  bool ended() const { return WaitForSingleObject(h, kLong) == WAIT_OBJECT_0; }
  DWORD exit_code() const {
    DWORD code = 0xdeadbeef;
    GetExitCodeThread(h, &code);
    return code;
  }
};

struct Event {
  HANDLE h = CreateEvent(true, false);
  ~Event() { CloseHandle(h); }
  void set() const { SetEvent(h); }
  bool wait() const { return WaitForSingleObject(h, kLong) == WAIT_OBJECT_0; }
};

}  // namespace

TEST(SimpleThread, StartWhileAnEndedThreadIsStillHeldRaises) {
  TSimpleThread t;
  t.OnExecute = [](TSimpleThread&, DWORD&) {};
  t.Start();
  HANDLE handle = t.Handle();
  ASSERT_EQ(WaitForSingleObject(handle, kLong), WAIT_OBJECT_0);
  EXPECT_THROW(t.Start(), Exception);
  EXPECT_EQ(t.Handle(), handle);
  t.Stop();
  EXPECT_EQ(t.Handle(), nullptr);
  EXPECT_NO_THROW(t.Start());
  t.Stop();
}

// A body polling Terminated ends in time with its own exit code; Stop closes both
// handles and never kills.
TEST(SimpleThread, CooperativeBodyEndsWithoutBeingKilled) {
  TSimpleThread t;
  t.TimeOut = static_cast<int>(kLong);
  Event started;
  t.OnExecute = [&](TSimpleThread& self, DWORD& exitCode) {
    started.set();
    while (!self.Terminated())
      Sleep(1);
    exitCode = 5;
  };
  t.Start();
  ASSERT_TRUE(started.wait());
  Watch watch(t);
  HANDLE handle = t.Handle(), stop = t.StopEvent();
  t.Stop();
  ASSERT_TRUE(watch.ended());
  EXPECT_EQ(watch.exit_code(), 5u);
  EXPECT_EQ(t.Handle(), nullptr);
  EXPECT_FALSE(CloseHandle(handle));  // already closed by Stop
  EXPECT_FALSE(CloseHandle(stop));
}

// A body deaf to the request (the blocking path's read) is killed after the time-out.
TEST(SimpleThread, BodyStuckInABlockingCallIsKilledWithExitCodeOne) {
  TSimpleThread t;
  t.TimeOut = 50;
  Event started, never;
  t.OnExecute = [&](TSimpleThread&, DWORD&) {
    started.set();
    WaitForSingleObject(never.h, INFINITE);
  };
  t.Start();
  ASSERT_TRUE(started.wait());
  Watch watch(t);
  t.Stop();
  EXPECT_EQ(WaitForSingleObject(watch.h, 0), WAIT_OBJECT_0);  // Stop returned after the end
  EXPECT_EQ(watch.exit_code(), 1u);
  EXPECT_EQ(t.Handle(), nullptr);
}

// An error in the body ends only the worker; destroying the component stops its worker.
TEST(SimpleThread, ErrorInTheBodyEndsOnlyTheWorkerAndDestructionStops) {
  TSimpleThread t;
  t.OnExecute = [](TSimpleThread&, DWORD&) { throw std::runtime_error("read failed"); };
  t.Start();
  Watch watch(t);
  ASSERT_TRUE(watch.ended());
  EXPECT_EQ(watch.exit_code(), THREAD_EXIT_EXCEPTION);
  t.Stop();

  std::atomic<bool> ended{false};
  {
    TSimpleThread other;
    other.OnExecute = [&](TSimpleThread& self, DWORD&) {
      while (!self.Terminated())
        Sleep(1);
      ended = true;
    };
    other.Start();
  }
  EXPECT_TRUE(ended);
}
