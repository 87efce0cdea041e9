// The main run loop and its clock. One clock serves everything: timers,
// delayed calls, animations and the current date. On the virtual clock time
// moves only when the loop is told to run, so tests are deterministic.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "objc/runtime.h"

namespace ns {

class RunLoop {
 public:
  // The process's main run loop (the platform's one global loop).
  static RunLoop& main();

  // Seconds since the Unix epoch on the loop's clock.
  double now() const;
  bool isVirtual() const { return virtual_; }
  // Switches to the virtual clock, starting at the given time.
  void useVirtualClock(double startTime);
  void useRealClock();

  using TaskId = uint64_t;
  // Runs fn at the given clock time (or as soon as the loop runs, if past).
  // keepAlive is retained until the task has run or is cancelled.
  TaskId schedule(double when, std::function<void()> fn,
                  objc::Ref<objc::Object> keepAlive = nullptr);
  TaskId performAfter(double delay, std::function<void()> fn,
                      objc::Ref<objc::Object> keepAlive = nullptr) {
    return schedule(now() + delay, std::move(fn), std::move(keepAlive));
  }
  void cancel(TaskId task);
  bool isScheduled(TaskId task) const;

  // Runs every task due up to and including time, in time order (equal times
  // in the order they were scheduled), then leaves the clock at time.
  void runUntil(double time);
  void runFor(double seconds) { runUntil(now() + seconds); }
  // Runs until stop() is called (real clock: waits for work; virtual clock:
  // jumps to the next task, and returns when none is left).
  void run();
  void stop() { stopRequested_ = true; }
  // Runs what is due now without waiting; true if anything ran.
  bool runOnce();
  double nextTaskTime() const;  // infinity when nothing is scheduled

  // A window or other event source: on the real clock the loop calls it to
  // wait for input instead of sleeping, for at most maxWait seconds.
  void setEventSource(std::function<void(double maxWait)> waitForEvents) {
    waitForEvents_ = std::move(waitForEvents);
  }

  // A file descriptor the loop watches while it waits on the real clock: it
  // wakes as soon as fd is ready for events (poll(2) bits) and calls ready on
  // this thread. With an event source set as well, the loop waits on the
  // source in short slices and looks at the descriptors in between.
  using WatchId = uint64_t;
  WatchId watchDescriptor(int fd, short events, std::function<void()> ready);
  void setWatchedEvents(WatchId watch, short events);
  void unwatchDescriptor(WatchId watch);

  // Drops every pending task (tests reset the loop between cases).
  void reset();

 private:
  RunLoop();
  struct Task {
    double when;
    uint64_t seq;
    std::function<void()> fn;
    objc::Ref<objc::Object> keepAlive;
  };
  bool runNextDue(double limit);
  void waitFor(double seconds);
  struct Watch {
    WatchId id;
    int fd;
    short events;
    std::function<void()> ready;
  };

  bool virtual_ = false;
  double virtualNow_ = 0;
  bool stopRequested_ = false;
  uint64_t nextSeq_ = 1;
  std::vector<Task> tasks_;  // kept as a heap ordered by (when, seq)
  std::function<void(double)> waitForEvents_;
  std::vector<Watch> watches_;
  WatchId nextWatch_ = 1;
};

// The current date on the main loop's clock.
double currentTime();

}  // namespace ns
