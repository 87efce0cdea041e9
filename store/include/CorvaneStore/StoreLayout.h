// The data store's layout: the fixed device paths of its files. The recorder
// writes them and the app and the tools read them; each includes this one
// header (sharing a header is not linking).
#pragma once

#include <string>

#include "Foundation/TextValue.h"

namespace corvane {

constexpr const char* kStoreRoot = "/var/mobile/Documents/Corvane/";
constexpr const char* kDateArrayPath = "/var/mobile/Documents/Corvane/DateArray.plist";
constexpr const char* kIntMusicDataPath = "/var/mobile/Documents/Corvane/IntMusicData.plist";
constexpr const char* kMusicIntDataPath = "/var/mobile/Documents/Corvane/MusicIntData.plist";
constexpr const char* kSaveDataPath = "/var/mobile/Documents/Corvane/SaveData.plist";
constexpr const char* kEverydayDataPath = "/var/mobile/Documents/Corvane/EverydayData";

// A day's folder and its three files. The day key is used as given: callers
// with text from outside check it with isDayKey first.
inline std::string dayFolderPath(const std::string& dayKey) {
  return ns::stringWithFormat("%s/%s", kEverydayDataPath, dayKey.c_str());
}
inline std::string dayFilePath(const std::string& dayKey, const char* fileName) {
  return ns::stringWithFormat("%s/%s/%s", kEverydayDataPath, dayKey.c_str(), fileName);
}
inline std::string musicNumberPath(const std::string& dayKey) {
  return dayFilePath(dayKey, "MusicNumber.plist");
}
inline std::string musicTimePath(const std::string& dayKey) {
  return dayFilePath(dayKey, "MusicTime.plist");
}
inline std::string musicAlbumPath(const std::string& dayKey) {
  return dayFilePath(dayKey, "MusicAlbum.plist");
}

// True for text of the form the recorder names day folders with:
// "yyyy-MM-dd", ten characters, digits and two hyphens.
inline bool isDayKey(const std::string& s) {
  if (s.size() != 10 || s[4] != '-' || s[7] != '-') return false;
  for (size_t i : {0, 1, 2, 3, 5, 6, 8, 9})
    if (s[i] < '0' || s[i] > '9') return false;
  return true;
}

}  // namespace corvane
