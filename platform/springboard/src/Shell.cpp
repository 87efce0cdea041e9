#include "SpringBoard/Shell.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <memory>

#include "CorvaneStore/StoreLayout.h"
#include "Foundation/FileSystem.h"
#include "Foundation/Log.h"
#include "Foundation/NSDate.h"
#include "Foundation/NSTimer.h"
#include "Foundation/RunLoop.h"
#include "Foundation/TextValue.h"
#include "SpringBoard/NowPlayingSource.h"
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

// One shell per device root, as a phone has one system shell: a lock the
// kernel drops when the holder dies, so a crash never blocks the next start.
// The descriptor stays open for the process's life; the lock is not passed
// to the programs the shell starts. false, said on stderr, when it is held.
bool lockDeviceRoot() {
  const std::string folder = ns::hostPath("/var/run");
  const std::string path = folder + "/SpringBoard.lock";
  std::string made;
  for (size_t slash = 1; slash != std::string::npos;) {
    slash = folder.find('/', slash + 1);
    made = folder.substr(0, slash);
    if (mkdir(made.c_str(), 0755) != 0 && errno != EEXIST) break;
  }
  int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0644);
  if (fd < 0) {
    std::fprintf(stderr, "SpringBoard: cannot open %s: %s\n", path.c_str(), std::strerror(errno));
    return false;
  }
  struct flock whole {};
  whole.l_type = F_WRLCK;
  whole.l_whence = SEEK_SET;
  if (fcntl(fd, F_SETLK, &whole) == 0) return true;
  int why = errno;
  struct flock holder {};
  holder.l_type = F_WRLCK;
  holder.l_whence = SEEK_SET;
  if (why == EACCES || why == EAGAIN) {
    // The kernel names the holder: no pid file to go stale.
    std::string pid = "unknown";
    if (fcntl(fd, F_GETLK, &holder) == 0 && holder.l_type != F_UNLCK)
      pid = std::to_string(holder.l_pid);
    std::fprintf(stderr,
                 "SpringBoard: another shell (pid %s) is running on the device root %s; "
                 "only one may record into its store\n",
                 pid.c_str(), ns::deviceRoot().c_str());
  } else {
    std::fprintf(stderr, "SpringBoard: cannot lock %s: %s\n", path.c_str(), std::strerror(why));
  }
  close(fd);
  return false;
}

// A source that follows the real world records for real: a store folder that is
// missing or cannot be written is said at once, not after hours of songs.
bool storeFolderUsable() {
  std::string folder = ns::hostPath(corvane::kStoreRoot);
  while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  struct stat st {};
  if (stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
    std::fprintf(stderr,
                 "SpringBoard: the store folder %s does not exist, so nothing would be recorded; "
                 "make it with: mkdir -p '%s' (or ./run install)\n",
                 folder.c_str(), folder.c_str());
    return false;
  }
  if (access(folder.c_str(), W_OK | X_OK) != 0) {
    std::fprintf(stderr,
                 "SpringBoard: the store folder %s is not writable, so nothing would be recorded; "
                 "make it writable with: chmod u+rwx '%s'\n",
                 folder.c_str(), folder.c_str());
    return false;
  }
  return true;
}

}  // namespace

std::string shellUsage() {
  std::string synopsis, sources, notes;
  for (const NowPlayingSourceKind& kind : nowPlayingSourceKinds()) {
    synopsis += (synopsis.empty() ? "" : " | ") + kind.synopsis;
    sources += kind.help;
    notes += kind.notes;
  }
  return "usage: SpringBoard [" + synopsis + "]\n" +
         R"(                   [--virtual] [--start YYYY-MM-DDTHH:MM:SS] [--for SECONDS]

The simulated system shell: loads the installed tweaks (the recorder) and
runs them on what its now-playing controls show.

)" + sources +
         R"(  --virtual       run on the virtual clock, as fast as the work allows,
                  with no window, printing a line each simulated hour
  --start DATE    the virtual clock's local start (with --virtual)
  --for SECONDS   end cleanly after that many seconds of the shell's clock
  -h, --help      this text

)" + notes +
         R"(Only one shell runs on a device root: a second start says which process
holds it and exits with status 1. SIGINT and SIGTERM end the shell between
two writes.

Environment:
  CORVANE_DEVICE_ROOT     the device root (default ~/.local/share/corvane/device)
  CORVANE_PLAYERS_ONLY    as --only, when the option is not given
  CORVANE_PLAYERS_IGNORE  as --ignore, when the option is not given
  CORVANE_HEADLESS        1: no window (alerts are written to standard error)
  CORVANE_AUTOMATION      a script of taps and screenshots, on the virtual clock
  CORVANE_CLOCK           the virtual clock's start for a script
  DBUS_SESSION_BUS_ADDRESS, XDG_RUNTIME_DIR  where the session bus is
  DISPLAY, WAYLAND_DISPLAY                    where a window can show

Exit status: 0 when stopped or done, 1 when it cannot start, 2 for a bad
command line.
)";
}

namespace {
// "a,b, c" as its non-empty names.
std::vector<std::string> nameList(const std::string& text) {
  std::vector<std::string> names;
  size_t at = 0;
  while (at <= text.size()) {
    size_t comma = text.find(',', at);
    if (comma == std::string::npos) comma = text.size();
    std::string name = text.substr(at, comma - at);
    size_t first = name.find_first_not_of(" \t"), last = name.find_last_not_of(" \t");
    if (first != std::string::npos) names.push_back(name.substr(first, last - first + 1));
    at = comma + 1;
  }
  return names;
}
}  // namespace

bool takeShellEnvironment(ShellOptions* options, std::string* error) {
  auto env = [](const char* name) -> std::string {
    const char* v = std::getenv(name);
    return v ? v : "";
  };
  options->automation = env("CORVANE_AUTOMATION");
  if (!options->automation.empty() && !options->start && !env("CORVANE_CLOCK").empty()) {
    // As every program of the toolkit does under a script.
    options->start = parseLocalTime(env("CORVANE_CLOCK"));
  }
  if (options->only.empty()) options->only = nameList(env("CORVANE_PLAYERS_ONLY"));
  if (options->ignore.empty()) options->ignore = nameList(env("CORVANE_PLAYERS_IGNORE"));
  const NowPlayingSourceKind* kind = findNowPlayingSourceKind(options->source);
  if (!options->automation.empty() && kind && !kind->realWorld.empty()) {
    *error = kind->option + " runs on the real clock, not under a script (CORVANE_AUTOMATION)";
    return false;
  }
  return true;
}

bool parseShellOptions(int argc, const char* const* argv, ShellOptions* options,
                       std::string* error) {
  *options = ShellOptions{};
  std::vector<std::string> sources;  // each source option given
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
    } else if (arg == "--only" || arg == "--ignore") {
      if (!value(&text)) return false;
      (arg == "--only" ? options->only : options->ignore) = nameList(text);
    } else if (arg == "--help" || arg == "-h") {
      options->help = true;
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
    } else if (const NowPlayingSourceKind* kind = findNowPlayingSourceKind(arg)) {
      options->source = kind->option;
      options->sourceValue.clear();
      if (!kind->valueName.empty() && !value(&options->sourceValue)) return false;
      if (std::find(sources.begin(), sources.end(), arg) == sources.end()) sources.push_back(arg);
    } else {
      *error = "unknown option \"" + arg + "\"";
      return false;
    }
  }
  if (sources.size() > 1) {
    // Named in either order of the command line as the message always read:
    // the later kind of the list first.
    std::vector<std::string> named;
    const auto& kinds = nowPlayingSourceKinds();
    for (auto kind = kinds.rbegin(); kind != kinds.rend(); ++kind)
      if (std::find(sources.begin(), sources.end(), kind->option) != sources.end())
        named.push_back(kind->option);
    *error = named[0] + " and " + named[1] + " are two sources of what plays: give one";
    return false;
  }
  const NowPlayingSourceKind* kind = findNowPlayingSourceKind(options->source);
  if (kind && !kind->realWorld.empty() && options->virtualClock) {
    *error = kind->option + " follows " + kind->realWorld +
             ", on the real clock: it cannot run --virtual";
    return false;
  }
  if ((!options->only.empty() || !options->ignore.empty()) && !(kind && kind->takesPlayerNames)) {
    std::string takers;
    for (const NowPlayingSourceKind& k : nowPlayingSourceKinds())
      if (k.takesPlayerNames) takers += (takers.empty() ? "" : " or ") + k.option;
    *error = "--only and --ignore choose among the desktop's players: they need " + takers;
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

  const NowPlayingSourceKind* kind = findNowPlayingSourceKind(options.source);
  std::unique_ptr<NowPlayingSource> source;
  if (kind) {
    std::string error;
    source = kind->make({options.sourceValue, options.only, options.ignore}, &error);
    if (!source) {
      std::fprintf(stderr, "SpringBoard: %s\n", error.c_str());
      return 1;
    }
  }

  if (kind && !kind->realWorld.empty() && !storeFolderUsable()) return 1;
  if (!lockDeviceRoot()) return 1;

  ns::RunLoop& loop = ns::RunLoop::main();
  const bool automation = !options.automation.empty();
  std::optional<double> start = options.start;
  const bool virtualClock = options.virtualClock || automation;
  if (virtualClock) {
    loop.useVirtualClock(start.value_or(loop.now()));
    // A window would put the loop back on the real clock: a simulated run
    // has none.
    setenv("CORVANE_HEADLESS", "1", 1);
  }

  if (!virtualClock) {
    // Said once, so a journal or a terminal shows which store this shell records into.
    std::fprintf(stderr, "SpringBoard: running on the device root %s (pid %d)\n",
                 ns::deviceRoot().c_str(), static_cast<int>(getpid()));
  }
  const double origin = loop.now();
  // From here on SIGINT and SIGTERM end the shell between two writes.
  std::optional<ns::StopOnSignals> stopSignals;
  if (!virtualClock) stopSignals.emplace();
  // Started before any timer of the shell, so a change due with a timer comes first.
  if (source) {
    std::string error;
    if (!source->start(&error)) std::fprintf(stderr, "SpringBoard: %s\n", error.c_str());
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
  if (source) source->stop();
  if (virtualClock) {
    double real =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - realStart).count();
    std::printf("SpringBoard: ran %.0f s of simulated time in %.1f s\n", loop.now() - origin, real);
  }
  return status;
}

}  // namespace springboard
