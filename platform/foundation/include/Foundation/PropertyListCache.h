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
  // The file as a PlistDictionaryText (a few entries of a large file found
  // without building its dictionary), kept and checked as dictionary() is;
  // prepare is applied to a dictionary that had to be parsed whole.
  std::shared_ptr<const PlistDictionaryText> dictionaryText(const std::string& devicePath,
                                                            PlistReadProblem* problem = nullptr,
                                                            Prepare prepare = nullptr);
  // For the file's one writer: serialises dictionary, replaces the file
  // atomically and keeps dictionary (prepared by prepare) and the text
  // written as the file's parse, when the file now at the path is provably
  // the one written. The cache owns dictionary from then on.
  bool write(const std::string& devicePath, std::shared_ptr<PlistDictionary> dictionary,
             Prepare prepare = nullptr);
  // True when dictionary is what is kept for the file, as dictionary() last
  // gave it.
  bool holds(const std::string& devicePath, const PlistDictionary* dictionary) const;
  // Sets key to the string value in the file's kept dictionary in place
  // (whoever holds it sees the change) and writes the file as write does.
  // The text written is the text written last with the one entry spliced
  // in, the same bytes as serialising the whole: a large file costs no walk
  // of its dictionary. When the write fails, the kept dictionary and text
  // are as they were. False without writing when nothing is held (holds).
  bool setAndWrite(const std::string& devicePath, const std::string& key, std::string value);
  // The same three for a file kept as its text: a writer keeps years of
  // entries as the text it wrote and a sorted index into it, no map.
  bool writeText(const std::string& devicePath, std::shared_ptr<PlistDictionaryText> text,
                 Prepare prepare = nullptr);
  bool holdsText(const std::string& devicePath, const PlistDictionaryText* text) const;
  bool setTextAndWrite(const std::string& devicePath, const std::string& key, std::string value);
  // Drops what is kept for the file (one that will not be read again).
  void forget(const std::string& devicePath) { entries_.erase(devicePath); }
  size_t size() const { return entries_.size(); }
  // How many reads found the file unchanged / had to parse (for tests).
  size_t hits() const { return hits_; }
  size_t parses() const { return parses_; }

 private:
  struct Entry {
    FileIdentity identity;
    std::shared_ptr<PlistDictionary> dictionary;  // changed in place by setAndWrite only
    std::shared_ptr<const PlistArray> array;
    std::shared_ptr<PlistDictionaryText> dictionaryText;  // changed by setTextAndWrite only
    // What this writer last wrote, when every key of it is clean: the text
    // entryEdit splices into.
    std::string text;
    bool triedDictionary = false;  // a damaged file is parsed once per change
    bool triedArray = false;
    bool triedText = false;
    PlistReadProblem dictionaryProblem = PlistReadProblem::None;
    PlistReadProblem arrayProblem = PlistReadProblem::None;
    PlistReadProblem textProblem = PlistReadProblem::None;
    Prepare prepare = nullptr;
    Prepare textPrepare = nullptr;
  };
  Entry* lookUp(const std::string& devicePath, std::optional<FileIdentity>* identity);
  bool writeBytes(const std::string& devicePath, Entry& entry, std::string_view text,
                  bool* provable);

  std::map<std::string, Entry> entries_;
  size_t hits_ = 0;
  size_t parses_ = 0;
};

}  // namespace ns
