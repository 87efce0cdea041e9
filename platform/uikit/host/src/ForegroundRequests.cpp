#include "ForegroundRequests.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {

// The pipe lives as long as the process: a handler running on another
// thread while a scope ends must never write into a reused descriptor.
std::atomic<int> gReadEnd{-1};
std::atomic<int> gWriteEnd{-1};
static_assert(std::atomic<int>::is_always_lock_free, "read from a signal handler");

extern "C" void onForegroundSignal(int) {
  int saved = errno;
  char byte = 1;
  // A full pipe already holds a request; the byte may be dropped.
  ssize_t written = write(gWriteEnd.load(std::memory_order_relaxed), &byte, 1);
  (void)written;
  errno = saved;
}

bool makePipe() {
  if (gReadEnd.load() >= 0) return true;
  int ends[2];
  if (pipe2(ends, O_CLOEXEC | O_NONBLOCK) != 0) return false;
  gReadEnd.store(ends[0]);
  gWriteEnd.store(ends[1]);
  return true;
}

}  // namespace

ForegroundRequests::Scope::Scope() {
  if (!makePipe()) {
    std::fprintf(stderr, "UIApplicationMain: no pipe for raise requests (%s)\n",
                 std::strerror(errno));
    return;
  }
  take();  // a request left from an earlier run in this process is stale
  struct sigaction action {};
  action.sa_handler = onForegroundSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  installed_ = sigaction(SIGUSR1, &action, &previous_) == 0;
}

ForegroundRequests::Scope::~Scope() {
  if (installed_) sigaction(SIGUSR1, &previous_, nullptr);
}

int ForegroundRequests::fd() {
  return gReadEnd.load();
}

bool ForegroundRequests::take() {
  int fd = gReadEnd.load();
  if (fd < 0) return false;
  bool any = false;
  char bytes[64];
  for (;;) {
    ssize_t n = read(fd, bytes, sizeof bytes);
    if (n > 0) {
      any = true;
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    return any;
  }
}
