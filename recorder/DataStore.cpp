#include "DataStore.h"

#include <dirent.h>

#include <algorithm>
#include <climits>
#include <vector>

#include "Foundation/FileSystem.h"
#include "Foundation/TextValue.h"

namespace corvane {

using ns::PlistArray;
using ns::PlistDictionary;

std::string numberText(int32_t n) {
  return ns::stringWithFormat("%d", n);
}

std::string incrementedCounter(const std::string* text) {
  if (!text) return "1";
  int32_t value = ns::intValue(*text);
  return numberText(value == INT32_MAX ? value : value + 1);
}

namespace {

// A song number key as the recorder writes it: "%d" of a non-negative number.
std::optional<int32_t> songNumber(const std::string& text) {
  int32_t n = ns::intValue(text);
  if (n < 0 || numberText(n) != text) return std::nullopt;
  return n;
}

std::vector<std::string> listFolder(const std::string& devicePath) {
  std::vector<std::string> names;
  std::string host = ns::hostPath(devicePath);
  if (host.empty()) return names;
  if (DIR* dir = opendir(host.c_str())) {
    while (dirent* e = readdir(dir)) {
      std::string name = e->d_name;
      if (name != "." && name != "..") names.push_back(name);
    }
    closedir(dir);
  }
  std::sort(names.begin(), names.end());
  return names;
}

// The recorded days, oldest first, as their folders still show them.
PlistArray daysFromFolders() {
  PlistArray days;
  for (auto& name : listFolder(kEverydayDataPath))
    if (isDayKey(name)) days.emplace_back(name);
  return days;
}

// IntMusicData.plist (number -> title) rebuilt from MusicIntData.plist.
PlistDictionary titlesByNumber(const PlistDictionary& musicInt) {
  PlistDictionary out;
  for (auto& [title, value] : musicInt)
    if (const std::string* number = value.string(); number && songNumber(*number))
      out.emplace(*number, title);
  return out;
}

// MusicIntData.plist (title -> number) rebuilt from IntMusicData.plist; a
// title listed under two numbers keeps the lower one.
PlistDictionary numbersByTitle(const PlistDictionary& intMusic) {
  PlistDictionary out;
  for (auto& [number, value] : intMusic) {
    const std::string* title = value.string();
    auto n = songNumber(number);
    if (!title || !n) continue;
    auto it = out.find(*title);
    if (it == out.end() || *n < ns::intValue(*it->second.string())) out[*title] = number;
  }
  return out;
}

// One more than the highest song number either map holds (0 when none).
int32_t nextFreeNumber(const PlistDictionary* intMusic, const PlistDictionary* musicInt) {
  int64_t highest = -1;
  if (intMusic)
    for (auto& [key, value] : *intMusic)
      if (auto n = songNumber(key)) highest = std::max<int64_t>(highest, *n);
  if (musicInt)
    for (auto& [key, value] : *musicInt)
      if (const std::string* t = value.string())
        if (auto n = songNumber(*t)) highest = std::max<int64_t>(highest, *n);
  return static_cast<int32_t>(std::min<int64_t>(highest + 1, INT32_MAX));
}

}  // namespace

void ensureHistoryFiles() {
  if (!ns::arrayWithContentsOfFile(kDateArrayPath))
    ns::writeToFile(daysFromFolders(), kDateArrayPath);

  auto intMusic = ns::dictionaryWithContentsOfFile(kIntMusicDataPath);
  if (!intMusic) {
    auto musicInt = ns::dictionaryWithContentsOfFile(kMusicIntDataPath);
    intMusic = musicInt ? titlesByNumber(*musicInt) : PlistDictionary{};
    ns::writeToFile(*intMusic, kIntMusicDataPath);
  }
  auto musicInt = ns::dictionaryWithContentsOfFile(kMusicIntDataPath);
  if (!musicInt) {
    musicInt = numbersByTitle(*intMusic);
    ns::writeToFile(*musicInt, kMusicIntDataPath);
  }
  if (!ns::dictionaryWithContentsOfFile(kSaveDataPath)) {
    PlistDictionary save{{"MusicNumber", numberText(nextFreeNumber(&*intMusic, &*musicInt))}};
    ns::writeToFile(save, kSaveDataPath);
  }
}

void ensureDayFiles(const std::string& dayKey) {
  bool numberOk = ns::dictionaryWithContentsOfFile(musicNumberPath(dayKey)).has_value();
  bool timeOk = ns::dictionaryWithContentsOfFile(musicTimePath(dayKey)).has_value();
  bool albumOk = ns::dictionaryWithContentsOfFile(musicAlbumPath(dayKey)).has_value();
  if (numberOk && timeOk && albumOk) return;

  if (auto days = ns::arrayWithContentsOfFile(kDateArrayPath)) {
    bool listed = std::any_of(days->begin(), days->end(), [&](const ns::PlistValue& v) {
      return v.string() && *v.string() == dayKey;
    });
    if (!listed) {
      days->emplace_back(dayKey);
      ns::writeToFile(*days, kDateArrayPath);
    }
  }
  ns::createDirectoryAtPath(dayFolderPath(dayKey), true);
  if (!timeOk) ns::writeToFile(PlistDictionary{}, musicTimePath(dayKey));
  if (!numberOk) ns::writeToFile(PlistDictionary{}, musicNumberPath(dayKey));
  if (!albumOk) ns::writeToFile(PlistDictionary{}, musicAlbumPath(dayKey));
}

bool numberTitle(const std::string& title, PlistDictionary& musicInt) {
  auto save = ns::dictionaryWithContentsOfFile(kSaveDataPath);
  auto intMusic = ns::dictionaryWithContentsOfFile(kIntMusicDataPath);
  if (!save || !intMusic) return false;
  const std::string* next = ns::stringForKey(*save, "MusicNumber");
  // A hand-edited or stale counter must never hand out a number again.
  int32_t n = std::max(next ? ns::intValue(*next) : 0, nextFreeNumber(&*intMusic, &musicInt));
  if (n < 0 || n == INT32_MAX) return false;  // no number left to give
  std::string number = numberText(n);
  (*intMusic)[number] = title;
  musicInt[title] = number;
  (*save)["MusicNumber"] = numberText(n + 1);
  ns::writeToFile(*save, kSaveDataPath);
  ns::writeToFile(*intMusic, kIntMusicDataPath);
  ns::writeToFile(musicInt, kMusicIntDataPath);
  return true;
}

void countPlay(const std::string& dayKey, const std::string& number) {
  std::string path = musicNumberPath(dayKey);
  auto counts = ns::dictionaryWithContentsOfFile(path);
  if (!counts) return;
  (*counts)[number] = incrementedCounter(ns::stringForKey(*counts, number));
  ns::writeToFile(*counts, path);
}

void tallySecond(const std::string& dayKey, const std::string& number,
                 const std::string& albumEntry) {
  auto albums = ns::dictionaryWithContentsOfFile(musicAlbumPath(dayKey));
  auto seconds = ns::dictionaryWithContentsOfFile(musicTimePath(dayKey));
  if (albums && !albums->count(number)) {
    (*albums)[number] = albumEntry;
    ns::writeToFile(*albums, musicAlbumPath(dayKey));
  }
  if (seconds) {
    (*seconds)[number] = incrementedCounter(ns::stringForKey(*seconds, number));
    ns::writeToFile(*seconds, musicTimePath(dayKey));
  }
}

int removeStoreTemporaryFiles() {
  int removed = ns::removeOrphanedTemporaryFiles(kStoreRoot);
  for (auto& day : listFolder(kEverydayDataPath))
    if (isDayKey(day)) removed += ns::removeOrphanedTemporaryFiles(dayFolderPath(day));
  return removed;
}

}  // namespace corvane
