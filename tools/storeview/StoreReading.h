// Reading the store for the period commands: which days it lists, each day
// file read whole (the recorder replaces files by rename, so one read sees
// the old or the new file), and what is damaged reported and skipped.
#pragma once

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "CorvaneStore/StoreFormat.h"
#include "Foundation/PropertyList.h"

namespace corvane::storetool {

// Reports files and entries that cannot be used, one line each on stderr.
class Reporter {
 public:
  explicit Reporter(std::FILE* err) : err_(err) {}
  void skipped(const std::string& devicePath, const std::string& why);

 private:
  std::FILE* err_;
};

struct RecordedDay {
  int32_t day;
  std::string key;
};

// The days DateArray.plist lists, each once, oldest first. When that file
// cannot be read the day folders stand in for it. nullopt when the device
// root holds no store at all. lastListed, when given, gets the list's last
// day entry: the most recent day the recorder saw (the app's today), which a
// clock once set ahead can leave older than the newest day listed.
std::optional<std::vector<RecordedDay>> recordedDays(Reporter& reporter,
                                                     int32_t* lastListed = nullptr);

// A day or history file as a dictionary; a missing or damaged one is
// reported and gives nullopt.
std::optional<ns::PlistDictionary> readDictionary(const std::string& devicePath,
                                                  Reporter& reporter);

// A counter as the app reads it, a decimal number; the store writes text,
// other writers may use <integer> or <real>. Anything else counts as 0, as
// the app counts what is not finite or is negative; so does what no "%d"
// counter can hold (above 2147483647), which only a foreign or hand-edited
// file has.
double counterValue(const ns::PlistValue& value);

// The host path of a device path, as the user finds the file.
std::string shownPath(const std::string& devicePath);

}  // namespace corvane::storetool
