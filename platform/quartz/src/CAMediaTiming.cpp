#include "QuartzCore/CAMediaTiming.h"

#include <cmath>

#include "Foundation/RunLoop.h"

// The loop's uptime, so a step of the wall clock does not jump an animation.
double CACurrentMediaTime() {
  return ns::RunLoop::main().uptime();
}

CAMediaTimingFunction CAMediaTimingFunction::functionWithName(const std::string& name) {
  if (name == kCAMediaTimingFunctionEaseIn) return easeIn();
  if (name == kCAMediaTimingFunctionEaseOut) return easeOut();
  if (name == kCAMediaTimingFunctionEaseInEaseOut) return easeInEaseOut();
  // The platform's "default" curve is a gentle ease-in-out.
  if (name == kCAMediaTimingFunctionDefault) return {0.25, 0.1, 0.25, 1};
  return linear();
}

double CAMediaTimingFunction::evaluate(double t) const {
  if (t <= 0) return 0;
  if (t >= 1) return 1;
  if (x1_ == y1_ && x2_ == y2_) return t;  // linear
  auto bez = [](double a, double b, double s) {
    double u = 1 - s;
    return 3 * u * u * s * a + 3 * u * s * s * b + s * s * s;
  };
  // x(s) is monotonic for control points in [0, 1]: bisection finds s.
  double lo = 0, hi = 1, s = t;
  for (int i = 0; i < 60; ++i) {
    s = (lo + hi) / 2;
    double x = bez(x1_, x2_, s);
    if (std::fabs(x - t) < 1e-12) break;
    if (x < t)
      lo = s;
    else
      hi = s;
  }
  return bez(y1_, y2_, s);
}
