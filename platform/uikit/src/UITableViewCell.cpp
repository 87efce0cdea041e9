#include "UIKit/UITableViewCell.h"

#include <algorithm>

#include "UIKit/UIDrawing.h"
#include "UIKit/UITableView.h"

OBJC_CLASS_IMPL(UITableViewCell, UIView, nullptr)

namespace {
constexpr UIViewAutoresizing kFillParent =
    UIViewAutoresizingFlexibleWidth | UIViewAutoresizingFlexibleHeight;
constexpr double kTextInset = 15;
constexpr double kSeparatorInset = 15;
}  // namespace

UITableViewCell::UITableViewCell(UITableViewCellStyle style, std::string reuseIdentifier)
    : UIView(CGRectMake(0, 0, kDefaultWidth, kDefaultHeight)),
      style_(style),
      reuseIdentifier_(std::move(reuseIdentifier)) {
  UIView::setBackgroundColor(UIColor::whiteColor());
  contentView_ = objc::make<UIView>(bounds());
  contentView_->setAutoresizingMask(kFillParent);
  contentView_->setBackgroundColor(UIColor::clearColor());
  contentView_->setOpaque(false);
  addSubview(contentView_.get());
}

UITableViewCell::~UITableViewCell() = default;

UILabel* UITableViewCell::textLabel() {
  if (!textLabel_) {
    CGRect b = contentView_->bounds();
    textLabel_ = objc::make<UILabel>(
        CGRectMake(kTextInset, 0, std::max(0.0, b.size.width - 2 * kTextInset), b.size.height));
    textLabel_->setAutoresizingMask(kFillParent);
    contentView_->addSubview(textLabel_.get());
  }
  return textLabel_.get();
}

void UITableViewCell::setBackgroundView(UIView* view) {
  if (view == backgroundView_.get()) return;
  if (backgroundView_) backgroundView_->removeFromSuperview();
  backgroundView_ = view;
  if (view) {
    view->setFrame(bounds());
    view->setAutoresizingMask(kFillParent);
    insertSubview(view, 0);
  }
}

void UITableViewCell::setSelectedBackgroundView(UIView* view) {
  if (view == selectedBackgroundView_.get()) return;
  selectedBackgroundView_ = view;
  updateSelectionView();
}

UIView* UITableViewCell::selectionView() {
  if (selectedBackgroundView_) return selectedBackgroundView_.get();
  if (selectionStyle_ == UITableViewCellSelectionStyleNone) return nullptr;
  if (!defaultSelectedView_) {
    defaultSelectedView_ = objc::make<UIView>(bounds());
    defaultSelectedView_->setBackgroundColor(UIColor::colorWithWhite(0.85, 1));
  }
  return defaultSelectedView_.get();
}

void UITableViewCell::setSelected(bool selected, bool /*animated*/) {
  if (selected == selected_) return;
  selected_ = selected;
  updateSelectionView();
}

void UITableViewCell::updateSelectionView() {
  UIView* wanted = selected_ ? selectionView() : nullptr;
  if (wanted == shownSelectionView_.get()) return;
  if (shownSelectionView_) shownSelectionView_->removeFromSuperview();
  shownSelectionView_ = wanted;
  if (!wanted) return;
  // Behind the content, above the background view.
  wanted->setFrame(bounds());
  wanted->setAutoresizingMask(kFillParent);
  if (backgroundView_ && backgroundView_->superview() == this)
    insertSubviewAbove(wanted, backgroundView_.get());
  else
    insertSubview(wanted, 0);
}

void UITableViewCell::prepareForReuse() {
  setSelected(false, false);
}

void UITableViewCell::layoutSubviews() {
  CGRect b = bounds();
  contentView_->setFrame(b);
  if (backgroundView_) backgroundView_->setFrame(b);
  if (shownSelectionView_) shownSelectionView_->setFrame(b);
}

UITableView* UITableViewCell::enclosingTableView() const {
  for (UIView* v = superview(); v; v = v->superview())
    if (auto* table = dynamic_cast<UITableView*>(v)) return table;
  return nullptr;
}

void UITableViewCell::drawOverlay(UIDrawing& drawing, CGRect b) const {
  UITableView* table = enclosingTableView();
  if (!table || table->separatorStyle() == UITableViewCellSeparatorStyleNone) return;
  // A hairline: one pixel at any scale.
  CGContext& context = drawing.context();
  double hairline = 1 / context.scale();
  double y = b.origin.y + b.size.height - hairline / 2;
  UIColor* color = table->separatorColor();
  context.strokeLine(CGPointMake(b.origin.x + kSeparatorInset, y),
                     CGPointMake(b.origin.x + b.size.width, y), hairline,
                     color ? color->CGColor() : UIDrawing::kSeparatorGrey);
}

void UITableViewCell::digestContent(UIDigest& d) const {
  if (UITableView* table = enclosingTableView()) {
    d.number(static_cast<double>(table->separatorStyle()));
    d.color(CGColorOf(table->separatorColor()));
  }
}
