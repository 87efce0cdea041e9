#include <gtest/gtest.h>

#include <vector>

#include "Foundation/NSDate.h"
#include "Foundation/NSString.h"
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
  void tick() { times.push_back(RunLoop::main().now() - origin); }
  std::vector<double> times;
  double origin = 0;
  static int destroyed;
};
int Counter::destroyed = 0;

void setupCounter(objc::Class* cls) {
  cls->addMethod(objc::sel_registerName("tick"), OBJC_METHOD0(Counter, tick), "v@");
}

}  // namespace

OBJC_CLASS_IMPL(Counter, objc::Object, setupCounter)

TEST(RunLoop, RepeatingTimerKeepsItsGridAndTarget) {
  testsupport::VirtualClock clock;
  Counter::destroyed = 0;
  Ref<NSTimer> timer;
  {
    auto counter = objc::make<Counter>();
    counter->origin = RunLoop::main().now();
    timer = NSTimer::scheduledTimer(1.0, counter, objc::sel_registerName("tick"), true);
  }
  EXPECT_EQ(Counter::destroyed, 0);  // the scheduled timer holds its target
  clock.advance(3.5);
  timer->fire();  // fires now without moving the schedule
  clock.advance(1.0);
  EXPECT_TRUE(timer->isValid());
  timer->invalidate();
  EXPECT_FALSE(timer->isValid());
  EXPECT_EQ(Counter::destroyed, 1);
  clock.advance(5);
}

TEST(RunLoop, TimerFiringTimesAndInvalidationFromInside) {
  testsupport::VirtualClock clock;
  auto counter = objc::make<Counter>();
  counter->origin = RunLoop::main().now();
  auto timer = NSTimer::scheduledTimer(0.3, counter, objc::sel_registerName("tick"), true);
  clock.advance(1.0);
  ASSERT_EQ(counter->times.size(), 3u);
  EXPECT_NEAR(counter->times[2], 0.9, 1e-6);  // epoch seconds carry ~0.2 us

  int calls = 0;
  auto once = NSTimer::scheduledTimer(0.5, true, [&](NSTimer* t) {
    if (++calls == 2) t->invalidate();
  });
  clock.advance(10);
  EXPECT_EQ(calls, 2);
  EXPECT_FALSE(once->isValid());
  timer->invalidate();
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
}

TEST(RunLoop, DayKeyFollowsTheClockAcrossMidnight) {
  testsupport::VirtualClock clock("2015-03-05T23:59:58");
  EXPECT_EQ(currentDayKey(), "2015-03-05");
  clock.advance(2);
  EXPECT_EQ(currentDayKey(), "2015-03-06");
  EXPECT_EQ(formatDate(RunLoop::main().now(), "yyyy-MM-dd HH:mm:ss"), "2015-03-06 00:00:00");
}

TEST(RunLoop, StringsAreObjects) {
  auto s = NSString::make("T");
  EXPECT_EQ(*stringValue(s), "T");
  EXPECT_EQ(stringValue(objc::make<objc::Object>()), nullptr);
  EXPECT_EQ(stringValue(nullptr), nullptr);
}
