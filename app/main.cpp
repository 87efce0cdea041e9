// The app's entry point: the application shell makes the delegate by name
// and the window's root from the interface declared in the bundle.
#include "QuartzCore/CGContext.h"
#include "UIKit/UIApplication.h"
#include "UIKitHost/UIApplicationHost.h"

// In sanitizer builds the leak check passes over what system libraries keep
// for the life of the process: fontconfig's caches and the session-bus
// client the window library starts for input methods.
extern "C" const char* __lsan_default_suppressions() {
  return "leak:libfontconfig.so\nleak:libdbus-1.so\n";
}

int main(int argc, char** argv) {
  UIKitHost::LaunchOptions options = UIKitHost::LaunchOptions::fromEnvironment();
  if (int status = UIKitHost::parseCommandLine(
          argc, argv,
          "Usage: Corvane [--scale N]\n"
          "Shows the music diary the recorder keeps under the device root: one day's\n"
          "songs ranked by time listened or by plays; swipe or scroll the card to move\n"
          "between days, type a day (yyyy-MM-dd) into it, or pick one from the menu.",
          &options);
      status >= 0)
    return status;
  UIKitHost::UIApplicationHost host(options);
  // The first frame needs the fonts: they get ready on a thread of pango's
  // while the main screen is made (on a long history, while the title map
  // is read).
  CGContext::prepareText();
  return UIApplicationMain(argc, argv, nullptr, "AppDelegate");
}
