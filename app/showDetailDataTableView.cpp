#include "showDetailDataTableView.h"

#include "CellView.h"
#include "UIKit/UIAlertView.h"
#include "UIKit/UIColor.h"
#include "core/StoreReader.h"

OBJC_CLASS_IMPL(showDetailDataTableView, UIView, nullptr)

namespace {
void showNoDataAlert() {
  objc::make<UIAlertView>("can't Found Data", "", nullptr, "ok")->show();
}
}  // namespace

showDetailDataTableView::showDetailDataTableView(CGRect frame) : UIView(frame) {
  double w = frame.size.width, h = frame.size.height;
  layer()->setCornerRadius(10);
  setBackgroundColor(UIColor::whiteColor());

  color_ = objc::make<UIView>(CGRectMake(0, 0, w, h));
  color_->setBackgroundColor(UIColor::colorWithRed(0.6, 0.4, 0.2, 0.1));
  addSubview(color_);

  if (auto days = corvane::app::readDayList()) {
    dateArr_ = std::move(*days);
  } else {
    showNoDataAlert();
    dateArr_ = {"Error"};
  }

  tableView_ =
      objc::make<UITableView>(CGRectMake(0, 0, w - w / 20, h - h / 10), UITableViewStylePlain);
  tableView_->setCenter(CGPointMake(w / 2, h / 2));
  tableView_->setSeparatorColor(UIColor::whiteColor());
  tableView_->layer()->setCornerRadius(10);
  tableView_->setBackgroundColor(UIColor::clearColor());
  tableView_->setDataSource(this);
  tableView_->setDelegate(this);
  addSubview(tableView_);
}

showDetailDataTableView::~showDetailDataTableView() = default;

NSInteger showDetailDataTableView::tableViewNumberOfRowsInSection(UITableView*, NSInteger) {
  return static_cast<NSInteger>(dateArr_.size());
}

objc::Ref<UITableViewCell> showDetailDataTableView::tableViewCellForRowAtIndexPath(
    UITableView* table, NSIndexPath* indexPath) {
  objc::Ref<UITableViewCell> cell = table->dequeueReusableCellWithIdentifier("Cell");
  if (!cell) {
    cell = objc::make<UITableViewCell>(UITableViewCellStyleDefault, "Cell");
    CGRect made = cell->frame();
    auto row = objc::make<CellView>(CGRectMake(0, 0, made.size.width, made.size.height));
    row->InfoLabel()->setText("·");
    row->InfoLabel()->setTextColor(UIColor::whiteColor());
    // Every tap selects the row; the row view's own buttons never fire here.
    row->setUserInteractionEnabled(false);
    cell->addSubview(row);
    cell->setBackgroundColor(UIColor::colorWithRed(0.6, 0.4, 0.2, 0.34));
    objc::objc_setAssociatedObject(cell, kCellViewKey, row,
                                   objc::OBJC_ASSOCIATION_RETAIN_NONATOMIC);
  }
  auto* row = dynamic_cast<CellView*>(objc::objc_getAssociatedObject(cell, kCellViewKey));
  size_t count = dateArr_.size();
  size_t r = static_cast<size_t>(indexPath->row());
  if (row) {
    row->setMusicName(r < count ? std::optional<std::string>(dateArr_[count - 1 - r])
                                : std::nullopt);
    row->freshData();
  }
  auto selected = objc::make<UIView>(cell->frame());
  selected->setBackgroundColor(UIColor::clearColor());
  cell->setSelectedBackgroundView(selected);
  return cell;
}

void showDetailDataTableView::tableViewDidSelectRowAtIndexPath(UITableView* table,
                                                               NSIndexPath* indexPath) {
  UITableViewCell* cell = table->cellForRowAtIndexPath(indexPath);
  auto* row =
      cell ? dynamic_cast<CellView*>(objc::objc_getAssociatedObject(cell, kCellViewKey)) : nullptr;
  std::string day = row ? row->MusicName().value_or("") : "";
  if (day.empty()) {
    showNoDataAlert();
    return;
  }
  objc::Ref<showDetailDataTableView> self(this);
  CGPoint c = center();
  UIView::animateWithDuration(
      0.3,
      [self, c] {
        self->setCenter(CGPointMake(c.x, -c.y));
        self->setBackgroundColor(UIColor::clearColor());
        self->color_->setBackgroundColor(UIColor::clearColor());
      },
      [self, day](bool) {
        if (DateScrollView* carousel = self->delegate_.get()) {
          if (DateCellView* card = carousel->getScrollView()) {
            card->DateLabel()->setText(day);
            if (auto* list = adopting<DataTableViewRefreshProtocol>(carousel->delegate()))
              list->freshDataTableView(card);
          }
        }
        // A panel that has slid away is done: off the screen it would only
        // pile up under the next ones.
        self->removeFromSuperview();
      });
}
