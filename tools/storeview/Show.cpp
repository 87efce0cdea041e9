// Prints what the data store of a device root holds: the numbered titles and,
// day by day, each song's seconds, plays and artist-album record.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "Commands.h"
#include "CorvaneStore/StoreLayout.h"
#include "Foundation/FileSystem.h"
#include "Foundation/PropertyList.h"
#include "Foundation/TextValue.h"

namespace corvane::storetool {

namespace {

std::string text(const ns::PlistDictionary* d, const std::string& key, const char* missing) {
  auto it = d ? d->find(key) : ns::PlistDictionary::const_iterator();
  std::optional<std::string> s = d && it != d->end() ? leafText(it->second) : std::nullopt;
  return s ? *s : missing;
}

// A count as an amount: whole as the recorder writes it, else with a decimal.
std::string amount(const ns::PlistDictionary* d, const std::string& key) {
  auto it = d ? d->find(key) : ns::PlistDictionary::const_iterator();
  const double v = d && it != d->end() ? leafAmount(it->second) : 0;
  return v == std::floor(v) ? ns::stringWithFormat("%.0f", v) : ns::stringWithFormat("%.1f", v);
}

}  // namespace

int showStore(std::FILE* out) {
  std::fprintf(out, "Data store: %s%s\n", ns::deviceRoot().c_str(), kStoreRoot);
  auto days = ns::arrayWithContentsOfFile(kDateArrayPath);
  auto titles = ns::dictionaryWithContentsOfFile(kIntMusicDataPath);
  auto save = ns::dictionaryWithContentsOfFile(kSaveDataPath);
  if (!days || !titles) {
    std::fprintf(out, "  no readable store here yet\n");
    return 1;
  }
  std::fprintf(out, "  %zu titles numbered, next song number %s\n", titles->size(),
               text(save ? &*save : nullptr, "MusicNumber", "?").c_str());

  for (auto& dayValue : *days) {
    const std::string* day = dayValue.string();
    if (!day) continue;
    auto seconds = ns::dictionaryWithContentsOfFile(musicTimePath(*day));
    auto plays = ns::dictionaryWithContentsOfFile(musicNumberPath(*day));
    auto albums = ns::dictionaryWithContentsOfFile(musicAlbumPath(*day));
    std::fprintf(out, "\n%s\n", day->c_str());
    if (!seconds || seconds->empty()) {
      std::fprintf(out, "  (nothing played)\n");
      continue;
    }
    std::vector<std::pair<double, std::string>> ranked;
    double total = 0;
    for (auto& [number, value] : *seconds) {
      double s = leafAmount(value);
      ranked.emplace_back(s, number);
      total += s;
    }
    std::stable_sort(ranked.begin(), ranked.end(),
                     [](auto& a, auto& b) { return a.first > b.first; });
    std::fprintf(out, "  %4s  %-28s %8s %6s %6s  %s\n", "#", "title", "time", "share", "plays",
                 "artist-album");
    for (auto& [s, number] : ranked) {
      char share[16];
      std::snprintf(share, sizeof share, "%0.1f%%", total > 0 ? 100.0 * s / total : 0.0);
      std::fprintf(out, "  %4s  %-28s %6.1fmin %6s %6s  %s\n", number.c_str(),
                   text(&*titles, number, "?").c_str(), s / 60.0, share,
                   amount(plays ? &*plays : nullptr, number).c_str(),
                   text(albums ? &*albums : nullptr, number, "").c_str());
    }
  }
  return 0;
}

}  // namespace corvane::storetool
