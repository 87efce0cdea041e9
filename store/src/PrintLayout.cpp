// corvane-store-layout: the store's layout for the harnesses that are not
// C++. `--python` prints the module the Python harnesses import (the build
// writes it as python/corvane_store_layout.py); `--store-root` prints the
// store's folder for shell scripts.
#include <cstdio>
#include <cstring>
#include <string>

#include "CorvaneStore/StoreLayout.h"

namespace {

using namespace corvane;

// A file's name: its path after the store's folder.
std::string nameInStore(const char* path) {
  return std::string(path).substr(std::strlen(kStoreRoot));
}

std::string storeFolder() {
  std::string root = kStoreRoot;
  return root.substr(0, root.size() - 1);
}

void line(const char* name, const std::string& value) {
  std::printf("%s = \"%s\"\n", name, value.c_str());
}

template <size_t N>
void list(const char* name, const std::array<std::string, N>& values) {
  std::printf("%s = [", name);
  for (size_t i = 0; i < N; ++i) std::printf("%s\"%s\"", i ? ", " : "", values[i].c_str());
  std::printf("]\n");
}

void printPython() {
  std::printf(
      "\"\"\"The data store's layout, written by the build from the store's C++ "
      "format (store/).\n"
      "STORE is relative to a device root; the rest are names in it.\"\"\"\n\n");
  line("STORE", storeFolder().substr(1));
  line("DATE_ARRAY", nameInStore(kDateArrayPath));
  line("INT_MUSIC_DATA", nameInStore(kIntMusicDataPath));
  line("MUSIC_INT_DATA", nameInStore(kMusicIntDataPath));
  line("SAVE_DATA", nameInStore(kSaveDataPath));
  line("EVERYDAY_DATA", nameInStore(kEverydayDataPath));
  std::array<std::string, kHistoryFilePaths.size()> history;
  for (size_t i = 0; i < history.size(); ++i) history[i] = nameInStore(kHistoryFilePaths[i]);
  list("HISTORY_FILES", history);
  line("MUSIC_TIME", kMusicTimeFile);
  line("MUSIC_NUMBER", kMusicNumberFile);
  line("MUSIC_ALBUM", kMusicAlbumFile);
  std::array<std::string, kDayFileNames.size()> day;
  for (size_t i = 0; i < day.size(); ++i) day[i] = kDayFileNames[i];
  list("DAY_FILES", day);
  line("NEXT_SONG_NUMBER_KEY", kNextSongNumberKey);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && std::strcmp(argv[1], "--python") == 0) {
    printPython();
    return 0;
  }
  if (argc == 2 && std::strcmp(argv[1], "--store-root") == 0) {
    std::printf("%s\n", storeFolder().c_str());
    return 0;
  }
  std::fprintf(stderr, "usage: corvane-store-layout --python | --store-root\n");
  return 2;
}
