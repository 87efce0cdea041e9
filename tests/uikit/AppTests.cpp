#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "UIKit/UIKit.h"
#include "UIKitFixture.h"

namespace {

std::vector<std::string> gLifecycle;

class TestAppDelegate : public UIResponder, public UIApplicationDelegate {
  OBJC_CLASS(TestAppDelegate)
 public:
  bool applicationDidFinishLaunchingWithOptions(UIApplication*, objc::Object*) override {
    gLifecycle.push_back("didFinishLaunching");
    return true;
  }
  void applicationDidBecomeActive(UIApplication*) override { gLifecycle.push_back("active"); }
  void applicationWillTerminate(UIApplication*) override { gLifecycle.push_back("terminate"); }
  UIWindow* window() const override { return window_; }
  void setWindow(UIWindow* w) override { window_ = w; }

 private:
  objc::Ref<UIWindow> window_;
};

// A small screen: a button that shows an alert, a field whose Return copies
// its text into a label with a fade, and a card with a tap recogniser.
class TestRootController : public UIViewController, public UITextFieldDelegate {
  OBJC_CLASS(TestRootController)
 public:
  void viewDidLoad() override {
    UIViewController::viewDidLoad();
    gLifecycle.push_back("viewDidLoad");
    view()->setBackgroundColor(UIColor::colorWithRed(0.87, 0.86, 0.84, 1));
    button = addView<UIButton>(view(), CGRectMake(20, 40, 100, 40));
    button->setTitle("Show", UIControlStateNormal);
    button->addTarget(this, "showAlert", UIControlEventTouchUpInside);
    addView<UITextField>(view(), CGRectMake(150, 40, 150, 40))->setDelegate(this);
    label = addView<UILabel>(view(), CGRectMake(20, 100, 280, 30));
    card = addView(view(), CGRectMake(20, 200, 280, 100));
    card->addGestureRecognizer(objc::make<UITapGestureRecognizer>(this, "cardTapped:"));
  }
  bool textFieldShouldReturn(UITextField* f) override {
    f->resignFirstResponder();
    std::string text = f->text();
    UIView::animateWithDuration(
        0.1, [this] { label->setAlpha(0); },
        [this, text](bool) {
          label->setText(text);
          UIView::animateWithDuration(
              0.1, [this] { label->setAlpha(1); }, nullptr);
        });
    return true;
  }
  void showAlert() { objc::make<UIAlertView>("Pressed", "", nullptr, "ok")->show(); }
  void cardTapped() { card->setCenter(CGPointMake(card->center().x, card->center().y + 100)); }

  UIButton* button = nullptr;
  UILabel* label = nullptr;
  UIView* card = nullptr;
};

void setupRoot(objc::Class* cls) {
  cls->addMethod(objc::sel_registerName("showAlert"), OBJC_METHOD0(TestRootController, showAlert),
                 "v@");
  cls->addMethod(objc::sel_registerName("cardTapped:"),
                 OBJC_METHOD0(TestRootController, cardTapped), "v@:@");
}

class App : public UIKitTest {
 protected:
  App() { gLifecycle.clear(); }
  ~App() override {
    UIApplicationSetMainInterface("");
    unsetenv("CORVANE_AUTOMATION");
  }
  // Runs the application with a script; returns UIApplicationMain's status.
  int runApp(const std::string& script) {
    std::string path = root.path() + "/script.txt";
    testsupport::writeHostFile(path, script);
    setenv("CORVANE_AUTOMATION", path.c_str(), 1);
    UIApplicationSetMainInterface("TestRootController");
    char arg0[] = "app";
    char* argv[] = {arg0, nullptr};
    return UIApplicationMain(1, argv, nullptr, "TestAppDelegate");
  }
};

TEST_F(App, ScriptDrivesTheAppAndDumpsTheScreen) {
  std::string first = root.path() + "/first.json", second = root.path() + "/second.json";
  int status = runApp("# the alert first\ntap 70 60\ndump " + first +
                      "\nalert dismiss\ntap 200 60   # into the field\ntype 2015-03-05\n"
                      "key backspace\ntype 6\nkey return\nwait 0.15\ntap 100 250\ndump " +
                      second + "\nquit\ntap 0 0\n");
  EXPECT_EQ(status, 0);
  EXPECT_EQ(gLifecycle,
            (std::vector<std::string>{"viewDidLoad", "didFinishLaunching", "active", "terminate"}));
  std::string shown = testsupport::readHostFile(first);
  EXPECT_NE(shown.find(R"("alerts": [
  {"title": "Pressed", "message": "", "button": "ok", "visible": true}
 ]})"),
            std::string::npos)
      << shown;
  // Half-way through the label's fade in, the card moved by its tap.
  EXPECT_EQ(testsupport::readHostFile(second),
            R"({"views": [
  {"class": "UIWindow", "frame": [0, 0, 320, 568], "alpha": 1, "hidden": false, "children": [
    {"class": "UIView", "frame": [0, 0, 320, 568], "alpha": 1, "hidden": false, "children": [
      {"class": "UIButton", "frame": [20, 40, 100, 40], "alpha": 1, "hidden": false, "text": "Show", "children": []},
      {"class": "UITextField", "frame": [150, 40, 150, 40], "alpha": 1, "hidden": false, "text": "2015-03-06", "children": []},
      {"class": "UILabel", "frame": [20, 100, 280, 30], "alpha": 0.5, "hidden": false, "text": "2015-03-06", "children": []},
      {"class": "UIView", "frame": [20, 300, 280, 100], "alpha": 1, "hidden": false, "children": []}
    ]}
  ]}
],
 "alerts": []}
)");
  EXPECT_EQ(UIApplication::sharedApplication(), nullptr);
  EXPECT_TRUE(UIWindow::allWindows().empty());
}

TEST_F(App, ABadCommandStopsTheScriptNamingTheLine) {
  std::string message;
  EXPECT_EQ(UIAutomation::runScript("wait 0\n\n  # fine\ntapp 1 2\nquit\n", &message),
            UIAutomation::Status::Error);
  EXPECT_EQ(message, "line 4: unknown command \"tapp\"");
  auto check = [&](const std::string& line, const std::string& expected) {
    std::string m;
    EXPECT_EQ(UIAutomation::runLine(line, 7, &m), UIAutomation::Status::Error) << line;
    EXPECT_EQ(m, expected) << line;
  };
  check("tap 1", "line 7: usage: tap X Y");
  check("tap 1 y", "line 7: usage: tap X Y");
  check("drag 0 0 10 10 -1", "line 7: usage: drag X1 Y1 X2 Y2 SECONDS");
  check("wait nan", "line 7: usage: wait SECONDS");
  check("key escape", "line 7: usage: key return|backspace");
  check("type hello", "line 7: no first responder to type into");
  check("alert dismiss", "line 7: no alert is showing");
  check("tap 10 10", "line 7: no window to tap");
  check("dump " + root.path() + "/no/such/folder/x.json",
        "line 7: cannot write the dump to \"" + root.path() + "/no/such/folder/x.json\"");

  EXPECT_EQ(runApp("wait 1\nbogus\n"), 1);
  EXPECT_EQ(gLifecycle.back(), "terminate");
}

TEST_F(App, DragMovesInStepsAndWaitsAdvanceTheClock) {
  struct Tracker : UIView {
    using UIView::UIView;
    void touchesMoved(UITouch* t, UIEvent*) override {
      moves.push_back(t->locationInView(nullptr));
    }
    void touchesEnded(UITouch* t, UIEvent*) override { end = t->timestamp(); }
    std::vector<CGPoint> moves;
    double end = 0;
  };
  auto window = objc::make<UIWindow>();
  window->makeKeyAndVisible();
  auto* tracker = addView<Tracker>(window, CGRectMake(0, 0, 320, 568));
  double start = ns::RunLoop::main().now();
  std::string message;
  EXPECT_EQ(UIAutomation::runScript("drag 0 100 60 100 0.05\nwait 1.5\n", &message),
            UIAutomation::Status::Quit)
      << message;
  // 0.05 s in steps of 1/60 s.
  EXPECT_EQ(tracker->moves, (std::vector<CGPoint>{CGPointMake(20, 100), CGPointMake(40, 100),
                                                  CGPointMake(60, 100)}));
  EXPECT_NEAR(tracker->end - start, 0.05, 1e-6);
  EXPECT_NEAR(ns::RunLoop::main().now() - start, 1.55, 1e-6);
}

TEST_F(App, UnknownDelegateClassFailsAtOnce) {
  char arg0[] = "app";
  char* argv[] = {arg0, nullptr};
  EXPECT_EQ(UIApplicationMain(1, argv, nullptr, "NoSuchDelegate"), 1);
  EXPECT_EQ(UIApplicationMain(1, argv, "TestAppDelegate", "TestAppDelegate"), 1);  // not an app
}

TEST_F(App, DumpEscapesText) {
  auto window = objc::make<UIWindow>(CGRectMake(0, 0, 10, 10));
  addView<UILabel>(window, CGRectMake(0, 0, 1, 1))->setText("a\"b\\c\n\x01 \xff\xf8\x88\x80 点击");
  std::string json = UIAutomation::dumpJSON();
  EXPECT_NE(json.find(R"("text": "a\"b\\c\n\u0001 )"
                      "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"
                      " 点击\""),
            std::string::npos)
      << json;
}

}  // namespace

OBJC_CLASS_IMPL(TestAppDelegate, UIResponder, nullptr)
UIKIT_CLASS_FACTORY(TestAppDelegate)
OBJC_CLASS_IMPL(TestRootController, UIViewController, setupRoot)
UIKIT_CLASS_FACTORY(TestRootController)
