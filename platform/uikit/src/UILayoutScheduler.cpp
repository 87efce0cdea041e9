#include "UIKit/UILayoutScheduler.h"

#include <algorithm>

#include "UIKit/UIView.h"

UILayoutScheduler& UILayoutScheduler::shared() {
  static UILayoutScheduler scheduler;
  return scheduler;
}

void UILayoutScheduler::addRoot(UIView* root) {
  if (root && std::find(roots_.begin(), roots_.end(), root) == roots_.end()) roots_.push_back(root);
}

void UILayoutScheduler::removeRoot(UIView* root) {
  std::erase(roots_, root);
}

void UILayoutScheduler::schedule() {
  ns::RunLoop& loop = ns::RunLoop::main();
  if (task_ && loop.isScheduled(task_)) return;
  task_ = loop.performAfter(0, [this] {
    task_ = 0;
    layoutIfNeeded();
  });
}

void UILayoutScheduler::layoutIfNeeded() {
  // Held for the pass: a layout may close a window.
  std::vector<objc::Ref<UIView>> roots(roots_.begin(), roots_.end());
  for (auto& root : roots) root->layoutIfNeeded();
}
