#include "DateScrollView.h"

#include "Foundation/Log.h"
#include "UIKit/UIAlertView.h"
#include "core/StoreReader.h"

using namespace corvane::app;

namespace {
objc::id tapIMP(objc::id self, objc::SEL, objc::id recognizer) {
  static_cast<DateScrollView*>(self)->contentViewTapAction(
      dynamic_cast<UITapGestureRecognizer*>(recognizer));
  return nullptr;
}
void setupDateScrollView(objc::Class* cls) {
  cls->addMethod(objc::sel_registerName("contentViewTapAction:"), tapIMP, "v@:@");
}
}  // namespace

OBJC_CLASS_IMPL(DateScrollView, UIView, setupDateScrollView)

DateScrollView::DateScrollView(CGRect frame) : UIView(frame) {
  setAutoresizesSubviews(true);

  scrollView_ = objc::make<UIScrollView>(bounds());
  scrollView_->setAutoresizingMask(0xFF);
  scrollView_->setContentMode(UIViewContentModeCenter);
  CGSize size = scrollView_->frame().size;
  scrollView_->setContentSize(CGSizeMake(3 * double(size.width), size.height));
  scrollView_->setDelegate(this);
  scrollView_->setContentOffset(CGPointMake(size.width, 0));
  scrollView_->setPagingEnabled(true);

  if (auto days = readDayList()) {
    dateArray_ = std::move(*days);
  } else {
    dateArray_ = {"Error"};
  }
  position_ = initialPosition(dateArray_.size());

  addSubview(scrollView_);
  position_.currentPage = 0;
  addObjectToFetchContectView();
  totalPageCount_ = kCarouselPageCount;
  configContentViews();
}

DateScrollView::~DateScrollView() {
  for (auto& card : fetchContentView_) card->stopCountUp();
}

int DateScrollView::getValidNextPageIndexWithPageIndex(int page) const {
  return wrapPage(page, totalPageCount_);
}

void DateScrollView::addObjectToFetchContectView() {
  CGSize size = scrollView_->frame().size;
  objc::Ref<DateCellView>* cards[] = {&dateCellView1_, &dateCellView2_, &dateCellView3_};
  for (auto* card : cards) {
    *card = objc::make<DateCellView>(CGRectMake(0, 0, size.width, size.height));
    (*card)->DateLabel()->setDelegate(this);
    // One tap recogniser per card, made with it: a layout re-places the
    // cards and must not stack recognisers on them.
    (*card)->addGestureRecognizer(
        objc::make<UITapGestureRecognizer>(this, "contentViewTapAction:"));
  }
  fetchContentView_ = {dateCellView1_, dateCellView2_, dateCellView3_};
}

DateCellView* DateScrollView::getScrollView() {
  size_t page = static_cast<size_t>(position_.currentPage);
  return page < fetchContentView_.size() ? fetchContentView_[page].get() : nullptr;
}

void DateScrollView::askForRefresh(DateCellView* card) {
  if (auto* list = adopting<DataTableViewRefreshProtocol>(delegate_.get()))
    list->freshDataTableView(card);
}

void DateScrollView::setScrollViewContentDataSource() {
  int previousPage = getValidNextPageIndexWithPageIndex(position_.currentPage - 1);
  int nextPage = getValidNextPageIndexWithPageIndex(position_.currentPage + 1);
  contentViews_.clear();
  if (fetchContentView_.size() != static_cast<size_t>(kCarouselPageCount)) return;

  ns::NSLog("*****%ld******", static_cast<long>(position_.index));
  // No labels for an empty day list: the cards keep their (empty) texts.
  auto labels = labelsAt(dateArray_, position_);

  DateCellView* current = fetchContentView_[position_.currentPage];
  if (current->DateLabel()->text().empty() && labels)
    current->DateLabel()->setText(labels->current);
  currentDate_ = current->DateLabel()->text();
  askForRefresh(current);

  DateCellView* previous = fetchContentView_[previousPage];
  previous->removeAni();
  if (labels) previous->DateLabel()->setText(labels->previous);

  DateCellView* next = fetchContentView_[nextPage];
  next->removeAni();
  if (labels) next->DateLabel()->setText(labels->next);

  contentViews_ = {previous, current, next};
}

void DateScrollView::configContentViews() {
  auto subviews = scrollView_->subviews();  // a copy: removal changes the list
  for (auto& view : subviews) view->removeFromSuperview();
  setScrollViewContentDataSource();
  CGFloat width = scrollView_->frame().size.width;
  for (size_t k = 0; k < contentViews_.size(); ++k) {
    DateCellView* card = contentViews_[k];
    card->setUserInteractionEnabled(true);
    CGRect frame = card->frame();
    frame.origin = CGPointMake(double(k) * width, 0);
    card->setFrame(frame);
    scrollView_->addSubview(card);
  }
  scrollView_->setContentOffset(CGPointMake(width, 0));
}

void DateScrollView::scrollViewDidScroll(UIScrollView* scrollView) {
  objc::Ref<DateScrollView> keep(this);
  double x = scrollView->contentOffset().x;
  Flips flips = flipsAtOffset(x, scrollView->frame().size.width);
  if (flips.forward) {
    if (flipForward(position_, dateArray_.size()))
      ns::NSLog("next，current page:%ld", static_cast<long>(position_.currentPage));
    configContentViews();
  }
  if (flips.backward) {
    if (flipBackward(position_, dateArray_.size()))
      ns::NSLog("previous，current page:%ld", static_cast<long>(position_.currentPage));
    configContentViews();
  }
}

void DateScrollView::contentViewTapAction(UITapGestureRecognizer*) {
  if (TapActionBlock_) TapActionBlock_(position_.currentPage);
}

void DateScrollView::textFieldDidBeginEditing(UITextField* field) {
  editedField_ = field;
  textBeforeEditing_ = field->text();
}

bool DateScrollView::textFieldShouldReturn(UITextField* field) {
  objc::Ref<DateScrollView> keep(this);
  field->resignFirstResponder();
  const bool edited = field == editedField_;
  editedField_ = nullptr;
  DateCellView* current = getScrollView();
  // Only text of a day key's form reaches the file system; anything else
  // (a path, "..", a typo) is a day without data.
  if (current && dayHasTimeFile(current->DateLabel()->text())) {
    askForRefresh(current);
  } else {
    field->setText(edited ? textBeforeEditing_ : currentDate_);
    objc::make<UIAlertView>("Can't Found Data",
                            "please Enter again         (Note that the format:2015-01-01)", nullptr,
                            "Okay")
        ->show();
  }
  return true;
}
