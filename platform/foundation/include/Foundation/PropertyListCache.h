// Parsed property lists kept beside the identity of the file they were read
// from. Every use looks at the file again (device, inode, size, and
// modification and change times to the nanosecond): an unchanged file gives
// the kept copy, any difference (replaced, edited in place, truncated,
// deleted) reads and parses it again. So a reader still sees each change
// another process makes, at its next use, without parsing a large file that
// has not changed.
#pragma once

#include <sys/types.h>

#include <map>
#include <memory>
#include <optional>
#include <string>

#include "Foundation/PropertyList.h"

namespace ns {

struct FileIdentity {
  dev_t device = 0;
  ino_t inode = 0;
  off_t size = 0;
  long modifiedSeconds = 0;
  long modifiedNanoseconds = 0;
  long changedSeconds = 0;
  long changedNanoseconds = 0;
  bool operator==(const FileIdentity&) const = default;
};

// The identity of a regular file by device path; nullopt for anything else.
std::optional<FileIdentity> fileIdentity(const std::string& devicePath);

class PropertyListCache {
 public:
  // The file's dictionary (or array), as dictionaryWithContentsOfFile
  // (arrayWithContentsOfFile) gives it; null when it cannot be read.
  std::shared_ptr<const PlistDictionary> dictionary(const std::string& devicePath);
  std::shared_ptr<const PlistArray> array(const std::string& devicePath);
  // How many reads found the file unchanged / had to parse (for tests).
  size_t hits() const { return hits_; }
  size_t parses() const { return parses_; }

 private:
  struct Entry {
    FileIdentity identity;
    std::shared_ptr<const PlistDictionary> dictionary;
    std::shared_ptr<const PlistArray> array;
    bool triedDictionary = false;  // an unreadable file is parsed once per change
    bool triedArray = false;
  };
  Entry* lookUp(const std::string& devicePath, std::optional<FileIdentity>* identity);

  std::map<std::string, Entry> entries_;
  size_t hits_ = 0;
  size_t parses_ = 0;
};

}  // namespace ns
