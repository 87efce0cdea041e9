#include "DataStore.h"

#include <dirent.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <climits>
#include <iterator>
#include <set>
#include <tuple>
#include <utility>
#include <vector>

#include "Foundation/FileSystem.h"
#include "Foundation/Log.h"
#include "Foundation/NSDate.h"
#include "Foundation/RunLoop.h"
#include "Foundation/TextValue.h"

namespace corvane {

using ns::PlistArray;
using ns::PlistDictionary;
using ns::PlistValue;

std::optional<PlistDictionary> readStoreDictionary(const std::string& path,
                                                   ns::PlistReadProblem* problem) {
  auto dictionary = ns::dictionaryWithContentsOfFile(path, problem);
  if (dictionary) numbersAsText(*dictionary);
  return dictionary;
}

StoreCache::Shared StoreCache::dictionary(const std::string& path, ns::PlistReadProblem* problem) {
  return files_.dictionary(path, problem, numbersAsText);
}

StoreCache::Edit StoreCache::edit(const std::string& path, ns::PlistReadProblem* problem) {
  Shared current = dictionary(path, problem);
  if (!current) return Edit();
  return Edit(this, path, std::move(current));
}

bool StoreCache::noted(bool ok) {
  if (ok) {
    ++succeededWrites_;
  } else {
    ++failedWrites_;
    lastError_ = errno;
  }
  return ok;
}

int StoreCache::takeFailedWrites(int* lastError, int* succeeded) {
  if (lastError) *lastError = lastError_;
  const int ok = std::exchange(succeededWrites_, 0);
  if (succeeded) *succeeded = ok;
  return std::exchange(failedWrites_, 0);
}

bool StoreCache::write(std::shared_ptr<PlistDictionary> dictionary, const std::string& path) {
  // What was written parses back to itself: no need to read it again.
  return noted(files_.write(path, std::move(dictionary), numbersAsText));
}

bool StoreCache::writeFile(const PlistDictionary& value, const std::string& path) {
  return noted(ns::writeToFile(value, path));
}

bool StoreCache::writeFile(const PlistArray& value, const std::string& path) {
  return noted(ns::writeToFile(value, path));
}

bool StoreCache::Edit::set(const std::string& key, std::string value) {
  if (!cache_) return false;
  if (cache_->files_.holds(path_, current_.get()))
    return cache_->noted(cache_->files_.setAndWrite(path_, key, std::move(value)));
  auto changed = std::make_shared<PlistDictionary>(*current_);
  (*changed)[key] = std::move(value);
  if (!cache_->write(changed, path_)) return false;
  current_ = std::move(changed);
  return true;
}

StoreCache::SharedMap StoreCache::map(const std::string& path, ns::PlistReadProblem* problem) {
  return files_.dictionaryText(path, problem, numbersAsText);
}

StoreCache::MapEdit StoreCache::mapEdit(const std::string& path, ns::PlistReadProblem* problem) {
  SharedMap current = map(path, problem);
  if (!current) return MapEdit();
  return MapEdit(this, path, std::move(current));
}

bool StoreCache::MapEdit::set(const std::string& key, std::string value) {
  if (!cache_) return false;
  if (cache_->files_.holdsText(path_, current_.get()))
    return cache_->noted(cache_->files_.setTextAndWrite(path_, key, std::move(value)));
  auto changed = std::make_shared<ns::PlistDictionaryText>(*current_);
  changed->set(key, std::move(value));
  if (!cache_->noted(cache_->files_.writeText(path_, changed, numbersAsText))) return false;
  current_ = std::move(changed);
  return true;
}

void StoreCache::recordingDay(const std::string& dayKey) {
  if (dayKey == day_) return;
  if (!day_.empty())
    for (const std::string& path : dayFilePaths(day_)) files_.forget(path);
  day_ = dayKey;
}

std::shared_ptr<const PlistArray> StoreCache::array(const std::string& path,
                                                    ns::PlistReadProblem* problem) {
  return files_.array(path, problem);
}

namespace {

// Moves whatever is at path aside; "" when nothing was there or it could
// not be moved (*moved says which).
std::string moveAside(const std::string& path, bool* moved) {
  *moved = false;
  int error = 0;
  if (!ns::itemExistsAtPath(path, &error)) {
    *moved = error == 0;  // nothing in the way, unless the look itself failed
    return {};
  }
  const std::string stamp = ns::formatDate(ns::RunLoop::main().now(), "yyyyMMdd-HHmmss");
  for (int attempt = 1; attempt <= 100; ++attempt) {
    std::string aside = path + ".unreadable-" + stamp;
    if (attempt > 1) aside += ns::stringWithFormat("-%d", attempt);
    if (ns::moveItemAtPath(path, aside)) {
      *moved = true;
      return aside;
    }
    if (errno != EEXIST) break;
  }
  return {};
}

}  // namespace

std::string setAsideUnreadable(const std::string& path) {
  bool moved = false;
  std::string aside = moveAside(path, &moved);
  if (!aside.empty())
    ns::NSLog("Corvane: %s could not be read; set aside as %s", path.c_str(), aside.c_str());
  return aside;
}

namespace {

// Only what is missing or damaged is written afresh; a file that could not
// be read just now, or one too large for any reader, is left alone.
bool replaceable(ns::PlistReadProblem problem) {
  return problem == ns::PlistReadProblem::Missing || problem == ns::PlistReadProblem::Damaged;
}

// The sorted names in a folder; false when it could not be listed.
bool listFolder(const std::string& devicePath, std::vector<std::string>* names) {
  names->clear();
  std::string host = ns::hostPath(devicePath);
  DIR* dir = host.empty() ? nullptr : opendir(host.c_str());
  if (!dir) return false;
  while (dirent* e = readdir(dir)) {
    std::string name = e->d_name;
    if (name != "." && name != "..") names->push_back(name);
  }
  closedir(dir);
  std::sort(names->begin(), names->end());
  return true;
}

std::vector<std::string> listFolder(const std::string& devicePath) {
  std::vector<std::string> names;
  listFolder(devicePath, &names);
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
PlistDictionary titlesByNumber(const ns::PlistDictionaryText& musicInt) {
  PlistDictionary out;
  musicInt.forEach([&](const std::string& title, const PlistValue& value) {
    if (const std::string* number = value.string(); number && songNumber(*number))
      out.emplace(*number, title);
    return true;
  });
  return out;
}

// A day key goes after every listed day that is not later than it: appended
// in the usual case, before the days already listed after it when it is
// listed late.
void insertDay(PlistArray& days, const std::string& dayKey) {
  auto at = days.end();
  while (at != days.begin()) {
    const std::string* key = std::prev(at)->string();
    if (!key || !isDayKey(*key) || *key <= dayKey) break;
    --at;
  }
  days.insert(at, PlistValue(dayKey));
}

bool isListed(const PlistArray& days, const std::string& dayKey) {
  return std::any_of(days.begin(), days.end(),
                     [&](const PlistValue& v) { return v.string() && *v.string() == dayKey; });
}

// MusicIntData.plist (title -> number) rebuilt from IntMusicData.plist; a
// title listed under two numbers keeps the lower one.
PlistDictionary numbersByTitle(const ns::PlistDictionaryText& intMusic) {
  PlistDictionary out;
  intMusic.forEach([&](const std::string& number, const PlistValue& value) {
    const std::string* title = value.string();
    auto n = songNumber(number);
    if (!title || !n) return true;
    auto it = out.find(*title);
    if (it == out.end() || *n < ns::intValue(*it->second.string())) out[*title] = number;
    return true;
  });
  return out;
}

// One more than the highest song number either map holds (0 when none).
// Calls each(key, value) for every entry of a map, value null when it is not
// a string; a map kept as its text is read in place, entry by entry.
template <class Each>
void eachEntry(const ns::PlistDictionaryText& map, Each&& each) {
  if (!map.bisects()) {
    map.forEach([&](const std::string& key, const PlistValue& value) {
      const std::string* s = value.string();
      const std::string_view v = s ? std::string_view(*s) : std::string_view();
      each(std::string_view(key), s ? &v : nullptr);
      return true;
    });
    return;
  }
  std::string keyScratch, valueScratch;
  for (size_t i = 0; i < map.size(); ++i) {
    const std::string_view v = map.valueView(i, &valueScratch);
    each(map.keyView(i, &keyScratch), &v);
  }
}

int32_t nextFreeNumber(const ns::PlistDictionaryText* intMusic,
                       const ns::PlistDictionaryText* musicInt) {
  int64_t highest = -1;
  if (intMusic)
    eachEntry(*intMusic, [&](std::string_view key, const std::string_view*) {
      if (auto n = songNumber(key)) highest = std::max<int64_t>(highest, *n);
    });
  if (musicInt)
    eachEntry(*musicInt, [&](std::string_view, const std::string_view* value) {
      if (value)
        if (auto n = songNumber(*value)) highest = std::max<int64_t>(highest, *n);
    });
  return static_cast<int32_t>(std::min<int64_t>(highest + 1, INT32_MAX));
}

// True when the maps, both kept as their text, need nothing added: every
// numbered title of MusicIntData.plist is what IntMusicData.plist holds under
// its number, and IntMusicData.plist numbers no title besides. (Those titles
// are distinct, so they reach as many distinct numbers.) *next is then one
// more than the highest number given out. Years of titles cost a sort of
// numbers, not a bisection of one text per title.
bool plainlyInverse(const ns::PlistDictionaryText& intMusic,
                    const ns::PlistDictionaryText& musicInt, int32_t* next) {
  if (!intMusic.bisects() || !musicInt.bisects()) return false;
  std::vector<std::pair<int32_t, uint32_t>> byNumber;  // number, entry of IntMusicData.plist
  byNumber.reserve(intMusic.size());
  std::string scratch, other;
  int64_t highest = -1;
  for (size_t i = 0; i < intMusic.size(); ++i)
    if (auto n = songNumber(intMusic.keyView(i, &scratch))) {
      byNumber.emplace_back(*n, static_cast<uint32_t>(i));
      highest = std::max<int64_t>(highest, *n);
    }
  std::sort(byNumber.begin(), byNumber.end());
  size_t matched = 0;
  for (size_t i = 0; i < musicInt.size(); ++i) {
    auto n = songNumber(musicInt.valueView(i, &scratch));
    if (!n) continue;
    auto at = std::lower_bound(byNumber.begin(), byNumber.end(), std::pair{*n, uint32_t{0}});
    if (at == byNumber.end() || at->first != *n ||
        intMusic.valueView(at->second, &other) != musicInt.keyView(i, &scratch))
      return false;
    ++matched;
  }
  if (matched != byNumber.size()) return false;
  *next = static_cast<int32_t>(std::min<int64_t>(highest + 1, INT32_MAX));
  return true;
}

// The dictionary entries a damaged file still holds, numbers as text.
PlistDictionary salvagedEntries(const std::optional<PlistValue>& salvaged) {
  if (!salvaged || !salvaged->dictionary()) return {};
  PlistDictionary entries = *salvaged->dictionary();
  numbersAsText(entries);
  return entries;
}

// How many listed days lack folders are given them per tick: a list of
// years of days whose folders were lost must not hold up sampling.
constexpr size_t kDayRepairsPerTick = 8;

}  // namespace

// A damaged file is moved aside untouched and what a reader can still take
// from it is handed back to start the new file with. False when something
// is in the way that could not be moved: nothing is written over it.
bool RecorderStore::setAsideDamaged(const std::string& path, std::string* aside,
                                    std::optional<PlistValue>* salvaged) {
  salvaged->reset();
  bool moved = false;
  *aside = moveAside(path, &moved);
  if (!moved) return false;
  if (!aside->empty())
    if (auto bytes = ns::readFileAtPath(*aside, ns::propertyListByteLimit()))
      *salvaged = ns::salvagePropertyList(*bytes);
  return true;
}

template <class T>
bool RecorderStore::writeFresh(const T& value, const std::string& path, const std::string& aside,
                               size_t kept) {
  if (!aside.empty())
    ns::NSLog("Corvane: %s could not be read; set aside as %s; %zu %s kept", path.c_str(),
              aside.c_str(), kept, kept == 1 ? "entry" : "entries");
  return cache_.writeFile(value, path);
}

bool RecorderStore::writeDayList(const PlistArray& days) {
  bool ok = cache_.writeFile(days, kDateArrayPath);
  if (!ok) dayListingPending_ = true;
  return ok;
}

// Adds each day folder the list lacks, gives each listed day whose files a
// crash kept from being written its empty files and queues the listed days
// whose folders are gone; true when nothing is left to list.
bool RecorderStore::listRecordedDays() {
  auto days = ns::arrayWithContentsOfFile(kDateArrayPath);
  if (!days) return false;
  const PlistArray folders = daysFromFolders();
  std::set<std::string> withFolder, queued;
  for (auto& day : folders) withFolder.insert(*day.string());
  daysToRepair_.clear();
  for (auto& day : *days) {
    const std::string* key = day.string();
    if (!key || !isDayKey(*key)) continue;
    if (withFolder.count(*key))
      createMissingDayFiles(*key);
    else if (queued.insert(*key).second)
      daysToRepair_.push_back(*key);
  }
  std::reverse(daysToRepair_.begin(), daysToRepair_.end());  // oldest first off the back
  // Years of days: each folder looked up, not compared with every listed day.
  std::vector<std::string_view> listed;
  listed.reserve(days->size());
  for (auto& day : *days)
    if (const std::string* key = day.string()) listed.push_back(*key);
  std::sort(listed.begin(), listed.end());
  std::vector<std::string> missing;
  for (auto& day : folders)
    if (!std::binary_search(listed.begin(), listed.end(), std::string_view(*day.string())))
      missing.push_back(*day.string());
  bool changed = false;
  for (const std::string& day : missing) {
    insertDay(*days, day);
    changed = true;
  }
  return !changed || writeDayList(*days);
}

void RecorderStore::ensureHistoryFiles() {
  ns::PlistReadProblem problem;
  std::string aside;
  std::optional<PlistValue> salvaged;
  if (!cache_.array(kDateArrayPath, &problem) && replaceable(problem)) {
    if (setAsideDamaged(kDateArrayPath, &aside, &salvaged)) {
      PlistArray days;
      if (salvaged && salvaged->array())
        for (auto& day : *salvaged->array())
          if (const std::string* key = day.string(); key && isDayKey(*key)) days.push_back(day);
      const size_t kept = days.size();
      for (auto& day : daysFromFolders())
        if (!isListed(days, *day.string())) insertDay(days, *day.string());
      if (!writeFresh(days, kDateArrayPath, aside, kept)) dayListingPending_ = true;
    } else {
      dayListingPending_ = true;
    }
  }

  ns::PlistReadProblem intProblem, musicProblem;
  StoreCache::SharedMap intMusic = cache_.map(kIntMusicDataPath, &intProblem);
  StoreCache::SharedMap musicInt = cache_.map(kMusicIntDataPath, &musicProblem);
  if (!intMusic && replaceable(intProblem) &&
      setAsideDamaged(kIntMusicDataPath, &aside, &salvaged)) {
    PlistDictionary fresh = musicInt ? titlesByNumber(*musicInt) : PlistDictionary{};
    size_t kept = 0;
    // An entry the other map lacks is kept when it contradicts nothing: the
    // numbering's repair then adds it to the other map too.
    for (auto& [number, value] : salvagedEntries(salvaged)) {
      const std::string* title = value.string();
      if (!title || !songNumber(number)) continue;
      auto there = fresh.find(number);
      if (there != fresh.end()) {
        kept += there->second == value;
      } else if (!musicInt || !musicInt->contains(*title)) {
        fresh.emplace(number, value);
        ++kept;
      }
    }
    writeFresh(fresh, kIntMusicDataPath, aside, kept);
    intMusic = std::make_shared<const ns::PlistDictionaryText>(
        ns::PlistDictionaryText::fromDictionary(std::move(fresh)));
  }
  if (!musicInt && replaceable(musicProblem) &&
      setAsideDamaged(kMusicIntDataPath, &aside, &salvaged)) {
    PlistDictionary fresh = intMusic ? numbersByTitle(*intMusic) : PlistDictionary{};
    size_t kept = 0;
    for (auto& [title, value] : salvagedEntries(salvaged)) {
      const std::string* number = value.string();
      if (!number || !songNumber(*number)) continue;
      auto there = fresh.find(title);
      if (there != fresh.end()) {
        kept += there->second == value;
      } else if (!intMusic || !intMusic->contains(*number)) {
        fresh.emplace(title, value);
        ++kept;
      }
    }
    writeFresh(fresh, kMusicIntDataPath, aside, kept);
    musicInt = std::make_shared<const ns::PlistDictionaryText>(
        ns::PlistDictionaryText::fromDictionary(std::move(fresh)));
  }
  StoreCache::Shared save = cache_.dictionary(kSaveDataPath, &problem);
  if (!save && replaceable(problem) && setAsideDamaged(kSaveDataPath, &aside, &salvaged)) {
    PlistDictionary fresh = salvagedEntries(salvaged);
    const size_t kept = fresh.size();
    // A counter the damaged file still held stays unless the maps are past it.
    const std::string* held = ns::stringForKey(fresh, kNextSongNumberKey);
    const int32_t next =
        std::max(held ? counterCount(*held) : 0, nextFreeNumber(intMusic.get(), musicInt.get()));
    fresh[kNextSongNumberKey] = numberText(next);
    save = std::make_shared<const PlistDictionary>(std::move(fresh));
    writeFresh(*save, kSaveDataPath, aside, kept);
  }
  // The copies just read (or written) stand for the files: no second read.
  if (save && intMusic && musicInt) numbering_.repair({save, intMusic, musicInt});
}

void RecorderStore::prepareForSampling() {
  removeStoreTemporaryFiles();
  numbering_.repair();
  dayListingPending_ = true;
}

bool SongNumbering::repair() {
  auto save = cache_.dictionary(kSaveDataPath);
  auto intMusic = cache_.map(kIntMusicDataPath);
  auto musicInt = cache_.map(kMusicIntDataPath);
  if (!save || !intMusic || !musicInt) return false;
  return repair({save, intMusic, musicInt});
}

bool SongNumbering::repair(const Files& seen) {
  // The same parsed copies as last found consistent: the files are unchanged.
  if (consistent_ == seen) return true;
  const ns::PlistDictionaryText& intMusic = *seen.intMusic;
  const ns::PlistDictionaryText& musicInt = *seen.musicInt;

  // A numbering cut short by a crash or a failed write left a number in one
  // map only: the other map gets it too. Entries are only ever added, so a
  // conflict that cannot come from one interrupted numbering is left alone.
  // (A title added to MusicIntData.plist carries a number IntMusicData.plist
  // already has, so each map's additions can be found from the files alone.)
  PlistDictionary toMusicInt, toIntMusic;
  int32_t next = 0;
  if (!plainlyInverse(intMusic, musicInt, &next)) {
    next = nextFreeNumber(&intMusic, &musicInt);
    intMusic.forEach([&](const std::string& number, const PlistValue& value) {
      const std::string* title = value.string();
      if (title && songNumber(number) && !musicInt.contains(*title) && !toMusicInt.count(*title))
        toMusicInt.emplace(*title, number);
      return true;
    });
    musicInt.forEach([&](const std::string& title, const PlistValue& value) {
      const std::string* number = value.string();
      if (number && songNumber(*number) && !intMusic.contains(*number) &&
          !toIntMusic.count(*number))
        toIntMusic.emplace(*number, title);
      return true;
    });
  }
  // The additions carry only numbers one map already has: the highest stays.
  const std::string* saved = ns::stringForKey(*seen.save, kNextSongNumberKey);
  const bool saveBehind = !saved || counterCount(*saved) < next;
  if (toIntMusic.empty() && toMusicInt.empty() && !saveBehind) {
    consistent_ = seen;
    return true;
  }

  ns::NSLog("Corvane: completed an interrupted numbering");
  bool ok = true;
  if (saveBehind) {
    PlistDictionary raised = *seen.save;
    raised[kNextSongNumberKey] = numberText(next);
    ok &= cache_.writeFile(raised, kSaveDataPath);
  }
  if (!toIntMusic.empty()) {
    PlistDictionary completed = intMusic.dictionary();
    completed.merge(toIntMusic);
    ok &= cache_.writeFile(completed, kIntMusicDataPath);
  }
  if (!toMusicInt.empty()) {
    PlistDictionary completed = musicInt.dictionary();
    completed.merge(toMusicInt);
    ok &= cache_.writeFile(completed, kMusicIntDataPath);
  }
  return ok;
}

void RecorderStore::ensureDayFiles(const std::string& dayKey) {
  cache_.recordingDay(dayKey);
  if (dayListingPending_) dayListingPending_ = !listRecordedDays();
  for (size_t i = 0; i < kDayRepairsPerTick && !daysToRepair_.empty(); ++i) {
    createMissingDayFiles(daysToRepair_.back());
    daysToRepair_.pop_back();
  }

  const std::string folder = dayFolderPath(dayKey);
  // Something other than a folder in the way of the day's folder: a file, a
  // pipe, or a link that would lead the writes elsewhere.
  for (std::string path : {std::string(kEverydayDataPath), folder})
    if (ns::isNonFolderAtPath(path)) setAsideUnreadable(path);

  const auto paths = dayFilePaths(dayKey);
  ns::PlistReadProblem problems[3];
  bool allThere = true;
  for (int i = 0; i < 3; ++i) allThere &= cache_.dictionary(paths[i], &problems[i]) != nullptr;

  if (auto listed = cache_.array(kDateArrayPath); listed && !isListed(*listed, dayKey)) {
    // A day whose files are already there was recorded while its listing
    // could not be written: it goes in its place among the listed days.
    PlistArray days = *listed;
    if (allThere)
      insertDay(days, dayKey);
    else
      days.emplace_back(dayKey);
    writeDayList(days);
  }
  if (allThere) return;

  ns::createDirectoryAtPath(folder, true);
  auto intMusic = cache_.map(kIntMusicDataPath);
  for (int i = 0; i < 3; ++i) {
    if (problems[i] == ns::PlistReadProblem::None || !replaceable(problems[i])) continue;
    std::string aside;
    std::optional<PlistValue> salvaged;
    if (!setAsideDamaged(paths[i], &aside, &salvaged)) continue;
    // Only entries of titled songs are kept: every key of a day names one.
    PlistDictionary fresh;
    for (auto& [number, value] : salvagedEntries(salvaged))
      if (value.string() && songNumber(number) && intMusic && intMusic->contains(number))
        fresh.emplace(number, value);
    const size_t kept = fresh.size();
    if (i == 0 && !aside.empty()) {
      // Every song with a play or an album entry was tallied at least once
      // that day: seconds the cut lost come back as that one second.
      for (int other : {1, 2})
        if (auto d = cache_.dictionary(paths[other]))
          for (auto& [number, value] : *d)
            if (songNumber(number) && intMusic && intMusic->contains(number))
              fresh.emplace(number, "1");
    }
    writeFresh(fresh, paths[i], aside, kept);
  }
}

void RecorderStore::createMissingDayFiles(const std::string& dayKey) {
  std::vector<std::string> present;
  // A folder that cannot be listed just now may hold every file: nothing is
  // written then.
  int error = 0;
  if (!listFolder(dayFolderPath(dayKey), &present) &&
      (ns::itemExistsAtPath(dayFolderPath(dayKey), &error) || error))
    return;
  const auto paths = dayFilePaths(dayKey);
  bool folderMade = false;
  for (auto& path : paths) {
    const std::string name = path.substr(path.rfind('/') + 1);
    if (std::binary_search(present.begin(), present.end(), name)) continue;
    if (!folderMade) folderMade = ns::createDirectoryAtPath(dayFolderPath(dayKey), true);
    cache_.writeFile(PlistDictionary{}, path);
  }
}

bool SongNumbering::readTitles() {
  unsaved_.clear();
  titles_ = cache_.mapEdit(kMusicIntDataPath);
  return static_cast<bool>(titles_);
}

std::optional<std::string> SongNumbering::lookUp(const std::string& title) const {
  if (titles_)
    if (std::optional<PlistValue> number = titles_->find(title); number && number->string())
      return *number->string();
  auto it = unsaved_.find(title);
  if (it == unsaved_.end()) return std::nullopt;
  return it->second;
}

SongNumbering::Result SongNumbering::assign(const std::string& title) {
  auto saveFile = cache_.dictionary(kSaveDataPath);
  StoreCache::MapEdit intMusic = cache_.mapEdit(kIntMusicDataPath);
  if (!saveFile || !intMusic || !titles_) return Result::Unreadable;

  // The maps as last found consistent are inverse and the counter is past
  // every number: the title is in neither, and the counter is the number.
  const Files before{saveFile, intMusic.shared(), titles_.shared()};
  const bool consistent = consistent_ == before;

  // A title IntMusicData.plist already names keeps its number: numbering it
  // again would split its records for good.
  if (!consistent) {
    std::optional<std::string> named;
    intMusic->forEach([&](const std::string& number, const PlistValue& value) {
      if (value.string() && *value.string() == title && songNumber(number)) named = number;
      return !named;
    });
    if (named) {
      if (!titles_.set(title, *named)) unsaved_[title] = *named;
      return Result::Numbered;
    }
  }
  const std::string* next = ns::stringForKey(*saveFile, kNextSongNumberKey);
  const int32_t saved = next ? counterCount(*next) : 0;
  // A hand-edited or stale counter must never hand out a number again.
  int32_t n = std::max(saved, consistent ? 0 : nextFreeNumber(&*intMusic, &*titles_));
  // The number saved but given to neither map was never given out.
  if (unclaimed_ && n == *unclaimed_ + 1 && nextFreeNumber(&*intMusic, &*titles_) <= *unclaimed_)
    n = *unclaimed_;
  if (n < 0 || n == INT32_MAX) return Result::NoNumberLeft;
  const std::string number = numberText(n);
  // A map that would outgrow what its readers take is not written at all.
  const size_t limit = ns::propertyListByteLimit();
  for (auto [path, key, value] : {std::tuple{kIntMusicDataPath, &number, &title},
                                  std::tuple{kMusicIntDataPath, &title, &number}}) {
    auto identity = ns::fileIdentity(path);
    const size_t size = identity ? static_cast<size_t>(identity->size) : 0;
    // An empty map grows by its closing tag as well.
    if (size + ns::serializedEntrySize(*key, *value) + 16 > limit) return Result::MapsFull;
  }

  auto save = std::make_shared<PlistDictionary>(*saveFile);
  (*save)[kNextSongNumberKey] = numberText(n + 1);
  const bool counted = saved == n + 1 || cache_.write(save, kSaveDataPath);
  if (!counted) return Result::Unwritten;  // nothing given out: the files are as they were
  // The maps as kept change in place: with years of titles, copying and
  // writing them out whole would cost a tick many times its budget.
  const bool titleKept = intMusic.set(number, title);
  const bool numberKept = titles_.set(title, number);
  if (!titleKept && !numberKept) {
    // Neither map holds the number: it is not given out, and the counter
    // goes back to it where it can.
    unclaimed_ = n;
    cache_.writeFile(*saveFile, kSaveDataPath);
    consistent_ = {};
    return Result::Unwritten;
  }
  unclaimed_.reset();
  // One new pair and a counter past it keep consistent maps consistent.
  if (consistent && titleKept && numberKept && saved != n + 1)
    consistent_ = {save, cache_.map(kIntMusicDataPath), cache_.map(kMusicIntDataPath)};
  else
    consistent_ = {};  // the next tick looks the maps over
  // With one map written, the next tick completes the other; this tick
  // tallies under the number already.
  if (!numberKept) unsaved_[title] = number;
  return Result::Numbered;
}

void RecorderStore::countPlay(const std::string& dayKey, const std::string& number) {
  StoreCache::Edit file = cache_.edit(musicNumberPath(dayKey));
  if (!file) return;
  file.set(number, incrementedCounter(ns::stringForKey(*file, number)));
}

void RecorderStore::tallySecond(const std::string& dayKey, const std::string& number,
                                const std::string& albumEntry) {
  StoreCache::Edit albums = cache_.edit(musicAlbumPath(dayKey));
  StoreCache::Edit seconds = cache_.edit(musicTimePath(dayKey));
  if (albums && !albums->count(number)) albums.set(number, albumEntry);
  if (seconds) seconds.set(number, incrementedCounter(ns::stringForKey(*seconds, number)));
}

int removeStoreTemporaryFiles() {
  int removed = ns::removeOrphanedTemporaryFiles(kStoreRoot);
  for (auto& day : listFolder(kEverydayDataPath))
    if (isDayKey(day)) removed += ns::removeOrphanedTemporaryFiles(dayFolderPath(day));
  return removed;
}

}  // namespace corvane
