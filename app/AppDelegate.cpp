#include "AppDelegate.h"

#include "UIKit/UIClassFactory.h"

OBJC_CLASS_IMPL(AppDelegate, UIResponder, nullptr)
UIKIT_CLASS_FACTORY(AppDelegate)
