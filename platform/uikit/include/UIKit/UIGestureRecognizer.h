// Gesture recognisers. A recogniser attached to a view sees every touch that
// starts on that view or one of its descendants, before the view does. When
// it recognises its gesture (a discrete one ends, a continuous one begins),
// the other recognisers of that touch fail and, with cancelsTouchesInView
// (the default), the hit view gets touchesCancelled instead of the rest of
// the touch. That is how a scroll view takes over a drag that started on a
// button inside it, and how a tap recogniser takes a tap.
//
// Targets are not retained (as on the platform); actions are sent through
// objc_msgSend(target, action, recogniser), so the target's class must have
// the action as a method.
#pragma once

#include <vector>

#include "UIKit/UIResponder.h"
#include "UIKit/UIView.h"

enum class UIGestureRecognizerState { Possible, Began, Changed, Ended, Cancelled, Failed };
inline constexpr UIGestureRecognizerState UIGestureRecognizerStateRecognized =
    UIGestureRecognizerState::Ended;

class UIGestureRecognizer : public objc::Object {
  OBJC_CLASS(UIGestureRecognizer)
 public:
  UIGestureRecognizer(objc::Object* target = nullptr, objc::SEL action = nullptr);
  UIGestureRecognizer(objc::Object* target, const char* action);

  void addTarget(objc::Object* target, objc::SEL action);
  void removeTarget(objc::Object* target, objc::SEL action);

  UIGestureRecognizerState state() const { return state_; }
  // The view it is attached to (not owned: the view owns its recognisers).
  UIView* view() const { return view_; }
  bool isEnabled() const { return enabled_; }
  void setEnabled(bool enabled) { enabled_ = enabled; }
  bool cancelsTouchesInView() const { return cancelsTouchesInView_; }
  void setCancelsTouchesInView(bool c) { cancelsTouchesInView_ = c; }

  // The current touch's place in a view's coordinates (null: the window's).
  CGPoint locationInView(const UIView* view) const;
  UITouch* touch() const { return touch_.get(); }

  // --- for subclasses ---------------------------------------------------------
  // Called with the touches of the views it is attached to. A subclass moves
  // the state; Began, Changed and Ended (recognised) send the actions.
  virtual void touchesBegan(UITouch* touch, UIEvent* event);
  virtual void touchesMoved(UITouch* touch, UIEvent* event);
  virtual void touchesEnded(UITouch* touch, UIEvent* event);
  virtual void touchesCancelled(UITouch* touch, UIEvent* event);
  // Back to Possible after a gesture ended, failed or was cancelled.
  virtual void reset() {}
  // Leaving Possible for Began or Ended asks the views first
  // (gestureRecognizerShouldBegin, allowsGestureRecognizerToBegin); a refusal
  // turns the state into Failed.
  void setState(UIGestureRecognizerState state);

 private:
  friend class UIView;
  friend class UIWindow;
  struct Target {
    objc::Weak<objc::Object> target;
    objc::SEL action;
  };
  void sendActions();
  void finishTouch();

  UIGestureRecognizerState state_ = UIGestureRecognizerState::Possible;
  UIView* view_ = nullptr;
  std::vector<Target> targets_;
  bool enabled_ = true;
  bool cancelsTouchesInView_ = true;
  objc::Ref<UITouch> touch_;
};

// Recognises a touch that lifts without having moved more than
// allowableMovement points from where it started.
class UITapGestureRecognizer : public UIGestureRecognizer {
  OBJC_CLASS(UITapGestureRecognizer)
 public:
  using UIGestureRecognizer::UIGestureRecognizer;
  int numberOfTapsRequired() const { return 1; }
  double allowableMovement() const { return allowableMovement_; }
  void setAllowableMovement(double m) { allowableMovement_ = m; }

  void touchesMoved(UITouch* touch, UIEvent* event) override;
  void touchesEnded(UITouch* touch, UIEvent* event) override;
  void touchesCancelled(UITouch* touch, UIEvent* event) override;

 private:
  double allowableMovement_ = 10;
};

// Recognises a drag once the touch has moved minimumMovement points; then
// reports Changed for every move and Ended at the lift.
class UIPanGestureRecognizer : public UIGestureRecognizer {
  OBJC_CLASS(UIPanGestureRecognizer)
 public:
  using UIGestureRecognizer::UIGestureRecognizer;
  double minimumMovement() const { return minimumMovement_; }
  void setMinimumMovement(double m) { minimumMovement_ = m; }

  // Movement since the touch began (or since setTranslation), in the
  // coordinates of view (null: the window's).
  CGPoint translationInView(const UIView* view) const;
  void setTranslation(CGPoint translation, const UIView* view);
  // Points per second of the last movement, in the window's orientation. A
  // lift more than 0.1 s after the last movement has no speed.
  CGPoint velocityInView(const UIView* view) const;

  void touchesBegan(UITouch* touch, UIEvent* event) override;
  void touchesMoved(UITouch* touch, UIEvent* event) override;
  void touchesEnded(UITouch* touch, UIEvent* event) override;
  void touchesCancelled(UITouch* touch, UIEvent* event) override;
  void reset() override;

 private:
  double minimumMovement_ = 10;
  CGPoint origin_;  // window coordinates the translation counts from
  CGPoint velocity_;
  double lastTime_ = 0;
};
