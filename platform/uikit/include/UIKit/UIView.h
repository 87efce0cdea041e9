// Views: a retained tree of rectangles, each backed by a layer that carries
// its geometry, opacity and colour. Subviews are owned (in order, bottom
// first); the superview is a plain back pointer that the superview clears
// when it lets go.
//
// Geometry follows the platform: `frame` is derived from `center` and the
// size of `bounds`; setting `center` moves the frame, setting `frame` moves
// the centre and resizes the bounds. Values are stored as single-precision
// coordinates.
//
// Block animations (animateWithDuration) run their animation step at once,
// inside the call: the model values change then. What is on screen (the
// presentation) moves from the old to the new value over the duration on the
// run loop's clock. The completion runs later, from the main run loop: after
// the delay and duration, also when they are 0, or earlier (finished = false)
// when every animation of the block was replaced or removed before its end.
// The engine behind this is UIViewAnimation (src/UIViewAnimation.h).
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "QuartzCore/CALayer.h"
#include "UIKit/UIColor.h"
#include "UIKit/UIGeometry.h"
#include "UIKit/UIKitForward.h"
#include "UIKit/UIResponder.h"

using UIViewAutoresizing = NSUInteger;
enum : NSUInteger {
  UIViewAutoresizingNone = 0,
  UIViewAutoresizingFlexibleLeftMargin = 1 << 0,
  UIViewAutoresizingFlexibleWidth = 1 << 1,
  UIViewAutoresizingFlexibleRightMargin = 1 << 2,
  UIViewAutoresizingFlexibleTopMargin = 1 << 3,
  UIViewAutoresizingFlexibleHeight = 1 << 4,
  UIViewAutoresizingFlexibleBottomMargin = 1 << 5,
};

using UIViewContentMode = NSInteger;
enum : NSInteger {
  UIViewContentModeScaleToFill = 0,
  UIViewContentModeScaleAspectFit = 1,
  UIViewContentModeScaleAspectFill = 2,
  UIViewContentModeRedraw = 3,
  UIViewContentModeCenter = 4,
  UIViewContentModeTop = 5,
  UIViewContentModeBottom = 6,
  UIViewContentModeLeft = 7,
  UIViewContentModeRight = 8,
  UIViewContentModeTopLeft = 9,
  UIViewContentModeTopRight = 10,
  UIViewContentModeBottomLeft = 11,
  UIViewContentModeBottomRight = 12,
};

using UIViewAnimationOptions = NSUInteger;
enum : NSUInteger {
  UIViewAnimationOptionLayoutSubviews = 1 << 0,
  UIViewAnimationOptionAllowUserInteraction = 1 << 1,
  UIViewAnimationOptionBeginFromCurrentState = 1 << 2,
  UIViewAnimationOptionCurveEaseInOut = 0 << 16,  // the default
  UIViewAnimationOptionCurveEaseIn = 1 << 16,
  UIViewAnimationOptionCurveEaseOut = 2 << 16,
  UIViewAnimationOptionCurveLinear = 3 << 16,
};

class UIView : public UIResponder {
  OBJC_CLASS(UIView)
 public:
  explicit UIView(CGRect frame = CGRectZero);
  ~UIView() override;

  // --- geometry (model values) ----------------------------------------------
  CGRect frame() const;
  void setFrame(CGRect frame);
  CGRect bounds() const;
  void setBounds(CGRect bounds);
  CGPoint center() const;
  void setCenter(CGPoint center);

  // --- appearance -----------------------------------------------------------
  CGFloat alpha() const;
  void setAlpha(double alpha);
  // Not animated: inside an animation block it takes effect at once.
  bool isHidden() const;
  void setHidden(bool hidden);
  UIColor* backgroundColor() const { return backgroundColor_.get(); }
  virtual void setBackgroundColor(UIColor* color);
  bool clipsToBounds() const;
  void setClipsToBounds(bool clips);
  // Kept for code written against the platform: the renderer blends every
  // view and never reads it.
  bool isOpaque() const { return opaque_; }
  void setOpaque(bool opaque) { opaque_ = opaque; }
  UIViewContentMode contentMode() const { return contentMode_; }
  void setContentMode(UIViewContentMode mode) { contentMode_ = mode; }
  NSInteger tag() const { return tag_; }
  void setTag(NSInteger tag) { tag_ = tag; }
  // The view itself or the first descendant (depth first) with the tag.
  UIView* viewWithTag(NSInteger tag) const;
  // The backing layer (owned by the view). Corner radius and border live here.
  CALayer* layer() const { return layer_.get(); }

  // --- interaction ----------------------------------------------------------
  bool isUserInteractionEnabled() const { return userInteractionEnabled_; }
  void setUserInteractionEnabled(bool enabled) { userInteractionEnabled_ = enabled; }
  // Kept for code written against the platform: touches are single-finger.
  bool isMultipleTouchEnabled() const { return multipleTouchEnabled_; }
  void setMultipleTouchEnabled(bool enabled) { multipleTouchEnabled_ = enabled; }

  // --- tree -----------------------------------------------------------------
  UIView* superview() const { return superview_; }
  const std::vector<objc::Ref<UIView>>& subviews() const { return subviews_; }
  // The window the view is in, or null.
  UIWindow* window() const;
  // Adds on top; a view of another superview is moved here first.
  void addSubview(UIView* view);
  // Index past the end adds on top.
  void insertSubview(UIView* view, NSInteger index);
  void insertSubviewBelow(UIView* view, UIView* sibling);
  void insertSubviewAbove(UIView* view, UIView* sibling);
  void removeFromSuperview();
  void bringSubviewToFront(UIView* view);
  void sendSubviewToBack(UIView* view);
  void exchangeSubviewAtIndex(NSInteger a, NSInteger b);
  bool isDescendantOfView(const UIView* view) const;

  // Notifications about the tree, for subclasses.
  virtual void didAddSubview(UIView*) {}
  virtual void willRemoveSubview(UIView*) {}
  virtual void willMoveToSuperview(UIView*) {}
  virtual void didMoveToSuperview() {}
  virtual void willMoveToWindow(UIWindow*) {}
  virtual void didMoveToWindow() {}

  // --- layout ---------------------------------------------------------------
  // Marks the view; the layout pass runs from the main run loop (soon after,
  // at the current clock time) or when layoutIfNeeded is called.
  void setNeedsLayout();
  bool needsLayout() const { return needsLayout_; }
  // Lays out this view (if marked) and then its subviews, top down.
  void layoutIfNeeded();
  // Subclasses place their subviews here; the default does nothing. The
  // view controller whose root view this is gets viewWillLayoutSubviews
  // before and viewDidLayoutSubviews after (dispatched by selector).
  virtual void layoutSubviews() {}
  virtual CGSize sizeThatFits(CGSize size) const;
  void sizeToFit();
  bool autoresizesSubviews() const { return autoresizesSubviews_; }
  void setAutoresizesSubviews(bool a) { autoresizesSubviews_ = a; }
  UIViewAutoresizing autoresizingMask() const { return autoresizingMask_; }
  void setAutoresizingMask(UIViewAutoresizing mask) { autoresizingMask_ = mask; }

  // --- hit testing and coordinates ------------------------------------------
  // The deepest visible, interactive descendant containing point (in this
  // view's coordinates), topmost first; null if none. Views that are hidden,
  // have alpha below 0.01 or have user interaction off are skipped with
  // their subviews; a point outside the bounds misses the view and its
  // subviews.
  virtual UIView* hitTest(CGPoint point, UIEvent* event);
  virtual bool pointInside(CGPoint point, UIEvent* event) const;
  // Between this view and another of the same tree (null: the window /
  // the root of the tree), on model values.
  CGPoint convertPointToView(CGPoint point, const UIView* view) const;
  CGPoint convertPointFromView(CGPoint point, const UIView* view) const;
  CGRect convertRectToView(CGRect rect, const UIView* view) const;
  CGRect convertRectFromView(CGRect rect, const UIView* view) const;

  // --- gesture recognisers --------------------------------------------------
  void addGestureRecognizer(UIGestureRecognizer* recognizer);
  void removeGestureRecognizer(UIGestureRecognizer* recognizer);
  const std::vector<objc::Ref<UIGestureRecognizer>>& gestureRecognizers() const {
    return recognizers_;
  }
  // Asked before a recogniser of this view starts; true by default.
  virtual bool gestureRecognizerShouldBegin(UIGestureRecognizer* recognizer);
  // Asked of the view a touch started on, before a recogniser of one of its
  // ancestors (or of itself) starts; true by default. Controls refuse
  // single-tap recognisers of their ancestors, as on the platform.
  virtual bool allowsGestureRecognizerToBegin(UIGestureRecognizer* recognizer);

  // --- responder chain ------------------------------------------------------
  UIResponder* nextResponder() const override;
  // The controller whose root view this is (not owned).
  UIViewController* viewController() const { return viewController_; }

  // --- block animations -----------------------------------------------------
  static void animateWithDuration(double duration, double delay, UIViewAnimationOptions options,
                                  const std::function<void()>& animations,
                                  std::function<void(bool finished)> completion);
  static void animateWithDuration(double duration, const std::function<void()>& animations,
                                  std::function<void(bool finished)> completion = nullptr);
  // Runs the block with animations off (changes take effect at once).
  static void performWithoutAnimation(const std::function<void()>& actions);
  static bool areAnimationsEnabled();
  static void setAnimationsEnabled(bool enabled);
  // True while an animation block's step is running.
  static bool isInAnimationBlock();

  // --- what is on screen now (presentation values), for renderers, dumps
  //     and tests ---------------------------------------------------------------
  CGRect presentationFrame() const;   // in the superview's coordinates
  CGRect presentationBounds() const;  // the origin is the scroll offset
  CGPoint presentationCenter() const;
  CGFloat presentationAlpha() const;
  CGColorRef presentationBackgroundColor() const;
  // The view's rectangle in window (= screen) coordinates, from the
  // presentation values of the view and all its ancestors.
  CGRect frameOnScreen() const;

  // The text a view shows, for dumps: labels, button titles and text fields
  // give theirs; other views give none.
  virtual std::optional<std::string> displayedText() const { return std::nullopt; }

  // --- drawing (asked by the renderer; see UIDrawing.h) ----------------------
  // What the view draws besides its layer (text, images), in its own
  // coordinates: bounds are its presentation bounds. Content goes above the
  // background and below the subviews, the overlay above the subviews and
  // the border. The defaults draw nothing.
  virtual void drawContent(UIDrawing& drawing, CGRect bounds) const;
  virtual void drawOverlay(UIDrawing& drawing, CGRect bounds) const;
  // Adds whatever decides what drawContent and drawOverlay draw to the
  // screen's digest, so a change of it redraws the screen.
  virtual void digestContent(UIDigest& digest) const;
  // Whether the view moves by itself now, without an animation (a scroll
  // view being dragged or gliding): the screen keeps redrawing meanwhile.
  virtual bool isMovingByItself() const { return false; }

 protected:
  // Sets a layer property, with an animation when inside an animation block.
  void setAnimatableLayerValue(const char* keyPath, const CAValue& value);

 private:
  friend class UIViewController;
  friend class UIWindow;
  void attachSubview(UIView* view, CALayer* below);
  void detachFromSuperview(bool notify);
  void moveToWindow(UIWindow* window);
  void resizeSubviews(CGSize oldSize);
  void layoutNow();

  objc::Ref<CALayer> layer_;
  UIView* superview_ = nullptr;
  UIWindow* window_ = nullptr;
  UIViewController* viewController_ = nullptr;
  std::vector<objc::Ref<UIView>> subviews_;
  std::vector<objc::Ref<UIGestureRecognizer>> recognizers_;
  objc::Ref<UIColor> backgroundColor_;
  bool userInteractionEnabled_ = true;
  bool multipleTouchEnabled_ = false;
  bool opaque_ = true;
  bool autoresizesSubviews_ = true;
  bool needsLayout_ = false;
  UIViewAutoresizing autoresizingMask_ = UIViewAutoresizingNone;
  UIViewContentMode contentMode_ = UIViewContentModeScaleToFill;
  NSInteger tag_ = 0;
};
