// The SpringBoard program: its command line and its run. `SpringBoard
// --help` says every option and the environment it reads (shellUsage).
// The launch options are read once, in main: parseShellOptions for the
// command line, then takeShellEnvironment for what the environment adds.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace springboard {

struct ShellOptions {
  // The option of the now-playing source (see NowPlayingSource.h) and its
  // value (--feed: a host path); empty: nothing ever plays.
  std::string source, sourceValue;
  bool virtualClock = false;
  bool help = false;
  std::optional<double> start;  // seconds since the epoch
  std::optional<double> duration;
  // Players to follow only / never, by bus name or Identity (for a source
  // that takes them: --players).
  std::vector<std::string> only, ignore;
  std::string automation;  // CORVANE_AUTOMATION: a script on the virtual clock
};

// false with *error saying what is wrong (an unknown option: "unknown
// option \"X\"").
bool parseShellOptions(int argc, const char* const* argv, ShellOptions* options,
                       std::string* error);
// Adds what the environment says (CORVANE_AUTOMATION, CORVANE_CLOCK,
// CORVANE_PLAYERS_ONLY, CORVANE_PLAYERS_IGNORE); the command line wins.
// false with *error when a value cannot be used.
bool takeShellEnvironment(ShellOptions* options, std::string* error);
std::string shellUsage();

// Makes the source (one that cannot be used, such as a feed that cannot be
// read, ends the shell at once with status 1), loads the tweaks for
// "com.apple.springboard", runs the application, stops the source and
// returns the exit status.
int runShell(const ShellOptions& options, int argc, char** argv);

}  // namespace springboard
