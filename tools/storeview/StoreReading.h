// Reading the store for the period commands: which days it lists, each day
// file read whole (the recorder replaces files by rename, so one read sees
// the old or the new file), and what is damaged reported and skipped.
#pragma once

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

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
// root holds no store at all.
std::optional<std::vector<RecordedDay>> recordedDays(Reporter& reporter);

// A day or history file as a dictionary; a missing or damaged one is
// reported and gives nullopt.
std::optional<ns::PlistDictionary> readDictionary(const std::string& devicePath,
                                                  Reporter& reporter);

// The host path of a device path, as the user finds the file.
std::string shownPath(const std::string& devicePath);

}  // namespace corvane::storetool
