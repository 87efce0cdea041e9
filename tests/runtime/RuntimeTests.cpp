#include <gtest/gtest.h>

#include "objc/runtime.h"

using namespace objc;

namespace {

int gDestroyed = 0;

class Probe : public Object {
  OBJC_CLASS(Probe)
 public:
  ~Probe() override { ++gDestroyed; }
  void ping() { ++pings; }
  int pings = 0;
  Ref<Object> child;
  float level = 0;
  bool flag = false;
};

class SubProbe : public Probe {
  OBJC_CLASS(SubProbe)
};

void setupProbe(Class* cls) {
  cls->addMethod(sel_registerName("ping"), OBJC_METHOD0(Probe, ping), "v@:");
  cls->addIvar<&Probe::child>("_child");
  cls->addIvar<&Probe::level>("_level");
  cls->addIvar<&Probe::flag>("_flag");
}

}  // namespace

OBJC_CLASS_IMPL(Probe, Object, setupProbe)
OBJC_CLASS_IMPL(SubProbe, Probe, nullptr)

TEST(Runtime, ClassesAreFoundByNameAndChain) {
  EXPECT_EQ(objc_getClass("SubProbe"), SubProbe::classObject());
  EXPECT_EQ(class_getSuperclass(objc_getClass("SubProbe")), Probe::classObject());
  EXPECT_EQ(objc_getClass("NoSuchClass"), nullptr);
  auto p = make<SubProbe>();
  EXPECT_STREQ(class_getName(object_getClass(p)), "SubProbe");
  EXPECT_TRUE(p->isKindOfClass(Probe::classObject()));
  EXPECT_TRUE(p->isKindOfClass(Object::classObject()));
  EXPECT_FALSE(make<Probe>()->isKindOfClass(SubProbe::classObject()));
}

namespace {
id addedMethod(id self, SEL, id) {
  static_cast<Probe*>(self)->pings += 100;
  return nullptr;
}
}  // namespace

// Replacing methods is covered with the hooks built on it (hooking tests).
TEST(Runtime, DispatchSearchesSuperclassesAndAnswersNilToTheUnknown) {
  auto p = make<SubProbe>();
  objc_msgSend(p, "ping");
  EXPECT_EQ(p->pings, 1);
  EXPECT_TRUE(class_addMethod(Probe::classObject(), sel_registerName("Added"), addedMethod, "v@"));
  EXPECT_FALSE(class_addMethod(Probe::classObject(), sel_registerName("Added"), addedMethod, "v@"));
  objc_msgSend(p, "Added");
  EXPECT_EQ(p->pings, 101);
  EXPECT_EQ(objc_msgSend(p, "noSuchMethod"), nullptr);
  EXPECT_EQ(objc_msgSend(nullptr, "ping"), nullptr);
}

TEST(Runtime, IvarsAreReadByNameAndTypeChecked) {
  auto p = make<SubProbe>();
  Ivar child = class_getInstanceVariable(object_getClass(p), "_child");
  Ivar level = class_getInstanceVariable(object_getClass(p), "_level");
  Ivar flag = class_getInstanceVariable(object_getClass(p), "_flag");
  ASSERT_TRUE(child && level && flag);
  EXPECT_EQ(class_getInstanceVariable(object_getClass(p), "_missing"), nullptr);

  auto c = make<Object>();
  object_setIvar(p, child, c);
  EXPECT_EQ(object_getIvar(p, child), c.get());
  EXPECT_EQ(c->retainCount(), 2);
  EXPECT_TRUE(object_setFloatIvar(p, level, 0.5f));
  EXPECT_FLOAT_EQ(p->level, 0.5f);
  object_setByteIvar(p, flag, 1);
  EXPECT_TRUE(p->flag);
  // Wrong type or an object of an unrelated class: nothing read or written.
  EXPECT_FALSE(object_setFloatIvar(p, flag, 2.0f));
  EXPECT_EQ(object_getFloatIvar(c, level), 0.0f);
  EXPECT_EQ(object_getIvar(nullptr, child), nullptr);
}

TEST(Runtime, AssociatedObjectsFollowTheirPolicyAndOwner) {
  static const char kKey = 0, kOther = 0;
  gDestroyed = 0;
  {
    auto owner = make<Probe>();
    Weak<Probe> weakValue;
    {
      auto value = make<Probe>();
      weakValue = value.get();
      objc_setAssociatedObject(owner, &kKey, value, OBJC_ASSOCIATION_RETAIN);
    }
    ASSERT_TRUE(weakValue);  // kept by the association
    EXPECT_EQ(objc_getAssociatedObject(owner, &kKey), weakValue.get());
    EXPECT_EQ(objc_getAssociatedObject(owner, &kOther), nullptr);

    // Replacing releases the old value; nil removes.
    objc_setAssociatedObject(owner, &kKey, make<Probe>(), OBJC_ASSOCIATION_RETAIN_NONATOMIC);
    EXPECT_FALSE(weakValue);
    EXPECT_EQ(gDestroyed, 1);
    objc_setAssociatedObject(owner, &kKey, nullptr, OBJC_ASSOCIATION_RETAIN);
    EXPECT_EQ(objc_getAssociatedObject(owner, &kKey), nullptr);
    EXPECT_EQ(gDestroyed, 2);

    objc_setAssociatedObject(owner, &kOther, make<Probe>(), OBJC_ASSOCIATION_RETAIN);
  }
  // The owner took its remaining association with it.
  EXPECT_EQ(gDestroyed, 4);
}

TEST(Runtime, KeysCompareByIdentityNotText) {
  static const char* kA = "slot";
  static const char kB[] = "slot";
  auto owner = make<Object>();
  objc_setAssociatedObject(owner, kA, make<Object>(), OBJC_ASSOCIATION_RETAIN);
  EXPECT_EQ(objc_getAssociatedObject(owner, kB), nullptr);
  EXPECT_NE(objc_getAssociatedObject(owner, kA), nullptr);
}
