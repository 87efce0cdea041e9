#include "UIKit/UIScreen.h"

#include <cstdio>
#include <optional>

OBJC_CLASS_IMPL(UIScreen, objc::Object, nullptr)

namespace {
struct Profile {
  double width = 320, height = 568, scale = 2;
};

std::optional<Profile>& overrideProfile() {
  static std::optional<Profile> profile;
  return profile;
}

Profile currentProfile() {
  return overrideProfile() ? *overrideProfile() : Profile{};
}
}  // namespace

UIScreen* UIScreen::mainScreen() {
  static UIScreen* screen = objc::Ref<UIScreen>::adopt(new UIScreen).leak();
  return screen;
}

CGRect UIScreen::bounds() const {
  Profile p = currentProfile();
  return CGRectMake(0, 0, p.width, p.height);
}

double UIScreen::scale() const {
  return currentProfile().scale;
}

CGRect UIScreen::applicationFrame() const {
  Profile p = currentProfile();
  return CGRectMake(0, 20, p.width, p.height - 20);
}

void UIScreen::setDeviceProfile(double width, double height, double scale) {
  overrideProfile() = Profile{width, height, scale};
}

void UIScreen::resetDeviceProfile() {
  overrideProfile().reset();
}

bool UIScreen::parseProfile(const char* text, double* width, double* height, double* scale) {
  if (!text) return false;
  double w = 0, h = 0, s = 2;
  int used = 0;
  if (std::sscanf(text, "%lfx%lf%n", &w, &h, &used) != 2) return false;
  const char* rest = text + used;
  if (*rest == '@') {
    int more = 0;
    if (std::sscanf(rest + 1, "%lf%n", &s, &more) != 1) return false;
    rest += 1 + more;
  }
  if (*rest != '\0' || !(w > 0) || !(h > 0) || !(s > 0) || w > 100000 || h > 100000 || s > 10)
    return false;
  *width = w;
  *height = h;
  *scale = s;
  return true;
}
