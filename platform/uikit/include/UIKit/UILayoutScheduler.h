// The layout pass. A view marked with setNeedsLayout asks for a pass; the
// pass runs once from the main run loop (soon after, at the current clock
// time), however many views asked, and lays out every registered root's
// views that need it, top down, roots in the order they registered. Windows
// register themselves; the views below know only this scheduler.
#pragma once

#include <vector>

#include "Foundation/RunLoop.h"
#include "UIKit/UIKitForward.h"

class UILayoutScheduler {
 public:
  // The toolkit's scheduler, on the main run loop.
  static UILayoutScheduler& shared();

  // Roots are not owned: a root removes itself before it goes.
  void addRoot(UIView* root);
  void removeRoot(UIView* root);

  // Asks for a pass from the run loop; asking again before it ran adds none.
  void schedule();
  // Runs the pass now (before a frame is drawn or a touch is delivered).
  void layoutIfNeeded();

 private:
  std::vector<UIView*> roots_;
  ns::RunLoop::TaskId task_ = 0;
};
