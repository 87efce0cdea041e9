// What the app reads from the data store, as plain values. Every call reads
// its file from disk at that moment; nothing is cached, so days the recorder
// adds while the app runs are seen at the next read.
#pragma once

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace ns {
class PropertyListCache;
class PlistDictionaryText;
}  // namespace ns

namespace corvane::app {

// DateArray.plist: the day keys, oldest first. Nullopt when the file is
// missing, damaged or not an array; entries that are not text are skipped.
std::optional<std::vector<std::string>> readDayList();

// The list the views work with: the day list, or the one-entry list "Error"
// when it cannot be read.
std::vector<std::string> dayListOrError();

// A day's values in the file's key order: (song number, value text).
using DayValues = std::vector<std::pair<std::string, std::string>>;

// The day's MusicTime.plist (seconds) or MusicNumber.plist (plays). Nullopt
// when the file cannot be read, and for text that is not a day key (text
// typed by the user or found in a damaged day list never reaches the file
// system). Each leaf reads as its text (leafText, CorvaneStore/StoreFormat.h);
// a leaf without text is left out.
std::optional<DayValues> readDayValues(const std::string& dayKey, bool plays);

// Whether the day's MusicTime.plist can be read (the day has data).
bool dayHasTimeFile(const std::string& dayKey);

using TextMap = std::map<std::string, std::string>;

// Song number to a text of a store file, found in the file's text rather
// than in a dictionary built of it (the titles of years of listening are
// tens of thousands; a day shows about ninety).
class TextTable {
 public:
  explicit TextTable(std::shared_ptr<const ns::PlistDictionaryText> entries)
      : entries_(std::move(entries)) {}
  // The text under key; nullopt when there is none or it is no text.
  std::optional<std::string> find(const std::string& key) const;
  size_t size() const;

 private:
  std::shared_ptr<const ns::PlistDictionaryText> entries_;
};

// Song number to title (IntMusicData.plist), read through the caller's cache:
// the file is looked at each time, parsed only when it changed. Nullopt when
// unreadable.
std::optional<TextTable> readTitles(ns::PropertyListCache& cache);
// Song number to the day's artist-album text (MusicAlbum.plist).
std::optional<TextTable> readAlbums(const std::string& dayKey);

}  // namespace corvane::app
