#include "StoreReading.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <filesystem>
#include <set>

#include "CorvaneStore/StoreLayout.h"
#include "Foundation/FileSystem.h"
#include "Foundation/TextValue.h"
#include "StoreTool.h"

namespace corvane::storetool {

void Reporter::skipped(const std::string& devicePath, const std::string& why) {
  std::fprintf(err_, "corvane-store: skipped %s: %s\n", shownPath(devicePath).c_str(), why.c_str());
}

std::string shownPath(const std::string& devicePath) {
  std::string host = ns::hostPath(devicePath);
  return host.empty() ? devicePath : host;
}

namespace {

std::vector<std::string> dayFolders() {
  std::vector<std::string> names;
  std::error_code ec;
  std::filesystem::directory_iterator it(ns::hostPath(kEverydayDataPath), ec), end;
  for (; !ec && it != end; it.increment(ec)) {
    std::string name = it->path().filename().string();
    if (isDayKey(name) && it->is_directory(ec)) names.push_back(name);
  }
  std::sort(names.begin(), names.end());  // as the recorder lists days
  return names;
}

}  // namespace

std::optional<std::vector<RecordedDay>> recordedDays(Reporter& reporter, int32_t* lastListed) {
  std::vector<std::string> keys;
  if (auto listed = ns::arrayWithContentsOfFile(kDateArrayPath)) {
    for (auto& value : *listed) keys.push_back(value.string() ? *value.string() : "");
  } else {
    const bool listExists = ns::fileExistsAtPath(kDateArrayPath);
    if (!listExists && !ns::fileExistsAtPath(kEverydayDataPath)) return std::nullopt;
    reporter.skipped(kDateArrayPath, listExists ? "damaged; reading the day folders instead"
                                                : "missing; reading the day folders instead");
    keys = dayFolders();
  }

  std::vector<RecordedDay> days;
  std::set<int32_t> seen;
  for (auto& key : keys) {
    auto day = parseDay(key);
    if (!day) {
      reporter.skipped(kDateArrayPath, "an entry \"" + key + "\" that is not a day");
      continue;
    }
    // The recorder may list a day twice after its files were lost.
    if (seen.insert(*day).second) days.push_back({*day, key});
    if (lastListed) *lastListed = *day;
  }
  std::sort(days.begin(), days.end(), [](auto& a, auto& b) { return a.day < b.day; });
  return days;
}

std::optional<ns::PlistDictionary> readDictionary(const std::string& devicePath,
                                                  Reporter& reporter) {
  auto dict = ns::dictionaryWithContentsOfFile(devicePath);
  if (!dict)
    reporter.skipped(devicePath, ns::fileExistsAtPath(devicePath)
                                     ? "damaged (not a property-list dictionary)"
                                     : "missing");
  return dict;
}

// The store's amount rule, and nothing above what a "%d" counter can hold.
double counterValue(const ns::PlistValue& value) {
  const double v = leafAmount(value);
  return v <= INT32_MAX ? v : 0;
}

}  // namespace corvane::storetool
