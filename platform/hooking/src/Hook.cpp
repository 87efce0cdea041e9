#include "Foundation/Log.h"
#include "substrate.h"

void MSHookMessageEx(objc::Class* cls, objc::SEL sel, objc::IMP replacement, objc::IMP* previous) {
  if (!cls) {
    ns::NSLog("MSHookMessageEx: no class to hook %s on; hook not installed",
              objc::sel_getName(sel));
    return;
  }
  if (!sel || !replacement) {
    ns::NSLog("MSHookMessageEx: no selector or replacement for %s; hook not installed",
              objc::class_getName(cls));
    return;
  }
  // Hooking a selector nobody answers would leave the replacement with
  // nothing to call through to.
  if (!objc::class_getMethodImplementation(cls, sel)) {
    ns::NSLog("MSHookMessageEx: %s does not answer %s; hook not installed",
              objc::class_getName(cls), objc::sel_getName(sel));
    return;
  }
  // The runtime hands back the inherited implementation when the class had
  // none of its own, which is exactly what the replacement must call.
  objc::IMP old = objc::class_replaceMethod(cls, sel, replacement, "");
  if (previous) *previous = old;
}
