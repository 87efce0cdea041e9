#include "UIKit/UIView.h"

#include <algorithm>

#include "UIKit/UIGestureRecognizer.h"
#include "UIKit/UILayoutScheduler.h"
#include "UIKit/UIViewController.h"
#include "UIViewAnimation.h"

OBJC_CLASS_IMPL(UIView, UIResponder, nullptr)

// --- animation blocks (the engine is UIViewAnimation) ----------------------------

void UIView::animateWithDuration(double duration, double delay, UIViewAnimationOptions options,
                                 const std::function<void()>& animations,
                                 std::function<void(bool)> completion) {
  UIViewAnimation::shared().animate(duration, delay, options, animations, std::move(completion));
}

void UIView::animateWithDuration(double duration, const std::function<void()>& animations,
                                 std::function<void(bool)> completion) {
  animateWithDuration(duration, 0, UIViewAnimationOptionCurveEaseInOut, animations,
                      std::move(completion));
}

void UIView::performWithoutAnimation(const std::function<void()>& actions) {
  UIViewAnimation::shared().performWithoutAnimation(actions);
}

bool UIView::areAnimationsEnabled() {
  return UIViewAnimation::shared().enabled();
}
void UIView::setAnimationsEnabled(bool enabled) {
  UIViewAnimation::shared().setEnabled(enabled);
}
bool UIView::isInAnimationBlock() {
  return UIViewAnimation::shared().inAnimationBlock();
}

void UIView::setAnimatableLayerValue(const char* keyPath, const CAValue& value) {
  UIViewAnimation::shared().setLayerValue(layer_, keyPath, value);
}

// --- life ------------------------------------------------------------------------

UIView::UIView(CGRect frame) : layer_(CALayer::layer()) {
  layer_->setDelegate(this);
  layer_->setFrame(frame);
  needsLayout_ = true;  // laid out once it is first in a window
}

UIView::~UIView() {
  layer_->setDelegate(nullptr);
  for (auto& r : recognizers_) r->view_ = nullptr;
  for (auto& s : subviews_) {
    s->superview_ = nullptr;
    s->layer_->removeFromSuperlayer();
    s->moveToWindow(nullptr);
  }
}

// --- geometry --------------------------------------------------------------------

CGRect UIView::frame() const {
  return layer_->frame();
}
CGRect UIView::bounds() const {
  return layer_->bounds();
}
CGPoint UIView::center() const {
  return layer_->position();
}

void UIView::setFrame(CGRect f) {
  f = CGRectStandardize(f);
  CGRect oldBounds = layer_->bounds();
  CGRect b = oldBounds;
  b.size = f.size;
  CGPoint anchor = layer_->anchorPoint();
  setAnimatableLayerValue("position", CGPointMake(f.origin.x + anchor.x * f.size.width,
                                                  f.origin.y + anchor.y * f.size.height));
  setAnimatableLayerValue("bounds", b);
  if (b.size != oldBounds.size) {
    setNeedsLayout();
    resizeSubviews(oldBounds.size);
  }
}

void UIView::setBounds(CGRect b) {
  CGRect old = layer_->bounds();
  setAnimatableLayerValue("bounds", b);
  if (b != old) setNeedsLayout();
  if (b.size != old.size) resizeSubviews(old.size);
}

void UIView::setCenter(CGPoint c) {
  setAnimatableLayerValue("position", c);
}

CGFloat UIView::alpha() const {
  return layer_->opacity();
}
void UIView::setAlpha(double a) {
  setAnimatableLayerValue("opacity", std::clamp(a, 0.0, 1.0));
}
bool UIView::isHidden() const {
  return layer_->isHidden();
}
void UIView::setHidden(bool h) {
  layer_->setHidden(h);
}
bool UIView::clipsToBounds() const {
  return layer_->masksToBounds();
}
void UIView::setClipsToBounds(bool c) {
  layer_->setMasksToBounds(c);
}

void UIView::setBackgroundColor(UIColor* color) {
  backgroundColor_ = color;
  setAnimatableLayerValue("backgroundColor", color ? CAValue(color->CGColor()) : CAValue());
}

UIView* UIView::viewWithTag(NSInteger tag) const {
  if (tag_ == tag) return const_cast<UIView*>(this);
  for (auto& s : subviews_)
    if (UIView* v = s->viewWithTag(tag)) return v;
  return nullptr;
}

// --- tree ------------------------------------------------------------------------

UIWindow* UIView::window() const {
  return window_;
}

bool UIView::isDescendantOfView(const UIView* view) const {
  for (const UIView* v = this; v; v = v->superview_)
    if (v == view) return true;
  return false;
}

void UIView::moveToWindow(UIWindow* window) {
  if (window_ == window) return;
  objc::Ref<UIView> keep(this);
  willMoveToWindow(window);
  // A view leaving the screen gives up the keyboard.
  if (!window && isFirstResponder()) resignFirstResponder();
  window_ = window;
  for (auto& s : std::vector<objc::Ref<UIView>>(subviews_)) s->moveToWindow(window);
  didMoveToWindow();
}

void UIView::attachSubview(UIView* view, CALayer* below) {
  // Adding an ancestor (or the view itself) would make a cycle.
  if (!view || isDescendantOfView(view)) return;
  objc::Ref<UIView> keep(view);
  bool reorder = view->superview_ == this;
  if (reorder) {
    std::erase(subviews_, view);
  } else {
    view->willMoveToSuperview(this);
    if (view->superview_) view->detachFromSuperview(true);
  }
  auto pos = subviews_.end();
  if (below) {
    pos = std::find_if(subviews_.begin(), subviews_.end(),
                       [below](const objc::Ref<UIView>& s) { return s->layer_.get() == below; });
  }
  subviews_.insert(pos, keep);
  if (below)
    layer_->insertSublayerBelow(view->layer_, below);
  else
    layer_->addSublayer(view->layer_);
  view->superview_ = this;
  if (!reorder) {
    view->moveToWindow(window_);
    view->didMoveToSuperview();
    didAddSubview(view);
    view->setNeedsLayout();
  }
  setNeedsLayout();
}

void UIView::detachFromSuperview(bool notify) {
  UIView* parent = superview_;
  if (!parent) return;
  objc::Ref<UIView> keep(this);
  if (notify) parent->willRemoveSubview(this);
  std::erase(parent->subviews_, this);
  layer_->removeFromSuperlayer();
  superview_ = nullptr;
  parent->setNeedsLayout();
}

void UIView::addSubview(UIView* view) {
  attachSubview(view, nullptr);
}

void UIView::insertSubview(UIView* view, NSInteger index) {
  if (!view) return;
  // The index counts the other subviews.
  std::vector<UIView*> others;
  for (auto& s : subviews_)
    if (s.get() != view) others.push_back(s);
  if (index < 0) index = 0;
  if (static_cast<size_t>(index) >= others.size())
    attachSubview(view, nullptr);
  else
    attachSubview(view, others[static_cast<size_t>(index)]->layer_);
}

void UIView::insertSubviewBelow(UIView* view, UIView* sibling) {
  if (!sibling || sibling->superview_ != this || sibling == view) return addSubview(view);
  attachSubview(view, sibling->layer_);
}

void UIView::insertSubviewAbove(UIView* view, UIView* sibling) {
  if (!sibling || sibling->superview_ != this || sibling == view) return addSubview(view);
  auto it = std::find(subviews_.begin(), subviews_.end(), sibling);
  ++it;
  if (it != subviews_.end() && it->get() == view) ++it;  // already right there
  attachSubview(view, it == subviews_.end() ? nullptr : (*it)->layer_.get());
}

void UIView::removeFromSuperview() {
  if (!superview_) return;
  objc::Ref<UIView> keep(this);
  willMoveToSuperview(nullptr);
  detachFromSuperview(true);
  moveToWindow(nullptr);
  didMoveToSuperview();
}

void UIView::bringSubviewToFront(UIView* view) {
  if (view && view->superview_ == this) attachSubview(view, nullptr);
}

void UIView::sendSubviewToBack(UIView* view) {
  if (view && view->superview_ == this && subviews_.front().get() != view)
    attachSubview(view, subviews_.front()->layer_);
}

void UIView::exchangeSubviewAtIndex(NSInteger a, NSInteger b) {
  auto n = static_cast<NSInteger>(subviews_.size());
  if (a < 0 || b < 0 || a >= n || b >= n || a == b) return;
  if (a > b) std::swap(a, b);
  objc::Ref<CALayer> first = subviews_[static_cast<size_t>(a)]->layer_;
  objc::Ref<CALayer> second = subviews_[static_cast<size_t>(b)]->layer_;
  std::swap(subviews_[static_cast<size_t>(a)], subviews_[static_cast<size_t>(b)]);
  // The two layers swap places among all sublayers (other layers included).
  auto indexOf = [this](CALayer* l) {
    auto& list = layer_->sublayers();
    return static_cast<size_t>(std::find(list.begin(), list.end(), l) - list.begin());
  };
  size_t i = indexOf(first), j = indexOf(second);
  layer_->insertSublayer(second, i);
  layer_->insertSublayer(first, j);
}

// --- layout ----------------------------------------------------------------------

void UIView::setNeedsLayout() {
  needsLayout_ = true;
  if (window_) UILayoutScheduler::shared().schedule();
}

void UIView::layoutNow() {
  needsLayout_ = false;
  UIViewController* vc = viewController_;
  objc::Ref<UIViewController> keepVC(vc);
  if (vc) objc::objc_msgSend(vc, "viewWillLayoutSubviews");
  layoutSubviews();
  if (vc && vc->viewIfLoaded() == this) objc::objc_msgSend(vc, "viewDidLayoutSubviews");
}

void UIView::layoutIfNeeded() {
  objc::Ref<UIView> keep(this);
  if (needsLayout_) layoutNow();
  for (auto& s : std::vector<objc::Ref<UIView>>(subviews_))
    if (s->superview_ == this) s->layoutIfNeeded();
}

CGSize UIView::sizeThatFits(CGSize) const {
  return bounds().size;
}

void UIView::sizeToFit() {
  CGRect f = frame();
  f.size = sizeThatFits(f.size);
  setFrame(f);
}

void UIView::resizeSubviews(CGSize oldSize) {
  if (!autoresizesSubviews_) return;
  CGSize newSize = bounds().size;
  // Each axis: the flexible parts (margin, size, margin) share the change in
  // proportion to their current lengths, or equally when those are all 0.
  auto share = [](double before, double size, double after, bool flexBefore, bool flexSize,
                  bool flexAfter, double delta, double* origin, double* length) {
    double weights[3] = {flexBefore ? std::max(before, 0.0) : 0, flexSize ? std::max(size, 0.0) : 0,
                         flexAfter ? std::max(after, 0.0) : 0};
    int flexible = flexBefore + flexSize + flexAfter;
    if (!flexible) return;
    double total = weights[0] + weights[1] + weights[2];
    double parts[3];
    bool flags[3] = {flexBefore, flexSize, flexAfter};
    for (int i = 0; i < 3; ++i)
      parts[i] = !flags[i] ? 0 : total > 0 ? delta * weights[i] / total : delta / flexible;
    *origin += parts[0];
    *length += parts[1];
  };
  for (auto& s : std::vector<objc::Ref<UIView>>(subviews_)) {
    UIViewAutoresizing m = s->autoresizingMask_;
    if (!m) continue;
    CGRect f = s->frame();
    double x = f.origin.x, y = f.origin.y, w = f.size.width, h = f.size.height;
    share(x, w, oldSize.width - x - w, m & UIViewAutoresizingFlexibleLeftMargin,
          m & UIViewAutoresizingFlexibleWidth, m & UIViewAutoresizingFlexibleRightMargin,
          newSize.width - oldSize.width, &x, &w);
    share(y, h, oldSize.height - y - h, m & UIViewAutoresizingFlexibleTopMargin,
          m & UIViewAutoresizingFlexibleHeight, m & UIViewAutoresizingFlexibleBottomMargin,
          newSize.height - oldSize.height, &y, &h);
    s->setFrame(CGRectMake(x, y, w, h));
  }
}

// --- hit testing and coordinates ----------------------------------------------------

bool UIView::pointInside(CGPoint point, UIEvent*) const {
  return CGRectContainsPoint(bounds(), point);
}

UIView* UIView::hitTest(CGPoint point, UIEvent* event) {
  if (isHidden() || !userInteractionEnabled_ || alpha() < 0.01f) return nullptr;
  if (!pointInside(point, event)) return nullptr;
  for (size_t i = subviews_.size(); i-- > 0;) {
    UIView* s = subviews_[i];
    CGRect f = s->frame();
    CGRect b = s->bounds();
    CGPoint local =
        CGPointMake(point.x - f.origin.x + b.origin.x, point.y - f.origin.y + b.origin.y);
    if (UIView* hit = s->hitTest(local, event)) return hit;
  }
  return this;
}

namespace {
// Point in v's coordinates -> the coordinates of the root of v's tree.
CGPoint toRoot(const UIView* v, CGPoint p) {
  for (; v->superview(); v = v->superview()) {
    CGRect f = v->frame();
    CGRect b = v->bounds();
    p = CGPointMake(p.x + f.origin.x - b.origin.x, p.y + f.origin.y - b.origin.y);
  }
  return p;
}
CGPoint fromRoot(const UIView* v, CGPoint p) {
  std::vector<const UIView*> chain;
  for (; v->superview(); v = v->superview()) chain.push_back(v);
  for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
    CGRect f = (*it)->frame();
    CGRect b = (*it)->bounds();
    p = CGPointMake(p.x - f.origin.x + b.origin.x, p.y - f.origin.y + b.origin.y);
  }
  return p;
}
}  // namespace

CGPoint UIView::convertPointToView(CGPoint point, const UIView* view) const {
  CGPoint root = toRoot(this, point);
  return view ? fromRoot(view, root) : root;
}

CGPoint UIView::convertPointFromView(CGPoint point, const UIView* view) const {
  return fromRoot(this, view ? toRoot(view, point) : point);
}

CGRect UIView::convertRectToView(CGRect rect, const UIView* view) const {
  rect = CGRectStandardize(rect);
  CGPoint o = convertPointToView(rect.origin, view);
  return {o, rect.size};
}

CGRect UIView::convertRectFromView(CGRect rect, const UIView* view) const {
  rect = CGRectStandardize(rect);
  CGPoint o = convertPointFromView(rect.origin, view);
  return {o, rect.size};
}

// --- gesture recognisers --------------------------------------------------------------

void UIView::addGestureRecognizer(UIGestureRecognizer* recognizer) {
  if (!recognizer) return;
  objc::Ref<UIGestureRecognizer> keep(recognizer);
  if (recognizer->view_ == this) return;
  if (recognizer->view_) recognizer->view_->removeGestureRecognizer(recognizer);
  recognizer->view_ = this;
  recognizers_.push_back(keep);
}

void UIView::removeGestureRecognizer(UIGestureRecognizer* recognizer) {
  if (!recognizer || recognizer->view_ != this) return;
  objc::Ref<UIGestureRecognizer> keep(recognizer);
  recognizer->view_ = nullptr;
  std::erase(recognizers_, recognizer);
}

bool UIView::gestureRecognizerShouldBegin(UIGestureRecognizer*) {
  return true;
}
bool UIView::allowsGestureRecognizerToBegin(UIGestureRecognizer*) {
  return true;
}

// --- responder chain ---------------------------------------------------------------

UIResponder* UIView::nextResponder() const {
  if (viewController_) return viewController_;
  return superview_;
}

// --- drawing ---------------------------------------------------------------------------

void UIView::drawContent(UIDrawing&, CGRect) const {}
void UIView::drawOverlay(UIDrawing&, CGRect) const {}
void UIView::digestContent(UIDigest&) const {}

// --- presentation ----------------------------------------------------------------------

CGRect UIView::presentationFrame() const {
  return layer_->presentationFrame();
}
CGRect UIView::presentationBounds() const {
  return layer_->presentationValueForKeyPath("bounds").rect();
}
CGPoint UIView::presentationCenter() const {
  return layer_->presentationValueForKeyPath("position").point();
}
CGFloat UIView::presentationAlpha() const {
  return static_cast<CGFloat>(layer_->presentationValueForKeyPath("opacity").number());
}
CGColorRef UIView::presentationBackgroundColor() const {
  CAValue v = layer_->presentationValueForKeyPath("backgroundColor");
  return v.kind() == CAValue::Kind::Color ? CGColorRef(v.color()) : CGColorRef();
}

CGRect UIView::frameOnScreen() const {
  CGRect f = presentationFrame();
  CGPoint p = f.origin;
  for (const UIView* a = superview_; a; a = a->superview_) {
    CGRect af = a->presentationFrame();
    CGRect ab = a->presentationBounds();
    p = CGPointMake(p.x + af.origin.x - ab.origin.x, p.y + af.origin.y - ab.origin.y);
  }
  return {p, f.size};
}
