// Prints what the data store of a device root holds: the numbered titles and,
// day by day, each song's seconds, plays and artist-album record, in the
// value texts the app and `top` use.
#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "Commands.h"
#include "CorvaneStore/StoreLayout.h"
#include "Foundation/FileSystem.h"
#include "Foundation/PropertyList.h"
#include "Table.h"

namespace corvane::storetool {

namespace {

std::string text(const std::optional<ns::PlistDictionary>& d, const std::string& key,
                 const char* missing) {
  const std::string* s = d ? ns::stringForKey(*d, key) : nullptr;
  return s ? *s : missing;
}

}  // namespace

int showStore(std::FILE* out, std::FILE* err) {
  std::fprintf(out, "Data store: %s%s\n", ns::deviceRoot().c_str(), kStoreRoot);
  Reporter reporter(err);
  auto days = recordedDays(reporter);
  // Without a day list there is no store to name missing files of.
  auto titles = days ? readDictionary(kIntMusicDataPath, reporter) : std::nullopt;
  auto save = ns::dictionaryWithContentsOfFile(kSaveDataPath);
  if (!days || !titles) {
    std::fprintf(out,
                 "  no readable store here yet (set CORVANE_DEVICE_ROOT to the device root that "
                 "holds one)\n");
    return 1;
  }
  std::fprintf(out, "  %zu titles numbered, next song number %s\n", titles->size(),
               oneLine(text(save, kNextSongNumberKey, "?")).c_str());

  using Align = Table::Align;
  for (const RecordedDay& day : *days) {
    auto seconds = readDictionary(musicTimePath(day.key), reporter);
    auto plays = ns::dictionaryWithContentsOfFile(musicNumberPath(day.key));
    auto albums = ns::dictionaryWithContentsOfFile(musicAlbumPath(day.key));
    std::fprintf(out, "\n%s\n", day.key.c_str());
    if (!seconds || seconds->empty()) {
      std::fprintf(out, "  (nothing played)\n");
      continue;
    }
    std::vector<std::pair<double, std::string>> ranked;
    double total = 0;
    for (auto& [number, value] : *seconds) {
      const double s = counterValue(value);
      ranked.emplace_back(s, number);
      total += s;
    }
    std::stable_sort(ranked.begin(), ranked.end(),
                     [](auto& a, auto& b) { return a.first > b.first; });
    Table table({{"#", Align::Right, 4},
                 {"title", Align::Left, 28, 40},
                 {"time", Align::Right, 8},
                 {"share", Align::Right, 6},
                 {"plays", Align::Right, 5},
                 {"artist-album"}});
    for (auto& [s, number] : ranked) {
      const ns::PlistValue* played = nullptr;
      if (plays)
        if (auto it = plays->find(number); it != plays->end()) played = &it->second;
      table.add({number, text(titles, number, "?"), valueText(s, Measure::Time),
                 shareText(s, total), valueText(played ? counterValue(*played) : 0, Measure::Plays),
                 text(albums, number, "")});
    }
    table.print(out, "  ");
  }
  return 0;
}

}  // namespace corvane::storetool
