#include "UIKit/UIFont.h"

#include <cstdio>

OBJC_CLASS_IMPL(UIFont, objc::Object, nullptr)

objc::Ref<UIFont> UIFont::fontWithName(const std::string& name, double pointSize) {
  return objc::make<UIFont>(name, pointSize);
}

objc::Ref<UIFont> UIFont::systemFontOfSize(double pointSize) {
  return objc::make<UIFont>(systemFontName(), pointSize);
}

objc::Ref<UIFont> UIFont::boldSystemFontOfSize(double pointSize) {
  return objc::make<UIFont>(".HelveticaNeueInterface-MediumP4", pointSize);
}

objc::Ref<UIFont> UIFont::fontWithSize(double pointSize) const {
  return objc::make<UIFont>(name_, pointSize);
}

std::string UIFont::description() const {
  char buf[64];
  std::snprintf(buf, sizeof buf, "; font-size: %gpt", size_);
  return "font-family: \"" + name_ + "\"" + buf;
}
