// The desktop host of a program on the toolkit: what its main reads once
// from the command line and the environment, and how the application runs
// once it has launched (an automation script, a window, or headless).
//
//   int main(int argc, char** argv) {
//     UIKitHost::LaunchOptions options = UIKitHost::LaunchOptions::fromEnvironment();
//     if (int status = UIKitHost::parseCommandLine(argc, argv, usage, &options); status >= 0)
//       return status;
//     UIKitHost::UIApplicationHost host(options);
//     return UIApplicationMain(argc, argv, nullptr, "AppDelegate");
//   }
#pragma once

#include <memory>
#include <optional>
#include <string>

namespace UIKitHost {

struct LaunchOptions {
  // CORVANE_AUTOMATION: the host path of a script to run on the virtual
  // clock instead of a window (see UIAutomation.h).
  std::string automationScript;
  // CORVANE_CLOCK, "YYYY-MM-DDTHH:MM:SS" local: where a script's virtual
  // clock starts (the real time now when absent or unreadable).
  std::string clockText;
  // CORVANE_HEADLESS (any value but "" and "0"): no window.
  bool headless = false;
  // DISPLAY or WAYLAND_DISPLAY names a display.
  bool displayNamed = false;
  // CORVANE_EXIT_AFTER_FIRST_FRAME (any value but "" and "0"): return once
  // the first frame is drawn, so a cold start can be timed.
  bool exitAfterFirstFrame = false;
  // CORVANE_WINDOW_SCALE (0.25 to 4), or --scale N: window pixels per
  // screen point. 0: the display's own scale.
  double windowScale = 0;
  // CORVANE_SCREEN ("WxH@S"): the device's screen; nullopt keeps the default.
  struct Screen {
    double width, height, scale;
  };
  std::optional<Screen> screen;

  // Reads the variables above; warns on standard error about a value it
  // cannot use (and ignores it).
  static LaunchOptions fromEnvironment();

  // Whether a window is wanted: a display is named and neither a script nor
  // headless asks for none.
  bool wantsWindow() const;
};

// Parses a window scale ("2", "1.5"): 0.25 to 4, else nullopt.
std::optional<double> parseWindowScale(const char* text);

// The options every windowed program accepts, for its --help.
extern const char* const kWindowOptionsHelp;
// The environment variables the host reads, for a program's --help.
extern const char* const kEnvironmentHelp;

// Reads the command line of a windowed program: --scale N (into
// options->windowScale) and --help / -h (prints usage, then the window
// options and the environment, and returns 0). An unknown option or a bad
// value is one line on standard error naming it and the help hint; returns
// 2. Anything else: -1, go on. Arguments that are not options are left to
// the program.
int parseCommandLine(int argc, char** argv, const char* usage, LaunchOptions* options);

// While it lives, UIApplicationMain runs the application as the options say,
// SIGUSR1 (the launcher's raise request) is caught, and the device's screen
// is the options' one.
class UIApplicationHost {
 public:
  explicit UIApplicationHost(const LaunchOptions& options);
  ~UIApplicationHost();
  UIApplicationHost(const UIApplicationHost&) = delete;
  UIApplicationHost& operator=(const UIApplicationHost&) = delete;

 private:
  struct State;
  std::unique_ptr<State> state_;
  bool screenSet_;
};

}  // namespace UIKitHost
