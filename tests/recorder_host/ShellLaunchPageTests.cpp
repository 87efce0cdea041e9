// The launch page in the running shell, driven as a user would: open
// Control Center from the bottom edge, swipe the brightness row up, tap the
// button. A launcher stand-in reports what it was started with.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "HostTestSupport.h"
#include "TestSupport.h"

namespace {

namespace fs = std::filesystem;

TEST(ShellLaunchPage, SwipeAndTapStartTheLauncherWithTheAppsBundleIdentifier) {
  hosttest::InstalledDevice device;
  ASSERT_TRUE(device.installed) << device.installOutput;
  const std::string launcher = device.root.host("/usr/bin/launchCV");
  fs::remove(launcher);
  fs::copy_file(RECORD_LAUNCH_PATH, launcher);
  hosttest::Reports launches(device.root.host("/launch-record"));

  // A 300-point screen: Control Center's content is 248 points high, so the
  // brightness row spans y 336 .. 386.
  const std::string dump = device.root.host("/tree.json");
  std::string script =
      "wait 2\n"
      "drag 150 565 150 300 0.3\n"
      "wait 1\n"
      "drag 10 380 10 320 0.3\n"
      "wait 1\n"
      "dump " +
      dump +
      "\n"
      "tap 150 360\n"
      "quit\n";
  testsupport::writeHostFile(device.root.host("/script.txt"), script);
  int status = -1;
  std::string output = device.runShell(
      "", "2015-03-05T12:00:00", 30, &status,
      "CORVANE_SCREEN=300x568 CORVANE_AUTOMATION=" + device.root.host("/script.txt"));
  ASSERT_EQ(status, 0) << output;

  EXPECT_EQ(launches.nextRecord(), "/usr/bin/launchCV\ncom.corvane.app\n--\nPROCESS=2\n");
  // The second page is up: the button covers the row where the slider was.
  std::string tree = testsupport::readHostFile(dump);
  EXPECT_NE(tree.find("\"class\": \"CVScrollView\", \"frame\": [0, 336, 300, 50]"),
            std::string::npos)
      << tree;
  EXPECT_NE(tree.find("\"class\": \"UIButton\", \"frame\": [0, 336, 300, 50]"), std::string::npos)
      << tree;
}

}  // namespace
