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

#include "QuartzCore/CGContext.h"
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

std::string findProgram(const char* name) {
  const char* path = std::getenv("PATH");
  std::string dirs = path ? path : "/usr/bin:/bin";
  size_t start = 0;
  while (start <= dirs.size()) {
    size_t end = dirs.find(':', start);
    if (end == std::string::npos) end = dirs.size();
    std::string candidate = dirs.substr(start, end - start) + "/" + name;
    if (access(candidate.c_str(), X_OK) == 0) return candidate;
    start = end + 1;
  }
  return {};
}

// A child process that is killed if the test leaves it running.
struct Child {
  pid_t pid = -1;
  ~Child() { stop(SIGKILL); }
  void stop(int signal) {
    if (pid <= 0) return;
    kill(pid, signal);
    int status;
    waitpid(pid, &status, 0);
    pid = -1;
  }
  // The exit status once it has ended by itself within the time, else -1.
  int waitExit(double seconds) {
    int status = 0;
    bool ended = waitFor([&] { return waitpid(pid, &status, WNOHANG) == pid; }, seconds);
    if (!ended) return -1;
    pid = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  }
};

// A virtual X server on a display number it picks itself.
class VirtualDisplay {
 public:
  bool start(std::string* error) {
    std::string xvfb = findProgram("Xvfb");
    if (xvfb.empty()) {
      *error = "Xvfb is not installed";
      return false;
    }
    int fds[2];
    if (pipe(fds) != 0) return false;
    std::string fd = std::to_string(fds[1]);
    std::vector<std::string> args = {"Xvfb", "-displayfd",  fd,          "-screen",
                                     "0",    "800x1200x24", "-nolisten", "tcp"};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addclose(&actions, fds[0]);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    int rc = posix_spawn(&server_.pid, xvfb.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    if (rc != 0) {
      close(fds[0]);
      *error = "cannot start Xvfb";
      return false;
    }
    // The server writes its display number once it takes connections.
    std::string number;
    pollfd p{fds[0], POLLIN, 0};
    while (number.find('\n') == std::string::npos && poll(&p, 1, 10000) > 0) {
      char buf[16];
      ssize_t n = read(fds[0], buf, sizeof buf);
      if (n <= 0) break;
      number.append(buf, static_cast<size_t>(n));
    }
    close(fds[0]);
    if (number.find('\n') == std::string::npos) {
      *error = "Xvfb did not start";
      return false;
    }
    name_ = ":" + number.substr(0, number.find('\n'));
    display_ = XOpenDisplay(name_.c_str());
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

struct Pixel {
  int r, g, b;
};

class SampleWindow {
 public:
  SampleWindow(Display* d, Window w) : d_(d), w_(w) {}

  Pixel pixel(int x, int y) const {
    XImage* image = XGetImage(d_, w_, x, y, 1, 1, AllPlanes, ZPixmap);
    if (!image) return {-1, -1, -1};
    unsigned long v = XGetPixel(image, 0, 0);
    XDestroyImage(image);
    return {static_cast<int>((v >> 16) & 0xFF), static_cast<int>((v >> 8) & 0xFF),
            static_cast<int>(v & 0xFF)};
  }
  // Pixels of the ring's green arc in the whole window.
  int greenPixels() const {
    XImage* image = XGetImage(d_, w_, 0, 0, 320, 568, AllPlanes, ZPixmap);
    if (!image) return -1;
    int count = 0;
    for (int y = 0; y < 568; ++y)
      for (int x = 0; x < 320; ++x) {
        unsigned long v = XGetPixel(image, x, y);
        int r = (v >> 16) & 0xFF, g = (v >> 8) & 0xFF, b = v & 0xFF;
        if (g > 180 && r < 100 && b < 150) ++count;
      }
    XDestroyImage(image);
    return count;
  }
  // Writes what the window shows to a PNG (for a person to look at).
  void save(const std::string& path) const {
    XImage* image = XGetImage(d_, w_, 0, 0, 320, 568, AllPlanes, ZPixmap);
    if (!image) return;
    CGContext picture(320, 568, 1);
    for (int y = 0; y < 568; ++y)
      for (int x = 0; x < 320; ++x) {
        unsigned long v = XGetPixel(image, x, y);
        picture.fillRect(
            CGRectMake(x, y, 1, 1),
            {((v >> 16) & 0xFF) / 255.0, ((v >> 8) & 0xFF) / 255.0, (v & 0xFF) / 255.0, 1});
      }
    XDestroyImage(image);
    picture.writePNG(path);
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

bool near(Pixel p, int r, int g, int b) {
  return std::abs(p.r - r) <= 3 && std::abs(p.g - g) <= 3 && std::abs(p.b - b) <= 3;
}

TEST(Window, SampleOpensTakesInputAndClosesCleanly) {
  testsupport::TempDeviceRoot root;
  VirtualDisplay x;
  std::string error;
  if (!x.start(&error)) GTEST_SKIP() << error;

  // The sample, told about this display only and not asked to be headless.
  std::string program = testsupport::buildDir() + "/bin/toolkit-sample";
  ASSERT_EQ(access(program.c_str(), X_OK), 0) << program;
  std::vector<std::string> env;
  for (char** e = environ; *e; ++e) {
    std::string entry = *e;
    std::string name = entry.substr(0, entry.find('='));
    if (name != "DISPLAY" && name != "WAYLAND_DISPLAY" && name != "CORVANE_AUTOMATION" &&
        name != "CORVANE_HEADLESS" && name != "CORVANE_WINDOW_SCALE" && name != "CORVANE_SCREEN")
      env.push_back(entry);
  }
  env.push_back("DISPLAY=" + x.name());
  std::vector<char*> envp;
  for (auto& e : env) envp.push_back(e.data());
  envp.push_back(nullptr);
  std::string log = root.path() + "/sample.log";
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  char arg0[] = "toolkit-sample";
  char* argv[] = {arg0, nullptr};
  Child sample;
  ASSERT_EQ(posix_spawn(&sample.pid, program.c_str(), &actions, nullptr, argv, envp.data()), 0);
  posix_spawn_file_actions_destroy(&actions);
  auto logged = [&](const char* text) {
    return testsupport::readHostFile(log).find(text) != std::string::npos;
  };

  Display* d = x.display();
  Window id = 0;
  ASSERT_TRUE(waitFor([&] { return (id = findWindow(d, 320, 568)) != 0; }, 15))
      << "no 320 x 568 window; the sample said: " << testsupport::readHostFile(log);
  SampleWindow window(d, id);
  // The first frame: the sample's background (0.87, 0.86, 0.84).
  ASSERT_TRUE(waitFor([&] { return near(window.pixel(5, 5), 222, 219, 214); }, 10));
  EXPECT_EQ(window.greenPixels(), 0);

  // The button (its centre is at (85, 249)) counts and draws the arc in.
  window.click(85, 249);
  EXPECT_TRUE(waitFor([&] { return logged("button tapped 1"); }, 10));
  EXPECT_TRUE(waitFor([&] { return window.greenPixels() > 100; }, 10));

  // Typing into the field; Return reaches its delegate.
  window.click(235, 249);
  window.focus();
  window.key(XK_h);
  window.key(XK_i);
  window.key(XK_BackSpace);
  window.key(XK_o);
  window.key(XK_Return);
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

  // A row shows an alert over a dimmed screen; its button dismisses it.
  window.click(100, 353);
  EXPECT_TRUE(waitFor([&] { return logged("picked Song 1"); }, 10));
  ASSERT_TRUE(waitFor([&] { return near(window.pixel(5, 5), 133, 131, 128); }, 10));
  if (const char* dir = std::getenv("CORVANE_RENDER_OUT"))
    window.save(std::string(dir) + "/window.png");
  int bottom = 567;
  while (bottom > 0 && !near(window.pixel(160, bottom), 247, 247, 247)) --bottom;
  ASSERT_GT(bottom, 284);
  window.click(160, bottom - 20);
  EXPECT_TRUE(waitFor([&] { return near(window.pixel(5, 5), 222, 219, 214); }, 10));

  window.askToClose();
  EXPECT_EQ(sample.waitExit(10), 0) << testsupport::readHostFile(log);
}

#else

TEST(Window, SampleOpensTakesInputAndClosesCleanly) {
  GTEST_SKIP() << "built without the X libraries (x11, xtst)";
}

#endif

}  // namespace
