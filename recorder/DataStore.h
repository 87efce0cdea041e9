// The data store: the steps of a sampling tick that create, number and
// count in its files (their paths are in CorvaneStore/StoreLayout.h). Every
// call looks at the files it needs again; a file unchanged since it was last
// parsed is not parsed again (StoreCache).
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "CorvaneStore/StoreLayout.h"
#include "Foundation/PropertyList.h"
#include "Foundation/PropertyListCache.h"

namespace corvane {

// What a recorder keeps of the store between ticks: each file as last
// parsed, beside its identity, so a tick costs the same with years of
// history as with none. A file another process changed is parsed again at
// its next use. Every write of the recorder goes through it, so it knows
// when the store could not be written.
class StoreCache {
 public:
  using Shared = std::shared_ptr<const ns::PlistDictionary>;

  // A dictionary the cache gave, to change entry by entry. While it is what
  // the cache keeps for the file, set() changes it in place and only the one
  // entry is written anew (PropertyListCache::setAndWrite); otherwise a copy
  // is changed and written whole, and becomes what the handle shows. On
  // failure it is as it was.
  class Edit {
   public:
    Edit() = default;
    explicit operator bool() const { return current_ != nullptr; }
    const ns::PlistDictionary& operator*() const { return *current_; }
    const ns::PlistDictionary* operator->() const { return current_.get(); }
    const Shared& shared() const { return current_; }
    bool set(const std::string& key, std::string value);

   private:
    friend class StoreCache;
    Edit(StoreCache* cache, std::string path, Shared current)
        : cache_(cache), path_(std::move(path)), current_(std::move(current)) {}
    StoreCache* cache_ = nullptr;
    std::string path_;
    Shared current_;
  };

  // The two title maps, years of entries each, kept as the text last read
  // or written with a sorted index into it (no map of nodes).
  using SharedMap = std::shared_ptr<const ns::PlistDictionaryText>;
  class MapEdit {
   public:
    MapEdit() = default;
    explicit operator bool() const { return current_ != nullptr; }
    const ns::PlistDictionaryText& operator*() const { return *current_; }
    const ns::PlistDictionaryText* operator->() const { return current_.get(); }
    const SharedMap& shared() const { return current_; }
    // As Edit::set.
    bool set(const std::string& key, std::string value);

   private:
    friend class StoreCache;
    MapEdit(StoreCache* cache, std::string path, SharedMap current)
        : cache_(cache), path_(std::move(path)), current_(std::move(current)) {}
    StoreCache* cache_ = nullptr;
    std::string path_;
    SharedMap current_;
  };
  SharedMap map(const std::string& path, ns::PlistReadProblem* problem = nullptr);
  MapEdit mapEdit(const std::string& path, ns::PlistReadProblem* problem = nullptr);

  // As readStoreDictionary, shared: change it through edit().
  Shared dictionary(const std::string& path, ns::PlistReadProblem* problem = nullptr);
  std::shared_ptr<const ns::PlistArray> array(const std::string& path,
                                              ns::PlistReadProblem* problem = nullptr);
  // The file's dictionary as dictionary() gives it, for changing; empty
  // when it cannot be read.
  Edit edit(const std::string& path, ns::PlistReadProblem* problem = nullptr);
  // writeToFile, keeping dictionary as the file's parse when the file at
  // path is provably the one written.
  bool write(std::shared_ptr<ns::PlistDictionary> dictionary, const std::string& path);
  // writeToFile of a file that is not kept (a day list, a file made afresh).
  bool writeFile(const ns::PlistDictionary& value, const std::string& path);
  bool writeFile(const ns::PlistArray& value, const std::string& path);
  // A day's files are kept while it is the day being recorded: the kept
  // copies of earlier days go, so years of recording keep one day's worth.
  void recordingDay(const std::string& dayKey);
  const ns::PropertyListCache& files() const { return files_; }

  // How many writes failed since the last call, the errno of the last, and
  // how many succeeded.
  int takeFailedWrites(int* lastError = nullptr, int* succeeded = nullptr);

 private:
  bool noted(bool ok);

  ns::PropertyListCache files_;
  std::string day_;
  int failedWrites_ = 0;
  int succeededWrites_ = 0;
  int lastError_ = 0;
};

// A store file read as a dictionary whose <integer> and <real> values (a
// store edited with another tool) are turned into their text
// (numbersAsText), so they are counted on and written back as text.
std::optional<ns::PlistDictionary> readStoreDictionary(const std::string& path,
                                                       ns::PlistReadProblem* problem = nullptr);

// Renames whatever is at path (a file that does not parse, a pipe, a folder,
// a link) to "<path>.unreadable-yyyyMMdd-HHmmss" beside it, never replacing
// anything, and logs one line naming it. Gives the new path, or "" when
// nothing was there or it could not be moved.
std::string setAsideUnreadable(const std::string& path);

// The song numbering of the store: a title is numbered once, a number is
// given out only once both maps could be written (and never again), the
// two maps stay inverse and "MusicNumber" is one more than the highest
// number given out.
class SongNumbering {
 public:
  explicit SongNumbering(StoreCache& cache) : cache_(cache) {}
  SongNumbering(const SongNumbering&) = delete;
  SongNumbering& operator=(const SongNumbering&) = delete;

  // Reads MusicIntData.plist: the titles lookUp sees until the next read.
  // False when it cannot be read.
  bool readTitles();
  // The title's number as last read or numbered since; null when it has none.
  std::optional<std::string> lookUp(const std::string& title) const;

  enum class Result {
    Numbered,      // the title has a number (new, or the one a map held)
    Unwritten,     // the store could not be written: no number given out
    Unreadable,    // SaveData.plist or IntMusicData.plist cannot be read
    MapsFull,      // a map would grow past what a reader takes
    NoNumberLeft,  // "MusicNumber" is at the 32-bit limit
  };
  // Gives a title lookUp does not know a number, writing SaveData.plist,
  // IntMusicData.plist and MusicIntData.plist in that order. A title that
  // IntMusicData.plist already names gets that number back.
  Result assign(const std::string& title);

  // Makes the two maps inverse again after a numbering a crash or a failed
  // write cut short: a title or number one map holds is added to the other,
  // and "MusicNumber" is raised past every number given out. Adds only,
  // never removes. False when a file could not be read or written.
  bool repair();

 private:
  friend class RecorderStore;
  struct Files {
    StoreCache::Shared save;
    StoreCache::SharedMap intMusic, musicInt;
    bool operator==(const Files&) const = default;
  };
  bool repair(const Files& files);

  StoreCache& cache_;
  StoreCache::MapEdit titles_;
  // Numbered in this tick, kept by IntMusicData.plist only (the write of
  // MusicIntData.plist failed; the next tick completes it).
  std::map<std::string, std::string> unsaved_;
  // The three files as last found consistent: the same parsed copies need
  // no second look.
  Files consistent_;
  // A number SaveData.plist was raised past while neither map could take
  // it: it was never given out, so the next numbering takes it.
  std::optional<int32_t> unclaimed_;
};

// The recorder's state between ticks: the cache of the store's files, the
// song numbering over it and what is left to repair.
class RecorderStore {
 public:
  RecorderStore() : numbering_(cache_) {}
  RecorderStore(const RecorderStore&) = delete;
  RecorderStore& operator=(const RecorderStore&) = delete;

  StoreCache& cache() { return cache_; }
  SongNumbering& numbering() { return numbering_; }

  // When sampling starts: removes leftovers of interrupted writes,
  // completes an interrupted numbering and has the next tick list every
  // recorded day.
  void prepareForSampling();

  // Creates each history file that is missing or damaged, setting a damaged
  // one aside first and starting the new one with the entries still
  // readable in it (one that could not be read just now, or is too large
  // for a reader, is left alone). A damaged file is rebuilt from what the
  // others still hold where that is possible: either inverse map from the
  // other, the next song number from the highest number given out, the day
  // list from the day folders. Then completes an interrupted numbering.
  void ensureHistoryFiles();

  // Makes sure the day's folder and three files exist and the day is listed
  // in DateArray.plist, creating only what is missing or damaged (setting a
  // damaged one aside, keeping its readable entries). Days recorded while
  // their listing could not be written are listed as soon as it can be;
  // listed days whose folders are gone get them back a few per tick.
  void ensureDayFiles(const std::string& dayKey);

  // Adds one play of song number to the day's MusicNumber.plist.
  void countPlay(const std::string& dayKey, const std::string& number);
  // Adds one second of song number to the day's MusicTime.plist, first
  // writing its MusicAlbum.plist entry if the day has none for it yet.
  void tallySecond(const std::string& dayKey, const std::string& number,
                   const std::string& albumEntry);

  // Listed days still waiting for their folders.
  size_t daysToRepair() const { return daysToRepair_.size(); }

 private:
  bool listRecordedDays();
  bool writeDayList(const ns::PlistArray& days);
  void createMissingDayFiles(const std::string& dayKey);
  bool setAsideDamaged(const std::string& path, std::string* aside,
                       std::optional<ns::PlistValue>* salvaged);
  template <class T>
  bool writeFresh(const T& value, const std::string& path, const std::string& aside, size_t kept);

  StoreCache cache_;
  SongNumbering numbering_;
  // Set when a write of DateArray.plist failed, and at start: the next tick
  // lists every recorded day the list lacks.
  bool dayListingPending_ = true;
  std::vector<std::string> daysToRepair_;  // newest last; repaired from the back
};

// Deletes temporary files an interrupted write left in the store's folders.
int removeStoreTemporaryFiles();

}  // namespace corvane
