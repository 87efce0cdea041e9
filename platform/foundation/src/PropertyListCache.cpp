#include "Foundation/PropertyListCache.h"

#include <sys/stat.h>

#include "Foundation/FileSystem.h"

namespace ns {

PropertyListCache::Entry* PropertyListCache::lookUp(const std::string& devicePath,
                                                    std::optional<FileIdentity>* identity) {
  // The identity is taken before the read: a file replaced in between is
  // kept under its old identity and so read again next time, never the
  // other way round.
  *identity = fileIdentity(devicePath);
  if (!*identity) {
    entries_.erase(devicePath);
    return nullptr;
  }
  auto it = entries_.find(devicePath);
  if (it != entries_.end() && it->second.identity == **identity) {
    ++hits_;
    return &it->second;
  }
  ++parses_;
  Entry& entry = entries_[devicePath];
  entry = Entry{};
  entry.identity = **identity;
  return &entry;
}

std::shared_ptr<const PlistDictionary> PropertyListCache::dictionary(const std::string& devicePath,
                                                                     PlistReadProblem* problem,
                                                                     Prepare prepare) {
  PlistReadProblem ignored;
  if (!problem) problem = &ignored;
  std::optional<FileIdentity> identity;
  Entry* entry = lookUp(devicePath, &identity);
  if (!entry) {
    auto d = dictionaryWithContentsOfFile(devicePath, problem);
    if (!d) return nullptr;
    if (prepare) prepare(*d);
    return std::make_shared<const PlistDictionary>(std::move(*d));
  }
  if (!entry->triedDictionary || entry->prepare != prepare) {
    entry->dictionary = nullptr;
    entry->prepare = prepare;
    auto d = dictionaryWithContentsOfFile(devicePath, &entry->dictionaryProblem);
    // A transient failure says nothing of the file: the next use tries again.
    entry->triedDictionary = entry->dictionaryProblem != PlistReadProblem::Unavailable;
    if (d) {
      if (prepare) prepare(*d);
      entry->dictionary = std::make_shared<const PlistDictionary>(std::move(*d));
    }
  }
  *problem = entry->dictionaryProblem;
  return entry->dictionary;
}

void PropertyListCache::keep(const std::string& devicePath, const FileIdentity& identity,
                             std::shared_ptr<const PlistDictionary> dictionary, Prepare prepare) {
  Entry& entry = entries_[devicePath];
  entry = Entry{};
  entry.identity = identity;
  entry.dictionary = std::move(dictionary);
  entry.triedDictionary = true;
  entry.prepare = prepare;
}

std::shared_ptr<const PlistArray> PropertyListCache::array(const std::string& devicePath,
                                                           PlistReadProblem* problem) {
  PlistReadProblem ignored;
  if (!problem) problem = &ignored;
  std::optional<FileIdentity> identity;
  Entry* entry = lookUp(devicePath, &identity);
  if (!entry) {
    auto a = arrayWithContentsOfFile(devicePath, problem);
    return a ? std::make_shared<const PlistArray>(std::move(*a)) : nullptr;
  }
  if (!entry->triedArray) {
    entry->array = nullptr;
    auto a = arrayWithContentsOfFile(devicePath, &entry->arrayProblem);
    entry->triedArray = entry->arrayProblem != PlistReadProblem::Unavailable;
    if (a) entry->array = std::make_shared<const PlistArray>(std::move(*a));
  }
  *problem = entry->arrayProblem;
  return entry->array;
}

}  // namespace ns
