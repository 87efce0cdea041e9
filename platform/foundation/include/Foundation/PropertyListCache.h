// Parsed property lists kept beside the identity of the file they were read
// from. Every use looks at the file again (device, inode, size, and
// modification and change times to the nanosecond): an unchanged file gives
// the kept copy, any difference (replaced, edited in place, truncated,
// deleted) reads and parses it again. So a reader still sees each change
// another process makes, at its next use, without parsing a large file that
// has not changed.
#pragma once

#include <map>
#include <memory>
#include <optional>
#include <string>

#include "Foundation/FileSystem.h"
#include "Foundation/PropertyList.h"

namespace ns {

class PropertyListCache {
 public:
  // Applied once to each dictionary parsed, before it is kept.
  using Prepare = void (*)(PlistDictionary&);

  // The file's dictionary (or array), as dictionaryWithContentsOfFile
  // (arrayWithContentsOfFile) gives it; null when it cannot be read, with
  // *problem saying why as that reader does. Anything but a regular file is
  // handed to that reader each time, never kept.
  std::shared_ptr<const PlistDictionary> dictionary(const std::string& devicePath,
                                                    PlistReadProblem* problem = nullptr,
                                                    Prepare prepare = nullptr);
  std::shared_ptr<const PlistArray> array(const std::string& devicePath,
                                          PlistReadProblem* problem = nullptr);
  // Keeps dictionary as the file's parse, as prepared by prepare: for a
  // writer that has just written exactly it under identity.
  void keep(const std::string& devicePath, const FileIdentity& identity,
            std::shared_ptr<const PlistDictionary> dictionary, Prepare prepare = nullptr);
  // Drops what is kept for the file (one that will not be read again).
  void forget(const std::string& devicePath) { entries_.erase(devicePath); }
  size_t size() const { return entries_.size(); }
  // How many reads found the file unchanged / had to parse (for tests).
  size_t hits() const { return hits_; }
  size_t parses() const { return parses_; }

 private:
  struct Entry {
    FileIdentity identity;
    std::shared_ptr<const PlistDictionary> dictionary;
    std::shared_ptr<const PlistArray> array;
    bool triedDictionary = false;  // a damaged file is parsed once per change
    bool triedArray = false;
    PlistReadProblem dictionaryProblem = PlistReadProblem::None;
    PlistReadProblem arrayProblem = PlistReadProblem::None;
    Prepare prepare = nullptr;
  };
  Entry* lookUp(const std::string& devicePath, std::optional<FileIdentity>* identity);

  std::map<std::string, Entry> entries_;
  size_t hits_ = 0;
  size_t parses_ = 0;
};

}  // namespace ns
