// The app's entry point: the application shell makes the delegate by name
// and the window's root from the interface declared in the bundle.
#include "QuartzCore/CGContext.h"
#include "UIKit/UIApplication.h"

// In sanitizer builds the leak check passes over what system libraries keep
// for the life of the process: fontconfig's caches and the session-bus
// client the window library starts for input methods.
extern "C" const char* __lsan_default_suppressions() {
  return "leak:libfontconfig.so\nleak:libdbus-1.so\n";
}

int main(int argc, char** argv) {
  // The first frame needs the fonts: they get ready on a thread of pango's
  // while the main screen is made (on a long history, while the title map
  // is read).
  CGContext::prepareText();
  return UIApplicationMain(argc, argv, nullptr, "AppDelegate");
}
