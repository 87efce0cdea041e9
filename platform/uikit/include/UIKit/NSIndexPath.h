// Index paths as tables use them: a section and a row. Immutable; two paths
// are equal when both numbers are.
#pragma once

#include <string>

#include "UIKit/UIGeometry.h"
#include "objc/runtime.h"

class NSIndexPath : public objc::Object {
  OBJC_CLASS(NSIndexPath)
 public:
  NSIndexPath(NSInteger section, NSInteger row) : section_(section), row_(row) {}

  // indexPathForRow:inSection:
  static objc::Ref<NSIndexPath> indexPathForRow(NSInteger row, NSInteger section);

  NSInteger section() const { return section_; }
  NSInteger row() const { return row_; }

  bool isEqual(const NSIndexPath* other) const {
    return other && other->section_ == section_ && other->row_ == row_;
  }
  // -1, 0 or 1, by section and then by row.
  int compare(const NSIndexPath* other) const;
  // "<NSIndexPath: 0x…> {length = 2, path = S - R}", as the platform logs it.
  std::string description() const override;

 private:
  NSInteger section_;
  NSInteger row_;
};
