// The automation driver: runs a script of user actions against the running
// toolkit, on the virtual clock. Any program built on the toolkit offers it
// through its host (UIApplicationHost.h) and CORVANE_AUTOMATION
// (the script's host path). One command a line; '#' starts a comment:
//
//   tap X Y                    touch down and up at a screen point
//   drag X1 Y1 X2 Y2 SECONDS   down, move in a straight line over SECONDS in
//                              steps of 1/60 s, lift at the end point (the
//                              speed at the lift is that of the last step)
//   type TEXT                  type TEXT (rest of the line) into the first
//                              responder
//   key return|backspace       press Return / delete backwards there
//   wait SECONDS               let the clock advance, running what is due
//   dump PATH                  write the view tree as JSON to a host path
//   screenshot PATH            write the screen as a PNG at the device's
//                              scale to a host path
//   alert dismiss              tap the button of the alert showing
//   quit                       end the program cleanly
//
// A tap takes no time on the clock. After every command the run loop runs
// what is due at the current time, so work deferred to the run loop (a
// zero-length animation's completion, a layout pass) is done before the next
// command.
#pragma once

#include <string>

#include "UIKit/UIKitForward.h"

class UIAutomation {
 public:
  enum class Status { Continue, Quit, Error };

  // Runs one line (lineNumber only for messages). On Error, *message says
  // what was wrong, naming the line: "line 3: unknown command \"tapp\"".
  static Status runLine(const std::string& line, int lineNumber, std::string* message);
  // Runs a whole script text: stops at quit, at the end, or at the first bad
  // command (its message goes to *message).
  static Status runScript(const std::string& text, std::string* message);
  // Reads and runs a script file (host path); a file that cannot be read is
  // an error.
  static Status runScriptFile(const std::string& hostPath, std::string* message);

  // The dump's JSON text: every window (oldest first) and the alerts.
  //   {"views": [ {"class": "UIWindow", "frame": [x, y, w, h], "alpha": 1,
  //                "hidden": false, "text": "...", "children": [...]} ],
  //    "alerts": [ {"title": "...", "message": "...", "button": "..."} ]}
  // "frame" is in screen coordinates from presentation values; "text" only
  // for views that show text. Numbers are printed with up to two decimals.
  static std::string dumpJSON();
  // The window the driver's touches go to: the key window, else the newest.
  static UIWindow* targetWindow();
};
