// The hooking library's interface for tweaks: replace a method of a run-time
// class and keep the implementation it replaced, so the replacement can call
// through to it.
#pragma once

#include "objc/runtime.h"

// Makes replacement answer sel on cls and stores in *previous (when given) the
// implementation that answered before: the class's own, or the one it
// inherited, so a hook on a subclass still reaches the superclass's method.
// A null class, a null selector or replacement, or a selector the class does
// not answer at all logs one line and changes nothing (*previous is left as
// it was).
void MSHookMessageEx(objc::Class* cls, objc::SEL sel, objc::IMP replacement, objc::IMP* previous);
