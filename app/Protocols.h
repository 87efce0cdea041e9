// The three protocols the app's views talk through. A delegate is an objc
// object that also implements the interface; the views hold their delegates
// strongly and find the interface with dynamic_cast, as the toolkit does.
#pragma once

#include "objc/runtime.h"

class DateCellView;

// Asked to show the day named on a card.
class DataTableViewRefreshProtocol {
 public:
  virtual ~DataTableViewRefreshProtocol() = default;
  virtual void freshDataTableView(DateCellView* card) = 0;
};

// Asked to rank the current day by listening time or by plays.
class TimeOfNumberRefreshProtocol {
 public:
  virtual ~TimeOfNumberRefreshProtocol() = default;
  virtual void freshToTime() = 0;
  virtual void freshToNumber() = 0;
};

// Answers the card on the carousel's current page (not a scroll view,
// whatever the name says).
class getScrollViewProtocol {
 public:
  virtual ~getScrollViewProtocol() = default;
  virtual DateCellView* getScrollView() = 0;
};

template <class Protocol>
Protocol* adopting(objc::Object* object) {
  return dynamic_cast<Protocol*>(object);
}
