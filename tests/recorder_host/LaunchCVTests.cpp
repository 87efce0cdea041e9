// The launcher, run as the launch page runs it: from its installed place in a
// device root, with "PROCESS=2" as its whole environment.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "Foundation/PropertyList.h"
#include "HostTestSupport.h"
#include "TestSupport.h"

namespace {

namespace fs = std::filesystem;
using testsupport::TempDeviceRoot;

class LaunchCVTest : public testing::Test {
 protected:
  void SetUp() override {
    for (const char* folder : {"/usr/bin", "/Applications/Corvane.app", "/Applications/Escape.app",
                               "/Applications/Missing.app"})
      fs::create_directories(root.host(folder));
    fs::copy_file(testsupport::buildDir() + "/bin/launchCV", launcher());
  }
  void TearDown() override {
    if (appPid > 0) kill(appPid, SIGKILL);
  }
  std::string launcher() const { return root.host("/usr/bin/launchCV"); }

  // A bundle whose program reports its pid, working folder, device root and
  // environment size, then waits; with raisable it reports each SIGUSR1.
  void installStandIn(bool raisable) {
    ns::PlistDictionary info{{"CFBundleIdentifier", "com.corvane.app"},
                             {"CFBundleExecutable", "Corvane"}};
    ASSERT_TRUE(ns::writeToFile(info, "/Applications/Corvane.app/Info.plist"));
    std::string script =
        "#!/bin/sh\n"
        "out=\"$CORVANE_DEVICE_ROOT/reports\"\n";
    if (raisable) script += "trap 'echo raised >\"$out\"' USR1\n";
    script +=
        "echo \"started $$ $PWD $CORVANE_DEVICE_ROOT ${PROCESS:-unset}\" >\"$out\"\n"
        "while :; do sleep 1; done\n";
    std::string program = root.host("/Applications/Corvane.app/Corvane");
    testsupport::writeHostFile(program, script);
    fs::permissions(program, fs::perms::owner_all);
  }

  int runLauncher(const std::string& bundle, std::string* output = nullptr) {
    int status = -1;
    std::string out = testsupport::runCommand(
        "env -i PROCESS=2 " + launcher() + " '" + bundle + "' 2>&1 </dev/null", &status);
    if (output) *output = out;
    return status;
  }

  // Reads the "started" report and remembers the app's pid for clean-up.
  std::string awaitStart() {
    std::string line = reports.nextLine();
    char word[16] = {};
    int pid = 0;
    if (std::sscanf(line.c_str(), "%15s %d", word, &pid) == 2) appPid = pid;
    return line;
  }

  TempDeviceRoot root;
  hosttest::Reports reports{root.host("/reports")};
  pid_t appPid = 0;
};

TEST_F(LaunchCVTest, StartsTheAppFromItsOwnDeviceRootWithARebuiltEnvironment) {
  installStandIn(false);
  std::string output;
  ASSERT_EQ(runLauncher("com.corvane.app", &output), 0) << output;
  std::string started = awaitStart();
  ASSERT_GT(appPid, 0) << started;
  std::string bundle = fs::canonical(root.host("/Applications/Corvane.app")).string();
  std::string rootPath = fs::canonical(root.path()).string();
  EXPECT_EQ(started,
            "started " + std::to_string(appPid) + " " + bundle + " " + rootPath + " unset");
  EXPECT_EQ(testsupport::readHostFile(root.host("/var/run/launchCV/com.corvane.app.pid")),
            std::to_string(appPid) + "\n");
}

TEST_F(LaunchCVTest, RaisesARunningAppInsteadOfStartingASecond) {
  installStandIn(true);
  ASSERT_EQ(runLauncher("com.corvane.app"), 0);
  ASSERT_GT((awaitStart(), appPid), 0);
  std::string output;
  EXPECT_EQ(runLauncher("com.corvane.app", &output), 0) << output;
  EXPECT_EQ(reports.nextLine(), "raised");
  EXPECT_NE(output.find("raised"), std::string::npos) << output;
}

TEST_F(LaunchCVTest, LeavesAnAppThatCannotBeRaisedRunning) {
  installStandIn(false);
  ASSERT_EQ(runLauncher("com.corvane.app"), 0);
  ASSERT_GT((awaitStart(), appPid), 0);
  std::string output;
  EXPECT_EQ(runLauncher("com.corvane.app", &output), 5);
  EXPECT_NE(output.find("does not take raise requests"), std::string::npos) << output;
  EXPECT_EQ(kill(appPid, 0), 0);
}

TEST_F(LaunchCVTest, AStalePidFileDoesNotStopAStart) {
  installStandIn(false);
  // This test's own pid: alive, but not the app.
  testsupport::writeHostFile(root.host("/var/run/launchCV/com.corvane.app.pid"),
                             std::to_string(getpid()) + "\n");
  ASSERT_EQ(runLauncher("com.corvane.app"), 0);
  std::string started = awaitStart();
  EXPECT_GT(appPid, 0) << started;
  EXPECT_NE(appPid, getpid());
}

TEST_F(LaunchCVTest, RejectsUnknownOrMalformedBundlesWithClearStatus) {
  installStandIn(false);
  std::string output;
  EXPECT_EQ(runLauncher("com.example.none", &output), 2);
  EXPECT_NE(output.find("no application with bundle identifier \"com.example.none\""),
            std::string::npos)
      << output;
  EXPECT_EQ(runLauncher("../../etc", &output), 2);
  EXPECT_EQ(runLauncher("", &output), 2);
  int status = -1;
  testsupport::runCommand("env -i PROCESS=2 " + launcher() + " 2>/dev/null", &status);
  EXPECT_EQ(status, 64);

  // A bundle whose program escapes its folder, or is not there, is refused.
  ns::PlistDictionary escaping{{"CFBundleIdentifier", "com.example.escape"},
                               {"CFBundleExecutable", "../../bin/sh"}};
  ASSERT_TRUE(ns::writeToFile(escaping, "/Applications/Escape.app/Info.plist"));
  EXPECT_EQ(runLauncher("com.example.escape", &output), 3) << output;
  ns::PlistDictionary missing{{"CFBundleIdentifier", "com.example.missing"},
                              {"CFBundleExecutable", "Missing"}};
  ASSERT_TRUE(ns::writeToFile(missing, "/Applications/Missing.app/Info.plist"));
  EXPECT_EQ(runLauncher("com.example.missing", &output), 3) << output;
}

}  // namespace
