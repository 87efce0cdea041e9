#include "TweakLoader.h"

#include <dirent.h>
#include <dlfcn.h>

#include <algorithm>
#include <string>
#include <vector>

#include "Foundation/FileSystem.h"
#include "Foundation/Log.h"
#include "Foundation/PropertyList.h"

namespace substrate {

namespace {

constexpr std::string_view kLibrarySuffix = ".dylib";

// Names of the tweak libraries in the folder, sorted so the load order does
// not depend on the file system.
std::vector<std::string> libraryNames(const std::string& hostFolder) {
  std::vector<std::string> names;
  DIR* dir = opendir(hostFolder.c_str());
  if (!dir) return names;
  while (dirent* entry = readdir(dir)) {
    std::string name = entry->d_name;
    if (name.size() > kLibrarySuffix.size() && name.ends_with(kLibrarySuffix))
      names.push_back(name);
  }
  closedir(dir);
  std::sort(names.begin(), names.end());
  return names;
}

bool filterNamesBundle(const std::string& filterDevicePath, const std::string& bundleIdentifier) {
  auto filter = ns::dictionaryWithContentsOfFile(filterDevicePath);
  if (!filter) return false;
  auto found = filter->find("Filter");
  if (found == filter->end() || !found->second.dictionary()) return false;
  const ns::PlistDictionary& rules = *found->second.dictionary();
  auto bundles = rules.find("Bundles");
  if (bundles == rules.end() || !bundles->second.array()) return false;
  for (const ns::PlistValue& bundle : *bundles->second.array())
    if (bundle.string() && *bundle.string() == bundleIdentifier) return true;
  return false;
}

}  // namespace

int loadTweaks(const std::string& bundleIdentifier) {
  const std::string folder = kDynamicLibrariesFolder;
  const std::string hostFolder = ns::hostPath(folder);
  if (hostFolder.empty()) return 0;
  int loaded = 0;
  for (const std::string& name : libraryNames(hostFolder)) {
    std::string stem = name.substr(0, name.size() - kLibrarySuffix.size());
    if (!filterNamesBundle(folder + stem + ".plist", bundleIdentifier)) continue;
    std::string hostLibrary = hostFolder + name;
    // Global, so a tweak's symbols can serve a tweak loaded after it; the
    // handle is never closed, the hooks point into the library for good.
    if (!dlopen(hostLibrary.c_str(), RTLD_NOW | RTLD_GLOBAL)) {
      const char* why = dlerror();
      ns::NSLog("TweakLoader: cannot load %s: %s", name.c_str(), why ? why : "unknown error");
      continue;
    }
    ns::NSLog("TweakLoader: loaded %s into %s", name.c_str(), bundleIdentifier.c_str());
    ++loaded;
  }
  return loaded;
}

}  // namespace substrate
