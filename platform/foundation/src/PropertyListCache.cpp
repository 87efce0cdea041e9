#include "Foundation/PropertyListCache.h"

#include <sys/stat.h>

#include "Foundation/FileSystem.h"

namespace ns {

std::optional<FileIdentity> fileIdentity(const std::string& devicePath) {
  std::string host = hostPath(devicePath);
  struct stat st {};
  if (host.empty() || stat(host.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
  FileIdentity id;
  id.device = st.st_dev;
  id.inode = st.st_ino;
  id.size = st.st_size;
  id.modifiedSeconds = st.st_mtim.tv_sec;
  id.modifiedNanoseconds = st.st_mtim.tv_nsec;
  id.changedSeconds = st.st_ctim.tv_sec;
  id.changedNanoseconds = st.st_ctim.tv_nsec;
  return id;
}

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

std::shared_ptr<const PlistDictionary> PropertyListCache::dictionary(const std::string& devicePath) {
  std::optional<FileIdentity> identity;
  Entry* entry = lookUp(devicePath, &identity);
  if (!entry) return nullptr;
  if (!entry->triedDictionary) {
    entry->triedDictionary = true;
    if (auto d = dictionaryWithContentsOfFile(devicePath))
      entry->dictionary = std::make_shared<const PlistDictionary>(std::move(*d));
  }
  return entry->dictionary;
}

std::shared_ptr<const PlistArray> PropertyListCache::array(const std::string& devicePath) {
  std::optional<FileIdentity> identity;
  Entry* entry = lookUp(devicePath, &identity);
  if (!entry) return nullptr;
  if (!entry->triedArray) {
    entry->triedArray = true;
    if (auto a = arrayWithContentsOfFile(devicePath))
      entry->array = std::make_shared<const PlistArray>(std::move(*a));
  }
  return entry->array;
}

}  // namespace ns
