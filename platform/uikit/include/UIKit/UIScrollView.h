// Scroll views: a window onto content larger than the view. The content
// offset is the origin of the bounds, so subviews move as the offset changes.
//
// A touch that moves far enough becomes a drag: the content follows the
// finger and, on lift, either stops or decelerates. Past the edge of the
// content a bouncing view stretches with resistance (see rubberBand) and on
// lift springs back to the edge with a deceleration; with bounces off the
// drag stops at the edge. With paging on, the lift chooses a page (the next
// one in the direction of a fast flick, otherwise the nearest; never past
// the first or last) and the offset glides there; a lift exactly on a page
// boundary with no speed does not decelerate. Without paging, a lift with
// speed carries the content on with friction up to the edge.
//
// Every movement is a pure function of the main run loop's clock, stepped
// 60 times a second from the run loop; nothing reads the wall clock.
//
// Delegate calls, in order: scrollViewWillBeginDragging, scrollViewDidScroll
// per move, scrollViewDidEndDragging(willDecelerate), then when decelerating
// (gliding to a page, springing back, or momentum)
// scrollViewWillBeginDecelerating, scrollViewDidScroll per step and
// scrollViewDidEndDecelerating. Setting the offset by program calls
// scrollViewDidScroll at once when the value changes; an animated offset
// calls it per step and ends with scrollViewDidEndScrollingAnimation, never
// scrollViewDidEndDecelerating.
//
// When the content shrinks below an offset (a table reloaded with fewer
// rows while scrolled down), the next layout pass moves the offset back into
// range at once: scrollViewDidScroll, no animation, no deceleration.
#pragma once

#include <cmath>

#include "Foundation/RunLoop.h"
#include "UIKit/UIGestureRecognizer.h"
#include "UIKit/UIKitForward.h"
#include "UIKit/UIView.h"

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
  // A paging or animated move, and the spring back from past an edge, take
  // this long (ease-out, so the spring back slows as it reaches the edge).
  static constexpr double kPagingDuration = 0.3;
  static constexpr double kAnimationDuration = 0.3;
  static constexpr double kBounceDuration = 0.3;
  // The rubber band: a drag that would take the offset x points past an edge
  // shows it (1 - 1 / (x * c / d + 1)) * d past it, d the view's size on that
  // axis and c this coefficient. The content moves c times as far as the
  // finger at first, less and less after, and never a whole view past the
  // edge.
  static constexpr double kRubberBandCoefficient = 0.55;
  static double rubberBand(double overrun, double dimension);
  // Without paging, speed decays by this factor per millisecond, and the
  // content stops once slower than kMinimumMomentumSpeed.
  static constexpr double kDecelerationRate = 0.998;
  static constexpr double kMinimumMomentumSpeed = 10;
  // A finger that rests this long before lifting lifts with no speed.
  static constexpr double kRestInterval = 0.1;
  static constexpr double kStepInterval = 1.0 / 60;

  // --- content ----------------------------------------------------------------
  CGSize contentSize() const { return contentSize_; }
  // Content that shrinks below the current offset has the offset brought
  // back into range at the next layout pass (or once a drag or movement in
  // progress has ended).
  void setContentSize(CGSize size);
  CGPoint contentOffset() const { return bounds().origin; }
  // Stops any deceleration or offset animation, moves at once and calls
  // scrollViewDidScroll when the offset changed. Not clamped to the content;
  // a drag from an offset past the edge springs back to the edge when the
  // view bounces.
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
  // YES by default: drags stretch past the edges of the content and spring
  // back. An axis bounces only when the content is larger than the view on
  // it or its alwaysBounce flag is set (default NO), so a horizontal pager
  // does not move vertically and a short table stays put. NO: drags stop at
  // the edges.
  bool bounces() const { return bounces_; }
  void setBounces(bool on) { bounces_ = on; }
  bool alwaysBounceHorizontal() const { return alwaysBounceHorizontal_; }
  void setAlwaysBounceHorizontal(bool on) { alwaysBounceHorizontal_ = on; }
  bool alwaysBounceVertical() const { return alwaysBounceVertical_; }
  void setAlwaysBounceVertical(bool on) { alwaysBounceVertical_ = on; }
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
    return motion_.kind == Motion::Kind::Glide || motion_.kind == Motion::Kind::Momentum;
  }
  // Dragged or gliding: the screen keeps redrawing.
  bool isMovingByItself() const override { return isDecelerating() || isDragging(); }
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

  // --- the desktop's scroll wheel and touchpad ------------------------------
  // Whether the content can move on that axis (scrolling on, more content
  // than bounds).
  bool scrollsHorizontally() const { return scrollEnabled_ && maximumOffset().x > 0; }
  bool scrollsVertically() const { return scrollEnabled_ && maximumOffset().y > 0; }
  // A wheel turn or two-finger scroll that asks the content to move by delta
  // points (positive: towards its end), at the clock's time. Without paging
  // it moves as a short drag that lifts without speed, stopping at the edges
  // (scrollViewWillBeginDragging, scrollViewDidScroll,
  // scrollViewDidEndDragging NO). With paging one gesture turns one page, as
  // a flick does (the same delegate calls, then the glide to the page); the
  // events of a gesture (a touchpad's stream, or notches less than
  // kWheelGestureGap apart) after the first are taken and ignored. Ignored
  // while a finger is down.
  void scrollWheel(CGPoint delta);
  static constexpr double kWheelGestureGap = 0.3;

  bool gestureRecognizerShouldBegin(UIGestureRecognizer* recognizer) override;
  void layoutSubviews() override;

 protected:
  // Moves an offset that shrunk content left out of range back to the
  // content's end, without animation, unless a finger or a movement still
  // holds the offset (then it is done once they have ended). Layout calls it.
  void bringContentOffsetIntoRange();
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
    // Glide: a deceleration to a target (a page, or the edge when springing
    // back).
    enum class Kind { None, Glide, Momentum, Animation };
    Kind kind = Kind::None;
    double start = 0;
    double duration = 0;
    CGPoint from;
    CGPoint to;        // glide and animation
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

  // Per axis: where a drag moves freely, the view's size, whether it
  // stretches past the range.
  struct AxisRange {
    double lo, hi, size;
    bool bounces;
  };
  CGPoint maximumOffset() const;
  bool bouncesHorizontally() const;
  bool bouncesVertically() const;
  AxisRange dragRange(bool vertical) const;
  // The offset shown for a finger's unconstrained offset, and back; the
  // way back widens the range over an offset the finger cannot have made
  // (one set by program far past the edge).
  CGPoint stretchedOffset(CGPoint raw) const;
  CGPoint unstretchedOffset(CGPoint shown);
  // The offset with the bouncing axes brought into the content.
  CGPoint restingOffset(CGPoint offset) const;
  // Where a lift with no drag or speed lets the content settle.
  CGPoint settlingTarget() const;
  // Asks for a layout pass when shrunk content still waits for its offset.
  void requestRangeCheck();
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
  bool alwaysBounceHorizontal_ = false;
  bool alwaysBounceVertical_ = false;
  bool offsetNeedsRange_ = false;
  bool showsHorizontal_ = true;
  bool showsVertical_ = true;
  objc::Weak<objc::Object> delegate_;
  objc::Ref<UIPanGestureRecognizer> pan_;

  bool touchDown_ = false;
  bool dragging_ = false;
  bool touchStoppedScrolling_ = false;
  double lastWheel_ = -HUGE_VAL;
  CGPoint touchStart_;
  CGPoint lastFinger_;
  double lastTime_ = 0;
  CGPoint fingerVelocity_;  // points per second, finger direction
  // The drag's offset before the rubber band, the offset it last showed,
  // and how far an offset set by program widened the free range.
  CGPoint dragRaw_;
  CGPoint dragShown_;
  CGPoint dragLow_;
  CGPoint dragHigh_;
  Motion motion_;
  uint64_t motionGeneration_ = 0;
};
