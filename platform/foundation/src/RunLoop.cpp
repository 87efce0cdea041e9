#include "Foundation/RunLoop.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <limits>

namespace ns {

namespace {
const ClockSource& systemClock() {
  static const ClockSource* clock = new ClockSource;
  return *clock;
}

// The stop signals' pipe lives as long as the process: a handler running on
// another thread while a scope ends must never write into a reused
// descriptor.
std::atomic<int> gStopRead{-1};
std::atomic<int> gStopWrite{-1};
std::atomic<int> gStopScopes{0};
static_assert(std::atomic<int>::is_always_lock_free, "read from a signal handler");
constexpr int kStopSignals[] = {SIGINT, SIGTERM};

extern "C" void onStopSignal(int signal) {
  int saved = errno;
  char byte = static_cast<char>(signal);
  // A full pipe already holds a stop.
  [[maybe_unused]] ssize_t n = write(gStopWrite.load(std::memory_order_relaxed), &byte, 1);
  // The second one ends the process at once.
  struct sigaction fallback {};
  fallback.sa_handler = SIG_DFL;
  sigaction(signal, &fallback, nullptr);
  errno = saved;
}

// Reads what the handler wrote; true if there was anything.
bool drainStopSignals() {
  int fd = gStopRead.load();
  if (fd < 0) return false;
  bool any = false;
  char bytes[16];
  ssize_t n;
  while ((n = read(fd, bytes, sizeof bytes)) > 0 || (n < 0 && errno == EINTR)) any |= n > 0;
  return any;
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
    double wait =
        tasks_.empty() ? std::numeric_limits<double>::infinity() : tasks_.front().when - uptime();
    if (wait <= 0) continue;
    waitFor(wait);
  }
}

void RunLoop::waitFor(double seconds) {
  ++wakeups_;
  if (waitForEvents_ && eventFd_ < 0) {
    // The source's events and the descriptors cannot be waited for together:
    // the descriptors are looked at between waits on the source, short ones
    // while any is watched (a bus), half a second when only a stop signal
    // can come.
    if (pollDescriptors(0, false)) return;
    waitForEvents_(std::min(seconds, watches_.empty() ? 0.5 : 0.02));
    return;
  }
  if (waitForEvents_) {
    waitForEvents_(0);  // what the source already holds
    // Handling it may have stopped the loop or scheduled a frame.
    if (stopRequested_) return;
    if (!tasks_.empty()) seconds = std::min(seconds, tasks_.front().when - uptime());
    if (seconds <= 0) return;
  }
  int timeoutMs = -1;
  if (std::isfinite(seconds))
    // Rounded up, so the loop never wakes just before a task is due.
    timeoutMs = static_cast<int>(std::min(std::ceil(seconds * 1000), 3.6e6));
  if (pollDescriptors(timeoutMs, true) && waitForEvents_) waitForEvents_(0);
}

bool RunLoop::pollDescriptors(int timeoutMs, bool withEventFd) {
  std::vector<pollfd> fds;
  std::vector<WatchId> ids;
  for (const Watch& w : watches_) {
    fds.push_back(pollfd{w.fd, w.events, 0});
    ids.push_back(w.id);
  }
  const int stopFd = gStopScopes.load() > 0 ? gStopRead.load() : -1;
  if (stopFd >= 0) fds.push_back(pollfd{stopFd, POLLIN, 0});
  if (withEventFd && eventFd_ >= 0) fds.push_back(pollfd{eventFd_, POLLIN, 0});
  if (poll(fds.data(), fds.size(), timeoutMs) <= 0) return false;
  for (size_t i = 0; i < ids.size(); ++i) {
    if (fds[i].revents == 0) continue;
    // A callback may have removed this watch or others.
    auto it = std::find_if(watches_.begin(), watches_.end(),
                           [&](const Watch& w) { return w.id == ids[i]; });
    if (it == watches_.end()) continue;
    auto callback = it->ready;
    callback();
  }
  if (stopFd >= 0 && fds[ids.size()].revents != 0 && drainStopSignals()) stop();
  return true;
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

struct StopOnSignals::Saved {
  struct sigaction previous[std::size(kStopSignals)]{};
  bool installed = false;
};

StopOnSignals::StopOnSignals() : saved_(std::make_unique<Saved>()) {
  if (gStopRead.load() < 0) {
    int ends[2];
    if (pipe2(ends, O_CLOEXEC | O_NONBLOCK) != 0) {
      std::fprintf(stderr, "RunLoop: no pipe for SIGINT and SIGTERM (%s); they end the process\n",
                   std::strerror(errno));
      return;
    }
    gStopWrite.store(ends[1]);
    gStopRead.store(ends[0]);
  }
  struct sigaction stop {};
  stop.sa_handler = onStopSignal;
  sigemptyset(&stop.sa_mask);
  stop.sa_flags = SA_RESTART;
  for (size_t i = 0; i < std::size(kStopSignals); ++i)
    sigaction(kStopSignals[i], &stop, &saved_->previous[i]);
  saved_->installed = true;
  ++gStopScopes;
}

StopOnSignals::~StopOnSignals() {
  if (!saved_->installed) return;
  for (size_t i = 0; i < std::size(kStopSignals); ++i)
    sigaction(kStopSignals[i], &saved_->previous[i], nullptr);
  // A stop nobody took is not one for a later loop in this process.
  if (--gStopScopes == 0) drainStopSignals();
}

double currentTime() {
  return RunLoop::main().now();
}

}  // namespace ns
