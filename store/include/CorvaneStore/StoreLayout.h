// The data store's layout: the fixed device paths of its files and which
// files a day has. The recorder writes them and the app and the tools read
// them; what the files' keys and values mean is in StoreFormat.h.
#pragma once

#include <array>
#include <string>

#include "CorvaneStore/StoreFormat.h"

namespace corvane {

constexpr const char* kStoreRoot = "/var/mobile/Documents/Corvane/";
constexpr const char* kDateArrayPath = "/var/mobile/Documents/Corvane/DateArray.plist";
constexpr const char* kIntMusicDataPath = "/var/mobile/Documents/Corvane/IntMusicData.plist";
constexpr const char* kMusicIntDataPath = "/var/mobile/Documents/Corvane/MusicIntData.plist";
constexpr const char* kSaveDataPath = "/var/mobile/Documents/Corvane/SaveData.plist";
constexpr const char* kEverydayDataPath = "/var/mobile/Documents/Corvane/EverydayData";

// The four files of the whole history, in the order they are first created.
constexpr std::array<const char*, 4> kHistoryFilePaths = {kDateArrayPath, kIntMusicDataPath,
                                                          kMusicIntDataPath, kSaveDataPath};

// The files of one day's folder, in the order the recorder creates them.
constexpr const char* kMusicTimeFile = "MusicTime.plist";
constexpr const char* kMusicNumberFile = "MusicNumber.plist";
constexpr const char* kMusicAlbumFile = "MusicAlbum.plist";
constexpr std::array<const char*, 3> kDayFileNames = {kMusicTimeFile, kMusicNumberFile,
                                                      kMusicAlbumFile};

// A day's folder and its files. The day key is used as given: callers with
// text from outside check it with isDayKey first.
std::string dayFolderPath(const std::string& dayKey);
std::string dayFilePath(const std::string& dayKey, const char* fileName);
inline std::string musicNumberPath(const std::string& dayKey) {
  return dayFilePath(dayKey, kMusicNumberFile);
}
inline std::string musicTimePath(const std::string& dayKey) {
  return dayFilePath(dayKey, kMusicTimeFile);
}
inline std::string musicAlbumPath(const std::string& dayKey) {
  return dayFilePath(dayKey, kMusicAlbumFile);
}
// Every file of the day, in kDayFileNames' order.
std::array<std::string, 3> dayFilePaths(const std::string& dayKey);

}  // namespace corvane
