#include "StoreReader.h"

#include "CorvaneStore/StoreLayout.h"
#include "Foundation/PropertyList.h"
#include "Foundation/PropertyListCache.h"

namespace corvane::app {

std::optional<std::vector<std::string>> readDayList() {
  auto array = ns::arrayWithContentsOfFile(kDateArrayPath);
  if (!array) return std::nullopt;
  std::vector<std::string> days;
  days.reserve(array->size());
  for (auto& entry : *array)
    if (const std::string* s = entry.string()) days.push_back(*s);
  return days;
}

std::vector<std::string> dayListOrError() {
  if (auto days = readDayList()) return *days;
  return {"Error"};
}

std::optional<DayValues> readDayValues(const std::string& dayKey, bool plays) {
  if (!isDayKey(dayKey)) return std::nullopt;
  auto dictionary =
      ns::dictionaryWithContentsOfFile(plays ? musicNumberPath(dayKey) : musicTimePath(dayKey));
  if (!dictionary) return std::nullopt;
  DayValues values;
  values.reserve(dictionary->size());
  for (auto& [key, value] : *dictionary)
    if (auto text = leafText(value)) values.emplace_back(key, std::move(*text));
  return values;
}

bool dayHasTimeFile(const std::string& dayKey) {
  return isDayKey(dayKey) && ns::dictionaryWithContentsOfFile(musicTimePath(dayKey)).has_value();
}

std::optional<std::string> TextTable::find(const std::string& key) const {
  std::optional<ns::PlistValue> value = entries_->find(key);
  return value ? leafText(*value) : std::nullopt;
}

size_t TextTable::size() const {
  return entries_->size();
}

std::optional<TextTable> readTitles(ns::PropertyListCache& cache) {
  auto text = cache.dictionaryText(kIntMusicDataPath);
  if (!text) return std::nullopt;
  return TextTable(std::move(text));
}

std::optional<TextTable> readAlbums(const std::string& dayKey) {
  if (!isDayKey(dayKey)) return std::nullopt;
  auto text = ns::dictionaryTextWithContentsOfFile(musicAlbumPath(dayKey));
  if (!text) return std::nullopt;
  return TextTable(std::make_shared<const ns::PlistDictionaryText>(std::move(*text)));
}

}  // namespace corvane::app
