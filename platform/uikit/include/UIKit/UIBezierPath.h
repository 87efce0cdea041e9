// Bézier paths as objects, over the layer toolkit's CGPath. Angles are in
// radians on the screen, whose y axis points down: angle 0 points right and
// clockwise runs down from there.
#pragma once

#include "QuartzCore/CGPath.h"
#include "UIKit/UIGeometry.h"
#include "objc/runtime.h"

class UIBezierPath : public objc::Object {
  OBJC_CLASS(UIBezierPath)
 public:
  UIBezierPath() = default;
  static objc::Ref<UIBezierPath> bezierPath() { return objc::make<UIBezierPath>(); }
  static objc::Ref<UIBezierPath> bezierPathWithArcCenter(CGPoint center, double radius,
                                                         double startAngle, double endAngle,
                                                         bool clockwise);
  static objc::Ref<UIBezierPath> bezierPathWithRect(CGRect rect);
  static objc::Ref<UIBezierPath> bezierPathWithRoundedRect(CGRect rect, double cornerRadius);
  static objc::Ref<UIBezierPath> bezierPathWithOvalInRect(CGRect rect);

  void moveToPoint(CGPoint p) { path_.moveTo(p); }
  void addLineToPoint(CGPoint p) { path_.lineTo(p); }
  void addArcWithCenter(CGPoint center, double radius, double startAngle, double endAngle,
                        bool clockwise) {
    path_.addArc(center, radius, startAngle, endAngle, clockwise);
  }
  void closePath() { path_.closeSubpath(); }

  const ::CGPath& CGPath() const { return path_; }
  CGRect bounds() const { return path_.boundingBox(); }
  bool isEmpty() const { return path_.isEmpty(); }
  CGPoint currentPoint() const { return path_.currentPoint(); }
  double lineWidth() const { return lineWidth_; }
  void setLineWidth(double w) { lineWidth_ = w; }

 private:
  ::CGPath path_;
  double lineWidth_ = 1;
};
