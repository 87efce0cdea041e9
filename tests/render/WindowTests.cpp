// The toolkit sample in a real window on an Xvfb display: it opens, takes
// presses, typing and a drag through the X server, shows an alert that a
// press dismisses, draws what happened, and closes cleanly when the window
// is closed. This is the one place real time passes in the tests; every
// wait polls with a deadline.
//
// No toolkit header here: the X headers define macros (None, Status, Bool)
// that clash with its names.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "TestSupport.h"

#ifdef CORVANE_HAVE_XTEST
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
#endif

extern char** environ;

namespace {

#ifdef CORVANE_HAVE_XTEST

using Clock = std::chrono::steady_clock;

// Polls pred every 10 ms until it holds or the time is up.
bool waitFor(const std::function<bool()>& pred, double seconds) {
  auto deadline = Clock::now() + std::chrono::duration<double>(seconds);
  while (!pred()) {
    if (Clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return true;
}

// A child process that is killed if the test leaves it running.
struct Child {
  pid_t pid = -1;
  ~Child() { stop(SIGKILL); }
  // Starts a program found on PATH, its output going to /dev/null and its
  // errors to errorPath.
  bool start(std::vector<std::string> args, const std::string& errorPath = "/dev/null") {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, errorPath.c_str(), O_WRONLY | O_CREAT, 0644);
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    int rc = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    return rc == 0;
  }
  void stop(int signal) {
    if (pid <= 0) return;
    kill(pid, signal);
    waitpid(pid, nullptr, 0);
    pid = -1;
  }
  // The exit status once it has ended by itself within the time, else -1.
  int waitExit(double seconds) {
    int status = 0;
    if (!waitFor([&] { return waitpid(pid, &status, WNOHANG) == pid; }, seconds)) return -1;
    pid = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  }
};

// A virtual X server on a display number it picks itself.
class VirtualDisplay {
 public:
  bool start(std::string* error) {
    int fds[2];
    if (pipe(fds) != 0) return false;
    fcntl(fds[0], F_SETFD, FD_CLOEXEC);
    bool started = server_.start({"Xvfb", "-displayfd", std::to_string(fds[1]), "-screen", "0",
                                  "800x1200x24", "-nolisten", "tcp"});
    close(fds[1]);
    // The server writes its display number once it takes connections.
    std::string number;
    pollfd p{fds[0], POLLIN, 0};
    char buf[16];
    ssize_t n = 0;
    while (started && number.find('\n') == std::string::npos && poll(&p, 1, 10000) > 0 &&
           (n = read(fds[0], buf, sizeof buf)) > 0)
      number.append(buf, static_cast<size_t>(n));
    close(fds[0]);
    if (number.find('\n') == std::string::npos) {
      *error = started ? "Xvfb did not start" : "Xvfb is not installed";
      return false;
    }
    name_ = ":" + number.substr(0, number.find('\n'));
    display_ = XOpenDisplay(name_.c_str());
    // A window that goes away between two requests is no reason to exit.
    XSetErrorHandler([](Display*, XErrorEvent*) { return 0; });
    if (!display_) *error = "cannot connect to " + name_;
    return display_ != nullptr;
  }
  ~VirtualDisplay() {
    if (display_) XCloseDisplay(display_);
    server_.stop(SIGTERM);
  }
  Display* display() const { return display_; }
  const std::string& name() const { return name_; }

 private:
  Child server_;
  std::string name_;
  Display* display_ = nullptr;
};

class SampleWindow {
 public:
  SampleWindow(Display* d, Window w) : d_(d), w_(w) {}

  // The pixels of a rectangle of the window whose colour passes want.
  int count(const std::function<bool(int r, int g, int b)>& want, int x = 0, int y = 0,
            int width = 320, int height = 568) const {
    XImage* image = XGetImage(d_, w_, x, y, width, height, AllPlanes, ZPixmap);
    if (!image) return -1;
    int n = 0;
    for (int j = 0; j < height; ++j)
      for (int i = 0; i < width; ++i) {
        unsigned long v = XGetPixel(image, i, j);
        n += want((v >> 16) & 0xFF, (v >> 8) & 0xFF, v & 0xFF);
      }
    XDestroyImage(image);
    return n;
  }
  // Whether the pixel at (x, y) is the colour, within a few steps.
  bool shows(int x, int y, int r, int g, int b) const {
    auto near = [&](int pr, int pg, int pb) {
      return std::abs(pr - r) <= 3 && std::abs(pg - g) <= 3 && std::abs(pb - b) <= 3;
    };
    return count(near, x, y, 1, 1) == 1;
  }
  // Pixels of the ring's green arc in the whole window.
  int greenPixels() const {
    return count([](int r, int g, int b) { return g > 180 && r < 100 && b < 150; });
  }
  void moveTo(int x, int y) {
    int rx = 0, ry = 0;
    Window child;
    XTranslateCoordinates(d_, w_, DefaultRootWindow(d_), x, y, &rx, &ry, &child);
    XTestFakeMotionEvent(d_, DefaultScreen(d_), rx, ry, 0);
    XSync(d_, False);
  }
  void button(bool down) {
    XTestFakeButtonEvent(d_, 1, down ? True : False, 0);
    XSync(d_, False);
  }
  void click(int x, int y, int times = 1) {
    moveTo(x, y);
    for (int i = 0; i < times; ++i) {
      button(true);
      button(false);
    }
  }
  void key(KeySym sym) {
    KeyCode code = XKeysymToKeycode(d_, sym);
    XTestFakeKeyEvent(d_, code, True, 0);
    XTestFakeKeyEvent(d_, code, False, 0);
    XSync(d_, False);
  }
  // A key pressed while Control is held.
  void controlKey(KeySym sym) {
    KeyCode control = XKeysymToKeycode(d_, XK_Control_L);
    XTestFakeKeyEvent(d_, control, True, 0);
    key(sym);
    XTestFakeKeyEvent(d_, control, False, 0);
    XSync(d_, False);
  }
  void type(const std::string& text) {
    for (char c : text) key(c == '-' ? XK_minus : static_cast<KeySym>(c));
  }
  // One wheel notch over (x, y): X buttons 4 up, 5 down, 6 left, 7 right.
  void wheel(int x, int y, int xButton) {
    moveTo(x, y);
    XTestFakeButtonEvent(d_, xButton, True, 0);
    XTestFakeButtonEvent(d_, xButton, False, 0);
    XSync(d_, False);
  }
  // With CORVANE_WINDOW_SHOTS naming a folder, the window's picture as
  // NAME.ppm there, to look at.
  void shot(const std::string& name) const {
    const char* folder = std::getenv("CORVANE_WINDOW_SHOTS");
    if (!folder || !*folder) return;
    XWindowAttributes a;
    XGetWindowAttributes(d_, w_, &a);
    XImage* image = XGetImage(d_, w_, 0, 0, a.width, a.height, AllPlanes, ZPixmap);
    if (!image) return;
    std::string out = "P6\n" + std::to_string(a.width) + " " + std::to_string(a.height) + "\n255\n";
    for (int j = 0; j < a.height; ++j)
      for (int i = 0; i < a.width; ++i) {
        unsigned long v = XGetPixel(image, i, j);
        out += {static_cast<char>((v >> 16) & 0xFF), static_cast<char>((v >> 8) & 0xFF),
                static_cast<char>(v & 0xFF)};
      }
    XDestroyImage(image);
    testsupport::writeHostFile(std::string(folder) + "/" + name + ".ppm", out);
  }
  // A hash of a rectangle's pixels, to see whether it changed.
  uint64_t digest(int x, int y, int width, int height) const {
    uint64_t h = 1469598103934665603ull;
    count(
        [&](int r, int g, int b) {
          h = (h ^ static_cast<uint64_t>(r << 16 | g << 8 | b)) * 1099511628211ull;
          return false;
        },
        x, y, width, height);
    return h;
  }
  void focus() {
    XSetInputFocus(d_, w_, RevertToParent, CurrentTime);
    XSync(d_, False);
  }
  // As a window manager does when the close box is pressed.
  void askToClose() {
    XEvent e{};
    e.xclient.type = ClientMessage;
    e.xclient.window = w_;
    e.xclient.message_type = XInternAtom(d_, "WM_PROTOCOLS", False);
    e.xclient.format = 32;
    e.xclient.data.l[0] = static_cast<long>(XInternAtom(d_, "WM_DELETE_WINDOW", False));
    e.xclient.data.l[1] = CurrentTime;
    XSendEvent(d_, w_, False, NoEventMask, &e);
    XSync(d_, False);
  }

 private:
  Display* d_;
  Window w_;
};

// The viewable top-level window of the given size, or 0.
Window findWindow(Display* d, int width, int height) {
  Window root = DefaultRootWindow(d), parent, *children = nullptr;
  unsigned int n = 0;
  Window found = 0;
  if (!XQueryTree(d, root, &root, &parent, &children, &n)) return 0;
  for (unsigned int i = 0; i < n && !found; ++i) {
    XWindowAttributes a;
    if (XGetWindowAttributes(d, children[i], &a) && a.map_state == IsViewable && a.width == width &&
        a.height == height)
      found = children[i];
  }
  if (children) XFree(children);
  return found;
}

TEST(Window, SampleOpensTakesInputAndClosesCleanly) {
  testsupport::TempDeviceRoot root;
  VirtualDisplay x;
  std::string error;
  if (!x.start(&error)) GTEST_SKIP() << error;

  // The sample, told about this display only and not asked to be headless.
  std::string program = testsupport::buildDir() + "/bin/toolkit-sample";
  ASSERT_EQ(access(program.c_str(), X_OK), 0) << program;
  std::string log = root.path() + "/sample.log";
  Child sample;
  std::vector<std::string> args = {"env"};
  for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "CORVANE_AUTOMATION", "CORVANE_HEADLESS",
                           "CORVANE_WINDOW_SCALE", "CORVANE_SCREEN"})
    args.insert(args.end(), {"-u", name});
  args.insert(args.end(), {"DISPLAY=" + x.name(), program});
  ASSERT_TRUE(sample.start(args, log));
  auto logged = [&](const char* text) {
    return testsupport::readHostFile(log).find(text) != std::string::npos;
  };

  Display* d = x.display();
  Window id = 0;
  ASSERT_TRUE(waitFor([&] { return (id = findWindow(d, 320, 568)) != 0; }, 15))
      << "no 320 x 568 window; the sample said: " << testsupport::readHostFile(log);
  SampleWindow window(d, id);
  // The first frame: the sample's background (0.87, 0.86, 0.84).
  ASSERT_TRUE(waitFor([&] { return window.shows(5, 5, 222, 219, 214); }, 10));
  EXPECT_EQ(window.greenPixels(), 0);

  // The button (its centre is at (85, 249)) counts and draws the arc in.
  window.click(85, 249);
  EXPECT_TRUE(waitFor([&] { return logged("button tapped 1"); }, 10));
  EXPECT_TRUE(waitFor([&] { return window.greenPixels() > 100; }, 10));

  // Typing into the field; Return reaches its delegate.
  window.click(235, 249);
  window.focus();
  for (KeySym k : {XK_h, XK_i, XK_BackSpace, XK_o, XK_Return}) window.key(k);
  EXPECT_TRUE(waitFor([&] { return logged("returned ho"); }, 10)) << testsupport::readHostFile(log);

  // A quick drag to the left turns the pager to its second page.
  window.moveTo(250, 130);
  window.button(true);
  for (int x = 230; x >= 70; x -= 20) {
    std::this_thread::sleep_for(std::chrono::milliseconds(8));
    window.moveTo(x, 130);
  }
  window.button(false);
  EXPECT_TRUE(waitFor([&] { return logged("page 2 of 3"); }, 10)) << testsupport::readHostFile(log);

  // The launcher's raise request reaches the window's loop.
  ASSERT_EQ(kill(sample.pid, SIGUSR1), 0);
  EXPECT_TRUE(waitFor([&] { return logged("brought to the front"); }, 10))
      << testsupport::readHostFile(log);

  // A row shows an alert over a dimmed screen; its button dismisses it.
  window.click(100, 353);
  EXPECT_TRUE(waitFor([&] { return logged("picked Song 1"); }, 10));
  ASSERT_TRUE(waitFor([&] { return window.shows(5, 5, 133, 131, 128); }, 10));
  int bottom = 567;
  while (bottom > 0 && !window.shows(160, bottom, 247, 247, 247)) --bottom;
  ASSERT_GT(bottom, 284);
  window.click(160, bottom - 20);
  EXPECT_TRUE(waitFor([&] { return window.shows(5, 5, 222, 219, 214); }, 10));

  window.askToClose();
  EXPECT_EQ(sample.waitExit(10), 0) << testsupport::readHostFile(log);
}

// What the cold-start benchmark asks of a window: the sample opens it
// (SDL loaded on demand), shows its first frame and ends by itself.
TEST(Window, ExitAfterFirstFrameEndsOnceTheWindowShowedIt) {
  testsupport::TempDeviceRoot root;
  VirtualDisplay x;
  std::string error;
  if (!x.start(&error)) GTEST_SKIP() << error;
  std::string program = testsupport::buildDir() + "/bin/toolkit-sample";
  std::string log = root.path() + "/sample.log";
  Child sample;
  std::vector<std::string> args = {"env"};
  for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "CORVANE_AUTOMATION", "CORVANE_HEADLESS"})
    args.insert(args.end(), {"-u", name});
  args.insert(args.end(), {"DISPLAY=" + x.name(), "CORVANE_EXIT_AFTER_FIRST_FRAME=1", program});
  ASSERT_TRUE(sample.start(args, log));
  EXPECT_EQ(sample.waitExit(15), 0) << testsupport::readHostFile(log);
  EXPECT_EQ(testsupport::readHostFile(log).find("no window"), std::string::npos)
      << testsupport::readHostFile(log);
}

// The app in a window over a small store, with the mouse's wheel and the
// keyboard: what a desktop user does without a touch screen.
class AppWindow : public testing::Test {
 protected:
  // A plist dictionary of string values.
  static std::string dictionary(const std::vector<std::pair<std::string, std::string>>& entries) {
    std::string s = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">\n<dict>\n";
    for (auto& [k, v] : entries) s += "\t<key>" + k + "</key>\n\t<string>" + v + "</string>\n";
    return s + "</dict>\n</plist>\n";
  }
  void writeStore() {
    std::string store = root.host("/var/mobile/Documents/Corvane");
    std::string days =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">\n"
        "<array>\n\t<string>2015-03-04</string>\n\t<string>2015-03-05</string>\n"
        "</array>\n</plist>\n";
    testsupport::writeHostFile(store + "/DateArray.plist", days);
    std::vector<std::pair<std::string, std::string>> titles, numbers;
    std::vector<std::pair<std::string, std::string>> times4, plays4, albums4, times5, plays5,
        albums5;
    for (int i = 0; i < 14; ++i) {
      std::string n = std::to_string(i);
      titles.push_back({n, "Song " + n});
      numbers.push_back({"Song " + n, n});
      // 2015-03-05: fourteen songs, more rows than the list shows.
      times5.push_back({n, std::to_string(40 + 10 * i)});
      plays5.push_back({n, std::to_string(i + 1)});
      albums5.push_back({n, "A-B"});
    }
    // 2015-03-04: two songs, whose play counts are told apart in the log.
    times4 = {{"0", "40"}, {"1", "90"}};
    plays4 = {{"0", "7"}, {"1", "3"}};
    albums4 = {{"0", "A-B"}, {"1", "A-B"}};
    std::sort(titles.begin(), titles.end());
    std::sort(numbers.begin(), numbers.end());
    testsupport::writeHostFile(store + "/IntMusicData.plist", dictionary(titles));
    testsupport::writeHostFile(store + "/MusicIntData.plist", dictionary(numbers));
    testsupport::writeHostFile(store + "/SaveData.plist", dictionary({{"MusicNumber", "14"}}));
    auto day = [&](const std::string& key, auto times, auto plays, auto albums) {
      std::string folder = store + "/EverydayData/" + key;
      std::sort(times.begin(), times.end());
      std::sort(plays.begin(), plays.end());
      std::sort(albums.begin(), albums.end());
      testsupport::writeHostFile(folder + "/MusicTime.plist", dictionary(times));
      testsupport::writeHostFile(folder + "/MusicNumber.plist", dictionary(plays));
      testsupport::writeHostFile(folder + "/MusicAlbum.plist", dictionary(albums));
    };
    day("2015-03-04", times4, plays4, albums4);
    day("2015-03-05", times5, plays5, albums5);
  }
  // The app installed as its bundle (the bundle names its main interface).
  std::string install() {
    std::string bundle = root.host("/Applications/Corvane.app");
    for (const char* file : {"Info.plist", "Main.storyboard.plist", "flagIcon.png", "menuIcon.png"})
      testsupport::writeHostFile(
          bundle + "/" + file,
          testsupport::readHostFile(std::string(CORVANE_APP_RESOURCES) + "/" + file));
    std::string program = bundle + "/Corvane";
    testsupport::writeHostFile(program,
                               testsupport::readHostFile(testsupport::buildDir() + "/bin/Corvane"));
    chmod(program.c_str(), 0755);
    return program;
  }
  // Starts the app on the display; false when there is no display to test on.
  bool launch() {
    std::string error;
    if (!x.start(&error)) {
      skipped = error;
      return false;
    }
    writeStore();
    std::string program = install();
    std::vector<std::string> args = {"env"};
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "CORVANE_AUTOMATION", "CORVANE_HEADLESS",
                             "CORVANE_WINDOW_SCALE", "CORVANE_SCREEN"})
      args.insert(args.end(), {"-u", name});
    args.insert(args.end(), {"DISPLAY=" + x.name(), "CORVANE_DEVICE_ROOT=" + root.path(),
                             "CORVANE_LOG_ECHO=1", program, "--scale", "1"});
    log = root.path() + "/app.log";
    EXPECT_TRUE(app.start(args, log));
    Window id = 0;
    EXPECT_TRUE(waitFor([&] { return (id = findWindow(x.display(), 320, 568)) != 0; }, 15))
        << "no window; the app said: " << said();
    if (!id) return false;
    window = std::make_unique<SampleWindow>(x.display(), id);
    // The first frame: the background (0.87, 0.86, 0.84).
    EXPECT_TRUE(waitFor([&] { return window->shows(300, 300, 222, 219, 214); }, 10));
    window->focus();
    return true;
  }
  std::string said() const { return testsupport::readHostFile(log); }
  // Waits for the log to hold text n times.
  bool logged(const std::string& text, size_t n = 1) {
    return waitFor(
        [&] {
          std::string all = said();
          size_t count = 0;
          for (size_t at = all.find(text); at != std::string::npos; at = all.find(text, at + 1))
            ++count;
          return count >= n;
        },
        10);
  }
  bool alertShows() const { return window->shows(300, 300, 133, 131, 128); }
  // Waits until the picture has stood still for 0.8 s (animations done).
  void settle() {
    uint64_t last = window->digest(0, 0, 320, 568);
    auto since = Clock::now();
    waitFor(
        [&] {
          uint64_t now = window->digest(0, 0, 320, 568);
          if (now != last) {
            last = now;
            since = Clock::now();
          }
          return Clock::now() - since > std::chrono::milliseconds(800);
        },
        10);
  }

  testsupport::TempDeviceRoot root;
  VirtualDisplay x;
  Child app;
  std::string log, skipped;
  std::unique_ptr<SampleWindow> window;
};

// Where the main screen puts its views on a 320 x 568 screen.
constexpr int kCardX = 160, kCardY = 200, kSwitchY = 314, kListY = 457;
constexpr int kDateFieldX = 120, kDateFieldY = 60;

TEST_F(AppWindow, TheWheelMovesTheListTurnsTheCardAndSwitchesTheMode) {
  if (!launch()) GTEST_SKIP() << skipped;
  settle();
  window->shot("wheel-0-start");
  // Down over the list: its rows move up.
  uint64_t list = window->digest(20, 365, 280, 185);
  window->wheel(160, kListY, 5);
  settle();
  EXPECT_NE(window->digest(20, 365, 280, 185), list);
  window->shot("wheel-1-list-scrolled");

  // Down over the switch: Number, as a swipe reports it.
  window->wheel(160, kSwitchY, 5);
  ASSERT_TRUE(logged("number")) << said();
  settle();
  window->shot("wheel-2-number");
  // Up over the card: the day before, relabelled as after a swipe, and the
  // ranking follows it (by plays: 7 then 3).
  window->wheel(kCardX, kCardY, 4);
  EXPECT_TRUE(logged("previous，current page:")) << said();
  EXPECT_TRUE(logged("\"0:7\",\n    \"1:3\"")) << said();
  settle();
  window->shot("wheel-3-previous-day");
  // A whole gesture turns one page only: a second notch at once is part of it.
  EXPECT_EQ(said().find("previous，current page:", said().find("previous，current page:") + 1),
            std::string::npos);

  window->controlKey(XK_q);
  EXPECT_EQ(app.waitExit(10), 0) << said();
}

TEST_F(AppWindow, TheDateFieldEditsAsOnADesktopAndKeysCloseAlerts) {
  if (!launch()) GTEST_SKIP() << skipped;
  window->wheel(160, kSwitchY, 5);  // by plays, so each load of a day is logged
  ASSERT_TRUE(logged("number")) << said();

  // A click, then Ctrl+A: typing replaces the whole day.
  window->click(kDateFieldX, kDateFieldY);
  window->controlKey(XK_a);
  settle();
  window->shot("field-1-selected-all");
  window->type("2015-03-04");
  settle();
  window->shot("field-2-typed");
  window->key(XK_Return);
  EXPECT_TRUE(logged("\"0:7\",\n    \"1:3\"")) << said();
  EXPECT_FALSE(alertShows());

  // A double click selects the day as one word.
  window->click(kDateFieldX, kDateFieldY, 2);
  window->type("2015-03-05");
  window->key(XK_Return);
  EXPECT_TRUE(logged("\"13:14\"")) << said();

  // A day without data: the alert; Return presses its only button.
  window->click(kDateFieldX, kDateFieldY, 3);
  window->type("2015-01-01");
  window->key(XK_Return);
  ASSERT_TRUE(waitFor([&] { return alertShows(); }, 10)) << said();
  settle();
  window->shot("alert-1-showing");
  window->key(XK_Return);
  EXPECT_TRUE(waitFor([&] { return !alertShows(); }, 10));
  settle();
  window->shot("alert-2-closed-by-return");
  // Again (the field shows the last good day again), and Escape closes it.
  window->click(kDateFieldX, kDateFieldY);
  window->controlKey(XK_a);
  window->type("2015-01-02");
  window->key(XK_Return);
  ASSERT_TRUE(waitFor([&] { return alertShows(); }, 10)) << said();
  window->key(XK_Escape);
  EXPECT_TRUE(waitFor([&] { return !alertShows(); }, 10));

  window->controlKey(XK_q);
  EXPECT_EQ(app.waitExit(10), 0) << said();
}

// Left alone, the window's loop sleeps in one poll on the display and its
// descriptors; a signal still ends it at once, and cleanly.
TEST_F(AppWindow, AnIdleWindowEndsCleanlyOnSIGTERMAtOnce) {
  if (!launch()) GTEST_SKIP() << skipped;
  settle();
  ASSERT_EQ(kill(app.pid, SIGTERM), 0);
  EXPECT_EQ(app.waitExit(3), 0) << said();
}

#else

TEST(Window, SampleOpensTakesInputAndClosesCleanly) {
  GTEST_SKIP() << "built without the X libraries (x11, xtst)";
}

#endif

}  // namespace
