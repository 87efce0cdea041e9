// Helpers shared by the test executables.
#pragma once

#include <string>

namespace testsupport {

// A fresh, empty device root for one test: CORVANE_DEVICE_ROOT points at it
// while the object lives, and the folder is removed afterwards.
class TempDeviceRoot {
 public:
  TempDeviceRoot();
  ~TempDeviceRoot();
  TempDeviceRoot(const TempDeviceRoot&) = delete;
  TempDeviceRoot& operator=(const TempDeviceRoot&) = delete;
  const std::string& path() const { return path_; }
  // The host path of a device path under this root.
  std::string host(const std::string& devicePath) const { return path_ + devicePath; }

 private:
  std::string path_;
  std::string previous_;
  bool hadPrevious_ = false;
};

// Puts the main run loop on the virtual clock at a local date and time
// ("YYYY-MM-DDTHH:MM:SS") and drops its pending tasks; restores on exit.
class VirtualClock {
 public:
  explicit VirtualClock(const char* localDateTime = "2015-03-05T12:00:00");
  ~VirtualClock();
  void advance(double seconds);
};

// Reads a whole host file; empty when it cannot be read.
std::string readHostFile(const std::string& hostPath);
void writeHostFile(const std::string& hostPath, const std::string& bytes);

// Runs a shell command and returns its standard output; status gets the exit code.
std::string runCommand(const std::string& command, int* status = nullptr);

// The store under a device root as Python's plistlib reads it: JSON with
// sorted keys of the four history files and the day's three files; status
// 127 when python3 is missing.
std::string storeReadByPlistlib(const std::string& rootPath, const char* day, int* status);

// Folder of the build, for the programs the tests drive.
std::string buildDir();

}  // namespace testsupport
