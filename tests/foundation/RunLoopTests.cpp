#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <thread>
#include <vector>

#include "Foundation/NSDate.h"
#include "Foundation/NSTimer.h"
#include "Foundation/RunLoop.h"
#include "TestSupport.h"

using namespace ns;
using objc::Ref;

namespace {

class Counter : public objc::Object {
  OBJC_CLASS(Counter)
 public:
  ~Counter() override { ++destroyed; }
  // Seconds since the start, to the millisecond (epoch seconds carry ~0.2 us).
  void tick() {
    char t[32];
    std::snprintf(t, sizeof t, "%.3f ", RunLoop::main().now() - origin);
    times += t;
  }
  std::string times;
  double origin = RunLoop::main().now();
  static int destroyed;
};
int Counter::destroyed = 0;

void setupCounter(objc::Class* cls) {
  cls->addMethod(objc::sel_registerName("tick"), OBJC_METHOD0(Counter, tick), "v@");
}

}  // namespace

OBJC_CLASS_IMPL(Counter, objc::Object, setupCounter)

TEST(RunLoop, RepeatingTimersKeepTheirGridAndTargetAndMayBeInvalidatedFromInside) {
  testsupport::VirtualClock clock;
  Counter::destroyed = 0;
  Counter* counter = nullptr;
  Ref<NSTimer> timer;
  {
    auto owned = objc::make<Counter>();
    counter = owned.get();
    timer = NSTimer::scheduledTimer(0.3, counter, objc::sel_registerName("tick"), true);
  }
  EXPECT_EQ(Counter::destroyed, 0);  // the scheduled timer holds its target
  clock.advance(1.0);
  timer->fire();  // fires now without moving the schedule
  clock.advance(0.25);
  EXPECT_EQ(counter->times, "0.300 0.600 0.900 1.000 1.200 ");
  timer->invalidate();
  EXPECT_FALSE(timer->isValid());
  EXPECT_EQ(Counter::destroyed, 1);

  int calls = 0;
  auto once = NSTimer::scheduledTimer(0.5, true, [&](NSTimer* t) {
    if (++calls == 2) t->invalidate();
  });
  clock.advance(10);
  EXPECT_EQ(calls, 2);
  EXPECT_FALSE(once->isValid());
}

TEST(RunLoop, TasksRunInTimeThenScheduleOrderAndMayScheduleMore) {
  testsupport::VirtualClock clock;
  RunLoop& loop = RunLoop::main();
  std::vector<int> order;
  loop.performAfter(1, [&] { order.push_back(2); });
  loop.performAfter(0, [&] {
    order.push_back(0);
    loop.performAfter(0, [&] { order.push_back(1); });
  });
  auto cancelled = loop.performAfter(0.5, [&] { order.push_back(99); });
  loop.performAfter(1, [&] { order.push_back(3); });
  loop.cancel(cancelled);
  EXPECT_FALSE(loop.isScheduled(cancelled));
  clock.advance(0.999);
  EXPECT_EQ(order, (std::vector<int>{0, 1}));
  clock.advance(0.001);
  EXPECT_EQ(order, (std::vector<int>{0, 1, 2, 3}));

  // Times that are not numbers neither break the queue's order nor spin.
  loop.performAfter(std::nan(""), [&] { order.push_back(4); });
  loop.performAfter(0.5, [&] { order.push_back(5); });
  int ticks = 0;
  auto timer = NSTimer::scheduledTimer(std::nan(""), true, [&](NSTimer*) { ++ticks; });
  clock.advance(1);
  timer->invalidate();
  EXPECT_EQ(order, (std::vector<int>{0, 1, 2, 3, 4, 5}));
  EXPECT_NEAR(ticks, 10000, 1);  // clamped to 0.1 ms
}

TEST(RunLoop, AWatchedDescriptorWakesTheWaitingLoopAndMayBeUnwatchedFromItsCallback) {
  RunLoop& loop = RunLoop::main();
  loop.reset();
  loop.useRealClock();
  int fds[2];
  ASSERT_EQ(pipe2(fds, O_CLOEXEC | O_NONBLOCK), 0);
  int calls = 0;
  RunLoop::WatchId watch = 0;
  watch = loop.watchDescriptor(fds[0], POLLIN, [&] {
    ++calls;
    char byte;
    while (read(fds[0], &byte, 1) > 0) {
    }
    loop.unwatchDescriptor(watch);
    loop.stop();
  });
  // Nothing is due for a long time: only the descriptor can end this run soon.
  auto guard = loop.performAfter(30, [&] { loop.stop(); });
  std::thread writer([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    [[maybe_unused]] ssize_t n = write(fds[1], "x", 1);
  });
  loop.run();
  writer.join();
  EXPECT_EQ(calls, 1);
  EXPECT_TRUE(loop.isScheduled(guard));

  // Unwatched: more input is not looked at.
  [[maybe_unused]] ssize_t n = write(fds[1], "y", 1);
  loop.runUntil(loop.now() + 0.05);
  EXPECT_EQ(calls, 1);
  loop.cancel(guard);
  close(fds[0]);
  close(fds[1]);
}

// A window's source is asked for what it holds before the loop blocks on its
// descriptor: a frame it schedules then, or a stop, is not left waiting for
// the next event.
TEST(RunLoop, WhatAnEventSourceSchedulesOrStopsJustBeforeThePollIsNotOverslept) {
  RunLoop& loop = RunLoop::main();
  loop.reset();
  loop.useRealClock();
  int fds[2];
  ASSERT_EQ(pipe2(fds, O_CLOEXEC | O_NONBLOCK), 0);  // never readable
  int calls = 0;
  bool frame = false, guard = false;
  loop.setEventSource(
      [&](double) {
        if (++calls == 1) loop.performAfter(0.01, [&] { frame = true; });
        if (frame) loop.stop();
      },
      fds[0]);
  loop.performAfter(5, [&] {
    guard = true;
    loop.stop();
  });
  loop.run();
  loop.setEventSource(nullptr);
  EXPECT_TRUE(frame);
  EXPECT_FALSE(guard);
  loop.reset();
  close(fds[0]);
  close(fds[1]);
}

TEST(RunLoop, SIGTERMAndSIGINTStopTheWaitingLoopAfterTheTaskThatRanAndThenAreAsBefore) {
  RunLoop& loop = RunLoop::main();
  loop.reset();
  loop.useRealClock();
  struct sigaction before {};
  sigaction(SIGTERM, nullptr, &before);
  // Nothing else is due for 5 s: only the signal's pipe can end a wait sooner.
  int guarded = 0;
  auto run = [&] {
    auto guard = loop.performAfter(5, [&] {
      ++guarded;
      loop.stop();
    });
    loop.run();
    loop.cancel(guard);
  };
  for (int signal : {SIGTERM, SIGINT}) {
    StopOnSignals stopSignals;  // each scope catches one more of each
    bool finished = false;
    loop.performAfter(0, [&] {
      raise(signal);
      finished = true;  // the task that was running when it came ends
    });
    run();
    EXPECT_TRUE(finished) << signal;
  }
  {
    // One that came before the loop ran stops it at its first wait.
    StopOnSignals stopSignals;
    raise(SIGTERM);
    run();
  }
  {
    // Beside an event source without a descriptor: within its slice.
    StopOnSignals stopSignals;
    std::vector<double> waits;
    loop.setEventSource([&](double maxWait) {
      waits.push_back(maxWait);
      if (waits.size() == 1) raise(SIGINT);
    });
    run();
    loop.setEventSource(nullptr);
    EXPECT_EQ(waits, std::vector<double>{0.5});
  }
  EXPECT_EQ(guarded, 0);
  // The handlers are back, and a signal nobody took is gone with its scope.
  struct sigaction after {};
  sigaction(SIGTERM, nullptr, &after);
  EXPECT_EQ(after.sa_handler, before.sa_handler);
  {
    StopOnSignals stopSignals;
    raise(SIGTERM);
  }
  StopOnSignals stopSignals;
  double start = loop.uptime();
  loop.runFor(0.05);
  EXPECT_GE(loop.uptime() - start, 0.05);
}

namespace {
// The system's clocks with a wall clock the test can step.
constexpr double kMidday = 1894708800;  // 2030-01-15 12:00:00 UTC
class SteppedClock : public ClockSource {
 public:
  double wallTime() const override { return ClockSource::wallTime() + offset; }
  double offset = 0;
};
}  // namespace

TEST(RunLoop, WallClockStepsAndTimeZoneChangesNeitherStallNorBurstARealClockLoop) {
  RunLoop& loop = RunLoop::main();
  loop.reset();
  loop.useRealClock();
  SteppedClock clock;
  loop.setClockSource(&clock);
  const char* oldTz = std::getenv("TZ");
  std::string savedTz = oldTz ? oldTz : "";
  setenv("TZ", "UTC0", 1);

  // A 50 ms timer stands for the recorder's 1 s tick; the steps come from
  // delayed calls, as NTP or a user would step the clock meanwhile.
  std::vector<double> ticks;
  std::vector<std::string> days;
  const double start = loop.uptime();
  auto timer = NSTimer::scheduledTimer(0.05, true, [&](NSTimer*) {
    ticks.push_back(loop.uptime() - start);
    days.push_back(currentDayKey());
  });
  bool delayedRan = false;
  loop.performAfter(0.12, [&] { clock.offset -= 60; });  // back a minute
  // Forward to midday UTC of 2030-01-15.
  loop.performAfter(0.27, [&] { clock.offset = kMidday - clock.ClockSource::wallTime(); });
  loop.performAfter(0.42, [&] { setenv("TZ", "XYZ-14", 1); });  // another zone
  loop.performAfter(0.5, [&] { delayedRan = true; });
  loop.runFor(0.6);
  timer->invalidate();

  EXPECT_TRUE(delayedRan);
  // About one firing per 50 ms throughout: none stalled, none in a burst.
  EXPECT_GE(ticks.size(), 9u);
  EXPECT_LE(ticks.size(), 12u);
  for (size_t i = 1; i < ticks.size(); ++i) EXPECT_GE(ticks[i] - ticks[i - 1], 0.01) << i;
  // The day key follows the stepped wall clock at the next tick, and its zone.
  EXPECT_NEAR(loop.now() - kMidday, 0.33, 0.2);
  EXPECT_NE(std::find(days.begin(), days.end(), "2030-01-15"), days.end());
  EXPECT_EQ(days.back(), "2030-01-16");
  if (oldTz)
    setenv("TZ", savedTz.c_str(), 1);
  else
    unsetenv("TZ");
  loop.setClockSource(nullptr);
}
