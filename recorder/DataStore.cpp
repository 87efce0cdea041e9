#include "DataStore.h"

#include <dirent.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <climits>
#include <iterator>
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

std::string numberText(int32_t n) {
  // "%d", without a formatter: every key of a map goes through here.
  char text[16];
  const auto [end, ec] = std::to_chars(text, text + sizeof text, n);
  return std::string(text, end);
}

std::string incrementedCounter(const std::string* text) {
  if (!text) return "1";
  int32_t value = ns::intValue(*text);
  return numberText(value == INT32_MAX ? value : value + 1);
}

namespace {

void numbersAsText(PlistDictionary& dictionary) {
  for (auto& [key, value] : dictionary)
    if (!value.isString())
      if (auto text = ns::decimalText(value)) value = PlistValue(std::move(*text));
}

}  // namespace

std::optional<PlistDictionary> readStoreDictionary(const std::string& path,
                                                   ns::PlistReadProblem* problem) {
  auto dictionary = ns::dictionaryWithContentsOfFile(path, problem);
  if (dictionary) numbersAsText(*dictionary);
  return dictionary;
}

std::shared_ptr<const PlistDictionary> StoreCache::dictionary(const std::string& path,
                                                              ns::PlistReadProblem* problem) {
  return files_.dictionary(path, problem, numbersAsText);
}

bool StoreCache::write(std::shared_ptr<PlistDictionary> dictionary, const std::string& path) {
  // What was written parses back to itself: no need to read it again.
  return files_.write(path, std::move(dictionary), numbersAsText);
}

bool StoreCache::set(const std::string& path, const std::shared_ptr<const PlistDictionary>& current,
                     const std::string& key, std::string value) {
  if (files_.holds(path, current.get())) return files_.setAndWrite(path, key, std::move(value));
  auto changed = std::make_shared<PlistDictionary>(*current);
  (*changed)[key] = std::move(value);
  return write(std::move(changed), path);
}

void StoreCache::recordingDay(const std::string& dayKey) {
  if (dayKey == day_) return;
  if (!day_.empty())
    for (const std::string& path :
         {musicTimePath(day_), musicNumberPath(day_), musicAlbumPath(day_)})
      files_.forget(path);
  day_ = dayKey;
}

std::shared_ptr<const PlistArray> StoreCache::array(const std::string& path,
                                                    ns::PlistReadProblem* problem) {
  return files_.array(path, problem);
}

std::string setAsideUnreadable(const std::string& path) {
  if (!ns::itemExistsAtPath(path)) return {};
  const std::string stamp = ns::formatDate(ns::RunLoop::main().now(), "yyyyMMdd-HHmmss");
  for (int attempt = 1; attempt <= 100; ++attempt) {
    std::string aside = path + ".unreadable-" + stamp;
    if (attempt > 1) aside += ns::stringWithFormat("-%d", attempt);
    if (ns::moveItemAtPath(path, aside)) {
      ns::NSLog("Corvane: %s could not be read; set aside as %s", path.c_str(), aside.c_str());
      return aside;
    }
    if (errno != EEXIST) break;
  }
  return {};
}

namespace {

// Only what is missing or damaged is written afresh; a file that could not
// be read just now is left for a later tick.
bool replaceable(ns::PlistReadProblem problem) {
  return problem == ns::PlistReadProblem::Missing || problem == ns::PlistReadProblem::Damaged;
}

// A song number key as the recorder writes it: "%d" of a non-negative number.
std::optional<int32_t> songNumber(const std::string& text) {
  // Digits only, no leading zero, within 32 bits: what "%d" gives back.
  if (text.empty() || text.size() > 10 || (text[0] == '0' && text.size() > 1)) return std::nullopt;
  int64_t n = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    n = n * 10 + (c - '0');
  }
  if (n > INT32_MAX) return std::nullopt;
  return static_cast<int32_t>(n);
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

// Set when a write of DateArray.plist failed, and at start: the next tick
// lists every recorded day the list lacks.
bool g_dayListingPending = true;

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

bool writeDayList(const PlistArray& days) {
  bool ok = ns::writeToFile(days, kDateArrayPath);
  if (!ok) g_dayListingPending = true;
  return ok;
}

void createMissingDayFiles(const std::string& dayKey);
using SharedDictionary = std::shared_ptr<const PlistDictionary>;
bool completeNumbering(const SharedDictionary& save, const SharedDictionary& intMusic,
                       const SharedDictionary& musicInt, StoreCache& cache);

// Adds each day folder the list lacks, and gives each listed day whose
// files a crash kept from being written its empty files; true when nothing
// is left to list.
bool listRecordedDays() {
  auto days = ns::arrayWithContentsOfFile(kDateArrayPath);
  if (!days) return false;
  for (auto& day : *days)
    if (const std::string* key = day.string(); key && isDayKey(*key)) createMissingDayFiles(*key);
  bool changed = false;
  for (auto& day : daysFromFolders()) {
    if (isListed(*days, *day.string())) continue;
    insertDay(*days, *day.string());
    changed = true;
  }
  return !changed || writeDayList(*days);
}

// Writes value over path, first setting aside whatever unreadable thing is
// in its way.
template <class T>
bool writeFresh(const T& value, const std::string& path, bool dayList = false) {
  // What could not be moved out of the way is not written over either.
  bool ok = !(ns::itemExistsAtPath(path) && setAsideUnreadable(path).empty()) &&
            ns::writeToFile(value, path);
  if (dayList && !ok) g_dayListingPending = true;
  return ok;
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

void ensureHistoryFiles(StoreCache& cache) {
  ns::PlistReadProblem problem;
  if (!cache.array(kDateArrayPath, &problem) && replaceable(problem))
    writeFresh(daysFromFolders(), kDateArrayPath, /*dayList=*/true);

  ns::PlistReadProblem intProblem, musicProblem;
  SharedDictionary intMusic = cache.dictionary(kIntMusicDataPath, &intProblem);
  SharedDictionary musicInt = cache.dictionary(kMusicIntDataPath, &musicProblem);
  if (!intMusic && replaceable(intProblem)) {
    intMusic = std::make_shared<const PlistDictionary>(musicInt ? titlesByNumber(*musicInt)
                                                                : PlistDictionary{});
    writeFresh(*intMusic, kIntMusicDataPath);
  }
  if (!musicInt && replaceable(musicProblem)) {
    musicInt = std::make_shared<const PlistDictionary>(intMusic ? numbersByTitle(*intMusic)
                                                                : PlistDictionary{});
    writeFresh(*musicInt, kMusicIntDataPath);
  }
  SharedDictionary save = cache.dictionary(kSaveDataPath, &problem);
  if (!save && replaceable(problem)) {
    save = std::make_shared<const PlistDictionary>(PlistDictionary{
        {"MusicNumber", numberText(nextFreeNumber(intMusic.get(), musicInt.get()))}});
    writeFresh(*save, kSaveDataPath);
  }
  // The copies just read (or written) stand for the files: no second read.
  if (save && intMusic && musicInt) completeNumbering(save, intMusic, musicInt, cache);
}

bool repairNumbering(StoreCache* cache) {
  StoreCache once;
  StoreCache& use = cache ? *cache : once;
  auto save = use.dictionary(kSaveDataPath);
  auto intMusic = use.dictionary(kIntMusicDataPath);
  auto musicInt = use.dictionary(kMusicIntDataPath);
  if (!save || !intMusic || !musicInt) return false;
  return completeNumbering(save, intMusic, musicInt, use);
}

namespace {

bool completeNumbering(const SharedDictionary& save, const SharedDictionary& intMusic,
                       const SharedDictionary& musicInt, StoreCache& cache) {
  // The same parsed copies as last found consistent: the files are unchanged.
  const StoreCache::Numbering seen{save, intMusic, musicInt};
  if (cache.consistent == seen) return true;

  // A numbering cut short by a crash or a failed write left a number in one
  // map only: the other map gets it too. Entries are only ever added, so a
  // conflict that cannot come from one interrupted numbering is left alone.
  // (A title added to MusicIntData.plist carries a number IntMusicData.plist
  // already has, so each map's additions can be found from the files alone.)
  PlistDictionary toMusicInt, toIntMusic;
  for (auto& [number, value] : *intMusic) {
    const std::string* title = value.string();
    if (title && songNumber(number) && !musicInt->count(*title) && !toMusicInt.count(*title))
      toMusicInt.emplace(*title, number);
  }
  for (auto& [title, value] : *musicInt) {
    const std::string* number = value.string();
    if (number && songNumber(*number) && !intMusic->count(*number) && !toIntMusic.count(*number))
      toIntMusic.emplace(*number, title);
  }
  // The additions carry only numbers one map already has: the highest stays.
  const int32_t next = nextFreeNumber(intMusic.get(), musicInt.get());
  const std::string* saved = ns::stringForKey(*save, "MusicNumber");
  const bool saveBehind = !saved || ns::intValue(*saved) < next;
  if (toIntMusic.empty() && toMusicInt.empty() && !saveBehind) {
    cache.consistent = seen;
    return true;
  }

  ns::NSLog("Corvane: completed an interrupted numbering");
  bool ok = true;
  if (saveBehind) {
    PlistDictionary raised = *save;
    raised["MusicNumber"] = numberText(next);
    ok &= ns::writeToFile(raised, kSaveDataPath);
  }
  if (!toIntMusic.empty()) {
    PlistDictionary completed = *intMusic;
    completed.merge(toIntMusic);
    ok &= ns::writeToFile(completed, kIntMusicDataPath);
  }
  if (!toMusicInt.empty()) {
    PlistDictionary completed = *musicInt;
    completed.merge(toMusicInt);
    ok &= ns::writeToFile(completed, kMusicIntDataPath);
  }
  return ok;
}

}  // namespace

void ensureDayFiles(const std::string& dayKey, StoreCache& cache) {
  cache.recordingDay(dayKey);
  if (g_dayListingPending) g_dayListingPending = !listRecordedDays();

  const std::string folder = dayFolderPath(dayKey);
  // Something other than a folder in the way of the day's folder.
  for (std::string path : {std::string(kEverydayDataPath), folder})
    if (ns::itemExistsAtPath(path) && !ns::isDirectoryAtPath(path)) setAsideUnreadable(path);

  const std::string paths[] = {musicTimePath(dayKey), musicNumberPath(dayKey),
                               musicAlbumPath(dayKey)};
  ns::PlistReadProblem problems[3];
  bool allThere = true;
  for (int i = 0; i < 3; ++i) allThere &= cache.dictionary(paths[i], &problems[i]) != nullptr;

  if (auto listed = cache.array(kDateArrayPath); listed && !isListed(*listed, dayKey)) {
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
  for (int i = 0; i < 3; ++i)
    if (problems[i] != ns::PlistReadProblem::None && replaceable(problems[i]))
      writeFresh(PlistDictionary{}, paths[i]);
}

namespace {

void createMissingDayFiles(const std::string& dayKey) {
  const std::string paths[] = {musicTimePath(dayKey), musicNumberPath(dayKey),
                               musicAlbumPath(dayKey)};
  bool folderMade = false;
  for (auto& path : paths) {
    if (ns::itemExistsAtPath(path)) continue;
    if (!folderMade) folderMade = ns::createDirectoryAtPath(dayFolderPath(dayKey), true);
    ns::writeToFile(PlistDictionary{}, path);
  }
}

}  // namespace

bool numberTitle(const std::string& title, SharedDictionary& musicIntFile, StoreCache& cache) {
  auto saveFile = cache.dictionary(kSaveDataPath);
  auto intMusicFile = cache.dictionary(kIntMusicDataPath);
  if (!saveFile || !intMusicFile) return false;

  // The maps as last found consistent are inverse and the counter is past
  // every number: the title is in neither, and the counter is the number.
  const StoreCache::Numbering before{saveFile, intMusicFile, musicIntFile};
  const bool consistent = cache.consistent == before;

  // A title IntMusicData.plist already names keeps its number: numbering it
  // again would split its records for good.
  if (!consistent)
    for (auto& [number, value] : *intMusicFile) {
      if (value.string() && *value.string() == title && songNumber(number)) {
        auto musicInt = std::make_shared<PlistDictionary>(*musicIntFile);
        (*musicInt)[title] = number;
        musicIntFile = musicInt;
        cache.write(musicInt, kMusicIntDataPath);
        return true;
      }
    }
  const std::string* next = ns::stringForKey(*saveFile, "MusicNumber");
  // A hand-edited or stale counter must never hand out a number again.
  int32_t n = std::max(next ? ns::intValue(*next) : 0,
                       consistent ? 0 : nextFreeNumber(intMusicFile.get(), musicIntFile.get()));
  if (n < 0 || n == INT32_MAX) return false;  // no number left to give
  std::string number = numberText(n);
  auto save = std::make_shared<PlistDictionary>(*saveFile);
  (*save)["MusicNumber"] = numberText(n + 1);
  const bool counted = cache.write(save, kSaveDataPath);
  // The maps as kept change in place: with years of titles, copying and
  // writing them out whole would cost a tick many times its budget.
  const bool titleKept = cache.set(kIntMusicDataPath, intMusicFile, number, title);
  const bool inPlace = cache.files().holds(kMusicIntDataPath, musicIntFile.get());
  const bool numberKept = cache.set(kMusicIntDataPath, musicIntFile, title, number);
  // One new pair and a counter past it keep consistent maps consistent.
  if (consistent && counted && titleKept && numberKept)
    cache.consistent = {save, cache.dictionary(kIntMusicDataPath),
                        cache.dictionary(kMusicIntDataPath)};
  else
    cache.consistent = {};  // the next tick looks the maps over
  // Neither map holds the number: nothing may be recorded under it.
  if (!titleKept && !numberKept) return false;
  // With one map written, the next tick completes the other; this tick
  // tallies under the number already.
  if (numberKept && inPlace) return true;  // musicIntFile was changed in place
  auto musicInt = std::make_shared<PlistDictionary>(*musicIntFile);
  (*musicInt)[title] = number;
  musicIntFile = std::move(musicInt);
  return true;
}

void countPlay(const std::string& dayKey, const std::string& number, StoreCache& cache) {
  std::string path = musicNumberPath(dayKey);
  auto file = cache.dictionary(path);
  if (!file) return;
  cache.set(path, file, number, incrementedCounter(ns::stringForKey(*file, number)));
}

void tallySecond(const std::string& dayKey, const std::string& number,
                 const std::string& albumEntry, StoreCache& cache) {
  auto albums = cache.dictionary(musicAlbumPath(dayKey));
  auto seconds = cache.dictionary(musicTimePath(dayKey));
  if (albums && !albums->count(number))
    cache.set(musicAlbumPath(dayKey), albums, number, albumEntry);
  if (seconds)
    cache.set(musicTimePath(dayKey), seconds, number,
              incrementedCounter(ns::stringForKey(*seconds, number)));
}

int removeStoreTemporaryFiles() {
  int removed = ns::removeOrphanedTemporaryFiles(kStoreRoot);
  for (auto& day : listFolder(kEverydayDataPath))
    if (isDayKey(day)) removed += ns::removeOrphanedTemporaryFiles(dayFolderPath(day));
  return removed;
}

void prepareStoreForSampling(StoreCache* cache) {
  removeStoreTemporaryFiles();
  repairNumbering(cache);
  g_dayListingPending = true;
}

}  // namespace corvane
