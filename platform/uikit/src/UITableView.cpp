#include "UIKit/UITableView.h"

#include <algorithm>
#include <cmath>

OBJC_CLASS_IMPL(UITableView, UIScrollView, nullptr)

CGFloat UITableViewDelegate::tableViewHeightForRowAtIndexPath(UITableView* tableView,
                                                              NSIndexPath*) {
  return tableView ? tableView->rowHeight() : UITableView::kDefaultRowHeight;
}

UITableView::UITableView(CGRect frame, UITableViewStyle style)
    : UIScrollView(frame), style_(style) {
  separatorColor_ = UIColor::colorWithRed(200 / 255.0, 199 / 255.0, 204 / 255.0, 1);
}

UITableView::~UITableView() = default;

UITableViewDataSource* UITableView::typedDataSource() const {
  return dynamic_cast<UITableViewDataSource*>(dataSource_.get());
}

UITableViewDelegate* UITableView::typedDelegate() const {
  return dynamic_cast<UITableViewDelegate*>(delegate());
}

void UITableView::setDataSource(objc::Object* dataSource) {
  dataSource_ = dataSource;
  needsReload_ = true;
  setNeedsLayout();
}

void UITableView::setDelegate(objc::Object* delegate) {
  UIScrollView::setDelegate(delegate);
  // Row heights come from the delegate.
  needsReload_ = true;
  setNeedsLayout();
}

// --- data -------------------------------------------------------------------------

void UITableView::reloadData() {
  needsReload_ = true;
  if (selected_) {
    for (Shown& s : shown_) s.cell->setSelected(false);
    selected_ = nullptr;
  }
  setNeedsLayout();
  // Asked from inside a cell request, the reload runs when the current pass
  // has finished (updateIfNeeded checks again).
}

NSInteger UITableView::numberOfSections() {
  updateIfNeeded();
  return static_cast<NSInteger>(rowsPerSection_.size());
}

NSInteger UITableView::numberOfRowsInSection(NSInteger section) {
  updateIfNeeded();
  if (section < 0 || section >= static_cast<NSInteger>(rowsPerSection_.size())) return 0;
  return rowsPerSection_[section];
}

objc::Ref<UITableViewCell> UITableView::dequeueReusableCellWithIdentifier(
    const std::string& identifier) {
  auto it = pool_.find(identifier);
  if (it == pool_.end() || it->second.empty()) return nullptr;
  objc::Ref<UITableViewCell> cell = std::move(it->second.front());
  it->second.pop_front();
  cell->prepareForReuse();
  return cell;
}

size_t UITableView::reusableCellCount(const std::string& identifier) const {
  auto it = pool_.find(identifier);
  return it == pool_.end() ? 0 : it->second.size();
}

void UITableView::enqueue(objc::Ref<UITableViewCell> cell) {
  if (cell->superview() == this) cell->removeFromSuperview();
  if (!cell->reuseIdentifier().empty()) pool_[cell->reuseIdentifier()].push_back(std::move(cell));
}

// --- layout -----------------------------------------------------------------------

void UITableView::layoutSubviews() {
  UIScrollView::layoutSubviews();
  updateIfNeeded();
}

void UITableView::contentOffsetDidChange() {
  if (bringingIntoRange_)
    layoutVisibleRows();
  else
    updateIfNeeded();
}

void UITableView::updateIfNeeded() {
  // Data source calls may ask the table about itself; they get the state as
  // it stands instead of a nested pass.
  if (updating_) return;
  objc::Ref<UITableView> keep(this);
  updating_ = true;
  // A reload or scroll asked for by a data source call gets one more pass;
  // a data source that asks every time is not followed for ever.
  for (int pass = 0; pass < 4; ++pass) {
    CGRect before = bounds();
    if (needsReload_) {
      needsReload_ = false;
      loadRows();
      // Fewer rows than the offset was showing: back to the last rows now,
      // which are in place before the delegate hears of the scroll.
      bringingIntoRange_ = true;
      bringContentOffsetIntoRange();
      bringingIntoRange_ = false;
    }
    layoutVisibleRows();
    if (!needsReload_ && bounds() == before) break;
  }
  updating_ = false;
}

void UITableView::loadRows() {
  for (Shown& s : shown_) enqueue(std::move(s.cell));
  shown_.clear();
  rows_.clear();
  rowsPerSection_.clear();

  UITableViewDataSource* source = typedDataSource();
  NSInteger sections =
      source ? std::max<NSInteger>(0, source->numberOfSectionsInTableView(this)) : 0;
  for (NSInteger s = 0; s < sections; ++s) {
    source = typedDataSource();
    rowsPerSection_.push_back(
        source ? std::max<NSInteger>(0, source->tableViewNumberOfRowsInSection(this, s)) : 0);
  }
  double top = 0;
  for (NSInteger s = 0; s < sections; ++s) {
    for (NSInteger r = 0; r < rowsPerSection_[s]; ++r) {
      double height = rowHeight_;
      if (UITableViewDelegate* d = typedDelegate()) {
        auto indexPath = NSIndexPath::indexPathForRow(r, s);
        height = d->tableViewHeightForRowAtIndexPath(this, indexPath);
      }
      if (!(height > 0)) height = 0;
      rows_.push_back(Row{s, r, static_cast<CGFloat>(top), static_cast<CGFloat>(height)});
      top += height;
    }
  }
  setContentSize(CGSizeMake(bounds().size.width, top));
  laidOutWidth_ = -1;
}

CGRect UITableView::rowRect(size_t index) const {
  const Row& row = rows_[index];
  return CGRectMake(0, row.top, bounds().size.width, row.height);
}

void UITableView::placeCell(UITableViewCell* cell, size_t index) {
  cell->setFrame(rowRect(index));
}

void UITableView::layoutVisibleRows() {
  CGRect visible = bounds();
  double low = visible.origin.y;
  double high = low + visible.size.height;
  // The rows whose rectangles overlap the visible bounds.
  auto first = std::partition_point(rows_.begin(), rows_.end(),
                                    [&](const Row& r) { return double(r.top) + r.height <= low; });
  size_t begin = first - rows_.begin();
  size_t end = begin;
  if (visible.size.height > 0)
    while (end < rows_.size() && rows_[end].top < high) ++end;

  // Rows that left give their cells to the pool.
  for (auto it = shown_.begin(); it != shown_.end();) {
    if (it->index < begin || it->index >= end) {
      objc::Ref<UITableViewCell> cell = std::move(it->cell);
      it = shown_.erase(it);
      enqueue(std::move(cell));
    } else {
      ++it;
    }
  }
  bool widthChanged = visible.size.width != laidOutWidth_;
  laidOutWidth_ = visible.size.width;
  if (widthChanged) {
    setContentSize(CGSizeMake(visible.size.width, contentSize().height));
    for (Shown& s : shown_) placeCell(s.cell, s.index);
  }

  for (size_t index = begin; index < end; ++index) {
    auto at = std::lower_bound(shown_.begin(), shown_.end(), index,
                               [](const Shown& s, size_t i) { return s.index < i; });
    if (at != shown_.end() && at->index == index) continue;
    const Row& row = rows_[index];
    auto indexPath = NSIndexPath::indexPathForRow(row.row, row.section);
    objc::Ref<UITableViewCell> cell;
    if (UITableViewDataSource* source = typedDataSource())
      cell = source->tableViewCellForRowAtIndexPath(this, indexPath);
    // A reload asked for by the data source makes these rows stale.
    if (needsReload_) return;
    if (!cell) cell = objc::make<UITableViewCell>(UITableViewCellStyleDefault, "");
    // A data source that kept a cell it gave up may give it back without
    // dequeuing it; it must not be handed out twice.
    auto pooled = pool_.find(cell->reuseIdentifier());
    if (pooled != pool_.end()) {
      auto& cells = pooled->second;
      std::erase_if(cells,
                    [&](const objc::Ref<UITableViewCell>& c) { return c.get() == cell.get(); });
    }
    // A cell comes in where its row is, not animated from where it was.
    UIView::performWithoutAnimation([&] { placeCell(cell, index); });
    cell->setSelected(selected_ && selected_->isEqual(indexPath));
    // Cells sit below any other subviews of the table, in row order.
    at = std::lower_bound(shown_.begin(), shown_.end(), index,
                          [](const Shown& s, size_t i) { return s.index < i; });
    if (at != shown_.begin() && std::prev(at)->cell->superview() == this)
      insertSubviewAbove(cell, std::prev(at)->cell);
    else if (at != shown_.end() && at->cell->superview() == this)
      insertSubviewBelow(cell, at->cell);
    else
      insertSubview(cell, 0);
    shown_.insert(at, Shown{index, indexPath, cell});
  }
}

// --- what is on screen ----------------------------------------------------------------

std::vector<objc::Ref<NSIndexPath>> UITableView::indexPathsForVisibleRows() {
  updateIfNeeded();
  std::vector<objc::Ref<NSIndexPath>> paths;
  for (const Shown& s : shown_) paths.push_back(s.indexPath);
  return paths;
}

std::vector<UITableViewCell*> UITableView::visibleCells() {
  updateIfNeeded();
  std::vector<UITableViewCell*> cells;
  for (const Shown& s : shown_) cells.push_back(s.cell.get());
  return cells;
}

UITableViewCell* UITableView::cellForRowAtIndexPath(const NSIndexPath* indexPath) {
  if (!indexPath) return nullptr;
  updateIfNeeded();
  for (const Shown& s : shown_)
    if (s.indexPath->isEqual(indexPath)) return s.cell.get();
  return nullptr;
}

objc::Ref<NSIndexPath> UITableView::indexPathForCell(const UITableViewCell* cell) {
  updateIfNeeded();
  for (const Shown& s : shown_)
    if (s.cell.get() == cell) return s.indexPath;
  return nullptr;
}

objc::Ref<NSIndexPath> UITableView::indexPathForRowAtPoint(CGPoint point) {
  updateIfNeeded();
  if (point.y < 0) return nullptr;
  auto it = std::partition_point(rows_.begin(), rows_.end(),
                                 [&](const Row& r) { return double(r.top) + r.height <= point.y; });
  if (it == rows_.end()) return nullptr;
  return NSIndexPath::indexPathForRow(it->row, it->section);
}

long UITableView::rowIndexOf(const NSIndexPath* indexPath) const {
  if (!indexPath) return -1;
  auto it = std::lower_bound(
      rows_.begin(), rows_.end(), indexPath, [](const Row& r, const NSIndexPath* p) {
        return r.section != p->section() ? r.section < p->section() : r.row < p->row();
      });
  if (it == rows_.end() || it->section != indexPath->section() || it->row != indexPath->row())
    return -1;
  return it - rows_.begin();
}

CGRect UITableView::rectForRowAtIndexPath(const NSIndexPath* indexPath) {
  updateIfNeeded();
  long index = rowIndexOf(indexPath);
  return index < 0 ? CGRectZero : rowRect(index);
}

// --- selection --------------------------------------------------------------------

void UITableView::selectRowAtIndexPath(const NSIndexPath* indexPath, bool animated) {
  updateIfNeeded();
  // A copy: the argument may be the selection that is about to be cleared.
  objc::Ref<NSIndexPath> wanted =
      indexPath ? NSIndexPath::indexPathForRow(indexPath->row(), indexPath->section()) : nullptr;
  if (selected_) deselectRowAtIndexPath(selected_.get(), animated);
  if (!wanted || rowIndexOf(wanted) < 0) return;
  selected_ = wanted;
  if (UITableViewCell* cell = cellForRowAtIndexPath(wanted)) cell->setSelected(true, animated);
}

void UITableView::deselectRowAtIndexPath(const NSIndexPath* indexPath, bool animated) {
  if (!selected_ || !selected_->isEqual(indexPath)) return;
  objc::Ref<NSIndexPath> old = std::move(selected_);
  for (Shown& s : shown_)
    if (s.indexPath->isEqual(old)) s.cell->setSelected(false, animated);
}

UITableView::Shown* UITableView::shownContaining(UIView* view) {
  for (; view && view != this; view = view->superview()) {
    if (view->superview() != this) continue;
    for (Shown& s : shown_)
      if (s.cell.get() == view) return &s;
    return nullptr;
  }
  return nullptr;
}

void UITableView::selectByTouch(size_t index) {
  objc::Ref<UITableView> keep(this);
  auto at =
      std::find_if(shown_.begin(), shown_.end(), [&](const Shown& s) { return s.index == index; });
  if (at == shown_.end()) return;
  objc::Ref<NSIndexPath> indexPath = at->indexPath;
  objc::Ref<UITableViewCell> cell = at->cell;
  if (selected_ && !selected_->isEqual(indexPath)) {
    objc::Ref<NSIndexPath> old = selected_;
    deselectRowAtIndexPath(old, false);
    if (UITableViewDelegate* d = typedDelegate()) d->tableViewDidDeselectRowAtIndexPath(this, old);
  }
  selected_ = indexPath;
  cell->setSelected(true);
  if (UITableViewDelegate* d = typedDelegate())
    d->tableViewDidSelectRowAtIndexPath(this, indexPath);
}

// --- touches ------------------------------------------------------------------------
// Drags are the pan recogniser's; a touch it does not take over is a tap on
// the row it started on.

void UITableView::touchesBegan(UITouch* touch, UIEvent*) {
  touchedCell_ = nullptr;
  if (!allowsSelection_ || touchStoppedScrolling()) return;
  if (Shown* s = shownContaining(touch->view())) touchedCell_ = s->cell;
}

void UITableView::touchesMoved(UITouch*, UIEvent*) {}

void UITableView::touchesEnded(UITouch* touch, UIEvent*) {
  objc::Ref<UITableViewCell> cell = std::move(touchedCell_);
  if (!cell || isDragging()) return;
  CGPoint start = touch->startLocationInWindow();
  CGPoint end = touch->locationInView(nullptr);
  if (std::hypot(double(end.x) - start.x, double(end.y) - start.y) > kDragThreshold) return;
  if (!CGRectContainsPoint(cell->bounds(), touch->locationInView(cell))) return;
  for (const Shown& s : shown_)
    if (s.cell.get() == cell.get()) return selectByTouch(s.index);
}

void UITableView::touchesCancelled(UITouch*, UIEvent*) {
  touchedCell_ = nullptr;
}
