// From Control Center to the app, with the real launcher and the real app:
// a tap on "Tap to Launch App" starts the app on the newest day; a second
// tap brings the running app to the front instead of starting another.
//
// Timeline: the store holds two days; the shell starts at 12:00 on a third,
// which its first tick adds to the day list. The shell quits at the end of
// each script; the app it started lives on (headless, on the real clock)
// until the test ends it.
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <string>

#include "CorvaneStore/StoreLayout.h"
#include "Foundation/PropertyList.h"
#include "HostTestSupport.h"
#include "TestSupport.h"

namespace {

// On a 300-point screen Control Center's brightness row spans y 336 .. 386.
const char* kOpenAndTap =
    "wait 2\n"
    "drag 150 565 150 300 0.3\n"
    "wait 1\n"
    "drag 10 380 10 320 0.3\n"
    "wait 1\n"
    "tap 150 360\n"
    "quit\n";

class AppLaunch : public ::testing::Test {
 protected:
  ~AppLaunch() override {
    if (pid > 0) kill(pid, SIGTERM);
  }
  std::string appLog() {
    return testsupport::readHostFile(device.root.host("/var/run/launchCV/com.corvane.app.log"));
  }
  int appPid() {
    return std::atoi(
        testsupport::readHostFile(device.root.host("/var/run/launchCV/com.corvane.app.pid"))
            .c_str());
  }
  // Waits until the app's log holds text: the app is a separate process on
  // the real clock, so the test waits on changes of its log folder, for at
  // most 20 s in all.
  bool logShows(const std::string& text) {
    std::string folder = device.root.host("/var/run/launchCV");
    int fd = inotify_init1(IN_CLOEXEC | IN_NONBLOCK);
    inotify_add_watch(fd, folder.c_str(), IN_MODIFY | IN_CREATE | IN_CLOSE_WRITE);
    bool found = false;
    for (int round = 0; round < 200 && !found; ++round) {
      found = appLog().find(text) != std::string::npos;
      if (found) break;
      pollfd p{fd, POLLIN, 0};
      if (poll(&p, 1, 100) > 0) {
        char events[4096];
        while (read(fd, events, sizeof events) > 0) {
        }
      }
    }
    close(fd);
    return found;
  }
  void tapLaunchPage() {
    testsupport::writeHostFile(device.root.host("/script.txt"), kOpenAndTap);
    int status = -1;
    std::string output =
        device.runShell("", "2015-03-05T12:00:00", 30, &status,
                        "CORVANE_HEADLESS=1 CORVANE_SCREEN=300x568 CORVANE_AUTOMATION=" +
                            device.root.host("/script.txt"));
    ASSERT_EQ(status, 0) << output;
  }

  hosttest::InstalledDevice device;
  int pid = -1;
};

TEST_F(AppLaunch, TheLaunchPageStartsTheAppOnTheNewestDayThenRaisesIt) {
  ASSERT_TRUE(device.installed) << device.installOutput;
  // The device root is this test's (TempDeviceRoot points the platform at it).
  ns::writeToFile(ns::PlistArray{"2015-03-03", "2015-03-04"}, corvane::kDateArrayPath);
  tapLaunchPage();
  ASSERT_TRUE(logShows("*****2******")) << appLog();  // the third day of three: the newest
  pid = appPid();
  ASSERT_GT(pid, 0);
  EXPECT_EQ(kill(pid, 0), 0);

  tapLaunchPage();
  EXPECT_TRUE(logShows("brought to the front")) << appLog();
  EXPECT_EQ(appPid(), pid);  // no second copy
  size_t starts = 0;
  for (size_t at = appLog().find("*****"); at != std::string::npos;
       at = appLog().find("*****", at + 12))
    ++starts;
  EXPECT_EQ(starts, 1u) << appLog();
}

}  // namespace
