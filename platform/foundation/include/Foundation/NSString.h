// An immutable text object, for text kept where only objects fit
// (associated objects, instance variables of views).
#pragma once

#include <string>
#include <string_view>

#include "objc/runtime.h"

namespace ns {

class NSString : public objc::Object {
  OBJC_CLASS(NSString)
 public:
  static objc::Ref<NSString> make(std::string_view text);
  const std::string& str() const { return text_; }
  std::string description() const override { return text_; }
  bool isEqualToString(std::string_view other) const { return text_ == other; }

 private:
  explicit NSString(std::string_view text) : text_(text) {}
  std::string text_;
};

// The text of an object if it is an NSString, else null.
const std::string* stringValue(objc::id object);

}  // namespace ns
