// Scroll views: a window onto content larger than the view. The content
// offset is the origin of the bounds, so subviews move as the offset changes.
//
// A touch that moves far enough becomes a drag: the content follows the
// finger (clamped to the content, no rubber band) and, on lift, either stops
// or decelerates. With paging on, the lift chooses a page (the next one in
// the direction of a fast flick, otherwise the nearest) and the offset glides
// there; a lift exactly on a page boundary with no speed does not decelerate.
// Without paging, a lift with speed carries the content on with friction.
//
// Every movement is a pure function of the main run loop's clock, stepped
// 60 times a second from the run loop; nothing reads the wall clock.
//
// Delegate calls, in order: scrollViewWillBeginDragging, scrollViewDidScroll
// per move, scrollViewDidEndDragging(willDecelerate), then when decelerating
// scrollViewWillBeginDecelerating, scrollViewDidScroll per step and
// scrollViewDidEndDecelerating. Setting the offset by program calls
// scrollViewDidScroll at once when the value changes; an animated offset
// calls it per step and ends with scrollViewDidEndScrollingAnimation, never
// scrollViewDidEndDecelerating.
#pragma once

#include "Foundation/RunLoop.h"
#include "UIKit/UIGestureRecognizer.h"
#include "UIKit/UIView.h"

class UIScrollView;

// The scroll view's delegate: an objc object that also implements this
// interface. Every method does nothing by default.
class UIScrollViewDelegate {
 public:
  virtual ~UIScrollViewDelegate() = default;
  virtual void scrollViewDidScroll(UIScrollView*) {}
  virtual void scrollViewWillBeginDragging(UIScrollView*) {}
  virtual void scrollViewDidEndDragging(UIScrollView*, bool /*willDecelerate*/) {}
  virtual void scrollViewWillBeginDecelerating(UIScrollView*) {}
  virtual void scrollViewDidEndDecelerating(UIScrollView*) {}
  virtual void scrollViewDidEndScrollingAnimation(UIScrollView*) {}
};

class UIScrollView : public UIView {
  OBJC_CLASS(UIScrollView)
 public:
  explicit UIScrollView(CGRect frame = CGRectZero);
  ~UIScrollView() override;

  // How a drag and its deceleration behave; public so tests can reason
  // about them.
  // A touch becomes a drag once it has moved this far from where it started.
  static constexpr double kDragThreshold = 10;
  // With paging, a lift faster than this (points per second) turns the page.
  static constexpr double kPagingFlickSpeed = 300;
  // A paging or animated move takes this long.
  static constexpr double kPagingDuration = 0.3;
  static constexpr double kAnimationDuration = 0.3;
  // Without paging, speed decays by this factor per millisecond, and the
  // content stops once slower than kMinimumMomentumSpeed.
  static constexpr double kDecelerationRate = 0.998;
  static constexpr double kMinimumMomentumSpeed = 10;
  // A finger that rests this long before lifting lifts with no speed.
  static constexpr double kRestInterval = 0.1;
  static constexpr double kStepInterval = 1.0 / 60;

  // --- content ----------------------------------------------------------------
  CGSize contentSize() const { return contentSize_; }
  void setContentSize(CGSize size) { contentSize_ = size; }
  CGPoint contentOffset() const { return bounds().origin; }
  // Stops any deceleration or offset animation, moves at once and calls
  // scrollViewDidScroll when the offset changed. Not clamped to the content.
  void setContentOffset(CGPoint offset);
  // Animated: glides there over kAnimationDuration (scrollViewDidScroll per
  // step, then scrollViewDidEndScrollingAnimation); nothing happens when the
  // offset is already there.
  void setContentOffset(CGPoint offset, bool animated);

  // --- behaviour (flags) ----------------------------------------------------
  bool isPagingEnabled() const { return pagingEnabled_; }
  void setPagingEnabled(bool on) { pagingEnabled_ = on; }
  bool isScrollEnabled() const { return scrollEnabled_; }
  void setScrollEnabled(bool on) { scrollEnabled_ = on; }
  // Stored only: drags stop at the edges of the content.
  bool bounces() const { return bounces_; }
  void setBounces(bool on) { bounces_ = on; }
  // Stored only: no indicator views are drawn.
  bool showsHorizontalScrollIndicator() const { return showsHorizontal_; }
  void setShowsHorizontalScrollIndicator(bool on) { showsHorizontal_ = on; }
  bool showsVerticalScrollIndicator() const { return showsVertical_; }
  void setShowsVerticalScrollIndicator(bool on) { showsVertical_ = on; }

  // Held weakly, as on the platform. An object that does not implement
  // UIScrollViewDelegate is never called.
  objc::Object* delegate() const { return delegate_.get(); }
  virtual void setDelegate(objc::Object* delegate) { delegate_ = delegate; }

  // --- state ----------------------------------------------------------------
  // A finger is down on the scroll view (from touch-down to lift).
  bool isTracking() const { return touchDown_; }
  // A drag is in progress (from scrollViewWillBeginDragging to the lift).
  bool isDragging() const { return dragging_; }
  bool isDecelerating() const {
    return motion_.kind == Motion::Kind::Paging || motion_.kind == Motion::Kind::Momentum;
  }
  // The recogniser through which window touches drive drags.
  UIPanGestureRecognizer* panGestureRecognizer() const { return pan_.get(); }

  // --- driving a drag by program ----------------------------------------------
  // The same path window touches take. Points are finger positions in any
  // frame that does not scroll (window points, say); times are clock times.
  // Touch-down stops a deceleration or animation in progress. A move becomes
  // a drag once it is kDragThreshold from the touch-down point. The speed at
  // lift is the last movement over its time (none if the finger rested
  // kRestInterval or longer).
  void beginDrag(CGPoint finger, double time);
  void moveDrag(CGPoint finger, double time);
  void endDrag(CGPoint finger, double time);
  // The same at the clock's current time.
  void beginDrag(CGPoint finger) { beginDrag(finger, ns::RunLoop::main().now()); }
  void moveDrag(CGPoint finger) { moveDrag(finger, ns::RunLoop::main().now()); }
  void endDrag(CGPoint finger) { endDrag(finger, ns::RunLoop::main().now()); }
  // The finger is taken away without a lift (the touch was cancelled).
  void cancelDrag();

  bool gestureRecognizerShouldBegin(UIGestureRecognizer* recognizer) override;

 protected:
  // For subclasses: after every change of the offset, before the delegate
  // hears of it (a table brings in the rows that became visible here).
  virtual void contentOffsetDidChange() {}
  UIScrollViewDelegate* scrollDelegate() const;
  // A touch-down of the current touch stopped a movement; such a touch is
  // not a tap on the content.
  bool touchStoppedScrolling() const { return touchStoppedScrolling_; }

 private:
  friend class UIScrollViewPanGestureRecognizer;
  struct Motion {
    enum class Kind { None, Paging, Momentum, Animation };
    Kind kind = Kind::None;
    double start = 0;
    double duration = 0;
    CGPoint from;
    CGPoint to;        // paging and animation
    CGPoint velocity;  // momentum, points per second in offset terms
    uint64_t generation = 0;
    ns::RunLoop::TaskId task = 0;
    int steps = 0;
  };

  // What window touches and the drag API both feed.
  void fingerDown(CGPoint finger, double time);
  void fingerMoved(CGPoint finger, double time, bool recognised);
  void fingerUp(CGPoint finger, double time);
  void fingerCancelled();

  CGPoint maximumOffset() const;
  CGPoint clampOffset(CGPoint offset) const;
  // Sets the offset and tells the subclass and the delegate; does not stop
  // a movement.
  void applyOffset(CGPoint offset);
  // velocity in offset terms (points per second); lift is the clock time.
  void endDragging(CGPoint velocity, double lift);
  CGPoint pagingTarget(CGPoint velocity) const;
  void startMotion(Motion::Kind kind, double start, CGPoint to, CGPoint velocity, double duration);
  void stopMotion();
  void scheduleStep();
  void step();
  CGPoint motionOffsetAt(double time) const;

  CGSize contentSize_;
  bool pagingEnabled_ = false;
  bool scrollEnabled_ = true;
  bool bounces_ = true;
  bool showsHorizontal_ = true;
  bool showsVertical_ = true;
  objc::Weak<objc::Object> delegate_;
  objc::Ref<UIPanGestureRecognizer> pan_;

  bool touchDown_ = false;
  bool dragging_ = false;
  bool touchStoppedScrolling_ = false;
  CGPoint touchStart_;
  CGPoint lastFinger_;
  double lastTime_ = 0;
  CGPoint fingerVelocity_;  // points per second, finger direction
  Motion motion_;
  uint64_t motionGeneration_ = 0;
};
