#include "Foundation/RunLoop.h"

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <limits>
#include <thread>

namespace ns {

namespace {
const ClockSource& systemClock() {
  static const ClockSource* clock = new ClockSource;
  return *clock;
}

struct Later {
  template <class T>
  bool operator()(const T& a, const T& b) const {
    return a.when != b.when ? a.when > b.when : a.seq > b.seq;
  }
};
}  // namespace

double ClockSource::wallTime() const {
  using namespace std::chrono;
  return duration<double>(system_clock::now().time_since_epoch()).count();
}

double ClockSource::monotonicTime() const {
  using namespace std::chrono;
  return duration<double>(steady_clock::now().time_since_epoch()).count();
}

RunLoop::RunLoop() = default;

RunLoop& RunLoop::main() {
  // Never destroyed, so tasks that hold objects do not run destructors after
  // the rest of the process has been torn down.
  static RunLoop* loop = new RunLoop;
  return *loop;
}

double RunLoop::now() const {
  return virtual_ ? virtualNow_ : (clock_ ? *clock_ : systemClock()).wallTime();
}

double RunLoop::uptime() const {
  return virtual_ ? virtualNow_ : (clock_ ? *clock_ : systemClock()).monotonicTime();
}

// Pending tasks keep their delays across a change of clock.
void RunLoop::rebase(double oldUptime) {
  double shift = uptime() - oldUptime;
  for (Task& t : tasks_) t.when += shift;
}

void RunLoop::useVirtualClock(double startTime) {
  double old = uptime();
  virtual_ = true;
  virtualNow_ = startTime;
  rebase(old);
}

void RunLoop::useRealClock() {
  if (!virtual_) return;
  double old = uptime();
  virtual_ = false;
  rebase(old);
}

void RunLoop::setClockSource(const ClockSource* source) {
  double old = uptime();
  clock_ = source;
  rebase(old);
}

RunLoop::TaskId RunLoop::scheduleAtUptime(double when, std::function<void()> fn,
                                          objc::Ref<objc::Object> keepAlive) {
  // A time that is not a number would break the queue's order.
  if (!std::isfinite(when)) when = when > 0 ? std::numeric_limits<double>::max() : uptime();
  TaskId id = nextSeq_++;
  tasks_.push_back(Task{when, id, std::move(fn), std::move(keepAlive)});
  std::push_heap(tasks_.begin(), tasks_.end(), Later{});
  return id;
}

void RunLoop::cancel(TaskId task) {
  auto it =
      std::find_if(tasks_.begin(), tasks_.end(), [&](const Task& t) { return t.seq == task; });
  if (it == tasks_.end()) return;
  // Move the task out first: releasing what it keeps alive may schedule or
  // cancel other tasks.
  Task gone = std::move(*it);
  tasks_.erase(it);
  std::make_heap(tasks_.begin(), tasks_.end(), Later{});
}

bool RunLoop::isScheduled(TaskId task) const {
  return std::any_of(tasks_.begin(), tasks_.end(), [&](const Task& t) { return t.seq == task; });
}

double RunLoop::nextTaskTime() const {
  if (tasks_.empty()) return std::numeric_limits<double>::infinity();
  return tasks_.front().when - uptime() + now();
}

bool RunLoop::runNextDue(double limit) {
  if (tasks_.empty() || tasks_.front().when > limit) return false;
  std::pop_heap(tasks_.begin(), tasks_.end(), Later{});
  Task task = std::move(tasks_.back());
  tasks_.pop_back();
  if (virtual_ && task.when > virtualNow_) virtualNow_ = task.when;
  task.fn();
  return true;
}

bool RunLoop::runOnce() {
  bool ran = false;
  double limit = uptime();
  while (runNextDue(limit)) ran = true;
  return ran;
}

void RunLoop::runUntilUptime(double time) {
  stopRequested_ = false;
  if (virtual_) {
    while (!stopRequested_ && runNextDue(time)) {
    }
    if (virtualNow_ < time) virtualNow_ = time;
    return;
  }
  while (!stopRequested_) {
    runOnce();
    double current = uptime();
    if (current >= time) break;
    double next = tasks_.empty() ? time : std::min(tasks_.front().when, time);
    if (next - current <= 0) continue;
    waitFor(next - current);
  }
}

void RunLoop::run() {
  stopRequested_ = false;
  if (virtual_) {
    while (!stopRequested_ && !tasks_.empty()) runNextDue(tasks_.front().when);
    return;
  }
  while (!stopRequested_) {
    runOnce();
    if (stopRequested_) break;
    double wait = tasks_.empty() ? std::numeric_limits<double>::infinity()
                                 : tasks_.front().when - uptime();
    if (wait <= 0) continue;
    waitFor(wait);
  }
}

void RunLoop::waitFor(double seconds) {
  ++wakeups_;
  if (watches_.empty() && eventFd_ < 0) {
    if (waitForEvents_) {
      // A source without a descriptor may not see a signal's pipe: it is
      // looked at twice a second.
      waitForEvents_(std::min(seconds, 0.5));
    } else if (std::isfinite(seconds)) {
      std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
    } else {
      pause();
    }
    return;
  }
  // Without the event source's descriptor its events and the descriptors
  // cannot be waited for together: short slices keep both responsive.
  constexpr double kSliceWithEventSource = 0.02;
  const bool sliced = waitForEvents_ && eventFd_ < 0;
  if (waitForEvents_ && !sliced) waitForEvents_(0);  // what the source already holds
  std::vector<pollfd> fds;
  std::vector<WatchId> ids;
  for (const Watch& w : watches_) {
    fds.push_back(pollfd{w.fd, w.events, 0});
    ids.push_back(w.id);
  }
  if (!sliced && eventFd_ >= 0) fds.push_back(pollfd{eventFd_, POLLIN, 0});
  int timeoutMs = -1;
  if (sliced)
    timeoutMs = 0;
  else if (std::isfinite(seconds))
    // Rounded up, so the loop never wakes just before a task is due.
    timeoutMs = static_cast<int>(std::min(std::ceil(seconds * 1000), 3.6e6));
  int ready = poll(fds.data(), fds.size(), timeoutMs);
  if (ready > 0) {
    for (size_t i = 0; i < ids.size(); ++i) {
      if (fds[i].revents == 0) continue;
      // A callback may have removed this watch or others.
      auto it = std::find_if(watches_.begin(), watches_.end(),
                             [&](const Watch& w) { return w.id == ids[i]; });
      if (it == watches_.end()) continue;
      auto callback = it->ready;
      callback();
    }
    if (!sliced && waitForEvents_) waitForEvents_(0);
    return;
  }
  if (sliced) waitForEvents_(std::min(seconds, kSliceWithEventSource));
}

RunLoop::WatchId RunLoop::watchDescriptor(int fd, short events, std::function<void()> ready) {
  WatchId id = nextWatch_++;
  watches_.push_back(Watch{id, fd, events, std::move(ready)});
  return id;
}

void RunLoop::setWatchedEvents(WatchId watch, short events) {
  for (Watch& w : watches_)
    if (w.id == watch) w.events = events;
}

void RunLoop::unwatchDescriptor(WatchId watch) {
  std::erase_if(watches_, [watch](const Watch& w) { return w.id == watch; });
}

void RunLoop::reset() {
  auto gone = std::move(tasks_);
  tasks_.clear();
  stopRequested_ = false;
  gone.clear();
}

double currentTime() {
  return RunLoop::main().now();
}

}  // namespace ns
