#include "UIKit/UIClassFactory.h"

#include <map>

namespace {
std::map<objc::Class*, UIClassFactoryFunction>& factories() {
  static auto* map = new std::map<objc::Class*, UIClassFactoryFunction>;
  return *map;
}
}  // namespace

void UIRegisterClassFactory(objc::Class* cls, UIClassFactoryFunction factory) {
  if (cls && factory) factories()[cls] = factory;
}

objc::Ref<objc::Object> UICreateInstanceOfClass(objc::Class* cls) {
  auto it = factories().find(cls);
  return it == factories().end() ? nullptr : it->second();
}

objc::Ref<objc::Object> UICreateInstanceOfClassNamed(const char* name) {
  return name ? UICreateInstanceOfClass(objc::objc_getClass(name)) : nullptr;
}
