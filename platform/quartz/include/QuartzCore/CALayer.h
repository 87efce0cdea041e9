// Layers: the tree that carries geometry, opacity and colour for drawing, and
// the animations that make what is on screen (the presentation) differ from
// the model values for a while.
//
// Model values change at once when set. Presentation values are computed on
// demand from the model and the attached animations at the clock's current
// time (CACurrentMediaTime): nothing animates on a timer of its own.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "QuartzCore/CAAnimation.h"
#include "QuartzCore/CAMediaTiming.h"
#include "QuartzCore/CAValue.h"
#include "QuartzCore/CGColor.h"
#include "QuartzCore/CGGeometry.h"
#include "objc/runtime.h"

// A snapshot of a layer's own drawing state (model or presentation).
struct CALayerState {
  CGPoint position;
  CGRect bounds;
  CGPoint anchorPoint{0.5f, 0.5f};
  float opacity = 1;
  bool hidden = false;
  CGColorRef backgroundColor;
  double cornerRadius = 0;
  bool masksToBounds = false;
  double borderWidth = 0;
  CGColorRef borderColor;

  // The frame in the superlayer's coordinates.
  CGRect frame() const;
};

class CALayer : public objc::Object {
  OBJC_CLASS(CALayer)
 public:
  CALayer();
  ~CALayer() override;
  static objc::Ref<CALayer> layer() { return objc::make<CALayer>(); }

  // --- geometry -------------------------------------------------------------
  CGRect bounds() const { return state_.bounds; }
  void setBounds(CGRect b) { state_.bounds = b; }
  CGPoint position() const { return state_.position; }
  void setPosition(CGPoint p) { state_.position = p; }
  CGPoint anchorPoint() const { return state_.anchorPoint; }
  void setAnchorPoint(CGPoint a) { state_.anchorPoint = a; }
  // Derived from position, anchor point and bounds size. Setting it keeps the
  // bounds origin, takes the size and moves the position, so a zero-size
  // frame puts the position at its origin.
  CGRect frame() const { return state_.frame(); }
  void setFrame(CGRect f);

  // --- appearance -----------------------------------------------------------
  float opacity() const { return state_.opacity; }
  void setOpacity(float o) { state_.opacity = o; }
  bool isHidden() const { return state_.hidden; }
  void setHidden(bool h) { state_.hidden = h; }
  const CGColorRef& backgroundColor() const { return state_.backgroundColor; }
  void setBackgroundColor(CGColorRef c) { state_.backgroundColor = c; }
  double cornerRadius() const { return state_.cornerRadius; }
  void setCornerRadius(double r) { state_.cornerRadius = r; }
  bool masksToBounds() const { return state_.masksToBounds; }
  void setMasksToBounds(bool m) { state_.masksToBounds = m; }
  double borderWidth() const { return state_.borderWidth; }
  void setBorderWidth(double w) { state_.borderWidth = w; }
  const CGColorRef& borderColor() const { return state_.borderColor; }
  void setBorderColor(CGColorRef c) { state_.borderColor = c; }
  const std::string& name() const { return name_; }
  void setName(std::string n) { name_ = std::move(n); }

  // --- tree -----------------------------------------------------------------
  // Sublayers are owned; the superlayer is a plain back pointer that the
  // superlayer clears when it lets go.
  CALayer* superlayer() const { return superlayer_; }
  const std::vector<objc::Ref<CALayer>>& sublayers() const { return sublayers_; }
  // Adds on top (or moves to the top, when already a sublayer).
  void addSublayer(CALayer* layer);
  // index past the end adds on top.
  void insertSublayer(CALayer* layer, size_t index);
  // A sibling that is not a sublayer of this layer adds on top.
  void insertSublayerBelow(CALayer* layer, CALayer* sibling);
  void insertSublayerAbove(CALayer* layer, CALayer* sibling);
  void removeFromSuperlayer();
  bool isDescendantOf(const CALayer* ancestor) const;

  // The object the layer draws for (a view); not owned.
  objc::Object* delegate() const { return delegate_; }
  void setDelegate(objc::Object* d) { delegate_ = d; }

  // --- animations -----------------------------------------------------------
  // Stores a copy of anim under key (an empty key gets a unique one); an
  // animation already under that key is removed first, as not finished. A
  // missing begin time is now; a missing fromValue is the presentation
  // value now. Returns the stored copy.
  CAAnimation* addAnimation(CAAnimation* anim, std::string key = {});
  void removeAnimationForKey(const std::string& key);
  void removeAllAnimations();
  CAAnimation* animationForKey(const std::string& key) const;
  // Keys of the attached animations, oldest first (ended animations that are
  // removed on completion are dropped first).
  std::vector<std::string> animationKeys() const;

  // Runs once when the stored animation under key stops: finished = true at
  // its end, false when it is removed earlier. It always runs from the main
  // run loop, never inside the call that added or removed the animation.
  // The animation's delegate, if any, is told in the same way.
  void setAnimationStopHandler(const std::string& key, std::function<void(bool finished)> handler);

  // --- model and presentation values by key path ---------------------------
  // Key paths: "position", "bounds", "opacity", "backgroundColor",
  // "cornerRadius", "borderWidth", "borderColor" and, on shape layers,
  // "strokeStart", "strokeEnd", "lineWidth", "strokeColor", "fillColor".
  // A nil colour reads as CAValue() (None).
  virtual CAValue valueForKeyPath(std::string_view keyPath) const;
  virtual void setValueForKeyPath(std::string_view keyPath, const CAValue& value);
  // What is on screen now for a key path.
  CAValue presentationValueForKeyPath(std::string_view keyPath) const;

  const CALayerState& modelState() const { return state_; }
  CALayerState presentationState() const;
  CGRect presentationFrame() const { return presentationState().frame(); }

  // Point conversion between layers of one tree, on model values.
  CGPoint convertPointToLayer(CGPoint p, const CALayer* layer) const;
  CGPoint convertPointFromLayer(CGPoint p, const CALayer* layer) const;

 private:
  struct Attached;
  void dropEnded() const;
  void stopAnimation(Attached& a, bool finished, bool deferred);
  CGPoint toRoot(CGPoint p) const;
  CGPoint fromRoot(CGPoint p) const;

  CALayerState state_;
  std::string name_;
  CALayer* superlayer_ = nullptr;
  std::vector<objc::Ref<CALayer>> sublayers_;
  objc::Object* delegate_ = nullptr;
  mutable std::vector<std::shared_ptr<Attached>> animations_;
  uint64_t nextAnimationKey_ = 1;
};
