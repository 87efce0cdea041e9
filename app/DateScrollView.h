// The date carousel: an endless three-card pager over the recorded days.
// Swiping to the right page moves to the next newer day, to the left page to
// the next older one; at rest the middle page shows. Typing a day key into
// the card and pressing Return jumps to that day if it has data. Each time
// it settles on a day it asks its delegate (the ranking list) to refresh for
// the card now shown. The paging rules are plain logic (core/CarouselPaging.h).
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "DateCellView.h"
#include "Protocols.h"
#include "UIKit/UIGestureRecognizer.h"
#include "UIKit/UIScrollView.h"
#include "UIKit/UITextField.h"
#include "UIKit/UIView.h"
#include "core/CarouselPaging.h"

class DateScrollView : public UIView,
                       public UIScrollViewDelegate,
                       public UITextFieldDelegate,
                       public getScrollViewProtocol {
  OBJC_CLASS(DateScrollView)
 public:
  // initWithFrame: reads the day list and lays out the three cards.
  explicit DateScrollView(CGRect frame);
  ~DateScrollView() override;

  // getScrollViewProtocol: the card of the current page.
  DateCellView* getScrollView() override;

  // The ranking list; held strongly (the main screen breaks the cycle).
  objc::Object* delegate() const { return delegate_.get(); }
  void setDelegate(objc::Object* d) { delegate_ = d; }
  const std::function<void(long)>& TapActionBlock() const { return TapActionBlock_; }
  void setTapActionBlock(std::function<void(long)> block) { TapActionBlock_ = std::move(block); }
  UIScrollView* scrollView() const { return scrollView_.get(); }
  int currentPageIndex() const { return position_.currentPage; }
  void setCurrentPageIndex(int page) { position_.currentPage = page; }
  int totalPageCount() const { return totalPageCount_; }
  void setTotalPageCount(int count) { totalPageCount_ = count; }
  const std::vector<objc::Ref<DateCellView>>& fetchContentView() const { return fetchContentView_; }
  const std::vector<objc::Ref<DateCellView>>& contentViews() const { return contentViews_; }
  const std::vector<std::string>& dateArray() const { return dateArray_; }
  DateCellView* dateCellView1() const { return dateCellView1_.get(); }
  DateCellView* dateCellView2() const { return dateCellView2_.get(); }
  DateCellView* dateCellView3() const { return dateCellView3_.get(); }
  // For tests: the day index and the text of the last labelling.
  int index() const { return position_.index; }
  const std::string& currentDate() const { return currentDate_; }

  int getValidNextPageIndexWithPageIndex(int page) const;
  void addObjectToFetchContectView();
  void setScrollViewContentDataSource();
  void configContentViews();
  void contentViewTapAction(UITapGestureRecognizer* recognizer);

  void scrollViewDidScroll(UIScrollView* scrollView) override;
  void textFieldDidBeginEditing(UITextField* field) override;
  bool textFieldShouldReturn(UITextField* field) override;

 private:
  void askForRefresh(DateCellView* card);

  std::string currentDate_;
  // The field being edited and the day it showed before: a refused day puts
  // that back, which after a jump is the day the list shows, not currentDate_.
  const UITextField* editedField_ = nullptr;
  std::string textBeforeEditing_;
  corvane::app::CarouselPosition position_;
  objc::Ref<UIScrollView> scrollView_;
  std::vector<objc::Ref<DateCellView>> fetchContentView_;
  std::vector<std::string> dateArray_;
  objc::Ref<objc::Object> delegate_;
  std::function<void(long)> TapActionBlock_;
  int totalPageCount_ = 0;
  std::vector<objc::Ref<DateCellView>> contentViews_;
  objc::Ref<DateCellView> dateCellView1_;
  objc::Ref<DateCellView> dateCellView2_;
  objc::Ref<DateCellView> dateCellView3_;
};
