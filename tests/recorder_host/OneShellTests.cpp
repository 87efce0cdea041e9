// The shell as a person leaves it running: one shell per device root, a
// store folder that is missing said at start, the recorder's alert said in
// words where there is no screen. Real processes on an installed root.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

#include "HostTestSupport.h"

namespace {

using hosttest::quoted;

// The shell started in the background, its standard error on a pipe.
class RunningShell {
 public:
  RunningShell(const std::string& root, const std::vector<std::string>& args) {
    int err[2];
    if (pipe2(err, O_CLOEXEC) != 0) return;
    pid_ = fork();
    if (pid_ == 0) {
      dup2(err[1], 2);
      setenv("CORVANE_DEVICE_ROOT", root.c_str(), 1);
      setenv("CORVANE_HEADLESS", "1", 1);
      std::string program = testsupport::buildDir() + "/bin/SpringBoard";
      std::vector<char*> argv{const_cast<char*>(program.c_str())};
      for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
      argv.push_back(nullptr);
      execv(program.c_str(), argv.data());
      _exit(127);
    }
    close(err[1]);
    err_ = err[0];
  }
  ~RunningShell() {
    if (pid_ > 0) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
    if (err_ >= 0) close(err_);
  }
  // Reads standard error until a line contains text (bounded); the line.
  std::string waitFor(const std::string& text) {
    std::string line;
    while (true) {
      pollfd p{err_, POLLIN, 0};
      if (poll(&p, 1, 20000) <= 0) return "";
      char c;
      if (read(err_, &c, 1) != 1) return "";
      if (c != '\n') {
        line += c;
        continue;
      }
      if (line.find(text) != std::string::npos) return line;
      line.clear();
    }
  }
  int kill9() {
    kill(pid_, SIGKILL);
    int status = 0;
    waitpid(pid_, &status, 0);
    pid_ = -1;
    return status;
  }
  pid_t pid() const { return pid_; }

 private:
  pid_t pid_ = -1;
  int err_ = -1;
};

std::string shell(const hosttest::InstalledDevice& device, const std::string& args, int* status) {
  return testsupport::runCommand("CORVANE_DEVICE_ROOT=" + quoted(device.root.path()) + " " +
                                     quoted(testsupport::buildDir() + "/bin/SpringBoard") + " " +
                                     args + " 2>&1 </dev/null",
                                 status);
}

// Every file of the store with its bytes, for a byte-for-byte comparison.
std::string storeSnapshot(const hosttest::InstalledDevice& device) {
  return testsupport::runCommand("cd " + quoted(device.root.host("/var/mobile/Documents/Corvane")) +
                                 " && find . -type f | sort | xargs -r sha256sum");
}

TEST(OneShell, ASecondShellOnTheRootIsRefusedUntilTheFirstDiesEvenByKill) {
  hosttest::InstalledDevice device;
  ASSERT_TRUE(device.installed) << device.installOutput;
  testsupport::writeHostFile(device.root.host("/feed.jsonl"),
                             "{\"at\": 0, \"title\": \"T\", \"playing\": true}\n");
  RunningShell first(device.root.path(), {"--feed", device.root.host("/feed.jsonl"), "--for", "60"});
  ASSERT_NE(first.waitFor("running on the device root"), "");

  std::string before = storeSnapshot(device);
  int status = -1;
  std::string output =
      shell(device, "--feed " + quoted(device.root.host("/feed.jsonl")) + " --virtual --for 30",
            &status);
  EXPECT_EQ(status, 1);
  EXPECT_NE(output.find("another shell (pid " + std::to_string(first.pid()) + ")"),
            std::string::npos)
      << output;
  EXPECT_EQ(output.find('\n'), output.size() - 1) << output;  // one line
  EXPECT_EQ(storeSnapshot(device), before);

  first.kill9();
  output = shell(device, "--virtual --for 5", &status);
  EXPECT_EQ(status, 0) << output;
}

TEST(OneShell, AMissingStoreFolderIsSaidAtStartAndTheAlertInWords) {
  hosttest::InstalledDevice device;
  ASSERT_TRUE(device.installed) << device.installOutput;
  const std::string store = device.root.host("/var/mobile/Documents/Corvane");
  ASSERT_EQ(rmdir(store.c_str()), 0);

  int status = -1;
  std::string output = shell(device, "--players", &status);
  EXPECT_EQ(status, 1);
  EXPECT_NE(output.find("the store folder " + store + " does not exist"), std::string::npos)
      << output;
  EXPECT_NE(output.find("mkdir -p '" + store + "'"), std::string::npos) << output;
  EXPECT_EQ(output.find('\n'), output.size() - 1) << output;

  // Without a screen the recorder's alert is a line on standard error.
  output = device.runShell("{\"at\": 0, \"title\": \"T\", \"position\": 0, \"playing\": true}\n",
                           "2015-03-05T12:00:00", 5, &status, "CORVANE_HEADLESS=1");
  EXPECT_EQ(status, 0) << output;
  EXPECT_NE(output.find("alert \"Corvane Error\": Reinstail in Cydia"), std::string::npos)
      << output;
}

}  // namespace
