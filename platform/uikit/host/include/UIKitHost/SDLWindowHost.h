// A real window on the desktop that shows the screen and turns the mouse and
// keyboard into touches and typing.
//
// The window is the screen's size in points times the window scale the
// host passes (say 2 for a 640 x 1136 window on a large desktop). The picture is drawn at the
// window's own pixel density, so it is sharp on high-density displays too.
//
// While it is open the main run loop runs on the real clock and waits for
// window events instead of sleeping. A frame is drawn when what the screen
// shows has changed, at most 60 times a second; while an animation or a
// scroll view is moving the loop wakes at that rate, and while nothing moves
// it sleeps until an event or a timer is due. Closing the window stops the
// run loop.
//
// Input: the left mouse button is the finger (press, move while pressed,
// release); while an alert is showing it presses the alert's buttons. Typed
// text goes to the first responder, Return to its insertReturn (a text
// field asks its delegate's textFieldShouldReturn:), Backspace to its
// deleteBackward.
#pragma once

#include <functional>
#include <string>

class SDLWindowHost {
 public:
  // Opens the window (windowScale window pixels a point; 0 or less: 1) and runs the main run loop
  // until the window is closed or the loop is stopped, then closes the window. Returns false at
  // once (with *error saying why) when no window can be opened. afterEachWait runs on the main
  // thread each time the loop has waited for events (at least twice a second). With firstFrameOnly
  // it closes the window as soon as the first frame is shown. Where the loop
  // waits on the display's descriptor, afterEachWait runs instead when wakeFd
  // is readable.
  static bool runMainLoop(double windowScale, std::string* error = nullptr,
                          const std::function<void()>& afterEachWait = nullptr,
                          bool firstFrameOnly = false, int wakeFd = -1);

  // Brings the open window to the front (restoring it when minimised);
  // false when no window is open.
  static bool raiseWindow();
};
