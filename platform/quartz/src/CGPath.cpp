#include "QuartzCore/CGPath.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double kTwoPi = 2 * M_PI;

CGPoint pointOnArc(const CGPathElement& e, double angle) {
  return CGPointMake(e.point.x + e.radius * std::cos(angle),
                     e.point.y + e.radius * std::sin(angle));
}

// The signed sweep of an arc: non-negative going clockwise, at most a turn.
double arcSweep(double startAngle, double endAngle, bool clockwise) {
  double d = clockwise ? endAngle - startAngle : startAngle - endAngle;
  if (d > kTwoPi) {
    d = kTwoPi;
  } else if (d < 0) {
    d = std::fmod(d, kTwoPi);
    if (d < 0) d += kTwoPi;
    if (d == 0) d = kTwoPi;  // a whole number of turns backwards is one turn
  }
  return clockwise ? d : -d;
}

}  // namespace

bool operator==(const CGPathElement& a, const CGPathElement& b) {
  return a.type == b.type && a.point == b.point && a.radius == b.radius &&
         a.startAngle == b.startAngle && a.sweep == b.sweep;
}

bool CGPath::operator==(const CGPath& o) const {
  return elements_ == o.elements_;
}

void CGPath::moveTo(CGPoint p) {
  elements_.push_back({CGPathElement::Type::MoveTo, p});
  current_ = subpathStart_ = p;
}

void CGPath::lineTo(CGPoint p) {
  // A line with no current point starts the path there, as drawing would.
  if (elements_.empty()) return moveTo(p);
  elements_.push_back({CGPathElement::Type::LineTo, p});
  current_ = p;
}

void CGPath::addArc(CGPoint centre, double radius, double startAngle, double endAngle,
                    bool clockwise) {
  CGPathElement e;
  e.type = CGPathElement::Type::Arc;
  e.point = centre;
  e.radius = radius;
  e.startAngle = startAngle;
  e.sweep = arcSweep(startAngle, endAngle, clockwise);
  // An arc joins the current point with a line, or starts a subpath.
  if (elements_.empty()) subpathStart_ = pointOnArc(e, startAngle);
  elements_.push_back(e);
  current_ = pointOnArc(e, startAngle + e.sweep);
}

void CGPath::addRect(CGRect r) {
  r = CGRectStandardize(r);
  moveTo(r.origin);
  lineTo(CGPointMake(CGRectGetMaxX(r), CGRectGetMinY(r)));
  lineTo(CGPointMake(CGRectGetMaxX(r), CGRectGetMaxY(r)));
  lineTo(CGPointMake(CGRectGetMinX(r), CGRectGetMaxY(r)));
  closeSubpath();
}

void CGPath::addRoundedRect(CGRect r, double cornerRadius) {
  r = CGRectStandardize(r);
  double x = r.origin.x, y = r.origin.y, w = r.size.width, h = r.size.height;
  double c = std::clamp(cornerRadius, 0.0, std::min(w, h) / 2);
  if (c == 0) return addRect(r);
  moveTo(CGPointMake(x + c, y));
  lineTo(CGPointMake(x + w - c, y));
  addArc(CGPointMake(x + w - c, y + c), c, -M_PI / 2, 0, true);
  lineTo(CGPointMake(x + w, y + h - c));
  addArc(CGPointMake(x + w - c, y + h - c), c, 0, M_PI / 2, true);
  lineTo(CGPointMake(x + c, y + h));
  addArc(CGPointMake(x + c, y + h - c), c, M_PI / 2, M_PI, true);
  lineTo(CGPointMake(x, y + c));
  addArc(CGPointMake(x + c, y + c), c, M_PI, 3 * M_PI / 2, true);
  closeSubpath();
}

void CGPath::closeSubpath() {
  if (elements_.empty()) return;
  elements_.push_back({CGPathElement::Type::Close, subpathStart_});
  current_ = subpathStart_;
}

std::vector<std::vector<CGPoint>> CGPath::flatten(double maxStep) const {
  std::vector<std::vector<CGPoint>> out;
  maxStep = std::max(maxStep, 0.01);
  CGPoint start;
  for (const CGPathElement& e : elements_) {
    switch (e.type) {
      case CGPathElement::Type::MoveTo:
        out.push_back({e.point});
        start = e.point;
        break;
      case CGPathElement::Type::LineTo:
        if (out.empty()) out.push_back({});
        out.back().push_back(e.point);
        break;
      case CGPathElement::Type::Arc: {
        CGPoint first = pointOnArc(e, e.startAngle);
        if (out.empty()) {
          out.push_back({});
          start = first;
        }
        out.back().push_back(first);
        int n = std::max(1, static_cast<int>(std::ceil(std::fabs(e.sweep) * e.radius / maxStep)));
        if (e.sweep == 0) n = 0;
        for (int i = 1; i <= n; ++i)
          out.back().push_back(pointOnArc(e, e.startAngle + e.sweep * i / n));
        break;
      }
      case CGPathElement::Type::Close:
        if (!out.empty()) {
          out.back().push_back(e.point);
          start = e.point;
          out.push_back({start});  // drawing goes on from the subpath's start
        }
        break;
    }
  }
  // Drop the empty continuations a trailing close leaves.
  out.erase(std::remove_if(out.begin(), out.end(), [](const auto& s) { return s.size() < 2; }),
            out.end());
  return out;
}

double CGPath::length() const {
  double total = 0;
  for (const auto& sub : flatten(0.25))
    for (size_t i = 1; i < sub.size(); ++i)
      total += std::hypot(sub[i].x - sub[i - 1].x, sub[i].y - sub[i - 1].y);
  return total;
}

CGRect CGPath::boundingBox() const {
  if (elements_.empty()) return CGRectZero;
  double minX = INFINITY, minY = INFINITY, maxX = -INFINITY, maxY = -INFINITY;
  auto add = [&](CGPoint p) {
    minX = std::min<double>(minX, p.x);
    maxX = std::max<double>(maxX, p.x);
    minY = std::min<double>(minY, p.y);
    maxY = std::max<double>(maxY, p.y);
  };
  for (const CGPathElement& e : elements_) {
    if (e.type != CGPathElement::Type::Arc) {
      add(e.point);
      continue;
    }
    double a0 = e.startAngle, a1 = e.startAngle + e.sweep;
    add(pointOnArc(e, a0));
    add(pointOnArc(e, a1));
    // The arc's extremes are at the quarter turns it passes.
    double lo = std::min(a0, a1), hi = std::max(a0, a1);
    for (double q = std::ceil(lo / (M_PI / 2)) * (M_PI / 2); q <= hi; q += M_PI / 2)
      add(pointOnArc(e, q));
  }
  return CGRectMake(minX, minY, maxX - minX, maxY - minY);
}
