// Timers on the main run loop, as the platform's NSTimer behaves: a repeating
// timer fires at start + k * interval without drifting, skips firings the loop
// was too late for, keeps its target alive until it is invalidated.
#pragma once

#include <cstdint>
#include <functional>

#include "Foundation/RunLoop.h"
#include "objc/runtime.h"

namespace ns {

class NSTimer : public objc::Object {
  OBJC_CLASS(NSTimer)
 public:
  // Calls [target selector:timer] on the main run loop.
  static objc::Ref<NSTimer> scheduledTimer(double interval, objc::id target, objc::SEL selector,
                                           bool repeats);
  static objc::Ref<NSTimer> scheduledTimer(double interval, bool repeats,
                                           std::function<void(NSTimer*)> block);
  ~NSTimer() override;

  // Runs the action now without changing the schedule; a one-shot timer is
  // invalidated by it.
  void fire();
  void invalidate();
  bool isValid() const { return valid_; }
  double timeInterval() const { return interval_; }
  double fireDate() const { return next_ - RunLoop::main().uptime() + RunLoop::main().now(); }

 private:
  NSTimer(double interval, bool repeats);
  void arm();
  void tick();

  double interval_;
  bool repeats_;
  bool valid_ = true;
  double start_ = 0;  // uptime
  double next_ = 0;   // uptime
  int64_t firing_ = 0;  // index of the next firing on the grid
  RunLoop::TaskId task_ = 0;
  objc::Ref<objc::Object> target_;
  objc::SEL selector_ = nullptr;
  std::function<void(NSTimer*)> block_;
};

}  // namespace ns
