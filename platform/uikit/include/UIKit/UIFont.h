// Fonts by name and size. Any name is accepted: a face that is not on the
// machine keeps its name and size, and the renderer picks a stand-in.
#pragma once

#include <string>

#include "QuartzCore/CGGeometry.h"
#include "objc/runtime.h"

class UIFont : public objc::Object {
  OBJC_CLASS(UIFont)
 public:
  UIFont(std::string name, double pointSize) : name_(std::move(name)), size_(pointSize) {}

  static objc::Ref<UIFont> fontWithName(const std::string& name, double pointSize);
  // The interface font, ".HelveticaNeueInterface-Regular".
  static objc::Ref<UIFont> systemFontOfSize(double pointSize);
  static objc::Ref<UIFont> boldSystemFontOfSize(double pointSize);
  static const char* systemFontName() { return ".HelveticaNeueInterface-Regular"; }

  const std::string& fontName() const { return name_; }
  CGFloat pointSize() const { return size_; }
  objc::Ref<UIFont> fontWithSize(double pointSize) const;
  std::string description() const override;

 private:
  std::string name_;
  CGFloat size_;
};
