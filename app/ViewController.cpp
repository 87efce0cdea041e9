#include "ViewController.h"

#include "Foundation/Log.h"
#include "UIKit/UIClassFactory.h"
#include "UIKit/UIColor.h"
#include "UIKit/UIImage.h"
#include "UIKit/UIScreen.h"
#include "core/StoreReader.h"

namespace {
void setupViewController(objc::Class* cls) {
  cls->addMethod(objc::sel_registerName("todayEvent"), OBJC_METHOD0(ViewController, todayEvent),
                 "v@");
  cls->addMethod(objc::sel_registerName("MenuEvent"), OBJC_METHOD0(ViewController, MenuEvent),
                 "v@");
}

CGSize screenSize() {
  return UIScreen::mainScreen()->bounds().size;
}
}  // namespace

OBJC_CLASS_IMPL(ViewController, UIViewController, setupViewController)
UIKIT_CLASS_FACTORY(ViewController)

ViewController::ViewController() = default;

ViewController::~ViewController() {
  // The carousel and the ranking list hold each other for the life of the
  // screen; letting go of the screen breaks that cycle.
  if (dateScorllView_) dateScorllView_->setDelegate(nullptr);
  if (showTableView_) showTableView_->setDelegate(nullptr);
}

void ViewController::viewDidLoad() {
  UIViewController::viewDidLoad();
  UIView* root = view();
  root->setBackgroundColor(UIColor::colorWithRed(0.87, 0.86, 0.84, 1.0));

  double W = screenSize().width, H = screenSize().height;
  dateScorllView_ = objc::make<DateScrollView>(CGRectMake(0, 20, W / 1.3, H / 2 - 30));
  dateScorllView_->setCenter(CGPointMake(W / 2, dateScorllView_->center().y));
  dateScorllView_->scrollView()->setShowsHorizontalScrollIndicator(false);
  dateScorllView_->setTapActionBlock([](long page) { ns::NSLog("点击了第%ld个", page); });
  root->addSubview(dateScorllView_);

  W = screenSize().width;
  todayButton_ = objc::make<UIButton>(CGRectMake(0, 0, W / 13, (W / 13) * 1.5));
  CGSize today = todayButton_->frame().size;
  todayButton_->setCenter(
      CGPointMake(root->frame().size.width - 1.2 * today.width, 1.4 * today.height));
  todayButton_->setBackgroundImage(
      UIImage::imageWithContentsOfFile("/Applications/Corvane.app/flagIcon.png"),
      UIControlStateNormal);
  todayButton_->addTarget(this, "todayEvent", UIControlEventTouchUpInside);
  root->addSubview(todayButton_);

  H = screenSize().height;
  dateButton_ = objc::make<UIButton>(CGRectMake(0, 0, H / 18, H / 18));
  dateButton_->setCenter(CGPointMake(1.4 * today.width, 1.4 * today.height));
  dateButton_->setBackgroundImage(
      UIImage::imageWithContentsOfFile("/Applications/Corvane.app/menuIcon.png"),
      UIControlStateNormal);
  dateButton_->addTarget(this, "MenuEvent", UIControlEventTouchUpInside);
  root->addSubview(dateButton_);

  CGRect carousel = dateScorllView_->frame();
  double carouselBottom = double(carousel.origin.y) + carousel.size.height;
  W = screenSize().width;
  H = screenSize().height;
  controlView_ =
      objc::make<ControlDataView>(CGRectMake(0, carouselBottom + H / 83.4, W / 1.2, H / 8.4));
  controlView_->setCenter(CGPointMake(W / 2, controlView_->center().y));
  root->addSubview(controlView_);

  showTableView_ =
      objc::make<showDataTableView>(CGRectMake(0, carouselBottom + H / 6.67, W / 1.1, H / 2.9));
  showTableView_->setCenter(CGPointMake(W / 2, showTableView_->center().y));
  root->addSubview(showTableView_);
  showTableView_->setBackgroundColor(UIColor::brownColor()->colorWithAlphaComponent(0.1));
  showTableView_->layer()->setCornerRadius(10);
  showTableView_->tableView()->layer()->setCornerRadius(10);

  dateScorllView_->setDelegate(showTableView_);
  controlView_->setDelegate(showTableView_);
  showTableView_->setDelegate(dateScorllView_);
}

void ViewController::didReceiveMemoryWarning() {
  UIViewController::didReceiveMemoryWarning();
}

void ViewController::todayEvent() {
  std::vector<std::string> days = corvane::app::dayListOrError();
  DateCellView* card = dateScorllView_->getScrollView();
  if (!card) return;
  // An empty list has no newest day: the card is cleared and the ranking
  // list, asked for no day, shows that there is no data yet.
  card->DateLabel()->setText(days.empty() ? std::string() : days.back());
  if (auto* list = adopting<DataTableViewRefreshProtocol>(dateScorllView_->delegate()))
    list->freshDataTableView(card);
}

void ViewController::MenuEvent() {
  CGSize screen = screenSize();
  double W = screen.width, H = screen.height;
  showDetailTableView_ = objc::make<showDetailDataTableView>(CGRectMake(0, 0, W, H));
  showDetailTableView_->setDelegate(dateScorllView_);
  showDetailTableView_->setCenter(CGPointMake(W / 2, -H / 2));
  view()->addSubview(showDetailTableView_);
  objc::Ref<ViewController> self(this);
  UIView::animateWithDuration(
      0.3, [self, W, H] { self->showDetailTableView()->setCenter(CGPointMake(W / 2, H / 2)); });
}
