// The main run loop and its clocks. On the real clock timers and delayed
// calls run on the monotonic clock, so a step of the wall clock (NTP, a
// manual change, a time-zone change) neither stalls them nor fires a burst,
// while dates read the wall clock at each use. On the virtual clock both are
// one time that moves only when the loop is told to run, so tests are
// deterministic.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "objc/runtime.h"

namespace ns {

// Where a real-clock loop reads its two clocks: tests inject one to step
// the wall clock under a running loop.
class ClockSource {
 public:
  virtual ~ClockSource() = default;
  virtual double wallTime() const;       // seconds since the Unix epoch
  virtual double monotonicTime() const;  // seconds since some fixed moment
};

class RunLoop {
 public:
  // The process's main run loop (the platform's one global loop).
  static RunLoop& main();

  // The date: seconds since the Unix epoch on the loop's clock.
  double now() const;
  // The clock timers run on: monotonic seconds on the real clock, the same
  // as now() on the virtual one. Intervals are measured on it.
  double uptime() const;
  bool isVirtual() const { return virtual_; }
  // Switches to the virtual clock, starting at the given time. Pending tasks
  // keep their delays.
  void useVirtualClock(double startTime);
  void useRealClock();
  // The real clock's source (nullptr: the system's). Not owned.
  void setClockSource(const ClockSource* source);

  using TaskId = uint64_t;
  // Runs fn at the given date (or as soon as the loop runs, if past): it is
  // due after when - now() seconds of uptime, whatever the wall clock does
  // meanwhile. keepAlive is retained until the task has run or is cancelled.
  TaskId schedule(double when, std::function<void()> fn,
                  objc::Ref<objc::Object> keepAlive = nullptr) {
    return scheduleAtUptime(uptime() + (when - now()), std::move(fn), std::move(keepAlive));
  }
  TaskId scheduleAtUptime(double due, std::function<void()> fn,
                          objc::Ref<objc::Object> keepAlive = nullptr);
  TaskId performAfter(double delay, std::function<void()> fn,
                      objc::Ref<objc::Object> keepAlive = nullptr) {
    return scheduleAtUptime(uptime() + delay, std::move(fn), std::move(keepAlive));
  }
  void cancel(TaskId task);
  bool isScheduled(TaskId task) const;

  // Runs every task due up to and including the date time (measured as a
  // delay from now), in time order (equal times in the order they were
  // scheduled), then leaves the clock at time.
  void runUntil(double time) { runUntilUptime(uptime() + (time - now())); }
  void runFor(double seconds) { runUntilUptime(uptime() + seconds); }
  void runUntilUptime(double due);
  // Runs until stop() is called (real clock: waits for work; virtual clock:
  // jumps to the next task, and returns when none is left).
  void run();
  void stop() { stopRequested_ = true; }
  // Runs what is due now without waiting; true if anything ran.
  bool runOnce();
  double nextTaskTime() const;  // as a date; infinity when nothing is scheduled

  // A window or other event source: on the real clock the loop calls it to
  // wait for input instead of sleeping, for at most maxWait seconds. With a
  // descriptor (the display connection's) the loop itself waits, in one
  // poll on it and the watched descriptors, and calls the source with 0
  // before and after; without one, the descriptors are looked at between
  // waits on the source (20 ms while any is watched, else half a second).
  void setEventSource(std::function<void(double maxWait)> waitForEvents, int fd = -1) {
    waitForEvents_ = std::move(waitForEvents);
    eventFd_ = fd;
  }

  // A file descriptor the loop watches while it waits on the real clock: it
  // wakes as soon as fd is ready for events (poll(2) bits) and calls ready on
  // this thread.
  using WatchId = uint64_t;
  WatchId watchDescriptor(int fd, short events, std::function<void()> ready);
  void setWatchedEvents(WatchId watch, short events);
  void unwatchDescriptor(WatchId watch);

  // Drops every pending task (tests reset the loop between cases).
  void reset();
  // How often the loop has woken from a wait (measurements).
  uint64_t wakeups() const { return wakeups_; }

 private:
  RunLoop();
  struct Task {
    double when;  // uptime
    uint64_t seq;
    std::function<void()> fn;
    objc::Ref<objc::Object> keepAlive;
  };
  bool runNextDue(double limit);
  void waitFor(double seconds);
  // Polls the watched descriptors, the stop signals' pipe and (unless
  // sliced) the event source's descriptor, and handles what is ready; true
  // if anything was.
  bool pollDescriptors(int timeoutMs, bool withEventFd);
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
  int eventFd_ = -1;
  const ClockSource* clock_ = nullptr;
  uint64_t wakeups_ = 0;
  void rebase(double oldUptime);
  std::vector<Watch> watches_;
  WatchId nextWatch_ = 1;
};

// While one lives, SIGINT and SIGTERM stop the main loop between two tasks,
// as stop() does: the handler only writes a pipe that the loop on the real
// clock waits on with its other descriptors, so a loop blocked in its wait
// ends at once (beside an event source without a descriptor, within its
// half-second slice). A second signal ends the process. The handlers that
// were there before come back at the end. Scopes may nest.
class StopOnSignals {
 public:
  StopOnSignals();
  ~StopOnSignals();
  StopOnSignals(const StopOnSignals&) = delete;
  StopOnSignals& operator=(const StopOnSignals&) = delete;

 private:
  struct Saved;
  std::unique_ptr<Saved> saved_;
};

// The current date on the main loop's clock.
double currentTime();

}  // namespace ns
