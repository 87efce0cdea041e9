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
  objc::class_addMethod(cls, objc::sel_registerName("greet"), baseGreet, "v@");
  objc::class_addMethod(cls, objc::sel_registerName("wave"), baseGreet, "v@");
  objc::class_addMethod(cls, objc::sel_registerName("nod"), baseGreet, "v@");
}
void setupOther(objc::Class* cls) {
  objc::class_addMethod(cls, objc::sel_registerName("greet"), baseGreet, "v@");
}

}  // namespace

OBJC_CLASS_IMPL(HookBase, objc::Object, setupBase)
OBJC_CLASS_IMPL(HookDerived, HookBase, nullptr)
OBJC_CLASS_IMPL(HookOther, objc::Object, setupOther)

namespace {

IMP g_previousGreet = nullptr;
id hookedGreet(id self, SEL cmd, id arg) {
  g_calls += "hook ";
  return g_previousGreet(self, cmd, arg);
}

IMP g_previousWave = nullptr;
id derivedWave(id self, SEL cmd, id arg) {
  g_calls += "derived ";
  return g_previousWave(self, cmd, arg);
}

IMP g_firstNod = nullptr;
IMP g_secondNod = nullptr;
id firstNod(id self, SEL cmd, id arg) {
  g_calls += "first ";
  return g_firstNod(self, cmd, arg);
}
id secondNod(id self, SEL cmd, id arg) {
  g_calls += "second ";
  return g_secondNod(self, cmd, arg);
}

TEST(MSHookMessageEx, ReplacesTheMethodAndKeepsTheOldOneCallable) {
  MSHookMessageEx(objc::objc_getClass("HookOther"), objc::sel_registerName("greet"), hookedGreet,
                  &g_previousGreet);
  ASSERT_EQ(g_previousGreet, &baseGreet);
  auto other = objc::make<HookOther>();
  g_calls.clear();
  objc::objc_msgSend(other.get(), "greet");
  EXPECT_EQ(g_calls, "hook base ");
}

TEST(MSHookMessageEx, HookOnAnInheritingClassCallsTheInheritedMethod) {
  MSHookMessageEx(objc::objc_getClass("HookDerived"), objc::sel_registerName("wave"), derivedWave,
                  &g_previousWave);
  auto derived = objc::make<HookDerived>();
  auto base = objc::make<HookBase>();
  g_calls.clear();
  objc::objc_msgSend(derived.get(), "wave");
  EXPECT_EQ(g_calls, "derived base ");
  // The superclass itself is untouched.
  g_calls.clear();
  objc::objc_msgSend(base.get(), "wave");
  EXPECT_EQ(g_calls, "base ");
}

TEST(MSHookMessageEx, TwoHooksOnOneMethodChain) {
  objc::Class* cls = objc::objc_getClass("HookBase");
  SEL nod = objc::sel_registerName("nod");
  MSHookMessageEx(cls, nod, firstNod, &g_firstNod);
  MSHookMessageEx(cls, nod, secondNod, &g_secondNod);
  auto base = objc::make<HookBase>();
  g_calls.clear();
  objc::objc_msgSend(base.get(), nod);
  EXPECT_EQ(g_calls, "second first base ");
}

TEST(MSHookMessageEx, RefusesWhatItCannotHookWithOneLogLine) {
  IMP kept = &baseGreet;
  {
    ns::LogCapture log;
    MSHookMessageEx(nullptr, objc::sel_registerName("greet"), hookedGreet, &kept);
    EXPECT_EQ(log.lines().size(), 1u);
    EXPECT_TRUE(log.contains("greet"));
  }
  EXPECT_EQ(kept, &baseGreet);

  // A selector the class does not answer is not added.
  objc::Class* cls = objc::objc_getClass("HookOther");
  SEL missing = objc::sel_registerName("noSuchMethod");
  {
    ns::LogCapture log;
    MSHookMessageEx(cls, missing, hookedGreet, &kept);
    EXPECT_EQ(log.lines().size(), 1u);
  }
  EXPECT_EQ(objc::class_getMethodImplementation(cls, missing), nullptr);
  EXPECT_EQ(kept, &baseGreet);
}

}  // namespace
