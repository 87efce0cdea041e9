// Plain tables: a scroll view of rows stacked top to bottom, one cell per
// visible row. The table asks its data source for the number of rows and for
// the cell of each row that comes into view; rows are laid out by
// intersecting their rectangles with the visible bounds, and the cells of
// rows that leave go to a reuse pool by identifier, from which
// dequeueReusableCellWithIdentifier hands them out again.
//
// reloadData (and a new data source) marks the data as stale: the rows are
// counted, measured and filled at the next layout pass, or at once when the
// table is asked about its visible rows or cells. Scrolling brings in the
// rows that become visible before scrollViewDidScroll is sent. Reloaded rows
// that end above the current offset move the offset back to the last rows
// then (scrollViewDidScroll, no animation); while a finger or a movement
// holds the offset, once they have ended.
//
// A touch that lifts on a cell without having become a drag selects its row:
// the cell shows its selected background view, then the delegate hears
// tableViewDidSelectRowAtIndexPath.
#pragma once

#include <deque>
#include <map>
#include <string>
#include <vector>

#include "UIKit/NSIndexPath.h"
#include "UIKit/UIKitForward.h"
#include "UIKit/UIScrollView.h"
#include "UIKit/UITableViewCell.h"

// The data source: an objc object that also implements this interface.
class UITableViewDataSource {
 public:
  virtual ~UITableViewDataSource() = default;
  virtual NSInteger numberOfSectionsInTableView(UITableView*) { return 1; }
  virtual NSInteger tableViewNumberOfRowsInSection(UITableView*, NSInteger /*section*/) {
    return 0;
  }
  // A data source that gives no cell gets an empty one in its place.
  virtual objc::Ref<UITableViewCell> tableViewCellForRowAtIndexPath(UITableView*,
                                                                    NSIndexPath* /*indexPath*/) {
    return nullptr;
  }
};

// The delegate: an objc object that implements this interface (which
// includes the scroll view's). It is the scroll view's delegate too.
class UITableViewDelegate : public UIScrollViewDelegate {
 public:
  // The table's rowHeight (44 unless set) by default.
  virtual CGFloat tableViewHeightForRowAtIndexPath(UITableView* tableView, NSIndexPath* indexPath);
  virtual void tableViewDidSelectRowAtIndexPath(UITableView*, NSIndexPath*) {}
  virtual void tableViewDidDeselectRowAtIndexPath(UITableView*, NSIndexPath*) {}
};

using UITableViewStyle = NSInteger;
enum : NSInteger {
  UITableViewStylePlain = 0,
  UITableViewStyleGrouped = 1,
};

using UITableViewCellSeparatorStyle = NSInteger;
enum : NSInteger {
  UITableViewCellSeparatorStyleNone = 0,
  UITableViewCellSeparatorStyleSingleLine = 1,
  UITableViewCellSeparatorStyleSingleLineEtched = 2,
};

class UITableView : public UIScrollView {
  OBJC_CLASS(UITableView)
 public:
  // initWithFrame:style:. Only the plain style is modelled; the style is
  // stored.
  explicit UITableView(CGRect frame = CGRectZero, UITableViewStyle style = UITableViewStylePlain);
  ~UITableView() override;

  static constexpr double kDefaultRowHeight = 44;

  UITableViewStyle style() const { return style_; }

  // Both held weakly, as on the platform. The delegate is the scroll view's
  // delegate (delegate() / setDelegate() of UIScrollView).
  objc::Object* dataSource() const { return dataSource_.get(); }
  void setDataSource(objc::Object* dataSource);
  void setDelegate(objc::Object* delegate) override;

  CGFloat rowHeight() const { return rowHeight_; }
  void setRowHeight(double height) { rowHeight_ = static_cast<CGFloat>(height); }
  UIColor* separatorColor() const { return separatorColor_.get(); }
  void setSeparatorColor(UIColor* color) { separatorColor_ = color; }
  UITableViewCellSeparatorStyle separatorStyle() const { return separatorStyle_; }
  void setSeparatorStyle(UITableViewCellSeparatorStyle style) { separatorStyle_ = style; }
  bool allowsSelection() const { return allowsSelection_; }
  void setAllowsSelection(bool allows) { allowsSelection_ = allows; }

  // --- data -------------------------------------------------------------------
  // Forgets the rows: the cells on screen go to the reuse pool and the
  // selection is cleared; the rows are read again at the next layout.
  void reloadData();
  NSInteger numberOfSections();
  NSInteger numberOfRowsInSection(NSInteger section);
  // A cell that has left the screen with that identifier, or null.
  objc::Ref<UITableViewCell> dequeueReusableCellWithIdentifier(const std::string& identifier);

  // --- what is on screen (laid out for the current data first) ---------------
  // Top to bottom.
  std::vector<objc::Ref<NSIndexPath>> indexPathsForVisibleRows();
  std::vector<UITableViewCell*> visibleCells();
  // Null when the row is not visible.
  UITableViewCell* cellForRowAtIndexPath(const NSIndexPath* indexPath);
  // Null when the cell is not one of the visible cells.
  objc::Ref<NSIndexPath> indexPathForCell(const UITableViewCell* cell);
  // The row at a point of the table's content; null past the last row.
  objc::Ref<NSIndexPath> indexPathForRowAtPoint(CGPoint point);
  // In the table's content coordinates; zero for a row that does not exist.
  CGRect rectForRowAtIndexPath(const NSIndexPath* indexPath);

  // --- selection --------------------------------------------------------------
  NSIndexPath* indexPathForSelectedRow() const { return selected_.get(); }
  // By program: no delegate call, as on the platform. Null clears.
  void selectRowAtIndexPath(const NSIndexPath* indexPath, bool animated);
  void deselectRowAtIndexPath(const NSIndexPath* indexPath, bool animated);

  void layoutSubviews() override;
  void touchesBegan(UITouch* touch, UIEvent* event) override;
  void touchesMoved(UITouch* touch, UIEvent* event) override;
  void touchesEnded(UITouch* touch, UIEvent* event) override;
  void touchesCancelled(UITouch* touch, UIEvent* event) override;

  // The number of cells waiting in the reuse pool under an identifier.
  size_t reusableCellCount(const std::string& identifier) const;

 protected:
  void contentOffsetDidChange() override;

 private:
  struct Row {
    NSInteger section;
    NSInteger row;
    CGFloat top;
    CGFloat height;
  };
  struct Shown {
    size_t index;  // into rows_
    objc::Ref<NSIndexPath> indexPath;
    objc::Ref<UITableViewCell> cell;
  };

  UITableViewDataSource* typedDataSource() const;
  UITableViewDelegate* typedDelegate() const;
  // Reloads stale data and brings the visible cells up to date.
  void updateIfNeeded();
  void loadRows();
  void layoutVisibleRows();
  void enqueue(objc::Ref<UITableViewCell> cell);
  void placeCell(UITableViewCell* cell, size_t index);
  long rowIndexOf(const NSIndexPath* indexPath) const;  // -1 when there is none
  CGRect rowRect(size_t index) const;
  // The visible cell that contains view, or null.
  Shown* shownContaining(UIView* view);
  void selectByTouch(size_t index);

  UITableViewStyle style_;
  objc::Weak<objc::Object> dataSource_;
  CGFloat rowHeight_ = kDefaultRowHeight;
  objc::Ref<UIColor> separatorColor_;
  UITableViewCellSeparatorStyle separatorStyle_ = UITableViewCellSeparatorStyleSingleLine;
  bool allowsSelection_ = true;

  bool needsReload_ = true;
  bool updating_ = false;
  bool bringingIntoRange_ = false;
  CGFloat laidOutWidth_ = -1;
  std::vector<Row> rows_;
  std::vector<NSInteger> rowsPerSection_;
  std::vector<Shown> shown_;  // top to bottom
  std::map<std::string, std::deque<objc::Ref<UITableViewCell>>> pool_;
  objc::Ref<NSIndexPath> selected_;

  objc::Ref<UITableViewCell> touchedCell_;  // the cell a possible tap began on
};
