// toolkit-sample: one screen that uses each kind of view the toolkit has, to
// try it by hand. With a display it opens a window; with CORVANE_AUTOMATION
// it runs that script headless instead.
//
//   - a paging scroll view of three rounded cards; the label under it names
//     the page the scroll comes to rest on;
//   - a button: counts its taps and draws a ring's arc in over 0.7 s;
//   - a text field: Return puts its text into the label beside the ring;
//   - a table of twenty rows: picking a row shows an alert.
#include <cstdio>
#include <string>

#include "Foundation/Log.h"
#include "QuartzCore/CAShapeLayer.h"
#include "UIKit/UIKit.h"
#include "UIKitHost/UIApplicationHost.h"

namespace {

objc::Ref<UIColor> rgb(double r, double g, double b, double a = 1) {
  return UIColor::colorWithRed(r, g, b, a);
}

class SampleViewController : public UIViewController,
                             public UITableViewDataSource,
                             public UITableViewDelegate,
                             public UITextFieldDelegate {
  OBJC_CLASS(SampleViewController)
 public:
  void viewDidLoad() override {
    UIViewController::viewDidLoad();
    CGRect screen = UIScreen::mainScreen()->bounds();
    double w = screen.size.width, h = screen.size.height;
    UIView* root = view();
    root->setBackgroundColor(rgb(0.87, 0.86, 0.84));

    auto title = objc::make<UILabel>(CGRectMake(20, 22, w - 40, 34));
    title->setText("Toolkit sample");
    title->setFont(UIFont::fontWithName("Futura", h / 22.2));
    title->setTextColor(UIColor::brownColor());
    title->setTextAlignment(NSTextAlignmentCenter);
    root->addSubview(title);

    // Three pages, a rounded card on each.
    double pageWidth = w - 40, pageHeight = h / 4.2;
    pager_ = objc::make<UIScrollView>(CGRectMake(20, 62, pageWidth, pageHeight));
    pager_->setPagingEnabled(true);
    pager_->setShowsHorizontalScrollIndicator(false);
    pager_->setContentSize(CGSizeMake(3 * pageWidth, pageHeight));
    pager_->setDelegate(this);
    const double colours[3][3] = {{0.6, 0.4, 0.2}, {1.0, 0.5, 0.0}, {0.24, 0.85, 0.45}};
    for (int i = 0; i < 3; ++i) {
      auto card =
          objc::make<UIView>(CGRectMake(i * pageWidth + 8, 4, pageWidth - 16, pageHeight - 8));
      card->setBackgroundColor(rgb(colours[i][0], colours[i][1], colours[i][2], 0.8));
      card->layer()->setCornerRadius(10);
      auto label = objc::make<UILabel>(card->bounds());
      char text[32];
      std::snprintf(text, sizeof text, "Page %d", i + 1);
      label->setText(text);
      label->setFont(UIFont::fontWithName("Futura", w / 8.334));
      label->setTextColor(UIColor::whiteColor());
      label->setTextAlignment(NSTextAlignmentCenter);
      card->addSubview(label);
      pager_->addSubview(card);
    }
    root->addSubview(pager_);

    double y = 62 + pageHeight;
    pageLabel_ = objc::make<UILabel>(CGRectMake(20, y + 2, w - 40, 22));
    pageLabel_->setFont(UIFont::systemFontOfSize(w / 22));
    pageLabel_->setTextColor(UIColor::darkGrayColor());
    pageLabel_->setTextAlignment(NSTextAlignmentCenter);
    pageLabel_->setText("page 1 of 3: drag sideways");
    root->addSubview(pageLabel_);

    y += 32;
    button_ = objc::make<UIButton>(CGRectMake(20, y, (w - 60) / 2, 40));
    button_->setTitle("Tap me", UIControlStateNormal);
    button_->setTitleColor(UIColor::whiteColor(), UIControlStateNormal);
    button_->setBackgroundColor(UIColor::orangeColor());
    button_->layer()->setCornerRadius(10);
    button_->addTarget(this, "buttonTapped", UIControlEventTouchUpInside);
    root->addSubview(button_);

    field_ = objc::make<UITextField>(CGRectMake(40 + (w - 60) / 2, y, (w - 60) / 2, 40));
    field_->setBorderStyle(UITextBorderStyleRoundedRect);
    field_->setPlaceholder("type, then Return");
    field_->setFont(UIFont::systemFontOfSize(w / 22));
    field_->setDelegate(this);
    root->addSubview(field_);

    y += 48;
    echo_ = objc::make<UILabel>(CGRectMake(20, y, w - 110, 40));
    echo_->setFont(UIFont::fontWithName("Futura", w / 18.75));
    echo_->setTextColor(UIColor::brownColor());
    echo_->setText("not tapped yet");
    root->addSubview(echo_);

    // The ring: a faint track and an arc drawn in by its stroke end.
    ring_ = objc::make<UIView>(CGRectMake(w - 80, y - 10, 60, 60));
    CGPath circle;
    circle.addArc(CGPointMake(30, 30), 22, 0, 2 * M_PI, true);
    auto track = CAShapeLayer::layer();
    track->setPath(circle);
    track->setLineWidth(8);
    track->setFillColor(CGColorRef());
    track->setStrokeColor(CGColorMake(0.6, 0.4, 0.2, 0.2));
    ring_->layer()->addSublayer(track);
    arc_ = CAShapeLayer::layer();
    arc_->setLineWidth(8);
    arc_->setFillColor(CGColorRef());
    arc_->setStrokeColor(CGColorMake(0.24, 0.85, 0.45, 1));
    ring_->layer()->addSublayer(arc_);
    root->addSubview(ring_);

    y += 56;
    table_ = objc::make<UITableView>(CGRectMake(20, y, w - 40, h - y - 20));
    table_->setRowHeight(40);
    table_->setBackgroundColor(UIColor::brownColor()->colorWithAlphaComponent(0.1));
    table_->layer()->setCornerRadius(10);
    table_->setDataSource(this);
    table_->setDelegate(this);
    root->addSubview(table_);
  }

  void buttonTapped() {
    ++taps_;
    ns::NSLog("button tapped %d", taps_);
    char text[48];
    std::snprintf(text, sizeof text, taps_ == 1 ? "tapped %d time" : "tapped %d times", taps_);
    echo_->setText(text);
    // Each tap draws a little more of the circle, from nothing.
    CGPath arc;
    double share = 0.25 * ((taps_ - 1) % 4 + 1);
    arc.addArc(CGPointMake(30, 30), 22, -M_PI / 2, -M_PI / 2 + 2 * M_PI * share, true);
    arc_->setPath(arc);
    auto grow = CABasicAnimation::animationWithKeyPath("strokeEnd");
    grow->setFromValue(0.0);
    grow->setToValue(1.0);
    grow->setDuration(0.7);
    arc_->addAnimation(grow, "grow");
  }

  // --- text field ---------------------------------------------------------------
  bool textFieldShouldReturn(UITextField* field) override {
    field->resignFirstResponder();
    std::string text = field->text();
    ns::NSLog("returned %s", text.c_str());
    UIView::animateWithDuration(
        0.1, [this] { echo_->setAlpha(0); },
        [this, text](bool) {
          echo_->setText(text.empty() ? "(empty)" : text);
          UIView::animateWithDuration(0.1, [this] { echo_->setAlpha(1); });
        });
    return true;
  }

  // --- pager --------------------------------------------------------------------
  void scrollViewDidEndDecelerating(UIScrollView* scrollView) override {
    if (scrollView != pager_.get()) return;
    int page =
        static_cast<int>(scrollView->contentOffset().x / scrollView->bounds().size.width + 0.5);
    char text[32];
    std::snprintf(text, sizeof text, "page %d of 3", page + 1);
    pageLabel_->setText(text);
    ns::NSLog("%s", text);
  }

  // --- table --------------------------------------------------------------------
  NSInteger tableViewNumberOfRowsInSection(UITableView*, NSInteger) override { return 20; }

  objc::Ref<UITableViewCell> tableViewCellForRowAtIndexPath(UITableView* table,
                                                            NSIndexPath* indexPath) override {
    objc::Ref<UITableViewCell> cell = table->dequeueReusableCellWithIdentifier("Row");
    if (!cell) {
      cell = objc::make<UITableViewCell>(UITableViewCellStyleDefault, "Row");
      cell->setBackgroundColor(UIColor::clearColor());
      auto value = objc::make<UILabel>(CGRectMake(160, 0, 100, 40));
      value->setTag(7);
      value->setTextAlignment(NSTextAlignmentRight);
      value->setTextColor(UIColor::brownColor());
      cell->contentView()->addSubview(value);
    }
    double w = UIScreen::mainScreen()->bounds().size.width;
    char text[48];
    std::snprintf(text, sizeof text, "Song %ld", static_cast<long>(indexPath->row() + 1));
    cell->textLabel()->setText(text);
    cell->textLabel()->setFont(UIFont::systemFontOfSize(w / 18.75));
    auto* value = static_cast<UILabel*>(cell->contentView()->viewWithTag(7));
    std::snprintf(text, sizeof text, "%0.1fmin", 0.5 * static_cast<double>(20 - indexPath->row()));
    value->setText(text);
    value->setFont(UIFont::systemFontOfSize(w / 18.75));
    return cell;
  }

  void tableViewDidSelectRowAtIndexPath(UITableView* table, NSIndexPath* indexPath) override {
    char title[32];
    std::snprintf(title, sizeof title, "Song %ld", static_cast<long>(indexPath->row() + 1));
    ns::NSLog("picked %s", title);
    objc::make<UIAlertView>(title, "picked from the table", nullptr, "Okay")->show();
    table->deselectRowAtIndexPath(indexPath, true);
  }

 private:
  objc::Ref<UIScrollView> pager_;
  objc::Ref<UILabel> pageLabel_;
  objc::Ref<UIButton> button_;
  objc::Ref<UITextField> field_;
  objc::Ref<UILabel> echo_;
  objc::Ref<UIView> ring_;
  objc::Ref<CAShapeLayer> arc_;
  objc::Ref<UITableView> table_;
  int taps_ = 0;
};

void setupSample(objc::Class* cls) {
  cls->addMethod(objc::sel_registerName("buttonTapped"),
                 OBJC_METHOD0(SampleViewController, buttonTapped), "v@");
}

class SampleAppDelegate : public UIResponder, public UIApplicationDelegate {
  OBJC_CLASS(SampleAppDelegate)
 public:
  UIWindow* window() const override { return window_; }
  void setWindow(UIWindow* w) override { window_ = w; }

 private:
  objc::Ref<UIWindow> window_;
};

}  // namespace

OBJC_CLASS_IMPL(SampleViewController, UIViewController, setupSample)
UIKIT_CLASS_FACTORY(SampleViewController)
OBJC_CLASS_IMPL(SampleAppDelegate, UIResponder, nullptr)
UIKIT_CLASS_FACTORY(SampleAppDelegate)

// In sanitizer builds the leak check passes over what system libraries keep
// for the life of the process: the font caches fontconfig fills (from a
// worker thread of pango's) and the session-bus client the window library
// starts for input methods.
extern "C" const char* __lsan_default_suppressions() {
  return "leak:libfontconfig.so\nleak:libdbus-1.so\n";
}

int main(int argc, char** argv) {
  UIKitHost::LaunchOptions options = UIKitHost::LaunchOptions::fromEnvironment();
  if (int status = UIKitHost::parseCommandLine(
          argc, argv,
          "Usage: toolkit-sample [--scale N]\n"
          "One screen with each kind of view of the toolkit (a pager, a button, a text\n"
          "field, a table and an alert), to try them by hand in a window.",
          &options);
      status >= 0)
    return status;
  UIKitHost::UIApplicationHost host(options);
  UIApplicationSetMainInterface("SampleViewController");
  return UIApplicationMain(argc, argv, nullptr, "SampleAppDelegate");
}
