// The data store: the steps of a sampling tick that create, number and
// count in its files (their paths are in CorvaneStore/StoreLayout.h). Every
// call looks at the files it needs again; a file unchanged since it was last
// parsed is not parsed again (StoreCache).
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "CorvaneStore/StoreLayout.h"
#include "Foundation/PropertyList.h"
#include "Foundation/PropertyListCache.h"

namespace corvane {

// What a recorder keeps of the store between ticks: each file as last
// parsed, beside its identity, so a tick costs the same with years of
// history as with none. A file another process changed is parsed again at
// its next use.
class StoreCache {
 public:
  // As readStoreDictionary, shared: copy it before changing it.
  std::shared_ptr<const ns::PlistDictionary> dictionary(const std::string& path,
                                                        ns::PlistReadProblem* problem = nullptr);
  std::shared_ptr<const ns::PlistArray> array(const std::string& path,
                                              ns::PlistReadProblem* problem = nullptr);
  // writeToFile, keeping dictionary as the file's parse when the file at
  // path is provably the one written.
  bool write(std::shared_ptr<ns::PlistDictionary> dictionary, const std::string& path);
  // Writes the file read as current with key set to value. When current is
  // what is kept for the file it is changed in place and only the one entry
  // is written anew (PropertyListCache::setAndWrite); otherwise a copy is.
  // On failure current is as it was.
  bool set(const std::string& path, const std::shared_ptr<const ns::PlistDictionary>& current,
           const std::string& key, std::string value);
  // A day's files are kept while it is the day being recorded: the kept
  // copies of earlier days go, so years of recording keep one day's worth.
  void recordingDay(const std::string& dayKey);
  const ns::PropertyListCache& files() const { return files_; }

  // The three history files as last found consistent: the same parsed
  // copies need no second look.
  struct Numbering {
    std::shared_ptr<const ns::PlistDictionary> save, intMusic, musicInt;
    bool operator==(const Numbering&) const = default;
  };
  Numbering consistent;

 private:
  ns::PropertyListCache files_;
  std::string day_;
};

// "%d" of a number: how song numbers and counters are written.
std::string numberText(int32_t n);
// A counter's text plus one; text that is not a number counts as 0, and a
// counter already at the 32-bit maximum stays there.
std::string incrementedCounter(const std::string* text);

// A store file read as a dictionary whose <integer> and <real> values (a
// store edited with another tool) are turned into the decimal text the
// recorder writes, so they are counted on and written back as text.
std::optional<ns::PlistDictionary> readStoreDictionary(const std::string& path,
                                                       ns::PlistReadProblem* problem = nullptr);

// Renames whatever is at path (a file that does not parse, a pipe, a folder)
// to "<path>.unreadable-yyyyMMdd-HHmmss" beside it, never replacing anything,
// and logs one line naming it. Gives the new path, or "" when nothing was
// there or it could not be moved.
std::string setAsideUnreadable(const std::string& path);

// Creates each history file that is missing or damaged, setting a damaged
// one aside first (one that could not be read just now is left alone). A damaged file is rebuilt
// from what the others still hold where that is possible: either inverse map from the other, the
// next song number from the highest number given out, the day list from the day folders. Then
// completes an interrupted numbering (repairNumbering).
void ensureHistoryFiles(StoreCache& cache);

// Makes the two maps inverse again after a numbering a crash or a failed
// write cut short: a title or number one map holds is added to the other,
// and "MusicNumber" is raised past every number given out. Adds only, never
// removes. False when a file could not be read or written. With the
// sampler's cache the maps parsed here are the ones its first tick uses.
bool repairNumbering(StoreCache* cache = nullptr);

// Makes sure the day's folder and three files exist and the day is listed in
// DateArray.plist, creating only what is missing or damaged (setting a
// damaged one aside). Days recorded while their listing could not be
// written are listed as soon as it can be.
void ensureDayFiles(const std::string& dayKey, StoreCache& cache);

// Gives title a song number, writing SaveData.plist, IntMusicData.plist and
// the caller's copy of MusicIntData.plist, in that order, and points musicInt
// at the new copy. A title that IntMusicData.plist already names gets that
// number back instead. Returns false, leaving musicInt as it was, when the
// history files cannot be read, no number is left, or neither map could be
// written.
bool numberTitle(const std::string& title, std::shared_ptr<const ns::PlistDictionary>& musicInt,
                 StoreCache& cache);

// Adds one play of song number to the day's MusicNumber.plist.
void countPlay(const std::string& dayKey, const std::string& number, StoreCache& cache);

// Adds one second of song number to the day's MusicTime.plist, first writing
// its MusicAlbum.plist entry if the day has none for it yet.
void tallySecond(const std::string& dayKey, const std::string& number,
                 const std::string& albumEntry, StoreCache& cache);

// Deletes temporary files an interrupted write left in the store's folders.
int removeStoreTemporaryFiles();

// When sampling starts: removes those leftovers, completes an interrupted
// numbering and has the next tick list every recorded day.
void prepareStoreForSampling(StoreCache* cache = nullptr);

}  // namespace corvane
