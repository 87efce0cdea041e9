// The main screen: builds the carousel, the today and menu buttons, the
// Time/Number switch and the ranking list from the screen's size, wires them
// through their protocols, and opens the date history list.
#pragma once

#include "ControlDataView.h"
#include "DateScrollView.h"
#include "UIKit/UIButton.h"
#include "UIKit/UIViewController.h"
#include "showDataTableView.h"
#include "showDetailDataTableView.h"

class ViewController : public UIViewController {
  OBJC_CLASS(ViewController)
 public:
  ViewController();
  ~ViewController() override;

  void viewDidLoad() override;
  void didReceiveMemoryWarning() override;
  // The today button: the newest day of the day list onto the current card.
  void todayEvent();
  // The menu button: a new date history list slides down over the screen.
  void MenuEvent();

  DateScrollView* dateScorllView() const { return dateScorllView_.get(); }
  void setDateScorllView(DateScrollView* v) { dateScorllView_ = v; }
  showDataTableView* showTableView() const { return showTableView_.get(); }
  void setShowTableView(showDataTableView* v) { showTableView_ = v; }
  ControlDataView* controlView() const { return controlView_.get(); }
  void setControlView(ControlDataView* v) { controlView_ = v; }
  showDetailDataTableView* showDetailTableView() const { return showDetailTableView_.get(); }
  void setShowDetailTableView(showDetailDataTableView* v) { showDetailTableView_ = v; }
  UIButton* todayButton() const { return todayButton_.get(); }
  void setTodayButton(UIButton* v) { todayButton_ = v; }
  UIButton* dateButton() const { return dateButton_.get(); }
  void setDateButton(UIButton* v) { dateButton_ = v; }

 private:
  objc::Ref<DateScrollView> dateScorllView_;
  objc::Ref<showDataTableView> showTableView_;
  objc::Ref<ControlDataView> controlView_;
  objc::Ref<showDetailDataTableView> showDetailTableView_;
  objc::Ref<UIButton> todayButton_;
  objc::Ref<UIButton> dateButton_;
};
