#include "Foundation/NSBundle.h"

#include <unistd.h>

#include <climits>

namespace ns {

namespace {
// The process has one main bundle, as on the platform.
std::string& overridden() {
  static auto* path = new std::string;
  return *path;
}
}  // namespace

std::string mainBundlePath() {
  if (!overridden().empty()) return overridden();
  char self[PATH_MAX];
  ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
  if (n <= 0) return "";
  std::string program(self, static_cast<size_t>(n));
  size_t slash = program.rfind('/');
  if (slash == std::string::npos) return "";
  return slash == 0 ? "/" : program.substr(0, slash);
}

void setMainBundlePath(const std::string& hostPath) {
  std::string path = hostPath;
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  overridden() = path;
}

}  // namespace ns
