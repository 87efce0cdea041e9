// A colour value: red, green, blue and alpha from 0 to 1 in the device's RGB
// space. Layers hold colours by value; "no colour" is an empty optional.
#pragma once

#include <optional>

struct CGColor {
  double red = 0;
  double green = 0;
  double blue = 0;
  double alpha = 0;
  bool operator==(const CGColor&) const = default;
};

using CGColorRef = std::optional<CGColor>;

inline CGColor CGColorMake(double red, double green, double blue, double alpha) {
  return {red, green, blue, alpha};
}
inline CGColor CGColorCreateCopyWithAlpha(const CGColor& c, double alpha) {
  return {c.red, c.green, c.blue, alpha};
}
