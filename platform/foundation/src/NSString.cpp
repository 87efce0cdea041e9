#include "Foundation/NSString.h"

namespace ns {

OBJC_CLASS_IMPL(NSString, objc::Object, nullptr)

objc::Ref<NSString> NSString::make(std::string_view text) {
  return objc::Ref<NSString>::adopt(new NSString(text));
}

const std::string* stringValue(objc::id object) {
  if (!object || !object->isKindOfClass(NSString::classObject())) return nullptr;
  return &static_cast<NSString*>(object)->str();
}

}  // namespace ns
