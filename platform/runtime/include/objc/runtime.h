// A small Objective-C style object runtime: reference-counted objects, run-time
// classes by name, selectors and method tables with dispatch through the
// superclass chain, named instance variables and associated objects.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

namespace objc {

class Object;
class Class;
struct Selector;

using id = Object*;
using SEL = const Selector*;
// Every method has one shape: the receiver, the selector and at most one
// object argument. That covers every call the system makes, and lets a hook
// keep the replaced implementation as a plain function pointer.
using IMP = id (*)(id self, SEL cmd, id arg);

SEL sel_registerName(std::string_view name);
const char* sel_getName(SEL sel);

// ---------------------------------------------------------------------------
// Strong and weak references.

template <class T>
class Ref {
 public:
  Ref() = default;
  Ref(std::nullptr_t) {}
  // Takes a new strong reference to p.
  Ref(T* p) : p_(p) {
    if (p_) p_->retain();
  }
  Ref(const Ref& o) : Ref(o.p_) {}
  Ref(Ref&& o) noexcept : p_(std::exchange(o.p_, nullptr)) {}
  template <class U, class = std::enable_if_t<std::is_convertible_v<U*, T*>>>
  Ref(const Ref<U>& o) : Ref(static_cast<T*>(o.get())) {}
  template <class U, class = std::enable_if_t<std::is_convertible_v<U*, T*>>>
  Ref(Ref<U>&& o) noexcept : p_(static_cast<T*>(o.leak())) {}
  ~Ref() { reset(); }

  Ref& operator=(Ref o) noexcept {
    std::swap(p_, o.p_);
    return *this;
  }
  // Wraps an object whose +1 reference the caller hands over.
  static Ref adopt(T* p) {
    Ref r;
    r.p_ = p;
    return r;
  }
  T* leak() { return std::exchange(p_, nullptr); }
  void reset() {
    if (T* p = std::exchange(p_, nullptr)) p->release();
  }
  T* get() const { return p_; }
  T* operator->() const { return p_; }
  T& operator*() const { return *p_; }
  explicit operator bool() const { return p_ != nullptr; }
  operator T*() const { return p_; }

 private:
  T* p_ = nullptr;
};

// Creates an object; the returned reference is its only owner.
template <class T, class... Args>
Ref<T> make(Args&&... args) {
  return Ref<T>::adopt(new T(std::forward<Args>(args)...));
}

// A zeroing weak reference: reads as null once the object is gone.
struct WeakCell {
  Object* object = nullptr;
};

template <class T>
class Weak {
 public:
  Weak() = default;
  Weak(T* p) { assign(p); }
  Weak& operator=(T* p) {
    assign(p);
    return *this;
  }
  T* get() const { return cell_ && cell_->object ? static_cast<T*>(cell_->object) : nullptr; }
  T* operator->() const { return get(); }
  explicit operator bool() const { return get() != nullptr; }

 private:
  void assign(T* p);
  std::shared_ptr<WeakCell> cell_;
};

// ---------------------------------------------------------------------------
// Association policies, with the platform's values.
enum AssociationPolicy : uintptr_t {
  OBJC_ASSOCIATION_ASSIGN = 0,
  OBJC_ASSOCIATION_RETAIN_NONATOMIC = 1,
  OBJC_ASSOCIATION_COPY_NONATOMIC = 3,
  OBJC_ASSOCIATION_RETAIN = 769,
  OBJC_ASSOCIATION_COPY = 771,
};

// ---------------------------------------------------------------------------
// The root of every platform object.
class Object {
 public:
  Object();
  Object(const Object&) = delete;
  Object& operator=(const Object&) = delete;
  virtual ~Object();

  Object* retain() {
    if (refs_ > 0) ++refs_;  // an object being destroyed stays destroyed
    return this;
  }
  void release();
  int retainCount() const { return refs_; }

  static Class* classObject();
  // The object's run-time class; every subclass overrides it (OBJC_CLASS).
  virtual Class* getClass() const;
  const char* className() const;
  bool isKindOfClass(const Class* cls) const;
  bool respondsToSelector(SEL sel) const;
  // Text for "%@": the class name and address unless a class says better.
  virtual std::string description() const;

 private:
  friend void objc_setAssociatedObject(id, const void*, id, AssociationPolicy);
  friend id objc_getAssociatedObject(id, const void*);
  friend void objc_removeAssociatedObjects(id);
  template <class T>
  friend class Weak;

  struct Association {
    const void* key;
    id value;
    bool strong;
  };
  std::shared_ptr<WeakCell> weakCell();

  int refs_ = 1;  // a new object is owned by its creator
  std::vector<Association> associations_;
  std::shared_ptr<WeakCell> weak_;
};

template <class T>
void Weak<T>::assign(T* p) {
  cell_ = p ? static_cast<Object*>(p)->weakCell() : nullptr;
}

// ---------------------------------------------------------------------------
// Run-time classes.

enum class IvarType : char { Object = '@', Float = 'f', Bool = 'B', Double = 'd', Int = 'i' };

struct Ivar_t {
  std::string name;
  IvarType type;
  std::function<void*(Object*)> address;  // where the field is in an instance
};
using Ivar = const Ivar_t*;

template <class T>
constexpr IvarType ivarTypeOf() {
  if constexpr (std::is_same_v<T, float>)
    return IvarType::Float;
  else if constexpr (std::is_same_v<T, double>)
    return IvarType::Double;
  else if constexpr (std::is_same_v<T, bool> || std::is_same_v<T, signed char> ||
                     std::is_same_v<T, unsigned char>)
    return IvarType::Bool;
  else if constexpr (std::is_same_v<T, int>)
    return IvarType::Int;
  else
    return IvarType::Object;  // Ref<T>
}

class Class {
 public:
  Class(std::string name, Class* superclass);

  const std::string& name() const { return name_; }
  Class* superclass() const { return super_; }
  bool isSubclassOf(const Class* other) const;

  // The implementation this class (or a superclass) answers sel with.
  IMP lookup(SEL sel) const;
  // Adds a method the class itself does not have yet; false when it has one.
  bool addMethod(SEL sel, IMP imp, std::string_view types);
  // Sets the class's own implementation and returns the one that answered
  // before (its own, or the inherited one), or null.
  IMP replaceMethod(SEL sel, IMP imp, std::string_view types);
  bool hasOwnMethod(SEL sel) const;

  // Declares a field of C++ class C under a run-time name.
  template <auto Member>
  void addIvar(std::string name);
  Ivar findIvar(std::string_view name) const;  // searches superclasses too

 private:
  struct Method {
    SEL sel;
    IMP imp;
    std::string types;
  };
  std::string name_;
  Class* super_;
  std::vector<Method> methods_;
  std::vector<std::unique_ptr<Ivar_t>> ivars_;
};

template <class M>
struct MemberTraits;
template <class C, class F>
struct MemberTraits<F C::*> {
  using Owner = C;
  using Field = F;
};

template <class F>
struct IsRef : std::false_type {};
template <class U>
struct IsRef<Ref<U>> : std::true_type {};

template <auto Member>
void Class::addIvar(std::string name) {
  using Traits = MemberTraits<decltype(Member)>;
  using Field = typename Traits::Field;
  IvarType type;
  if constexpr (IsRef<Field>::value) {
    static_assert(sizeof(Field) == sizeof(void*));
    type = IvarType::Object;
  } else {
    type = ivarTypeOf<Field>();
  }
  auto addr = [](Object* o) -> void* {
    return &(static_cast<typename Traits::Owner*>(o)->*Member);
  };
  ivars_.push_back(std::make_unique<Ivar_t>(Ivar_t{std::move(name), type, addr}));
}

// Registers a class under its name; the registry is the runtime's one global.
Class* objc_registerClass(std::string name, Class* superclass);

// ---------------------------------------------------------------------------
// The C-style API the system calls, with the platform's names.

Class* objc_getClass(std::string_view name);
Class* object_getClass(const Object* obj);
const char* class_getName(const Class* cls);
Class* class_getSuperclass(const Class* cls);
bool class_addMethod(Class* cls, SEL sel, IMP imp, const char* types);
IMP class_replaceMethod(Class* cls, SEL sel, IMP imp, const char* types);
IMP class_getMethodImplementation(const Class* cls, SEL sel);
bool class_respondsToSelector(const Class* cls, SEL sel);
Ivar class_getInstanceVariable(const Class* cls, const char* name);
const char* ivar_getName(Ivar ivar);
char ivar_getTypeEncoding(Ivar ivar);

// Safe field access in place of offset arithmetic: a null object, a null
// ivar or a type that does not match gives the empty value and changes nothing.
id object_getIvar(id obj, Ivar ivar);
void object_setIvar(id obj, Ivar ivar, id value);  // retains the new value
float object_getFloatIvar(id obj, Ivar ivar);
bool object_setFloatIvar(id obj, Ivar ivar, float value);
uint8_t object_getByteIvar(id obj, Ivar ivar);
bool object_setByteIvar(id obj, Ivar ivar, uint8_t value);

void objc_setAssociatedObject(id object, const void* key, id value, AssociationPolicy policy);
id objc_getAssociatedObject(id object, const void* key);
void objc_removeAssociatedObjects(id object);

// Dispatch. A receiver that does not answer sel logs one line and gives nil
// instead of ending the process.
id objc_msgSend(id self, SEL sel, id arg = nullptr);
inline id objc_msgSend(id self, const char* sel, id arg = nullptr) {
  return objc_msgSend(self, sel_registerName(sel), arg);
}

// Defines classObject() for a C++ class; Setup (may be empty) adds methods and
// ivars when the class is first registered.
template <class T, class Super>
Class* defineClass(const char* name, void (*setup)(Class*) = nullptr) {
  Class* cls = objc_registerClass(name, Super::classObject());
  if (setup) setup(cls);
  return cls;
}

// Registers T's class while a library loads, so objc_getClass finds it before
// any instance exists.
template <class T>
struct ClassRegistrar {
  ClassRegistrar() { T::classObject(); }
};

}  // namespace objc

// In a class body: declares the run-time class hooks.
#define OBJC_CLASS(Name)                     \
 public:                                     \
  static ::objc::Class* classObject();       \
  ::objc::Class* getClass() const override { \
    return classObject();                    \
  }

// In one .cpp: defines the run-time class of Name, a subclass of Super;
// SETUP is a function void(objc::Class*) or nullptr.
#define OBJC_CLASS_IMPL(Name, Super, SETUP)                                     \
  ::objc::Class* Name::classObject() {                                          \
    static ::objc::Class* cls = ::objc::defineClass<Name, Super>(#Name, SETUP); \
    return cls;                                                                 \
  }                                                                             \
  static ::objc::ClassRegistrar<Name> objc_registrar_##Name;

// Wraps a no-argument member function as an IMP: OBJC_METHOD0(Cls, method).
#define OBJC_METHOD0(Cls, method)                              \
  [](::objc::id self, ::objc::SEL, ::objc::id) -> ::objc::id { \
    static_cast<Cls*>(self)->method();                         \
    return nullptr;                                            \
  }
