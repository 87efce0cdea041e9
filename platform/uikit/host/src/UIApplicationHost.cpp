#include "UIKitHost/UIApplicationHost.h"

#include <poll.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <functional>
#include <optional>

#include "ForegroundRequests.h"
#include "Foundation/Log.h"
#include "Foundation/RunLoop.h"
#include "UIKit/UIAlertView.h"
#include "UIKit/UIApplication.h"
#include "UIKit/UIScreen.h"
#include "UIKitHost/SDLWindowHost.h"
#include "UIKitHost/UIAutomation.h"
#include "UIKitHost/UIRenderer.h"

namespace UIKitHost {
namespace {

const char* envText(const char* name) {
  const char* v = std::getenv(name);
  return v ? v : "";
}

// Set to anything but "" and "0".
bool envFlag(const char* name) {
  const char* v = envText(name);
  return *v && std::strcmp(v, "0") != 0;
}

// The virtual clock's start for a script: the local time text, else the
// real time now.
double automationStartTime(const std::string& text) {
  std::tm tm{};
  if (std::sscanf(text.c_str(), "%d-%d-%dT%d:%d:%d", &tm.tm_year, &tm.tm_mon, &tm.tm_mday,
                  &tm.tm_hour, &tm.tm_min, &tm.tm_sec) == 6) {
    tm.tm_year -= 1900;
    tm.tm_mon -= 1;
    tm.tm_isdst = -1;
    std::time_t t = std::mktime(&tm);
    if (t != static_cast<std::time_t>(-1)) return static_cast<double>(t);
  }
  if (!text.empty())
    std::fprintf(stderr, "CORVANE_CLOCK=\"%s\" is not YYYY-MM-DDTHH:MM:SS; using now\n",
                 text.c_str());
  return ns::RunLoop::main().now();
}

// Brings the application to the front for the launcher.
void takeForegroundRequests() {
  if (!ForegroundRequests::take()) return;
  SDLWindowHost::raiseWindow();
  ns::NSLog("brought to the front");
}

int runScript(const LaunchOptions& options) {
  ns::RunLoop& loop = ns::RunLoop::main();
  if (!loop.isVirtual()) loop.useVirtualClock(automationStartTime(options.clockText));
  // Nothing waits on the virtual clock, so requests are looked for on it.
  ns::RunLoop::TaskId check = 0;
  std::function<void()> lookForRequests = [&] {
    takeForegroundRequests();
    check = loop.performAfter(0.05, lookForRequests);
  };
  check = loop.performAfter(0, lookForRequests);
  loop.runUntil(loop.now());
  std::string message;
  auto result = UIAutomation::runScriptFile(options.automationScript, &message);
  loop.cancel(check);
  if (result == UIAutomation::Status::Error) {
    std::fprintf(stderr, "automation: %s\n", message.c_str());
    return UIApplicationExitFailure;
  }
  return UIApplicationExitSuccess;
}

// Runs the main run loop as the options say; returns UIApplicationMain's
// status.
int runApplication(const LaunchOptions& options) {
  if (!options.automationScript.empty()) return runScript(options);
  ns::RunLoop& loop = ns::RunLoop::main();
  // A loop on the real clock (a window puts it there) ends cleanly on
  // SIGINT and SIGTERM; a virtual one never waits for them.
  std::optional<ns::StopOnSignals> stopSignals;
  if (options.wantsWindow() || !loop.isVirtual()) stopSignals.emplace();
  if (options.wantsWindow()) {
    std::string error;
    if (SDLWindowHost::runMainLoop(options.windowScale, &error, takeForegroundRequests,
                                   options.exitAfterFirstFrame, ForegroundRequests::fd()))
      return UIApplicationExitSuccess;
    std::fprintf(stderr, "UIApplicationMain: no window (%s); running without one\n", error.c_str());
    if (loop.isVirtual()) stopSignals.reset();
  }
  if (options.exitAfterFirstFrame) {
    // Headless, the frame a window would show first is drawn off-screen,
    // as a window draws it: before anything else runs.
    UIRenderer().renderScreen();
    return UIApplicationExitSuccess;
  }
  // Headless: the request pipe is one more descriptor the loop waits on, so
  // a request wakes it and nothing else does.
  // With no screen every alert is said on standard error, as it would show.
  UIAlertView::setAppearanceHandler([](UIAlertView* alert) {
    ns::NSLog("alert \"%s\": %s", alert->title().c_str(), alert->message().c_str());
  });
  ns::RunLoop::WatchId requests = 0;
  if (ForegroundRequests::fd() >= 0)
    requests = loop.watchDescriptor(ForegroundRequests::fd(), POLLIN, takeForegroundRequests);
  takeForegroundRequests();
  loop.run();
  if (requests) loop.unwatchDescriptor(requests);
  UIAlertView::setAppearanceHandler(nullptr);
  return UIApplicationExitSuccess;
}

}  // namespace

std::optional<double> parseWindowScale(const char* text) {
  if (!text || !*text) return std::nullopt;
  char* end = nullptr;
  double s = std::strtod(text, &end);
  if (*end != '\0' || !(s >= 0.25 && s <= 4)) return std::nullopt;
  return s;
}

LaunchOptions LaunchOptions::fromEnvironment() {
  LaunchOptions o;
  o.automationScript = envText("CORVANE_AUTOMATION");
  o.clockText = envText("CORVANE_CLOCK");
  o.headless = envFlag("CORVANE_HEADLESS");
  o.displayNamed = *envText("DISPLAY") || *envText("WAYLAND_DISPLAY");
  o.exitAfterFirstFrame = envFlag("CORVANE_EXIT_AFTER_FIRST_FRAME");
  if (const char* scale = envText("CORVANE_WINDOW_SCALE"); *scale) {
    if (auto s = parseWindowScale(scale))
      o.windowScale = *s;
    else
      std::fprintf(stderr, "CORVANE_WINDOW_SCALE=\"%s\" is not a number from 0.25 to 4; ignored\n",
                   scale);
  }
  if (const char* screen = envText("CORVANE_SCREEN"); *screen) {
    Screen s{};
    if (UIScreen::parseProfile(screen, &s.width, &s.height, &s.scale))
      o.screen = s;
    else
      std::fprintf(stderr, "CORVANE_SCREEN=\"%s\" is not WxH@S; using 320x568@2\n", screen);
  }
  return o;
}

bool LaunchOptions::wantsWindow() const {
  return displayNamed && automationScript.empty() && !headless;
}

struct UIApplicationHost::State {
  ForegroundRequests::Scope foregroundRequests;
};

UIApplicationHost::UIApplicationHost(const LaunchOptions& options)
    : state_(std::make_unique<State>()), screenSet_(options.screen.has_value()) {
  if (options.screen)
    UIScreen::setDeviceProfile(options.screen->width, options.screen->height,
                               options.screen->scale);
  UIApplicationSetRunner([options] { return runApplication(options); });
}

UIApplicationHost::~UIApplicationHost() {
  UIApplicationSetRunner(nullptr);
  if (screenSet_) UIScreen::resetDeviceProfile();
}

}  // namespace UIKitHost

namespace UIKitHost {

const char* const kWindowOptionsHelp =
    "  --scale N    window pixels per screen point, 0.25 to 4 (default: the display's)\n"
    "  -h, --help   show this help and exit\n";

const char* const kEnvironmentHelp =
    "  CORVANE_DEVICE_ROOT   host folder the device's paths live under\n"
    "                        (default ~/.local/share/corvane/device)\n"
    "  CORVANE_WINDOW_SCALE  as --scale (--scale wins)\n"
    "  CORVANE_SCREEN        the device's screen, WxH@S in points (default 320x568@2)\n"
    "  CORVANE_HEADLESS      1: no window even with a display\n"
    "  CORVANE_AUTOMATION    host path of a script of taps, drags and keys to run\n"
    "                        on a virtual clock instead of a window\n"
    "  CORVANE_CLOCK         YYYY-MM-DDTHH:MM:SS: where that clock starts\n"
    "  CORVANE_EXIT_AFTER_FIRST_FRAME  1: end once the first frame is drawn\n"
    "  CORVANE_LOG_ECHO      set: log lines go to standard error too\n"
    "  DISPLAY, WAYLAND_DISPLAY  the desktop a window opens on\n";

int parseCommandLine(int argc, char** argv, const char* usage, LaunchOptions* options) {
  const char* program = argc > 0 && argv[0] ? argv[0] : "program";
  if (const char* slash = std::strrchr(program, '/')) program = slash + 1;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (arg == "-h" || arg == "--help") {
      std::printf("%s\nOptions:\n%s\nEnvironment:\n%s", usage, kWindowOptionsHelp,
                  kEnvironmentHelp);
      return 0;
    }
    if (arg == "--scale" || arg.rfind("--scale=", 0) == 0) {
      const char* value = nullptr;
      if (arg == "--scale")
        value = i + 1 < argc ? argv[++i] : nullptr;
      else
        value = argv[i] + 8;
      auto scale = parseWindowScale(value);
      if (!scale) {
        std::fprintf(stderr, "%s: --scale needs a number from 0.25 to 4; try '%s --help'\n",
                     program, program);
        return 2;
      }
      options->windowScale = *scale;
      continue;
    }
    if (arg.size() > 1 && arg[0] == '-') {
      std::fprintf(stderr, "%s: unknown option '%s'; try '%s --help'\n", program, arg.c_str(),
                   program);
      return 2;
    }
  }
  return -1;
}

}  // namespace UIKitHost
