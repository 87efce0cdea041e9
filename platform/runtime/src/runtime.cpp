#include "objc/runtime.h"

#include <cstdio>
#include <cstring>
#include <map>
#include <set>

namespace objc {

// --- selectors -------------------------------------------------------------

struct Selector {
  std::string name;
};

namespace {
struct SelectorLess {
  using is_transparent = void;
  bool operator()(const Selector& a, const Selector& b) const { return a.name < b.name; }
  bool operator()(const Selector& a, std::string_view b) const { return a.name < b; }
  bool operator()(std::string_view a, const Selector& b) const { return a < b.name; }
};
}  // namespace

SEL sel_registerName(std::string_view name) {
  // Selectors are interned for the life of the process, so comparing SELs is
  // comparing names.
  static std::set<Selector, SelectorLess>* table = new std::set<Selector, SelectorLess>;
  auto it = table->find(name);
  if (it == table->end()) it = table->insert(Selector{std::string(name)}).first;
  return &*it;
}

const char* sel_getName(SEL sel) {
  return sel ? sel->name.c_str() : "<null selector>";
}

// --- classes ---------------------------------------------------------------

namespace {
std::map<std::string, std::unique_ptr<Class>, std::less<>>& registry() {
  // Never destroyed: classes outlive every object, including static ones.
  static auto* classes = new std::map<std::string, std::unique_ptr<Class>, std::less<>>;
  return *classes;
}
}  // namespace

Class::Class(std::string name, Class* superclass) : name_(std::move(name)), super_(superclass) {}

bool Class::isSubclassOf(const Class* other) const {
  for (const Class* c = this; c; c = c->super_)
    if (c == other) return true;
  return false;
}

bool Class::hasOwnMethod(SEL sel) const {
  for (auto& m : methods_)
    if (m.sel == sel) return true;
  return false;
}

IMP Class::lookup(SEL sel) const {
  for (const Class* c = this; c; c = c->super_)
    for (auto& m : c->methods_)
      if (m.sel == sel) return m.imp;
  return nullptr;
}

bool Class::addMethod(SEL sel, IMP imp, std::string_view types) {
  if (!sel || !imp || hasOwnMethod(sel)) return false;
  methods_.push_back({sel, imp, std::string(types)});
  return true;
}

IMP Class::replaceMethod(SEL sel, IMP imp, std::string_view types) {
  if (!sel || !imp) return nullptr;
  for (auto& m : methods_)
    if (m.sel == sel) return std::exchange(m.imp, imp);
  IMP inherited = super_ ? super_->lookup(sel) : nullptr;
  methods_.push_back({sel, imp, std::string(types)});
  return inherited;
}

Ivar Class::findIvar(std::string_view name) const {
  for (const Class* c = this; c; c = c->super_)
    for (auto& iv : c->ivars_)
      if (iv->name == name) return iv.get();
  return nullptr;
}

Class* objc_registerClass(std::string name, Class* superclass) {
  auto& reg = registry();
  auto it = reg.find(name);
  if (it != reg.end()) return it->second.get();
  auto cls = std::make_unique<Class>(name, superclass);
  Class* raw = cls.get();
  reg.emplace(std::move(name), std::move(cls));
  return raw;
}

Class* objc_getClass(std::string_view name) {
  auto& reg = registry();
  auto it = reg.find(name);
  return it == reg.end() ? nullptr : it->second.get();
}

Class* object_getClass(const Object* obj) {
  return obj ? obj->getClass() : nullptr;
}
const char* class_getName(const Class* cls) {
  return cls ? cls->name().c_str() : "nil";
}
Class* class_getSuperclass(const Class* cls) {
  return cls ? cls->superclass() : nullptr;
}

bool class_addMethod(Class* cls, SEL sel, IMP imp, const char* types) {
  return cls && cls->addMethod(sel, imp, types ? types : "");
}

IMP class_replaceMethod(Class* cls, SEL sel, IMP imp, const char* types) {
  return cls ? cls->replaceMethod(sel, imp, types ? types : "") : nullptr;
}

IMP class_getMethodImplementation(const Class* cls, SEL sel) {
  return cls ? cls->lookup(sel) : nullptr;
}

bool class_respondsToSelector(const Class* cls, SEL sel) {
  return class_getMethodImplementation(cls, sel);
}

Ivar class_getInstanceVariable(const Class* cls, const char* name) {
  return cls && name ? cls->findIvar(name) : nullptr;
}

const char* ivar_getName(Ivar ivar) {
  return ivar ? ivar->name.c_str() : nullptr;
}
char ivar_getTypeEncoding(Ivar ivar) {
  return ivar ? static_cast<char>(ivar->type) : 0;
}

// --- instance variables ----------------------------------------------------

namespace {
void* fieldOf(id obj, Ivar ivar, IvarType type) {
  if (!obj || !ivar || ivar->type != type) return nullptr;
  // The ivar must belong to the object's class chain, or the address would
  // be computed on an object of another layout.
  Class* cls = obj->getClass();
  if (!cls || cls->findIvar(ivar->name) != ivar) return nullptr;
  return ivar->address(obj);
}
}  // namespace

id object_getIvar(id obj, Ivar ivar) {
  auto* field = static_cast<Ref<Object>*>(fieldOf(obj, ivar, IvarType::Object));
  return field ? field->get() : nullptr;
}

void object_setIvar(id obj, Ivar ivar, id value) {
  if (auto* field = static_cast<Ref<Object>*>(fieldOf(obj, ivar, IvarType::Object)))
    *field = Ref<Object>(value);
}

namespace {
template <class T>
T readField(id obj, Ivar ivar, IvarType type) {
  auto* field = static_cast<T*>(fieldOf(obj, ivar, type));
  return field ? *field : T{};
}
template <class T>
bool writeField(id obj, Ivar ivar, IvarType type, T value) {
  auto* field = static_cast<T*>(fieldOf(obj, ivar, type));
  if (field) *field = value;
  return field;
}
}  // namespace

float object_getFloatIvar(id obj, Ivar ivar) {
  return readField<float>(obj, ivar, IvarType::Float);
}
bool object_setFloatIvar(id obj, Ivar ivar, float value) {
  return writeField(obj, ivar, IvarType::Float, value);
}
uint8_t object_getByteIvar(id obj, Ivar ivar) {
  return readField<uint8_t>(obj, ivar, IvarType::Bool);
}
bool object_setByteIvar(id obj, Ivar ivar, uint8_t value) {
  return writeField(obj, ivar, IvarType::Bool, value);
}

// --- objects ---------------------------------------------------------------

Object::Object() = default;

Object::~Object() {
  if (weak_) weak_->object = nullptr;
}

void Object::release() {
  if (refs_ <= 0)
    return;  // already being destroyed: references taken by
             // its destructors must not delete it again
  if (--refs_ > 0) return;
  // Weak references read as null and associations go before the object's own
  // destructor runs, as on the platform.
  if (weak_) weak_->object = nullptr;
  objc_removeAssociatedObjects(this);
  delete this;
}

std::shared_ptr<WeakCell> Object::weakCell() {
  if (!weak_) weak_ = std::make_shared<WeakCell>(WeakCell{this});
  return weak_;
}

Class* Object::classObject() {
  static Class* cls = objc_registerClass("NSObject", nullptr);
  return cls;
}

Class* Object::getClass() const {
  return classObject();
}
const char* Object::className() const {
  return getClass()->name().c_str();
}
bool Object::isKindOfClass(const Class* cls) const {
  return getClass()->isSubclassOf(cls);
}
bool Object::respondsToSelector(SEL sel) const {
  return getClass()->lookup(sel);
}

std::string Object::description() const {
  char buf[96];
  std::snprintf(buf, sizeof buf, "<%s: %p>", className(), static_cast<const void*>(this));
  return buf;
}

static ClassRegistrar<Object> objc_registrar_NSObject;

// --- associated objects ----------------------------------------------------

void objc_setAssociatedObject(id object, const void* key, id value, AssociationPolicy policy) {
  if (!object || !key) return;
  bool strong = policy != OBJC_ASSOCIATION_ASSIGN;
  if (value && strong) value->retain();
  id old = nullptr;
  bool oldStrong = false;
  auto& list = object->associations_;
  for (auto it = list.begin(); it != list.end(); ++it) {
    if (it->key != key) continue;
    old = it->value;
    oldStrong = it->strong;
    list.erase(it);
    break;
  }
  if (value) list.push_back({key, value, strong});
  // Released last: the old value's destructor may touch this object's
  // associations again.
  if (old && oldStrong) old->release();
}

id objc_getAssociatedObject(id object, const void* key) {
  if (!object) return nullptr;
  for (auto& a : object->associations_)
    if (a.key == key) return a.value;
  return nullptr;
}

void objc_removeAssociatedObjects(id object) {
  if (!object) return;
  auto list = std::move(object->associations_);
  object->associations_.clear();
  for (auto& a : list)
    if (a.strong && a.value) a.value->release();
}

// --- dispatch --------------------------------------------------------------

id objc_msgSend(id self, SEL sel, id arg) {
  if (!self) return nullptr;  // messages to nil do nothing
  IMP imp = self->getClass()->lookup(sel);
  if (!imp) {
    std::fprintf(stderr, "-[%s %s]: unrecognized selector sent to instance %p\n", self->className(),
                 sel_getName(sel), static_cast<void*>(self));
    return nullptr;
  }
  // The receiver stays alive for the whole call even if the method drops the
  // last other reference to it.
  Ref<Object> keep(self);
  return imp(self, sel, arg);
}

}  // namespace objc
