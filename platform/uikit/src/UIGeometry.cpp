#include "UIKit/UIGeometry.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {
// The shortest "%g" text that reads back as the same float.
std::string num(CGFloat v) {
  char buf[48];
  for (int precision = 1; precision <= 9; ++precision) {
    std::snprintf(buf, sizeof buf, "%.*g", precision, static_cast<double>(v));
    if (std::strtof(buf, nullptr) == v && !std::strchr(buf, 'e')) return buf;
  }
  std::snprintf(buf, sizeof buf, "%.9g", static_cast<double>(v));
  return buf;
}
}  // namespace

std::string NSStringFromCGPoint(CGPoint p) {
  return "{" + num(p.x) + ", " + num(p.y) + "}";
}
std::string NSStringFromCGSize(CGSize s) {
  return "{" + num(s.width) + ", " + num(s.height) + "}";
}
std::string NSStringFromCGRect(CGRect r) {
  return "{" + NSStringFromCGPoint(r.origin) + ", " + NSStringFromCGSize(r.size) + "}";
}
