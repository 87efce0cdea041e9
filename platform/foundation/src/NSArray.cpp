#include "Foundation/NSArray.h"

#include <cctype>
#include <climits>
#include <cmath>
#include <cstdio>

#include "Foundation/NSString.h"
#include "Foundation/RunLoop.h"

namespace ns {

OBJC_CLASS_IMPL(NSNumber, objc::Object, nullptr)
OBJC_CLASS_IMPL(NSArray, objc::Object, nullptr)

objc::Ref<NSNumber> NSNumber::numberWithDouble(double value) {
  return objc::Ref<NSNumber>::adopt(new NSNumber(value));
}
objc::Ref<NSNumber> NSNumber::numberWithInt(int value) {
  return numberWithDouble(value);
}
objc::Ref<NSNumber> NSNumber::numberWithBool(bool value) {
  return numberWithDouble(value ? 1 : 0);
}

int NSNumber::intValue() const {
  if (std::isnan(value_)) return 0;
  if (value_ >= static_cast<double>(INT_MAX)) return INT_MAX;
  if (value_ <= static_cast<double>(INT_MIN)) return INT_MIN;
  return static_cast<int>(value_);
}

std::string NSNumber::description() const {
  char buf[40];
  if (std::trunc(value_) == value_ && std::fabs(value_) < 1e15)
    std::snprintf(buf, sizeof buf, "%.0f", value_);
  else
    std::snprintf(buf, sizeof buf, "%.17g", value_);
  return buf;
}

objc::Ref<NSArray> NSArray::arrayWithObjects(std::vector<objc::Ref<objc::Object>> objects) {
  return objc::Ref<NSArray>::adopt(new NSArray(std::move(objects)));
}

namespace {
bool isPlainWord(const std::string& s) {
  if (s.empty()) return false;
  for (unsigned char c : s)
    if (!(std::isalnum(c) || c == '_' || c == '.' || c == '/')) return false;
  return true;
}
}  // namespace

std::string NSArray::description() const {
  std::string out = "(\n";
  for (size_t i = 0; i < objects_.size(); ++i) {
    std::string item = describe(objects_[i].get());
    if (stringValue(objects_[i].get()) && !isPlainWord(item)) item = "\"" + item + "\"";
    out += "    " + item + (i + 1 < objects_.size() ? ",\n" : "\n");
  }
  return out + ")";
}

void performSelectorAfterDelay(objc::id target, objc::SEL selector, objc::id argument,
                               double delay) {
  objc::Ref<objc::Object> keepTarget(target), keepArgument(argument);
  RunLoop::main().performAfter(delay, [keepTarget, keepArgument, selector] {
    objc::objc_msgSend(keepTarget.get(), selector, keepArgument.get());
  });
}

std::string describe(objc::id object) {
  return object ? object->description() : "(null)";
}

}  // namespace ns
