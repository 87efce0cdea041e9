// Requests to bring the running application to the front. The launcher
// sends SIGUSR1 to an application that is already running instead of
// starting a second one.
//
// The signal handler only writes one byte to a pipe (write is
// async-signal-safe); the main run loop reads the pipe and does the work.
#pragma once

#include <signal.h>

class ForegroundRequests {
 public:
  // Catches SIGUSR1 while it lives; puts back what was there before.
  class Scope {
   public:
    Scope();
    ~Scope();
    Scope(const Scope&) = delete;
    Scope& operator=(const Scope&) = delete;

   private:
    struct sigaction previous_ {};
    bool installed_ = false;
  };

  // The pipe's read end, readable while a request waits; -1 before the
  // first Scope or when no pipe could be made.
  static int fd();
  // Takes every waiting request; true when there was at least one.
  static bool take();
};
