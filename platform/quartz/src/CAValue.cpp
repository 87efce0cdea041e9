#include "QuartzCore/CAValue.h"

CAValue CAValue::interpolate(const CAValue& from, const CAValue& to, double t) {
  CAValue a = from, b = to;
  // A missing colour fades as the other colour made transparent.
  if (a.kind_ == Kind::None && b.kind_ == Kind::Color) {
    a = b;
    a.v_[3] = 0;
  } else if (b.kind_ == Kind::None && a.kind_ == Kind::Color) {
    if (t >= 1) return to;
    b = a;
    b.v_[3] = 0;
  }
  if (a.kind_ != b.kind_ || a.kind_ == Kind::None) return t >= 1 ? to : from;
  CAValue out = a;
  for (size_t i = 0; i < out.v_.size(); ++i) out.v_[i] = a.v_[i] + (b.v_[i] - a.v_[i]) * t;
  return out;
}
