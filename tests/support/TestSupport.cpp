#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "CorvaneStore/StoreLayout.h"
#include "Foundation/RunLoop.h"

namespace testsupport {

TempDeviceRoot::TempDeviceRoot() {
  std::string tmpl = (std::filesystem::temp_directory_path() / "corvane-test-XXXXXX").string();
  char* made = mkdtemp(tmpl.data());
  if (!made) ADD_FAILURE() << "cannot create a temporary device root";
  path_ = tmpl;
  if (const char* prev = std::getenv("CORVANE_DEVICE_ROOT")) {
    hadPrevious_ = true;
    previous_ = prev;
  }
  setenv("CORVANE_DEVICE_ROOT", path_.c_str(), 1);
}

TempDeviceRoot::~TempDeviceRoot() {
  if (hadPrevious_)
    setenv("CORVANE_DEVICE_ROOT", previous_.c_str(), 1);
  else
    unsetenv("CORVANE_DEVICE_ROOT");
  std::error_code ec;
  std::filesystem::remove_all(path_, ec);
}

namespace {
// Seconds since the epoch of a local date and time "YYYY-MM-DDTHH:MM:SS".
double localTime(const char* s) {
  std::tm tm{};
  if (std::sscanf(s, "%d-%d-%dT%d:%d:%d", &tm.tm_year, &tm.tm_mon, &tm.tm_mday, &tm.tm_hour,
                  &tm.tm_min, &tm.tm_sec) != 6)
    ADD_FAILURE() << "bad local date " << s;
  tm.tm_year -= 1900;
  tm.tm_mon -= 1;
  tm.tm_isdst = -1;
  return static_cast<double>(std::mktime(&tm));
}
}  // namespace

VirtualClock::VirtualClock(const char* localDateTime) {
  ns::RunLoop::main().reset();
  ns::RunLoop::main().useVirtualClock(localTime(localDateTime));
}

VirtualClock::~VirtualClock() {
  ns::RunLoop::main().reset();
}

void VirtualClock::advance(double seconds) {
  ns::RunLoop::main().runFor(seconds);
}

std::string readHostFile(const std::string& hostPath) {
  std::ifstream in(hostPath, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

void writeHostFile(const std::string& hostPath, const std::string& bytes) {
  std::filesystem::create_directories(std::filesystem::path(hostPath).parent_path());
  std::ofstream(hostPath, std::ios::binary) << bytes;
}

std::string runCommand(const std::string& command, int* status) {
  std::string out;
  FILE* p = popen(command.c_str(), "r");
  if (!p) {
    if (status) *status = -1;
    return out;
  }
  char buf[4096];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
  int rc = pclose(p);
  if (status) *status = WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
  return out;
}

std::string storeReadByPlistlib(const std::string& rootPath, const char* day, int* status) {
  // The file names come from the store's layout: the history files by their
  // name without ".plist", then the day's.
  auto names = [](auto&& files, size_t skip) {
    std::string list;
    for (std::string file : files) list += "'" + file.substr(skip) + "', ";
    return list;
  };
  const size_t root = std::strlen(corvane::kStoreRoot);
  writeHostFile(rootPath + "/read-store.py",
                "import json, plistlib, sys\n"
                "root = sys.argv[1] + '" +
                    std::string(corvane::kStoreRoot) +
                    "'\n"
                    "out = {n[:-6]: plistlib.load(open(root + n, 'rb')) for n in [" +
                    names(corvane::kHistoryFilePaths, root) +
                    "]}\n"
                    "for n in [" +
                    names(corvane::kDayFileNames, 0) +
                    "]:\n"
                    "    day = root + '" +
                    std::string(corvane::kEverydayDataPath).substr(root) +
                    "/' + sys.argv[2] + '/'\n"
                    "    out[n[:-6]] = plistlib.load(open(day + n, 'rb'))\n"
                    "print(json.dumps(out, sort_keys=True))\n");
  return runCommand("python3 '" + rootPath + "/read-store.py' '" + rootPath + "' " + day + " 2>&1",
                    status);
}

std::string buildDir() {
  const char* d = std::getenv("CORVANE_BUILD_DIR");
  return d ? d : CORVANE_BUILD_DIR_DEFAULT;
}

}  // namespace testsupport
