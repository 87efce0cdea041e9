// The SpringBoard program: its command line and its run.
//
//   SpringBoard [--feed FILE | --players] [--virtual] [--start YYYY-MM-DDTHH:MM:SS]
//               [--for SECONDS]
//
// --feed plays a now-playing feed (see NowPlayingFeed.h); --players follows
// the desktop's music players on the session bus (see DesktopPlayers.h) on
// the real clock and prints a line for every song the controls change to
// (a missing bus is said once and nothing plays); --virtual runs on
// the virtual clock (as fast as the work allows), starting at --start (local
// time) or now, shows no window and prints a progress line each simulated
// hour; --for ends the shell cleanly after that many seconds of its clock.
// The device root is CORVANE_DEVICE_ROOT. With CORVANE_AUTOMATION the shell
// always runs on the virtual clock and the script decides when it ends. On
// the real clock SIGINT and SIGTERM end the shell between two run-loop
// tasks, so no write is cut short.
#pragma once

#include <optional>
#include <string>

namespace springboard {

struct ShellOptions {
  std::string feed;  // host path; empty: nothing ever plays
  bool players = false;
  bool virtualClock = false;
  std::optional<double> start;  // seconds since the epoch
  std::optional<double> duration;
};

// false with *error saying what is wrong.
bool parseShellOptions(int argc, const char* const* argv, ShellOptions* options,
                       std::string* error);
const char* shellUsage();

// Loads the feed (a feed that cannot be read ends the shell at once with
// status 1), loads the tweaks for "com.apple.springboard" and runs the
// application; returns the exit status.
int runShell(const ShellOptions& options, int argc, char** argv);

}  // namespace springboard
