#include <gtest/gtest.h>

#include <string>

#include "Foundation/Log.h"
#include "objc/runtime.h"
#include "substrate.h"

namespace {

using objc::id;
using objc::IMP;
using objc::SEL;

std::string g_calls;

id baseGreet(id, SEL, id) {
  g_calls += "base ";
  return nullptr;
}

class HookBase : public objc::Object {
  OBJC_CLASS(HookBase)
};
class HookDerived : public HookBase {
  OBJC_CLASS(HookDerived)
};
class HookOther : public objc::Object {
  OBJC_CLASS(HookOther)
};

void setupBase(objc::Class* cls) {
  for (const char* name : {"greet", "wave", "nod"})
    objc::class_addMethod(cls, objc::sel_registerName(name), baseGreet, "v@");
}
void setupOther(objc::Class* cls) {
  objc::class_addMethod(cls, objc::sel_registerName("greet"), baseGreet, "v@");
}

}  // namespace

OBJC_CLASS_IMPL(HookBase, objc::Object, setupBase)
OBJC_CLASS_IMPL(HookDerived, HookBase, nullptr)
OBJC_CLASS_IMPL(HookOther, objc::Object, setupOther)

namespace {

// Hook N notes "hookN" and calls what it replaced.
template <int N>
struct Hook {
  static inline IMP previous = nullptr;
  static id imp(id self, SEL cmd, id arg) {
    g_calls += "hook" + std::to_string(N) + " ";
    return previous(self, cmd, arg);
  }
  static void install(const char* cls, const char* sel) {
    MSHookMessageEx(objc::objc_getClass(cls), objc::sel_registerName(sel), imp, &previous);
  }
};

// What a message to a new T calls.
template <class T>
std::string send(const char* sel) {
  g_calls.clear();
  objc::objc_msgSend(objc::make<T>().get(), sel);
  return g_calls;
}

TEST(MSHookMessageEx, ReplacesMethodsAndKeepsThePreviousOnesCallable) {
  Hook<1>::install("HookOther", "greet");
  EXPECT_EQ(Hook<1>::previous, &baseGreet);
  EXPECT_EQ(send<HookOther>("greet"), "hook1 base ");

  // On an inheriting class the hook calls the inherited method; the
  // superclass itself is untouched.
  Hook<2>::install("HookDerived", "wave");
  EXPECT_EQ(send<HookDerived>("wave"), "hook2 base ");
  EXPECT_EQ(send<HookBase>("wave"), "base ");

  // Two hooks on one method chain.
  Hook<3>::install("HookBase", "nod");
  Hook<4>::install("HookBase", "nod");
  EXPECT_EQ(send<HookBase>("nod"), "hook4 hook3 base ");
}

TEST(MSHookMessageEx, RefusesWhatItCannotHookWithOneLogLine) {
  objc::Class* other = objc::objc_getClass("HookOther");
  SEL greet = objc::sel_registerName("greet"), missing = objc::sel_registerName("noSuchMethod");
  // No class, or a selector the class does not answer (which is not added).
  for (auto [cls, sel] : {std::pair{static_cast<objc::Class*>(nullptr), greet}, {other, missing}}) {
    IMP kept = &baseGreet;
    ns::LogCapture log;
    MSHookMessageEx(cls, sel, Hook<5>::imp, &kept);
    EXPECT_EQ(log.lines().size(), 1u);
    EXPECT_TRUE(log.contains(objc::sel_getName(sel)));
    EXPECT_EQ(kept, &baseGreet);
  }
  EXPECT_EQ(objc::class_getMethodImplementation(other, missing), nullptr);
}

}  // namespace
