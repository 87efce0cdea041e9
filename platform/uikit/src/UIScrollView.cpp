#include "UIKit/UIScrollView.h"

#include <algorithm>
#include <cmath>
#include <limits>

// The scroll view's own pan recogniser: it reports every phase of the touch
// to its scroll view, which keeps the drag state itself so that window
// touches and programmatic drags behave alike.
class UIScrollViewPanGestureRecognizer : public UIPanGestureRecognizer {
  OBJC_CLASS(UIScrollViewPanGestureRecognizer)
 public:
  UIScrollViewPanGestureRecognizer() = default;

  void touchesBegan(UITouch* touch, UIEvent* event) override {
    UIPanGestureRecognizer::touchesBegan(touch, event);
    if (UIScrollView* scroll = scrollView())
      scroll->fingerDown(touch->locationInView(nullptr), touch->timestamp());
  }
  void touchesMoved(UITouch* touch, UIEvent* event) override {
    UIPanGestureRecognizer::touchesMoved(touch, event);
    bool recognised =
        state() == UIGestureRecognizerState::Began || state() == UIGestureRecognizerState::Changed;
    if (UIScrollView* scroll = scrollView())
      scroll->fingerMoved(touch->locationInView(nullptr), touch->timestamp(), recognised);
  }
  void touchesEnded(UITouch* touch, UIEvent* event) override {
    UIPanGestureRecognizer::touchesEnded(touch, event);
    if (UIScrollView* scroll = scrollView())
      scroll->fingerUp(touch->locationInView(nullptr), touch->timestamp());
  }
  void touchesCancelled(UITouch* touch, UIEvent* event) override {
    UIPanGestureRecognizer::touchesCancelled(touch, event);
    if (UIScrollView* scroll = scrollView()) scroll->fingerCancelled();
  }
  void reset() override {
    UIPanGestureRecognizer::reset();
    // A touch this recogniser stopped following (another recogniser took
    // it) ends here for the scroll view.
    if (UIScrollView* scroll = scrollView(); scroll && scroll->touchDown_ && !scroll->dragging_)
      scroll->fingerUp(scroll->lastFinger_, ns::RunLoop::main().now());
  }

 private:
  UIScrollView* scrollView() const { return static_cast<UIScrollView*>(view()); }
};

OBJC_CLASS_IMPL(UIScrollViewPanGestureRecognizer, UIPanGestureRecognizer, nullptr)
OBJC_CLASS_IMPL(UIScrollView, UIView, nullptr)

namespace {

double easeOut(double u) {
  return 1 - std::pow(1 - u, 3);
}

double easeInOut(double u) {
  return u < 0.5 ? 4 * u * u * u : 1 - std::pow(-2 * u + 2, 3) / 2;
}

// Friction constant of the momentum curve v(t) = v0 * exp(-k t).
double momentumDecay() {
  return -1000 * std::log(UIScrollView::kDecelerationRate);
}

double length(CGPoint v) {
  return std::hypot(double(v.x), double(v.y));
}

// The inverse of the rubber band: how far past the edge a finger must go to
// show an overrun; infinite for a whole view or more.
double rubberBandInverse(double shown, double dimension) {
  if (shown <= 0) return 0;
  if (shown >= dimension) return std::numeric_limits<double>::infinity();
  return shown * dimension / ((dimension - shown) * UIScrollView::kRubberBandCoefficient);
}

}  // namespace

double UIScrollView::rubberBand(double overrun, double dimension) {
  if (overrun <= 0 || dimension <= 0) return 0;
  return (1 - 1 / (overrun * kRubberBandCoefficient / dimension + 1)) * dimension;
}

UIScrollView::UIScrollView(CGRect frame) : UIView(frame) {
  setClipsToBounds(true);
  pan_ = objc::make<UIScrollViewPanGestureRecognizer>();
  addGestureRecognizer(pan_.get());
}

UIScrollView::~UIScrollView() {
  if (motion_.task) ns::RunLoop::main().cancel(motion_.task);
}

UIScrollViewDelegate* UIScrollView::scrollDelegate() const {
  return dynamic_cast<UIScrollViewDelegate*>(delegate_.get());
}

// --- offset -------------------------------------------------------------------

void UIScrollView::setContentSize(CGSize size) {
  CGPoint before = maximumOffset();
  contentSize_ = size;
  CGPoint after = maximumOffset();
  CGPoint offset = contentOffset();
  if ((after.x < before.x && offset.x > after.x) || (after.y < before.y && offset.y > after.y)) {
    offsetNeedsRange_ = true;
    setNeedsLayout();
  }
}

void UIScrollView::setContentOffset(CGPoint offset) {
  // An offset set by program is the caller's choice, in range or not.
  offsetNeedsRange_ = false;
  stopMotion();
  applyOffset(offset);
}

void UIScrollView::layoutSubviews() {
  UIView::layoutSubviews();
  bringContentOffsetIntoRange();
}

void UIScrollView::bringContentOffsetIntoRange() {
  if (!offsetNeedsRange_ || touchDown_ || motion_.kind != Motion::Kind::None) return;
  offsetNeedsRange_ = false;
  CGPoint offset = contentOffset();
  CGPoint most = maximumOffset();
  CGPoint inRange = CGPointMake(std::min(offset.x, most.x), std::min(offset.y, most.y));
  UIView::performWithoutAnimation([&] { applyOffset(inRange); });
}

void UIScrollView::requestRangeCheck() {
  if (offsetNeedsRange_) setNeedsLayout();
}

void UIScrollView::setContentOffset(CGPoint offset, bool animated) {
  if (!animated) return setContentOffset(offset);
  stopMotion();
  if (offset == contentOffset()) return;
  startMotion(Motion::Kind::Animation, ns::RunLoop::main().now(), offset, CGPointZero,
              kAnimationDuration);
}

void UIScrollView::applyOffset(CGPoint offset) {
  CGRect b = bounds();
  if (b.origin == offset) return;
  objc::Ref<UIScrollView> keep(this);
  b.origin = offset;
  setBounds(b);
  contentOffsetDidChange();
  if (UIScrollViewDelegate* d = scrollDelegate()) d->scrollViewDidScroll(this);
}

CGPoint UIScrollView::maximumOffset() const {
  CGSize size = bounds().size;
  return CGPointMake(std::max(0.0, double(contentSize_.width) - size.width),
                     std::max(0.0, double(contentSize_.height) - size.height));
}

bool UIScrollView::bouncesHorizontally() const {
  return bounces_ && (maximumOffset().x > 0 || alwaysBounceHorizontal_);
}

bool UIScrollView::bouncesVertically() const {
  return bounces_ && (maximumOffset().y > 0 || alwaysBounceVertical_);
}

UIScrollView::AxisRange UIScrollView::dragRange(bool vertical) const {
  CGPoint most = maximumOffset();
  if (vertical)
    return AxisRange{std::min(0.0, double(dragLow_.y)),
                     std::max(double(most.y), double(dragHigh_.y)), bounds().size.height,
                     bouncesVertically()};
  return AxisRange{std::min(0.0, double(dragLow_.x)), std::max(double(most.x), double(dragHigh_.x)),
                   bounds().size.width, bouncesHorizontally()};
}

CGPoint UIScrollView::stretchedOffset(CGPoint raw) const {
  auto axis = [](double v, AxisRange r) {
    if (v < r.lo) return r.bounces ? r.lo - rubberBand(r.lo - v, r.size) : r.lo;
    if (v > r.hi) return r.bounces ? r.hi + rubberBand(v - r.hi, r.size) : r.hi;
    return v;
  };
  return CGPointMake(axis(raw.x, dragRange(false)), axis(raw.y, dragRange(true)));
}

CGPoint UIScrollView::unstretchedOffset(CGPoint shown) {
  // An offset outside the range that no finger can have made (past the edge
  // of an axis that does not bounce, or a whole view past it) widens the
  // range to it: the drag may move back towards the content from there.
  auto axis = [](double v, AxisRange r, CGFloat& low, CGFloat& high) {
    if (v < r.lo) {
      double raw = r.bounces ? r.lo - rubberBandInverse(r.lo - v, r.size) : -HUGE_VAL;
      if (std::isfinite(raw)) return raw;
      low = static_cast<CGFloat>(v);
    } else if (v > r.hi) {
      double raw = r.bounces ? r.hi + rubberBandInverse(v - r.hi, r.size) : HUGE_VAL;
      if (std::isfinite(raw)) return raw;
      high = static_cast<CGFloat>(v);
    }
    return v;
  };
  double x = axis(shown.x, dragRange(false), dragLow_.x, dragHigh_.x);
  double y = axis(shown.y, dragRange(true), dragLow_.y, dragHigh_.y);
  return CGPointMake(x, y);
}

CGPoint UIScrollView::restingOffset(CGPoint offset) const {
  CGPoint most = maximumOffset();
  if (bouncesHorizontally()) offset.x = std::clamp(double(offset.x), 0.0, double(most.x));
  if (bouncesVertically()) offset.y = std::clamp(double(offset.y), 0.0, double(most.y));
  return offset;
}

CGPoint UIScrollView::settlingTarget() const {
  return restingOffset(pagingEnabled_ ? pagingTarget(CGPointZero) : contentOffset());
}

bool UIScrollView::gestureRecognizerShouldBegin(UIGestureRecognizer* recognizer) {
  if (recognizer != pan_.get()) return UIView::gestureRecognizerShouldBegin(recognizer);
  CGPoint most = maximumOffset();
  return scrollEnabled_ &&
         (most.x > 0 || most.y > 0 || bouncesHorizontally() || bouncesVertically());
}

// --- drags ------------------------------------------------------------------

void UIScrollView::beginDrag(CGPoint finger, double time) {
  fingerDown(finger, time);
}

void UIScrollView::moveDrag(CGPoint finger, double time) {
  double moved = length(CGPointMake(finger.x - touchStart_.x, finger.y - touchStart_.y));
  bool recognised = dragging_ || (moved >= kDragThreshold && gestureRecognizerShouldBegin(pan_));
  fingerMoved(finger, time, recognised);
}

void UIScrollView::endDrag(CGPoint finger, double time) {
  if (touchDown_ && !dragging_ && !(finger == lastFinger_)) moveDrag(finger, time);
  fingerUp(finger, time);
}

void UIScrollView::cancelDrag() {
  fingerCancelled();
}

void UIScrollView::fingerDown(CGPoint finger, double time) {
  touchStoppedScrolling_ = motion_.kind != Motion::Kind::None;
  stopMotion();
  touchDown_ = true;
  dragging_ = false;
  touchStart_ = lastFinger_ = finger;
  lastTime_ = time;
  fingerVelocity_ = CGPointZero;
}

void UIScrollView::fingerMoved(CGPoint finger, double time, bool recognised) {
  if (!touchDown_) return;
  double dt = time - lastTime_;
  if (dt > 0)
    fingerVelocity_ = CGPointMake((finger.x - lastFinger_.x) / dt, (finger.y - lastFinger_.y) / dt);
  CGPoint delta = CGPointMake(double(finger.x) - lastFinger_.x, double(finger.y) - lastFinger_.y);
  lastFinger_ = finger;
  lastTime_ = time;
  if (!dragging_) {
    if (!recognised) return;
    objc::Ref<UIScrollView> keep(this);
    dragging_ = true;
    dragLow_ = dragHigh_ = CGPointZero;
    dragShown_ = contentOffset();
    dragRaw_ = unstretchedOffset(dragShown_);
    if (UIScrollViewDelegate* d = scrollDelegate()) d->scrollViewWillBeginDragging(this);
    // The content catches up with the finger from where it touched down.
    delta = CGPointMake(double(finger.x) - touchStart_.x, double(finger.y) - touchStart_.y);
  }
  // An offset moved by someone else (the delegate, say) is where the drag
  // goes on from.
  if (!(contentOffset() == dragShown_)) dragRaw_ = unstretchedOffset(contentOffset());
  dragRaw_ = CGPointMake(double(dragRaw_.x) - delta.x, double(dragRaw_.y) - delta.y);
  dragShown_ = stretchedOffset(dragRaw_);
  applyOffset(dragShown_);
}

void UIScrollView::fingerUp(CGPoint finger, double time) {
  if (!touchDown_) return;
  objc::Ref<UIScrollView> keep(this);
  if (dragging_) {
    if (!(finger == lastFinger_)) {
      fingerMoved(finger, time, true);
    } else if (time - lastTime_ >= kRestInterval) {
      fingerVelocity_ = CGPointZero;
    }
    touchDown_ = false;
    endDragging(CGPointMake(-fingerVelocity_.x, -fingerVelocity_.y), time);
    requestRangeCheck();
    return;
  }
  touchDown_ = false;
  // A touch that stopped a movement lets the content settle on a page or
  // spring back inside the edges.
  if (touchStoppedScrolling_) {
    CGPoint target = settlingTarget();
    if (!(target == contentOffset())) {
      startMotion(Motion::Kind::Glide, time, target, CGPointZero,
                  pagingEnabled_ ? kPagingDuration : kBounceDuration);
      if (UIScrollViewDelegate* d = scrollDelegate()) d->scrollViewWillBeginDecelerating(this);
    }
  }
  requestRangeCheck();
}

void UIScrollView::fingerCancelled() {
  if (!touchDown_) return;
  touchDown_ = false;
  if (dragging_) endDragging(CGPointZero, ns::RunLoop::main().now());
  requestRangeCheck();
}

CGPoint UIScrollView::pagingTarget(CGPoint velocity) const {
  CGPoint offset = contentOffset();
  CGPoint most = maximumOffset();
  CGSize page = bounds().size;
  auto axis = [](double offset, double most, double page, double speed) {
    if (most <= 0 || page <= 0) return offset;
    double p = offset / page;
    // Offsets on a page boundary computed in single precision may be a hair
    // off; they still count as on the boundary.
    if (std::fabs(p - std::round(p)) < 1e-4) p = std::round(p);
    double k;
    if (speed > kPagingFlickSpeed)
      k = std::floor(p) + 1;
    else if (speed < -kPagingFlickSpeed)
      k = std::ceil(p) - 1;
    else
      k = std::round(p);
    return std::clamp(k * page, 0.0, most);
  };
  return CGPointMake(axis(offset.x, most.x, page.width, velocity.x),
                     axis(offset.y, most.y, page.height, velocity.y));
}

void UIScrollView::endDragging(CGPoint velocity, double lift) {
  objc::Ref<UIScrollView> keep(this);
  dragging_ = false;
  CGPoint offset = contentOffset();
  bool decelerate = false;
  CGPoint target = restingOffset(offset);
  bool springsBack = !(target == offset);
  if (pagingEnabled_) {
    target = restingOffset(pagingTarget(velocity));
    decelerate = !(target == offset);
  } else if (springsBack) {
    // Past an edge: back to it, whatever the speed.
    decelerate = true;
  } else {
    // Only axes that can still move in the direction of their speed count.
    CGPoint most = maximumOffset();
    auto usable = [](double v, double offset, double most) {
      if (v > 0 && offset < most) return v;
      if (v < 0 && offset > 0) return v;
      return 0.0;
    };
    velocity =
        CGPointMake(usable(velocity.x, offset.x, most.x), usable(velocity.y, offset.y, most.y));
    decelerate = length(velocity) >= kMinimumMomentumSpeed;
  }
  UIScrollViewDelegate* d = scrollDelegate();
  if (d) d->scrollViewDidEndDragging(this, decelerate);
  if (!decelerate) return;
  // The delegate may have moved the content itself; that wins.
  if (!(contentOffset() == offset) || motion_.kind != Motion::Kind::None || touchDown_) return;
  if (pagingEnabled_) {
    startMotion(Motion::Kind::Glide, lift, target, CGPointZero, kPagingDuration);
  } else if (springsBack) {
    startMotion(Motion::Kind::Glide, lift, target, CGPointZero, kBounceDuration);
  } else {
    double speed = length(velocity);
    double duration = std::log(speed / kMinimumMomentumSpeed) / momentumDecay();
    startMotion(Motion::Kind::Momentum, lift, CGPointZero, velocity, duration);
  }
  if ((d = scrollDelegate())) d->scrollViewWillBeginDecelerating(this);
}

// --- the scroll wheel ----------------------------------------------------------

void UIScrollView::scrollWheel(CGPoint delta) {
  if (touchDown_ || !scrollEnabled_) return;
  objc::Ref<UIScrollView> keep(this);
  double now = ns::RunLoop::main().now();
  bool sameGesture = now - lastWheel_ < kWheelGestureGap;
  lastWheel_ = now;
  CGPoint offset = contentOffset();
  CGPoint most = maximumOffset();
  if (pagingEnabled_) {
    if (sameGesture) return;
    // A flick one point long in the wheel's direction: the lift chooses the
    // next page and the content glides there.
    auto sign = [](double v) { return v > 0 ? 1.0 : v < 0 ? -1.0 : 0.0; };
    CGPoint direction = CGPointMake(sign(delta.x), sign(delta.y));
    stopMotion();
    if (UIScrollViewDelegate* d = scrollDelegate()) d->scrollViewWillBeginDragging(this);
    auto nudge = [](double v, double step, double most, bool bounces) {
      double n = v + step;
      return bounces ? n : std::clamp(n, 0.0, most);
    };
    applyOffset(CGPointMake(nudge(offset.x, direction.x, most.x, bouncesHorizontally()),
                            nudge(offset.y, direction.y, most.y, bouncesVertically())));
    double flick = 2 * kPagingFlickSpeed;
    endDragging(CGPointMake(direction.x * flick, direction.y * flick), now);
    return;
  }
  CGPoint target = CGPointMake(std::clamp(double(offset.x) + delta.x, 0.0, double(most.x)),
                               std::clamp(double(offset.y) + delta.y, 0.0, double(most.y)));
  if (target == offset) return;
  stopMotion();
  UIScrollViewDelegate* d = scrollDelegate();
  if (d) d->scrollViewWillBeginDragging(this);
  applyOffset(target);
  if ((d = scrollDelegate())) d->scrollViewDidEndDragging(this, false);
}

// --- movements on the clock ---------------------------------------------------

void UIScrollView::startMotion(Motion::Kind kind, double start, CGPoint to, CGPoint velocity,
                               double duration) {
  stopMotion();
  motion_.kind = kind;
  motion_.start = start;
  motion_.duration = duration;
  motion_.from = contentOffset();
  motion_.to = to;
  motion_.velocity = velocity;
  motion_.generation = ++motionGeneration_;
  motion_.steps = 0;
  scheduleStep();
}

void UIScrollView::stopMotion() {
  if (motion_.task) ns::RunLoop::main().cancel(motion_.task);
  motion_ = Motion{};
  motion_.generation = ++motionGeneration_;
}

void UIScrollView::scheduleStep() {
  ++motion_.steps;
  double when =
      std::min(motion_.start + motion_.steps * kStepInterval, motion_.start + motion_.duration);
  motion_.task = ns::RunLoop::main().schedule(when, [this] {
    motion_.task = 0;
    step();
  });
}

CGPoint UIScrollView::motionOffsetAt(double time) const {
  double elapsed = std::clamp(time - motion_.start, 0.0, motion_.duration);
  CGPoint from = motion_.from;
  if (motion_.kind == Motion::Kind::Momentum) {
    double k = momentumDecay();
    double travel = (1 - std::exp(-k * elapsed)) / k;
    CGPoint raw =
        CGPointMake(from.x + motion_.velocity.x * travel, from.y + motion_.velocity.y * travel);
    CGPoint most = maximumOffset();
    return CGPointMake(std::clamp(double(raw.x), 0.0, double(most.x)),
                       std::clamp(double(raw.y), 0.0, double(most.y)));
  }
  double u = motion_.duration > 0 ? elapsed / motion_.duration : 1;
  double e = motion_.kind == Motion::Kind::Animation ? easeInOut(u) : easeOut(u);
  return CGPointMake(from.x + (double(motion_.to.x) - from.x) * e,
                     from.y + (double(motion_.to.y) - from.y) * e);
}

void UIScrollView::step() {
  objc::Ref<UIScrollView> keep(this);
  uint64_t generation = motion_.generation;
  double now = ns::RunLoop::main().now();
  bool done = now >= motion_.start + motion_.duration;
  CGPoint offset =
      done && motion_.kind != Motion::Kind::Momentum ? motion_.to : motionOffsetAt(now);
  if (!done && motion_.kind == Motion::Kind::Momentum) {
    // Momentum ends early once every moving axis has reached the edge.
    CGPoint most = maximumOffset();
    auto atEdge = [](double v, double o, double most) {
      return v == 0 || (v > 0 && o >= most) || (v < 0 && o <= 0);
    };
    done = atEdge(motion_.velocity.x, offset.x, most.x) &&
           atEdge(motion_.velocity.y, offset.y, most.y);
  }
  applyOffset(offset);
  // The delegate may have stopped or replaced this movement.
  if (motion_.generation != generation) return;
  if (!done) return scheduleStep();
  Motion::Kind kind = motion_.kind;
  stopMotion();
  requestRangeCheck();
  if (UIScrollViewDelegate* d = scrollDelegate()) {
    if (kind == Motion::Kind::Animation)
      d->scrollViewDidEndScrollingAnimation(this);
    else
      d->scrollViewDidEndDecelerating(this);
  }
}
