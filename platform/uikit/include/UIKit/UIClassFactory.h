// Making objects from a class name: the application shell creates its
// delegate (and the principal class, and the main interface's root view
// controller) from names, as the platform does. The runtime knows classes by
// name but not how to build a C++ object, so each class that should be made
// by name registers a factory once:
//
//   OBJC_CLASS_IMPL(AppDelegate, UIResponder, nullptr)
//   UIKIT_CLASS_FACTORY(AppDelegate)
#pragma once

#include "objc/runtime.h"

using UIClassFactoryFunction = objc::Ref<objc::Object> (*)();

void UIRegisterClassFactory(objc::Class* cls, UIClassFactoryFunction factory);
// A new instance of exactly that class, or null when it has no factory.
objc::Ref<objc::Object> UICreateInstanceOfClass(objc::Class* cls);
objc::Ref<objc::Object> UICreateInstanceOfClassNamed(const char* name);

#define UIKIT_CLASS_FACTORY(Name)                                                 \
  static const bool uikit_factory_##Name =                                        \
      (UIRegisterClassFactory(                                                    \
           Name::classObject(),                                                   \
           []() -> ::objc::Ref<::objc::Object> { return ::objc::make<Name>(); }), \
       true);
