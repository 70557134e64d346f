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
constexpr int kShortTimeOut = 50;

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

// Counts OnTerminate calls and remembers on which thread the last one ran.
struct TerminateSpy {
  std::atomic<int> calls{0};
  std::atomic<DWORD> thread{0};
  void attach(TSimpleThread& t) {
    t.OnTerminate = [this](TSimpleThread&) {
      thread = GetCurrentThreadId();
      ++calls;
    };
  }
};

}  // namespace

TEST(SimpleThread, StartWhileAnEndedThreadIsStillHeldRaises) {
  TSimpleThread t;
  t.OnExecute = [](TSimpleThread&, DWORD&) {};
  t.Start();
  HANDLE handle = t.Handle(), stop = t.StopEvent();
  ASSERT_EQ(WaitForSingleObject(handle, kLong), WAIT_OBJECT_0);
  EXPECT_THROW(t.Start(), Exception);
  EXPECT_EQ(t.Handle(), handle);
  EXPECT_EQ(t.StopEvent(), stop);
  t.Stop();
  EXPECT_EQ(t.Handle(), nullptr);
  EXPECT_EQ(t.StopEvent(), nullptr);
  EXPECT_NO_THROW(t.Start());
  t.Stop();
}

// Both ways of listening for the stop request end the body in time; the component
// closes both handles and never kills.
TEST(SimpleThread, CooperativeBodyEndsWithoutBeingKilled) {
  struct Body {
    const char* name;
    void (*listen)(TSimpleThread&);
  };
  const Body bodies[] = {
      {"polls Terminated",
       [](TSimpleThread& t) {
         while (!t.Terminated())
           Sleep(1);
       }},
      {"waits on StopEvent", [](TSimpleThread& t) { WaitForSingleObject(t.StopEvent(), INFINITE); }},
  };
  for (const auto& body : bodies) {
    SCOPED_TRACE(body.name);
    TSimpleThread t;
    t.TimeOut = static_cast<int>(kLong);
    TerminateSpy spy;
    spy.attach(t);
    Event started;
    t.OnExecute = [&](TSimpleThread& self, DWORD& exitCode) {
      EXPECT_EQ(exitCode, 0u);
      started.set();
      body.listen(self);
      exitCode = 5;
    };
    t.Start();
    ASSERT_TRUE(started.wait());
    Watch watch(t);
    HANDLE handle = t.Handle(), stop = t.StopEvent();
    const DWORD workerId = t.ThreadID();
    t.Stop();
    ASSERT_TRUE(watch.ended());
    EXPECT_EQ(watch.exit_code(), 5u);
    EXPECT_EQ(spy.calls, 1);
    EXPECT_EQ(spy.thread, workerId);
    EXPECT_TRUE(t.Terminated());
    EXPECT_EQ(t.Handle(), nullptr);
    EXPECT_EQ(t.StopEvent(), nullptr);
    EXPECT_FALSE(CloseHandle(handle));  // already closed by Stop
    EXPECT_FALSE(CloseHandle(stop));
  }
}

TEST(SimpleThread, BodyStuckInABlockingCallIsKilledWithExitCodeOne) {
  TSimpleThread t;
  t.TimeOut = kShortTimeOut;
  TerminateSpy spy;
  spy.attach(t);
  Event started, never;
  std::atomic<bool> unwound{false}, returned{false};
  t.OnExecute = [&](TSimpleThread&, DWORD&) {
    struct Guard {
      std::atomic<bool>& flag;
      ~Guard() { flag = true; }
    } guard{unwound};
    started.set();
    WaitForSingleObject(never.h, INFINITE);  // deaf to StopEvent
    returned = true;
  };
  t.Start();
  ASSERT_TRUE(started.wait());
  Watch watch(t);
  EXPECT_EQ(t.Signal(), WAIT_TIMEOUT);
  t.Stop();
  EXPECT_EQ(WaitForSingleObject(watch.h, 0), WAIT_OBJECT_0);  // Stop returned after the end
  EXPECT_EQ(watch.exit_code(), 1u);
  EXPECT_TRUE(unwound);
  EXPECT_FALSE(returned);
  EXPECT_EQ(spy.calls, 0);
  EXPECT_EQ(t.Handle(), nullptr);
}

TEST(SimpleThread, SignalAndStopFromTheWorkerDoNotWaitForThemselves) {
  TSimpleThread t;
  t.TimeOut = static_cast<int>(kLong);
  Event go, stopped;
  std::atomic<DWORD> signalResult{0};
  std::atomic<bool> handlesGone{false}, ranOn{false};
  t.OnExecute = [&](TSimpleThread& self, DWORD&) {
    go.wait();
    signalResult = self.Signal();
    self.Stop();
    handlesGone = self.Handle() == nullptr && self.StopEvent() == nullptr;
    stopped.set();
    ranOn = true;
  };
  t.Start();
  Watch watch(t);
  go.set();
  ASSERT_TRUE(stopped.wait());
  ASSERT_TRUE(watch.ended());
  EXPECT_EQ(signalResult, 0xFFFFFFFFu);
  EXPECT_TRUE(handlesGone);
  EXPECT_TRUE(ranOn);
  EXPECT_TRUE(t.Terminated());
}

// An error in the body ends only the worker, and OnTerminate still runs; destroying the
// component stops its worker.
TEST(SimpleThread, ErrorInTheBodyStillCallsOnTerminateAndDestructionStops) {
  TSimpleThread t;
  TerminateSpy spy;
  spy.attach(t);
  t.OnExecute = [](TSimpleThread&, DWORD&) { throw std::runtime_error("read failed"); };
  t.Start();
  Watch watch(t);
  ASSERT_TRUE(watch.ended());
  EXPECT_EQ(watch.exit_code(), THREAD_EXIT_EXCEPTION);
  EXPECT_EQ(spy.calls, 1);
  t.Stop();

  std::atomic<bool> ended{false};
  {
    TSimpleThread other;
    other.OnExecute = [&](TSimpleThread& self, DWORD&) {
      WaitForSingleObject(self.StopEvent(), INFINITE);
      ended = true;
    };
    other.Start();
  }
  EXPECT_TRUE(ended);
}
