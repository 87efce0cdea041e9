// The block-animation engine behind UIView::animateWithDuration: a stack of
// animation contexts (one per block being run, innermost last) that
// UIView::setAnimatableLayerValue consults. Contexts are pushed and popped
// only by Scope, so an exception or an early return leaves the stack as it
// found it.
#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "QuartzCore/CAAnimation.h"
#include "QuartzCore/CALayer.h"
#include "UIKit/UIView.h"

class UIViewAnimation {
 public:
  // The animations of one block. The count starts at one for the block
  // itself and is released when the block's step has run, so the completion
  // runs exactly once, after the last animation stopped.
  struct Group {
    int pending = 1;
    bool finished = true;
    std::function<void(bool)> completion;

    void release(bool animationFinished);
  };

  struct Context {
    double duration = 0;
    double delay = 0;
    CAMediaTimingFunction timing;
    std::shared_ptr<Group> group;  // null inside performWithoutAnimation
    bool enabled = false;          // animations were on when the block began
  };

  // Keeps a context on the engine's stack for its own lifetime.
  class Scope {
   public:
    Scope(UIViewAnimation& engine, Context context);
    ~Scope();
    Scope(const Scope&) = delete;
    Scope& operator=(const Scope&) = delete;

   private:
    UIViewAnimation& engine_;
    size_t depth_;
  };

  // The toolkit's engine, driven by the main run loop's clock.
  static UIViewAnimation& shared();

  void animate(double duration, double delay, UIViewAnimationOptions options,
               const std::function<void()>& animations, std::function<void(bool)> completion);
  void performWithoutAnimation(const std::function<void()>& actions);

  bool enabled() const { return enabled_; }
  void setEnabled(bool enabled) { enabled_ = enabled; }
  // True while an animation block's step is running.
  bool inAnimationBlock() const;
  // Sets a layer property, with an animation from its presentation value
  // when the innermost context animates.
  void setLayerValue(CALayer* layer, const char* keyPath, const CAValue& value);

 private:
  std::vector<Context> stack_;
  bool enabled_ = true;
};
