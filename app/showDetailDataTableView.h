// The date history list: every recorded day, newest first, over the whole
// screen. Picking a day slides the panel up out of sight and then puts the
// day on the carousel's current card and asks the ranking list to show it.
#pragma once

#include <string>
#include <vector>

#include "DateScrollView.h"
#include "UIKit/UITableView.h"
#include "UIKit/UIView.h"

class showDetailDataTableView : public UIView,
                                public UITableViewDataSource,
                                public UITableViewDelegate {
  OBJC_CLASS(showDetailDataTableView)
 public:
  // initWithshowDetailView: reads the day list once.
  explicit showDetailDataTableView(CGRect frame);
  ~showDetailDataTableView() override;

  UITableView* tableView() const { return tableView_.get(); }
  void setTableView(UITableView* t) { tableView_ = t; }
  // Oldest first, as in the file; rows show it reversed.
  const std::vector<std::string>& dateArr() const { return dateArr_; }
  void setDateArr(std::vector<std::string> a) { dateArr_ = std::move(a); }
  DateScrollView* delegate() const { return delegate_.get(); }
  void setDelegate(DateScrollView* d) { delegate_ = d; }

  NSInteger tableViewNumberOfRowsInSection(UITableView*, NSInteger) override;
  CGFloat tableViewHeightForRowAtIndexPath(UITableView*, NSIndexPath*) override { return 50.0; }
  objc::Ref<UITableViewCell> tableViewCellForRowAtIndexPath(UITableView* table,
                                                            NSIndexPath* indexPath) override;
  void tableViewDidSelectRowAtIndexPath(UITableView* table, NSIndexPath* indexPath) override;

 private:
  objc::Ref<UIView> color_;
  objc::Ref<UITableView> tableView_;
  std::vector<std::string> dateArr_;
  objc::Ref<DateScrollView> delegate_;
};
