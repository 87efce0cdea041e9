#include "SpringBoard/Shell.h"

#include <signal.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "Foundation/Log.h"
#include "Foundation/NSDate.h"
#include "Foundation/NSTimer.h"
#include "Foundation/RunLoop.h"
#include "Foundation/TextValue.h"
#include "SpringBoard/NowPlayingFeed.h"
#include "SpringBoard/SpringBoard.h"
#include "TweakLoader.h"
#include "UIKit/UIKit.h"

namespace springboard {

namespace {

constexpr double kProgressInterval = 3600;

// A local "YYYY-MM-DDTHH:MM:SS" as seconds since the epoch; nullopt for
// anything else, including dates that do not exist.
std::optional<double> parseLocalTime(const std::string& text) {
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
  return static_cast<double>(t);
}

void printProgress(double origin) {
  double now = ns::RunLoop::main().now();
  std::printf("SpringBoard: %s, %.0f h simulated\n",
              ns::formatDate(now, "yyyy-MM-dd HH:mm:ss").c_str(), (now - origin) / 3600);
  std::fflush(stdout);
}

}  // namespace

const char* shellUsage() {
  return "usage: SpringBoard [--feed FILE] [--virtual] [--start YYYY-MM-DDTHH:MM:SS] "
         "[--for SECONDS]\n";
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
    } else if (arg == "--start") {
      if (!value(&text)) return false;
      options->start = parseLocalTime(text);
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
  const bool virtualClock = options.virtualClock || automation;
  if (virtualClock) {
    loop.useVirtualClock(start.value_or(loop.now()));
    // A window would put the loop back on the real clock: a simulated run
    // has none.
    setenv("CORVANE_HEADLESS", "1", 1);
  }

  const double origin = loop.now();
  NowPlayingSource::shared().play(std::move(feed), origin);
  if (options.duration && !automation)
    loop.schedule(origin + *options.duration, [&loop] { loop.stop(); });
  if (virtualClock && !automation)
    ns::NSTimer::scheduledTimer(kProgressInterval, true,
                                [origin](ns::NSTimer*) { printProgress(origin); });

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
