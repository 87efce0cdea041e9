#include "UIKit/NSIndexPath.h"

#include <cstdio>

OBJC_CLASS_IMPL(NSIndexPath, objc::Object, nullptr)

objc::Ref<NSIndexPath> NSIndexPath::indexPathForRow(NSInteger row, NSInteger section) {
  return objc::make<NSIndexPath>(section, row);
}

int NSIndexPath::compare(const NSIndexPath* other) const {
  if (!other) return 1;
  if (section_ != other->section_) return section_ < other->section_ ? -1 : 1;
  if (row_ != other->row_) return row_ < other->row_ ? -1 : 1;
  return 0;
}

std::string NSIndexPath::description() const {
  char text[96];
  std::snprintf(text, sizeof text, "<NSIndexPath: %p> {length = 2, path = %ld - %ld}",
                static_cast<const void*>(this), section_, row_);
  return text;
}
