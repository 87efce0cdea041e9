#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <nlohmann/json.hpp>
#include <string>
#include <thread>
#include <vector>

#include "Foundation/Log.h"
#include "Foundation/NSBundle.h"
#include "Foundation/PropertyList.h"
#include "UIKit/UIKit.h"
#include "UIKitFixture.h"
#include "UIKitHost/UIApplicationHost.h"
#include "UIKitHost/UIAutomation.h"

namespace {

std::vector<std::string> gLifecycle;
// Run at launch, before the script.
std::function<void()> gAtLaunch;

// Whether this process catches a signal, as the launcher reads it.
bool catchesSignal(pid_t pid, int signal) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  std::string line;
  while (std::getline(status, line))
    if (line.starts_with("SigCgt:"))
      return std::stoull(line.substr(7), nullptr, 16) & (1ull << (signal - 1));
  return false;
}

class TestAppDelegate : public UIResponder, public UIApplicationDelegate {
  OBJC_CLASS(TestAppDelegate)
 public:
  bool applicationDidFinishLaunchingWithOptions(UIApplication*, objc::Object*) override {
    gLifecycle.push_back("didFinishLaunching");
    if (gAtLaunch) gAtLaunch();
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
    ns::setMainBundlePath("");
    gAtLaunch = nullptr;
  }
  // Runs the application with a script; returns UIApplicationMain's status.
  // The main interface is set in code unless named "".
  int runApp(const std::string& script, const std::string& mainInterface = "TestRootController") {
    std::string path = root.path() + "/script.txt";
    testsupport::writeHostFile(path, script);
    UIKitHost::LaunchOptions options;
    options.automationScript = path;
    UIKitHost::UIApplicationHost host(options);
    UIApplicationSetMainInterface(mainInterface);
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

// What a cold-start benchmark relies on: the whole launch, one frame drawn
// with the layout that was due, and a clean end instead of a loop that runs
// until stopped.
TEST_F(App, ExitAfterFirstFrameDrawsOneFrameThenEnds) {
  struct FrameProbe : UIView {
    FrameProbe(CGRect frame, int* layouts, int* draws)
        : UIView(frame), layouts_(layouts), draws_(draws) {}
    void layoutSubviews() override { ++*layouts_; }
    void drawContent(UIDrawing&, CGRect) const override { ++*draws_; }
    int* layouts_;
    int* draws_;
  };
  int layouts = 0, draws = 0;
  gAtLaunch = [&] {
    addView<FrameProbe>(UIWindow::allWindows().front(), CGRectMake(0, 0, 10, 10), &layouts, &draws);
  };
  UIKitHost::LaunchOptions options;
  options.headless = true;
  options.exitAfterFirstFrame = true;
  UIKitHost::UIApplicationHost host(options);
  UIApplicationSetMainInterface("TestRootController");
  char arg0[] = "app";
  char* argv[] = {arg0, nullptr};
  EXPECT_EQ(UIApplicationMain(1, argv, nullptr, "TestAppDelegate"), 0);
  EXPECT_EQ(gLifecycle,
            (std::vector<std::string>{"viewDidLoad", "didFinishLaunching", "active", "terminate"}));
  EXPECT_EQ(draws, 1);
  EXPECT_EQ(layouts, 1);
}

TEST_F(App, UnknownDelegateClassFailsAtOnce) {
  char arg0[] = "app";
  char* argv[] = {arg0, nullptr};
  EXPECT_EQ(UIApplicationMain(1, argv, nullptr, "NoSuchDelegate"), 1);
  EXPECT_EQ(UIApplicationMain(1, argv, "TestAppDelegate", "TestAppDelegate"), 1);  // not an app
}

TEST_F(App, TheBundleDeclaresTheMainInterface) {
  std::string bundle = root.path() + "/Test.app";
  std::filesystem::create_directory(bundle);
  ns::setMainBundlePath(bundle + "/");
  EXPECT_EQ(ns::mainBundlePath(), bundle);
  auto write = [&](const std::string& name, const ns::PlistDictionary& plist) {
    testsupport::writeHostFile(bundle + "/" + name, ns::serializePropertyList(plist));
  };
  // Runs the app with the bundle as it stands: its status, whether it had
  // a window, and what it said.
  auto launch = [&] {
    gLifecycle.clear();
    testing::internal::CaptureStderr();
    int status = runApp("quit\n", "");
    std::string said = testing::internal::GetCapturedStderr();
    bool window = !gLifecycle.empty() && gLifecycle.front() == "viewDidLoad";
    return std::to_string(status) + (window ? " window " : " none ") + said;
  };

  // No Info.plist, or one that declares nothing: no window.
  EXPECT_EQ(launch(), "0 none ");
  write("Info.plist", {{"CFBundleIdentifier", "com.example.test"}});
  EXPECT_EQ(launch(), "0 none ");

  write("Info.plist", {{"UIMainStoryboardFile", "Main"}});
  write("Main.storyboard.plist", {{"UIInitialViewController", "TestRootController"}});
  EXPECT_EQ(launch(), "0 window ");
  // The interface set in code wins.
  write("Main.storyboard.plist", {{"UIInitialViewController", "NoSuchController"}});
  EXPECT_EQ(runApp("quit\n"), 0);

  // Declared but unusable: one line on standard error, status 3.
  EXPECT_EQ(launch(),
            "3 none UIApplicationMain: cannot make the root view controller "
            "\"NoSuchController\"\n");
  write("Main.storyboard.plist", {{"UIInitialViewController", "TestAppDelegate"}});
  EXPECT_EQ(launch().substr(0, 7), "3 none ");  // not a view controller
  write("Main.storyboard.plist", {{"SomethingElse", "TestRootController"}});
  EXPECT_EQ(launch(), "3 none UIApplicationMain: main interface unusable: \"" + bundle +
                          "/Main.storyboard.plist\" names no UIInitialViewController\n");
  testsupport::writeHostFile(bundle + "/Main.storyboard.plist", "<plist><dict><key>");
  EXPECT_EQ(launch(), "3 none UIApplicationMain: main interface unusable: \"" + bundle +
                          "/Main.storyboard.plist\" is not a property-list dictionary\n");
  std::filesystem::remove(bundle + "/Main.storyboard.plist");
  EXPECT_EQ(launch(), "3 none UIApplicationMain: main interface unusable: cannot read \"" + bundle +
                          "/Main.storyboard.plist\": No such file or directory\n");
  write("Info.plist", {{"UIMainStoryboardFile", "../Main"}});
  EXPECT_EQ(launch().substr(0, 7), "3 none ");
  testsupport::writeHostFile(bundle + "/Info.plist", "not a plist");
  EXPECT_EQ(launch().substr(0, 7), "3 none ");

  // By default the bundle is the running program's folder.
  ns::setMainBundlePath("");
  EXPECT_EQ(ns::mainBundlePath(),
            std::filesystem::read_symlink("/proc/self/exe").parent_path().string());
}

TEST_F(App, SIGUSR1IsCaughtAndBringsTheAppToTheFront) {
  bool caughtAtLaunch = false;
  gAtLaunch = [&] {
    caughtAtLaunch = catchesSignal(getpid(), SIGUSR1);
    raise(SIGUSR1);
    raise(SIGUSR1);  // two before the loop looks: one raise
  };
  ns::LogCapture log;
  EXPECT_EQ(runApp("wait 0.1\n"), 0);
  EXPECT_TRUE(caughtAtLaunch);
  EXPECT_EQ(log.lines(), std::vector<std::string>{"brought to the front"});
  // Afterwards the signal is back to what it was.
  EXPECT_FALSE(catchesSignal(getpid(), SIGUSR1));
}

// The launcher's view: a running program on the toolkit, headless on the
// real clock, answers SIGUSR1 at once and keeps running.
TEST(AppProcess, AHeadlessAppAnswersRaiseRequests) {
  testsupport::TempDeviceRoot root;
  std::string program = testsupport::buildDir() + "/bin/toolkit-sample";
  ASSERT_EQ(access(program.c_str(), X_OK), 0) << program;
  std::string log = root.path() + "/sample.log";
  std::string rootVariable = "CORVANE_DEVICE_ROOT=" + root.path();
  std::vector<std::string> env = {rootVariable, "CORVANE_HEADLESS=1"};
  for (const char* passed : {"ASAN_OPTIONS", "UBSAN_OPTIONS", "LSAN_OPTIONS"})
    if (const char* v = getenv(passed)) env.push_back(std::string(passed) + "=" + v);
  std::vector<char*> envp;
  for (auto& e : env) envp.push_back(e.data());
  envp.push_back(nullptr);
  char* argv[] = {program.data(), nullptr};
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, log.c_str(), O_WRONLY | O_CREAT, 0644);
  pid_t pid = -1;
  ASSERT_EQ(posix_spawn(&pid, program.c_str(), &actions, nullptr, argv, envp.data()), 0);
  posix_spawn_file_actions_destroy(&actions);

  // Bounded waits on the real process.
  auto waitFor = [](const std::function<bool()>& done) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!done()) {
      if (std::chrono::steady_clock::now() > deadline) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
  };
  auto raised = [&] {
    return testsupport::readHostFile(log).find("brought to the front") != std::string::npos;
  };
  EXPECT_TRUE(waitFor([&] { return catchesSignal(pid, SIGUSR1); }));
  ASSERT_EQ(kill(pid, SIGUSR1), 0);
  EXPECT_TRUE(waitFor(raised)) << testsupport::readHostFile(log);
  int status = 0;
  EXPECT_EQ(waitpid(pid, &status, WNOHANG), 0) << "the app ended";
  kill(pid, SIGTERM);
  waitpid(pid, &status, 0);
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
  // The whole dump is valid JSON, a tab and DEL in an alert included.
  auto alert = objc::make<UIAlertView>("t\tab\x7f", "\xc3", nullptr, "OK");
  alert->show();
  auto parsed = nlohmann::json::parse(UIAutomation::dumpJSON(), nullptr, false);
  ASSERT_FALSE(parsed.is_discarded()) << UIAutomation::dumpJSON();
  EXPECT_EQ(parsed["views"][0]["children"][0]["frame"], nlohmann::json::parse("[0, 0, 1, 1]"));
  EXPECT_EQ(parsed["alerts"][0]["title"], "t\tab\x7f");
  EXPECT_EQ(parsed["alerts"][0]["message"], "\xEF\xBF\xBD");
}

}  // namespace

// Fontconfig keeps the caches it fills for the text of a frame until the
// process ends; the leak check of sanitizer builds passes over them.
extern "C" const char* __lsan_default_suppressions() {
  return "leak:libfontconfig.so\n";
}

OBJC_CLASS_IMPL(TestAppDelegate, UIResponder, nullptr)
UIKIT_CLASS_FACTORY(TestAppDelegate)
OBJC_CLASS_IMPL(TestRootController, UIViewController, setupRoot)
UIKIT_CLASS_FACTORY(TestRootController)
