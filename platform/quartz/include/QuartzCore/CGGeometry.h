// Points, sizes and rectangles. Coordinates are single-precision (CGFloat is
// float), while every maker takes doubles: geometry is computed in double
// precision and stored as a single-precision coordinate, as the platform's
// 32-bit devices did.
#pragma once

#include <cmath>

using CGFloat = float;

struct CGPoint {
  CGFloat x = 0;
  CGFloat y = 0;
  bool operator==(const CGPoint&) const = default;
};

struct CGSize {
  CGFloat width = 0;
  CGFloat height = 0;
  bool operator==(const CGSize&) const = default;
};

struct CGRect {
  CGPoint origin;
  CGSize size;
  bool operator==(const CGRect&) const = default;
};

inline CGPoint CGPointMake(double x, double y) {
  return {static_cast<CGFloat>(x), static_cast<CGFloat>(y)};
}
inline CGSize CGSizeMake(double width, double height) {
  return {static_cast<CGFloat>(width), static_cast<CGFloat>(height)};
}
inline CGRect CGRectMake(double x, double y, double width, double height) {
  return {CGPointMake(x, y), CGSizeMake(width, height)};
}

inline constexpr CGPoint CGPointZero{};
inline constexpr CGSize CGSizeZero{};
inline constexpr CGRect CGRectZero{};

// A rectangle with a negative size is measured from its far edge, as the
// platform's functions do.
inline CGFloat CGRectGetMinX(CGRect r) {
  return r.size.width < 0 ? r.origin.x + r.size.width : r.origin.x;
}
inline CGFloat CGRectGetMinY(CGRect r) {
  return r.size.height < 0 ? r.origin.y + r.size.height : r.origin.y;
}
inline CGFloat CGRectGetWidth(CGRect r) {
  return std::fabs(r.size.width);
}
inline CGFloat CGRectGetHeight(CGRect r) {
  return std::fabs(r.size.height);
}
inline CGFloat CGRectGetMaxX(CGRect r) {
  return CGRectGetMinX(r) + CGRectGetWidth(r);
}
inline CGFloat CGRectGetMaxY(CGRect r) {
  return CGRectGetMinY(r) + CGRectGetHeight(r);
}
inline CGFloat CGRectGetMidX(CGRect r) {
  return CGRectGetMinX(r) + CGRectGetWidth(r) / 2;
}
inline CGFloat CGRectGetMidY(CGRect r) {
  return CGRectGetMinY(r) + CGRectGetHeight(r) / 2;
}

inline CGRect CGRectStandardize(CGRect r) {
  return {{CGRectGetMinX(r), CGRectGetMinY(r)}, {CGRectGetWidth(r), CGRectGetHeight(r)}};
}
inline bool CGRectIsEmpty(CGRect r) {
  return r.size.width == 0 || r.size.height == 0;
}
// Half-open, as on the platform: the maximum edges are outside.
inline bool CGRectContainsPoint(CGRect r, CGPoint p) {
  return p.x >= CGRectGetMinX(r) && p.x < CGRectGetMaxX(r) && p.y >= CGRectGetMinY(r) &&
         p.y < CGRectGetMaxY(r);
}
inline bool CGRectEqualToRect(CGRect a, CGRect b) {
  return a == b;
}
inline bool CGPointEqualToPoint(CGPoint a, CGPoint b) {
  return a == b;
}
inline bool CGSizeEqualToSize(CGSize a, CGSize b) {
  return a == b;
}
inline CGRect CGRectOffset(CGRect r, double dx, double dy) {
  return CGRectMake(r.origin.x + dx, r.origin.y + dy, r.size.width, r.size.height);
}
inline CGRect CGRectInset(CGRect r, double dx, double dy) {
  r = CGRectStandardize(r);
  return CGRectMake(r.origin.x + dx, r.origin.y + dy, r.size.width - 2 * dx,
                    r.size.height - 2 * dy);
}
inline bool CGRectIntersectsRect(CGRect a, CGRect b) {
  return CGRectGetMinX(a) < CGRectGetMaxX(b) && CGRectGetMinX(b) < CGRectGetMaxX(a) &&
         CGRectGetMinY(a) < CGRectGetMaxY(b) && CGRectGetMinY(b) < CGRectGetMaxY(a);
}
// The overlap of two rectangles; CGRectZero when they do not overlap (the
// platform gives its "null" rectangle there, which nothing here needs).
inline CGRect CGRectIntersection(CGRect a, CGRect b) {
  if (!CGRectIntersectsRect(a, b)) return CGRectZero;
  CGFloat x = std::fmax(CGRectGetMinX(a), CGRectGetMinX(b));
  CGFloat y = std::fmax(CGRectGetMinY(a), CGRectGetMinY(b));
  return CGRectMake(x, y, std::fmin(CGRectGetMaxX(a), CGRectGetMaxX(b)) - x,
                    std::fmin(CGRectGetMaxY(a), CGRectGetMaxY(b)) - y);
}
