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
      entry->dictionary = std::make_shared<PlistDictionary>(std::move(*d));
    }
  }
  *problem = entry->dictionaryProblem;
  return entry->dictionary;
}

namespace {

bool allKeysClean(const PlistDictionary& dictionary) {
  for (const auto& entry : dictionary)
    if (!isCleanText(entry.first)) return false;
  return true;
}

}  // namespace

bool PropertyListCache::write(const std::string& devicePath,
                              std::shared_ptr<PlistDictionary> dictionary, Prepare prepare) {
  Entry entry;
  entry.dictionary = std::move(dictionary);
  entry.triedDictionary = true;
  entry.prepare = prepare;
  try {
    std::string text = serializePropertyList(*entry.dictionary);
    bool provable = false;
    if (!writeBytes(devicePath, entry, text, &provable)) return false;
    if (!provable) {
      entries_.erase(devicePath);  // not provably the file written: read it again
      return true;
    }
    if (allKeysClean(*entry.dictionary)) entry.text = std::move(text);
    entries_[devicePath] = std::move(entry);
  } catch (...) {
    entries_.erase(devicePath);
    return false;  // out of memory
  }
  return true;
}

// Writes text for entry, taking the identity of the file written; an entry
// whose file is not provably the one written is not kept.
bool PropertyListCache::writeBytes(const std::string& devicePath, Entry& entry,
                                   std::string_view text, bool* provable) {
  std::optional<FileIdentity> written;
  *provable = false;
  if (text.size() > propertyListByteLimit()) {
    errno = EFBIG;  // no reader would take it back
    return false;
  }
  if (!writeFileAtomically(devicePath, text, nullptr, &written)) return false;
  if (written) entry.identity = *written;
  *provable = written.has_value();  // otherwise read it again at the next use
  return true;
}

bool PropertyListCache::holds(const std::string& devicePath,
                              const PlistDictionary* dictionary) const {
  auto it = entries_.find(devicePath);
  return dictionary && it != entries_.end() && it->second.dictionary.get() == dictionary;
}

bool PropertyListCache::setAndWrite(const std::string& devicePath, const std::string& key,
                                    std::string value) {
  auto kept = entries_.find(devicePath);
  if (kept == entries_.end() || !kept->second.dictionary) return false;
  Entry& entry = kept->second;
  PlistDictionary& dictionary = *entry.dictionary;

  auto it = dictionary.find(key);
  std::optional<PlistValue> previous;
  const bool added = it == dictionary.end();
  bool ok = false, provable = false;
  try {
    if (added) {
      it = dictionary.emplace(key, PlistValue(std::move(value))).first;
    } else {
      previous = std::move(it->second);
      it->second = PlistValue(std::move(value));
    }
    std::optional<TextEdit> edit;
    if (!entry.text.empty() && (added || previous->string()))
      edit = entryEdit(entry.text, dictionary, it, added ? nullptr : previous->string());
    if (edit) {
      const std::string replaced = entry.text.substr(edit->offset, edit->length);
      entry.text.replace(edit->offset, edit->length, edit->replacement);
      ok = writeBytes(devicePath, entry, entry.text, &provable);
      if (!ok) entry.text.replace(edit->offset, edit->replacement.size(), replaced);
    } else {
      std::string text = serializePropertyList(dictionary);
      ok = writeBytes(devicePath, entry, text, &provable);
      if (ok) entry.text = allKeysClean(dictionary) ? std::move(text) : std::string();
    }
  } catch (...) {
    // Out of memory: the text kept may be half changed.
    entry.text.clear();
    ok = false;
  }
  if (!ok) {
    if (added && it != dictionary.end())  // end only when the entry was never made
      dictionary.erase(it);
    else if (previous)
      it->second = std::move(*previous);
    return false;
  }
  if (!provable) {
    entries_.erase(kept);  // not provably the file written
  } else {
    entry.dictionaryText = nullptr;  // the other forms show the file as it was
    entry.triedText = false;
    entry.array = nullptr;
    entry.triedArray = false;
  }
  return true;
}

bool PropertyListCache::writeText(const std::string& devicePath,
                                  std::shared_ptr<PlistDictionaryText> text, Prepare prepare) {
  Entry entry;
  entry.dictionaryText = std::move(text);
  entry.triedText = true;
  entry.textPrepare = prepare;
  try {
    bool provable = false;
    if (entry.dictionaryText->bisects()) {
      if (!writeBytes(devicePath, entry, entry.dictionaryText->text(), &provable)) return false;
    } else {
      std::string bytes = entry.dictionaryText->serialized();
      if (!writeBytes(devicePath, entry, bytes, &provable)) return false;
      entry.dictionaryText->adopt(std::move(bytes));
    }
    if (!provable) {
      entries_.erase(devicePath);
      return true;
    }
    entries_[devicePath] = std::move(entry);
  } catch (...) {
    entries_.erase(devicePath);
    return false;  // out of memory
  }
  return true;
}

bool PropertyListCache::holdsText(const std::string& devicePath,
                                  const PlistDictionaryText* text) const {
  auto it = entries_.find(devicePath);
  return text && it != entries_.end() && it->second.dictionaryText.get() == text;
}

bool PropertyListCache::setTextAndWrite(const std::string& devicePath, const std::string& key,
                                        std::string value) {
  auto kept = entries_.find(devicePath);
  if (kept == entries_.end() || !kept->second.dictionaryText) return false;
  Entry& entry = kept->second;
  PlistDictionaryText& text = *entry.dictionaryText;
  bool ok = false, provable = false;
  try {
    PlistDictionaryText::Change change = text.set(key, std::move(value));
    try {
      if (text.bisects()) {
        ok = writeBytes(devicePath, entry, text.text(), &provable);
      } else {
        std::string bytes = text.serialized();
        ok = writeBytes(devicePath, entry, bytes, &provable);
        if (ok) text.adopt(std::move(bytes));
      }
    } catch (...) {
      ok = false;
    }
    if (!ok) text.undo(key, std::move(change));
  } catch (...) {
    entries_.erase(kept);  // out of memory: read the file again
    return false;
  }
  if (!ok) return false;
  if (!provable) {
    entries_.erase(kept);  // not provably the file written
  } else {
    entry.dictionary = nullptr;  // the other forms show the file as it was
    entry.triedDictionary = false;
    entry.text.clear();
    entry.array = nullptr;
    entry.triedArray = false;
  }
  return true;
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

std::shared_ptr<const PlistDictionaryText> PropertyListCache::dictionaryText(
    const std::string& devicePath, PlistReadProblem* problem, Prepare prepare) {
  PlistReadProblem ignored;
  if (!problem) problem = &ignored;
  std::optional<FileIdentity> identity;
  Entry* entry = lookUp(devicePath, &identity);
  if (!entry) {
    auto t = dictionaryTextWithContentsOfFile(devicePath, problem);
    if (t) t->prepare(prepare);
    return t ? std::make_shared<const PlistDictionaryText>(std::move(*t)) : nullptr;
  }
  if (!entry->triedText || entry->textPrepare != prepare) {
    entry->dictionaryText = nullptr;
    entry->textPrepare = prepare;
    auto t = dictionaryTextWithContentsOfFile(devicePath, &entry->textProblem);
    entry->triedText = entry->textProblem != PlistReadProblem::Unavailable;
    if (t) {
      t->prepare(prepare);
      entry->dictionaryText = std::make_shared<PlistDictionaryText>(std::move(*t));
    }
  }
  *problem = entry->textProblem;
  return entry->dictionaryText;
}

}  // namespace ns
