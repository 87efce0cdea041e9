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
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <functional>
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
  void click(int x, int y) {
    moveTo(x, y);
    button(true);
    button(false);
  }
  void key(KeySym sym) {
    KeyCode code = XKeysymToKeycode(d_, sym);
    XTestFakeKeyEvent(d_, code, True, 0);
    XTestFakeKeyEvent(d_, code, False, 0);
    XSync(d_, False);
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

#else

TEST(Window, SampleOpensTakesInputAndClosesCleanly) {
  GTEST_SKIP() << "built without the X libraries (x11, xtst)";
}

#endif

}  // namespace
