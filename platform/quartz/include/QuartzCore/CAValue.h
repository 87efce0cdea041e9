// The value of an animatable layer property: a number, point, size, rectangle
// or colour, interpolated component by component.
#pragma once

#include <array>

#include "QuartzCore/CGColor.h"
#include "QuartzCore/CGGeometry.h"

class CAValue {
 public:
  enum class Kind { None, Number, Point, Size, Rect, Color };

  CAValue() = default;
  CAValue(double v) : kind_(Kind::Number), v_{v, 0, 0, 0} {}
  CAValue(CGPoint p) : kind_(Kind::Point), v_{p.x, p.y, 0, 0} {}
  CAValue(CGSize s) : kind_(Kind::Size), v_{s.width, s.height, 0, 0} {}
  CAValue(CGRect r) : kind_(Kind::Rect), v_{r.origin.x, r.origin.y, r.size.width, r.size.height} {}
  CAValue(const CGColor& c) : kind_(Kind::Color), v_{c.red, c.green, c.blue, c.alpha} {}

  Kind kind() const { return kind_; }
  bool isNone() const { return kind_ == Kind::None; }
  explicit operator bool() const { return !isNone(); }

  double number() const { return v_[0]; }
  CGPoint point() const { return CGPointMake(v_[0], v_[1]); }
  CGSize size() const { return CGSizeMake(v_[0], v_[1]); }
  CGRect rect() const { return CGRectMake(v_[0], v_[1], v_[2], v_[3]); }
  CGColor color() const { return {v_[0], v_[1], v_[2], v_[3]}; }

  // from + (to - from) * t, componentwise. Values of different kinds do not
  // interpolate: the result is `to` (or `from` while t < 1).
  static CAValue interpolate(const CAValue& from, const CAValue& to, double t);

  bool operator==(const CAValue&) const = default;

 private:
  Kind kind_ = Kind::None;
  std::array<double, 4> v_{};
};
