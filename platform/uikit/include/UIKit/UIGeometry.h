// The toolkit's geometry: the layer toolkit's points, sizes and rectangles,
// plus edge insets and text forms for logs and dumps.
#pragma once

#include <string>

#include "QuartzCore/CGGeometry.h"

using NSInteger = long;
using NSUInteger = unsigned long;

struct UIEdgeInsets {
  CGFloat top = 0, left = 0, bottom = 0, right = 0;
  bool operator==(const UIEdgeInsets&) const = default;
};
inline UIEdgeInsets UIEdgeInsetsMake(double top, double left, double bottom, double right) {
  return {static_cast<CGFloat>(top), static_cast<CGFloat>(left), static_cast<CGFloat>(bottom),
          static_cast<CGFloat>(right)};
}
inline constexpr UIEdgeInsets UIEdgeInsetsZero{};
inline CGRect UIEdgeInsetsInsetRect(CGRect r, UIEdgeInsets i) {
  return CGRectMake(r.origin.x + i.left, r.origin.y + i.top, r.size.width - i.left - i.right,
                    r.size.height - i.top - i.bottom);
}

// "{x, y}", "{w, h}", "{{x, y}, {w, h}}" with the shortest text that reads
// back as the same single-precision value.
std::string NSStringFromCGPoint(CGPoint p);
std::string NSStringFromCGSize(CGSize s);
std::string NSStringFromCGRect(CGRect r);
