#include "SpringBoard/Shell.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <memory>

#include "Foundation/Log.h"
#include "Foundation/NSDate.h"
#include "Foundation/NSTimer.h"
#include "Foundation/RunLoop.h"
#include "Foundation/TextValue.h"
#include "SpringBoard/DesktopPlayers.h"
#include "SpringBoard/NowPlayingFeed.h"
#include "SpringBoard/SpringBoard.h"
#include "TweakLoader.h"
#include "UIKit/UIKit.h"
#include "UIKitHost/UIApplicationHost.h"

namespace springboard {

namespace {

constexpr double kProgressInterval = 3600;

// A local "YYYY-MM-DDTHH:MM:SS" as seconds since the epoch; nullopt for
// anything else, including dates that do not exist and times the clocks skip
// at a daylight-saving change (*skipped says so).
std::optional<double> parseLocalTime(const std::string& text, bool* skipped = nullptr) {
  if (skipped) *skipped = false;
  std::tm tm{};
  char tail = 0;
  if (std::sscanf(text.c_str(), "%4d-%2d-%2dT%2d:%2d:%2d%c", &tm.tm_year, &tm.tm_mon, &tm.tm_mday,
                  &tm.tm_hour, &tm.tm_min, &tm.tm_sec, &tail) != 6)
    return std::nullopt;
  std::tm wanted = tm;
  tm.tm_year -= 1900;
  tm.tm_mon -= 1;
  tm.tm_isdst = -1;
  std::time_t t = std::mktime(&tm);
  if (t == static_cast<std::time_t>(-1)) return std::nullopt;
  // mktime carries 2015-02-30 over to March: such a date was not a date.
  if (tm.tm_year + 1900 != wanted.tm_year || tm.tm_mon + 1 != wanted.tm_mon ||
      tm.tm_mday != wanted.tm_mday || tm.tm_min != wanted.tm_min || tm.tm_sec != wanted.tm_sec)
    return std::nullopt;
  // A time inside a daylight-saving gap comes back an hour off: no clock
  // ever shows it.
  if (tm.tm_hour != wanted.tm_hour) {
    if (skipped) *skipped = true;
    return std::nullopt;
  }
  return static_cast<double>(t);
}

void printProgress(double origin) {
  double now = ns::RunLoop::main().now();
  std::printf("SpringBoard: %s, %.0f h simulated\n",
              ns::formatDate(now, "yyyy-MM-dd HH:mm:ss").c_str(), (now - origin) / 3600);
  std::fflush(stdout);
}

// SIGINT and SIGTERM reach the run loop through this pipe.
int stopPipe[2] = {-1, -1};

void onStopSignal(int signal) {
  char byte = static_cast<char>(signal);
  [[maybe_unused]] ssize_t n = write(stopPipe[1], &byte, 1);
  // A second signal ends the shell at once.
  ::signal(signal, SIG_DFL);
}

void stopOnSignals() {
  if (pipe2(stopPipe, O_CLOEXEC | O_NONBLOCK) != 0) return;
  ns::RunLoop::main().watchDescriptor(stopPipe[0], POLLIN, [] {
    char byte;
    while (read(stopPipe[0], &byte, 1) > 0) {
    }
    ns::RunLoop::main().stop();
  });
  struct sigaction stop {};
  stop.sa_handler = onStopSignal;
  sigaction(SIGINT, &stop, nullptr);
  sigaction(SIGTERM, &stop, nullptr);
}

// One line for every song the controls change to.
void printSongs(const DesktopPlayers& players) {
  auto last = std::make_shared<NowPlayingState>();
  NowPlayingSource::shared().addObserver([last, &players](const NowPlayingState& state) {
    if (state.title == last->title && state.album == last->album && state.artist == last->artist)
      return;
    *last = state;
    std::string when = ns::formatDate(ns::RunLoop::main().now(), "yyyy-MM-dd HH:mm:ss");
    if (!state.title) {
      std::printf("%s  nothing playing\n", when.c_str());
    } else {
      std::string player = players.chosenPlayer();
      player.erase(0, std::min(player.size(), sizeof "org.mpris.MediaPlayer2." - 1));
      std::printf("%s  %s  (%s, %s; %s)\n", when.c_str(), state.title->c_str(),
                  state.artist.value_or("no artist").c_str(),
                  state.album.value_or("no album").c_str(), player.c_str());
    }
    std::fflush(stdout);
  });
}

}  // namespace

const char* shellUsage() {
  return "usage: SpringBoard [--feed FILE | --players] [--virtual] "
         "[--start YYYY-MM-DDTHH:MM:SS] [--for SECONDS]\n";
}

bool parseShellOptions(int argc, const char* const* argv, ShellOptions* options,
                       std::string* error) {
  *options = ShellOptions{};
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    auto value = [&](std::string* out) {
      if (i + 1 >= argc) {
        *error = arg + " needs a value";
        return false;
      }
      *out = argv[++i];
      return true;
    };
    std::string text;
    if (arg == "--virtual") {
      options->virtualClock = true;
    } else if (arg == "--feed") {
      if (!value(&options->feed)) return false;
    } else if (arg == "--players") {
      options->players = true;
    } else if (arg == "--start") {
      if (!value(&text)) return false;
      bool skipped = false;
      options->start = parseLocalTime(text, &skipped);
      if (skipped) {
        *error = "--start \"" + text +
                 "\" does not exist here: the clocks skip it at a daylight-saving change";
        return false;
      }
      if (!options->start) {
        *error = "--start \"" + text + "\" is not a local date and time YYYY-MM-DDTHH:MM:SS";
        return false;
      }
    } else if (arg == "--for") {
      if (!value(&text)) return false;
      char* end = nullptr;
      double seconds = std::strtod(text.c_str(), &end);
      if (text.empty() || *end || !std::isfinite(seconds) || seconds <= 0) {
        *error = "--for \"" + text + "\" is not a positive number of seconds";
        return false;
      }
      options->duration = seconds;
    } else {
      *error = "unknown option \"" + arg + "\"";
      return false;
    }
  }
  if (options->players && !options->feed.empty()) {
    *error = "--players and --feed are two sources of what plays: give one";
    return false;
  }
  if (options->players && options->virtualClock) {
    *error = "--players follows real players, on the real clock: it cannot run --virtual";
    return false;
  }
  if (options->start && !options->virtualClock) {
    *error = "--start needs --virtual (the real clock cannot be set)";
    return false;
  }
  return true;
}

int runShell(const ShellOptions& options, int argc, char** argv) {
  // The launchers a tweak starts are never waited for; the kernel reaps them.
  struct sigaction reap {};
  reap.sa_handler = SIG_DFL;
  reap.sa_flags = SA_NOCLDWAIT;
  sigaction(SIGCHLD, &reap, nullptr);

  std::vector<FeedEntry> feed;
  if (!options.feed.empty()) {
    std::string error;
    auto loaded = loadFeedFile(options.feed, &error);
    if (!loaded) {
      std::fprintf(stderr, "SpringBoard: %s\n", error.c_str());
      return 1;
    }
    feed = std::move(*loaded);
  }

  ns::RunLoop& loop = ns::RunLoop::main();
  const char* script = std::getenv("CORVANE_AUTOMATION");
  const bool automation = script && *script;
  std::optional<double> start = options.start;
  if (automation && !start) {
    // As every program of the toolkit does under a script.
    if (const char* clock = std::getenv("CORVANE_CLOCK")) start = parseLocalTime(clock);
  }
  if (automation && options.players) {
    std::fprintf(stderr, "SpringBoard: --players runs on the real clock, not under a script\n");
    return 1;
  }
  const bool virtualClock = options.virtualClock || automation;
  if (virtualClock) {
    loop.useVirtualClock(start.value_or(loop.now()));
    // A window would put the loop back on the real clock: a simulated run
    // has none.
    setenv("CORVANE_HEADLESS", "1", 1);
  }

  const double origin = loop.now();
  NowPlayingSource::shared().play(std::move(feed), origin);
  if (!virtualClock) stopOnSignals();
  // Lives to the end of the process: its tasks and the bus's fd are the loop's.
  static DesktopPlayers players;
  if (options.players) {
    printSongs(players);
    std::string error;
    if (!players.start("", &error)) {
      // Where it was looked for, as the bus library looks.
      std::string where;
      if (const char* address = std::getenv("DBUS_SESSION_BUS_ADDRESS"))
        where = std::string("at ") + address;
      else if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"))
        where = std::string("at ") + runtime + "/bus";
      else
        where = "neither DBUS_SESSION_BUS_ADDRESS nor XDG_RUNTIME_DIR is set";
      std::fprintf(stderr,
                   "SpringBoard: no session bus (%s; %s): the desktop's players cannot be "
                   "followed; nothing is playing\n",
                   where.c_str(), error.c_str());
    }
  }
  if (options.duration && !automation)
    loop.schedule(origin + *options.duration, [&loop] { loop.stop(); });
  if (virtualClock && !automation)
    ns::NSTimer::scheduledTimer(kProgressInterval, true,
                                [origin](ns::NSTimer*) { printProgress(origin); });

  // Read after the shell has settled the environment (a simulated run has no
  // window), before a tweak looks at the screen.
  UIKitHost::UIApplicationHost host(UIKitHost::LaunchOptions::fromEnvironment());
  substrate::loadTweaks("com.apple.springboard");
  UIApplicationSetMainInterface("SBHomeScreenViewController");
  auto realStart = std::chrono::steady_clock::now();
  int status = UIApplicationMain(argc, argv, "SpringBoard", "SBApplicationDelegate");
  if (virtualClock) {
    double real =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - realStart).count();
    std::printf("SpringBoard: ran %.0f s of simulated time in %.1f s\n", loop.now() - origin, real);
  }
  return status;
}

}  // namespace springboard
