#include "Foundation/NSTimer.h"

#include <algorithm>
#include <cmath>

namespace ns {

OBJC_CLASS_IMPL(NSTimer, objc::Object, nullptr)

NSTimer::NSTimer(double interval, bool repeats)
    // The platform clamps intervals to 0.1 ms so a zero interval cannot spin.
    : interval_(std::isfinite(interval) ? std::max(interval, 0.0001) : 0.0001), repeats_(repeats) {}

NSTimer::~NSTimer() = default;

objc::Ref<NSTimer> NSTimer::scheduledTimer(double interval, objc::id target, objc::SEL selector,
                                           bool repeats) {
  auto timer = objc::Ref<NSTimer>::adopt(new NSTimer(interval, repeats));
  timer->target_ = target;
  timer->selector_ = selector;
  timer->arm();
  return timer;
}

objc::Ref<NSTimer> NSTimer::scheduledTimer(double interval, bool repeats,
                                           std::function<void(NSTimer*)> block) {
  auto timer = objc::Ref<NSTimer>::adopt(new NSTimer(interval, repeats));
  timer->block_ = std::move(block);
  timer->arm();
  return timer;
}

void NSTimer::arm() {
  RunLoop& loop = RunLoop::main();
  // On the loop's uptime, so a step of the wall clock moves no firing.
  start_ = loop.uptime();
  firing_ = 1;
  next_ = start_ + interval_;
  // The run loop's task holds the timer (and so its target) until the timer
  // is invalidated, as a scheduled timer is held by its run loop.
  task_ = loop.scheduleAtUptime(
      next_, [this] { tick(); }, objc::Ref<objc::Object>(this));
}

void NSTimer::tick() {
  task_ = 0;
  if (!valid_) return;
  objc::Ref<NSTimer> keep(this);
  if (repeats_) {
    // Next firing on the original grid, skipping the ones already missed.
    // Counted in whole firings so rounding can never schedule the next one at
    // the time of the one running now.
    RunLoop& loop = RunLoop::main();
    int64_t late = static_cast<int64_t>(std::floor((loop.uptime() - start_) / interval_));
    firing_ = std::max(firing_ + 1, late + 1);
    next_ = start_ + static_cast<double>(firing_) * interval_;
    task_ = loop.scheduleAtUptime(
        next_, [this] { tick(); }, objc::Ref<objc::Object>(this));
  } else {
    valid_ = false;
  }
  if (block_)
    block_(this);
  else if (target_)
    objc::objc_msgSend(target_.get(), selector_, this);
  if (!repeats_) invalidate();
}

void NSTimer::fire() {
  if (!valid_) return;
  objc::Ref<NSTimer> keep(this);
  if (block_)
    block_(this);
  else if (target_)
    objc::objc_msgSend(target_.get(), selector_, this);
  if (!repeats_) invalidate();
}

void NSTimer::invalidate() {
  valid_ = false;
  objc::Ref<NSTimer> keep(this);
  if (task_) {
    RunLoop::TaskId t = task_;
    task_ = 0;
    RunLoop::main().cancel(t);
  }
  target_.reset();
  block_ = nullptr;
}

}  // namespace ns
