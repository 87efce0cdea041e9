// Object collections and boxed numbers, for values that travel through the
// one-argument method call or are logged with "%@".
#pragma once

#include <string>
#include <vector>

#include "objc/runtime.h"

namespace ns {

class NSNumber : public objc::Object {
  OBJC_CLASS(NSNumber)
 public:
  static objc::Ref<NSNumber> numberWithDouble(double value);
  static objc::Ref<NSNumber> numberWithInt(int value);
  static objc::Ref<NSNumber> numberWithBool(bool value);
  double doubleValue() const { return value_; }
  float floatValue() const { return static_cast<float>(value_); }
  int intValue() const;
  bool boolValue() const { return value_ != 0; }
  // Whole numbers print without a fraction, others with up to 17 digits.
  std::string description() const override;

 private:
  explicit NSNumber(double value) : value_(value) {}
  double value_;
};

class NSArray : public objc::Object {
  OBJC_CLASS(NSArray)
 public:
  static objc::Ref<NSArray> arrayWithObjects(std::vector<objc::Ref<objc::Object>> objects);
  size_t count() const { return objects_.size(); }
  // Null past the end, rather than an exception.
  objc::id objectAtIndex(size_t index) const {
    return index < objects_.size() ? objects_[index].get() : nullptr;
  }
  const std::vector<objc::Ref<objc::Object>>& objects() const { return objects_; }
  // The platform's multi-line form: "(\n    a,\n    b\n)"; text that is not a
  // plain word is quoted.
  std::string description() const override;

 private:
  explicit NSArray(std::vector<objc::Ref<objc::Object>> objects) : objects_(std::move(objects)) {}
  std::vector<objc::Ref<objc::Object>> objects_;
};

// Sends [target selector:argument] on the main run loop after delay seconds,
// keeping target and argument alive until then.
void performSelectorAfterDelay(objc::id target, objc::SEL selector, objc::id argument,
                               double delay);

// "%@" of any object: its description, or "(null)" for nil.
std::string describe(objc::id object);

}  // namespace ns
