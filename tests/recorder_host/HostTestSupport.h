// Helpers for the tests of the recorder in its host: a pipe that waits for
// what a started process reports, and a device root made by the installer
// that the real shell runs on.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "TestSupport.h"

namespace hosttest {

// A named pipe a started process reports to. The test holds both ends, so a
// read waits exactly until a line arrives (or a generous time limit passes),
// with no sleeping and no polling of files.
class Reports {
 public:
  explicit Reports(const std::string& path) {
    mkfifo(path.c_str(), 0600);
    read_ = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    write_ = open(path.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
  }
  ~Reports() {
    close(read_);
    close(write_);
  }
  Reports(const Reports&) = delete;
  Reports& operator=(const Reports&) = delete;

  // The next line, or "" when none comes in time.
  std::string nextLine() {
    while (true) {
      if (size_t end = buffer_.find('\n'); end != std::string::npos) {
        std::string line = buffer_.substr(0, end);
        buffer_.erase(0, end + 1);
        return line;
      }
      pollfd p{read_, POLLIN, 0};
      if (poll(&p, 1, 20000) <= 0) return "";
      char chunk[512];
      ssize_t n = read(read_, chunk, sizeof chunk);
      if (n > 0) buffer_.append(chunk, static_cast<size_t>(n));
    }
  }
  // Lines up to (not including) the next "end" line, joined with '\n'.
  std::string nextRecord() {
    std::string record;
    for (std::string line = nextLine(); line != "end" && !line.empty(); line = nextLine())
      record += line + "\n";
    return record;
  }

 private:
  int read_ = -1;
  int write_ = -1;
  std::string buffer_;
};

// Single-quotes text for the shell.
inline std::string quoted(const std::string& text) {
  std::string out = "'";
  for (char c : text) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

// A device root laid out by the installer from this build.
class InstalledDevice {
 public:
  InstalledDevice() {
    int status = -1;
    std::string out = testsupport::runCommand("bash " + quoted(CORVANE_INSTALLER_PATH) + " " +
                                                  quoted(root.path()) + " " +
                                                  quoted(testsupport::buildDir()) + " 2>&1",
                                              &status);
    installed = status == 0;
    installOutput = out;
  }

  // Runs the shell on the virtual clock with a feed; gives its output (both
  // streams) and sets *status to its exit status.
  std::string runShell(const std::string& feed, const std::string& start, double seconds,
                       int* status, const std::string& environment = "") {
    testsupport::writeHostFile(root.host("/feed.jsonl"), feed);
    return testsupport::runCommand(
        "CORVANE_DEVICE_ROOT=" + quoted(root.path()) + " " + environment + " " +
            quoted(testsupport::buildDir() + "/bin/SpringBoard") + " --feed " +
            quoted(root.host("/feed.jsonl")) + " --virtual --start " + start + " --for " +
            std::to_string(seconds) + " 2>&1 </dev/null",
        status);
  }

  testsupport::TempDeviceRoot root;
  bool installed = false;
  std::string installOutput;
};

}  // namespace hosttest
