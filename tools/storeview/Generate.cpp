// A made-up listening history for trying and timing the tools on years of
// data. It follows the recorder's rules (numbers in order of first sighting,
// album entries exactly for the songs with seconds, plays only with seconds,
// counters as "%d" text) and writes with the recorder's own writer, so the
// files are the recorder's bytes. The same options and seed give the same
// store: the generator has its own PRNG and integer-only draws.
#include <algorithm>
#include <filesystem>
#include <string>
#include <unordered_set>
#include <vector>

#include "Commands.h"
#include "CorvaneStore/StoreLayout.h"
#include "Foundation/FileSystem.h"
#include "Foundation/PropertyList.h"
#include "Foundation/TextValue.h"
#include "StoreTool.h"

namespace corvane::storetool {

namespace {

// splitmix64: tiny, and its output is fixed by its definition.
class Rng {
 public:
  explicit Rng(uint64_t seed) : state_(seed) {}
  uint64_t next() {
    uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  // 0 <= result < n.
  uint32_t below(uint32_t n) { return static_cast<uint32_t>(((next() >> 32) * n) >> 32); }
  int32_t between(int32_t lo, int32_t hi) {
    return lo + static_cast<int32_t>(below(static_cast<uint32_t>(hi - lo + 1)));
  }
  bool percent(uint32_t p) { return below(100) < p; }
  template <size_t N>
  const char* pick(const char* const (&words)[N]) {
    return words[below(N)];
  }

 private:
  uint64_t state_;
};

const char* const kWords[] = {
    "Blue",     "River", "Midnight", "Echo",    "Golden", "Paper",   "Summer",  "Rain",
    "Electric", "Heart", "Silver",   "Road",    "Broken", "Mirror",  "Velvet",  "Sky",
    "Quiet",    "Fire",  "Hollow",   "Moon",    "Wild",   "Ocean",   "Neon",    "Garden",
    "Little",   "Storm", "Falling",  "Stars",   "Lonely", "Train",   "Crystal", "Dream",
    "Northern", "Light", "Secret",   "Harbour", "Sweet",  "Thunder", "Empty",   "Room",
    "Faded",    "Photo", "Running",  "Water",   "Winter", "Song",    "Burning", "Bridge",
    "Café",     "Über",  "Señorita", "Nuit",    "夜",     "Sommar",  "Ljós",    "Amor"};
const char* const kFirstNames[] = {"Ada", "Ben",  "Clara", "Dev",  "Elin", "Femi", "Gus",  "Hana",
                                   "Ivo", "June", "Kai",   "Lena", "Milo", "Noor", "Otto", "Pia",
                                   "Rui", "Sade", "Teo",   "Una",  "Vera", "Wim",  "Yara", "Zoë"};
const char* const kBands[] = {"Lanterns", "Pilots",   "Foxes",  "Tides",  "Wolves", "Satellites",
                              "Sparrows", "Machines", "Arrows", "Comets", "Owls",   "Engines"};

std::string word(Rng& rng) {
  return rng.pick(kWords);
}

// Titles as people meet them, with the commas, quotes and letters beyond
// ASCII that exports and tables must carry. Never a stream ("http:").
std::string titleText(Rng& rng) {
  switch (rng.below(10)) {
    case 0:
    case 1:
    case 2:
      return word(rng) + " " + word(rng);
    case 3:
    case 4:
      return word(rng) + " " + word(rng) + " " + word(rng);
    case 5:
      return "The " + word(rng) + " of " + word(rng);
    case 6:
      return word(rng) + ", " + word(rng) + ", Pt. " + std::to_string(rng.between(1, 3));
    case 7:
      return word(rng) + " " + word(rng) + " (" + word(rng) + " Mix)";
    case 8:
      return "\"" + word(rng) + "\" " + word(rng);
    default:
      return word(rng) + " & " + word(rng);
  }
}

std::string artistText(Rng& rng) {
  if (rng.percent(40)) return std::string("The ") + word(rng) + " " + rng.pick(kBands);
  return std::string(rng.pick(kFirstNames)) + " " + word(rng) + "son";
}

// Every title in the order it is first heard, so its index is its song number.
struct Catalogue {
  std::vector<std::string> titles;
  std::vector<std::string> records;  // the album entry, "%@-%@" of artist and album
  std::vector<int32_t> lengths;      // seconds of one full play
};

Catalogue makeCatalogue(Rng& rng, int32_t count) {
  Catalogue c;
  std::unordered_set<std::string> seen;
  std::vector<std::string> artists;
  std::string record;
  int32_t leftOnRecord = 0;
  for (int32_t i = 0; i < count; ++i) {
    std::string title = titleText(rng);
    for (int n = 2; !seen.insert(title).second; ++n) {
      std::string base = title.substr(0, title.rfind(" #"));
      title = base + " #" + std::to_string(n);
    }
    if (leftOnRecord-- <= 0) {
      // Songs come a record at a time; artists come back with new records.
      if (artists.empty() || rng.percent(35)) artists.push_back(artistText(rng));
      std::string artist = rng.percent(1) ? "(null)" : artists[rng.below(artists.size())];
      std::string album = rng.percent(3) ? "(null)" : word(rng) + " " + word(rng);
      record = artist + "-" + album;
      leftOnRecord = rng.between(5, 15);
    }
    c.titles.push_back(std::move(title));
    c.records.push_back(record);
    c.lengths.push_back(rng.between(100, 420));
  }
  return c;
}

struct DayPlan {
  int32_t songs;  // 0: the recorder ran but nothing played
};

std::vector<DayPlan> planDays(Rng& rng, int32_t days) {
  std::vector<DayPlan> plan;
  for (int32_t d = 0; d < days; ++d) {
    uint32_t kind = rng.below(100);
    int32_t songs = kind < 4    ? 0
                    : kind < 24 ? rng.between(3, 20)
                    : kind < 76 ? rng.between(20, 120)
                                : rng.between(120, 300);
    plan.push_back({songs});
  }
  if (std::all_of(plan.begin(), plan.end(), [](auto& p) { return p.songs == 0; }))
    plan.back().songs = 10;
  return plan;
}

// A song among those already heard: the current rotation of recent ones,
// lasting favourites (a fixed set, some far more than others) or anything.
int32_t heardBefore(Rng& rng, int32_t pool) {
  const uint32_t p = static_cast<uint32_t>(pool);
  const uint32_t r = rng.below(100);
  if (r < 45) return pool - 1 - static_cast<int32_t>(rng.below(std::min<uint32_t>(p, 150)));
  if (r < 75) {
    const uint32_t favourite = rng.below(rng.below(120) + 1) * 97;
    if (favourite < p) return static_cast<int32_t>(favourite);
  }
  return static_cast<int32_t>(rng.below(p));
}

bool storeHasData() {
  if (auto days = ns::arrayWithContentsOfFile(kDateArrayPath); days && !days->empty()) return true;
  for (const char* path : {kIntMusicDataPath, kMusicIntDataPath}) {
    auto d = ns::dictionaryWithContentsOfFile(path);
    if (d ? !d->empty() : ns::fileExistsAtPath(path)) return true;
  }
  if (ns::fileExistsAtPath(kDateArrayPath) && !ns::arrayWithContentsOfFile(kDateArrayPath))
    return true;
  std::error_code ec;
  return !std::filesystem::is_empty(ns::hostPath(kEverydayDataPath), ec) && !ec;
}

class Writer {
 public:
  explicit Writer(std::FILE* err) : err_(err) {}
  template <class Value>
  bool write(const Value& value, const std::string& path) {
    if (ns::writeToFile(value, path)) return true;
    std::fprintf(err_, "corvane-store: cannot write %s\n", shownPath(path).c_str());
    return false;
  }

 private:
  std::FILE* err_;
};

}  // namespace

int generateStore(const GenerateRequest& request, std::FILE* out, std::FILE* err) {
  if (storeHasData()) {
    if (!request.force) {
      std::fprintf(err,
                   "corvane-store: the store at %s already holds data; generate writes only "
                   "into an empty store (--force replaces it, deleting what it holds)\n",
                   shownPath(kStoreRoot).c_str());
      return 1;
    }
    std::error_code ec;
    std::filesystem::remove_all(ns::hostPath(kEverydayDataPath), ec);
    if (ec) {
      std::fprintf(err, "corvane-store: cannot remove %s: %s\n",
                   shownPath(kEverydayDataPath).c_str(), ec.message().c_str());
      return 1;
    }
  }
  if (!ns::createDirectoryAtPath(kEverydayDataPath, true)) {
    std::fprintf(err, "corvane-store: cannot create %s\n", shownPath(kEverydayDataPath).c_str());
    return 1;
  }

  Rng rng(request.seed);
  const Catalogue catalogue = makeCatalogue(rng, request.titles);
  const std::vector<DayPlan> plan = planDays(rng, request.days);
  int64_t songsLeft = 0;
  for (auto& p : plan) songsLeft += p.songs;

  Writer writer(err);
  ns::PlistArray dayList;
  int32_t numbered = 0;
  int64_t entries = 0;
  std::vector<int32_t> today;
  std::unordered_set<int32_t> picked;
  for (int32_t d = 0; d < request.days; ++d) {
    const std::string key = dayText(request.start + d);
    int32_t songs = plan[static_cast<size_t>(d)].songs;

    // New titles take the same share of every day's songs, so that all are
    // heard by the last day, which takes whatever is left.
    const int64_t left = request.titles - numbered;
    songsLeft -= songs;
    int32_t fresh = 0;
    if (songs > 0 && songsLeft == 0) {
      fresh = static_cast<int32_t>(left);
      songs = std::max(songs, fresh);
    } else if (songs > 0) {
      const int64_t share = songs * left * rng.between(80, 120) / (100 * (songsLeft + songs));
      fresh = static_cast<int32_t>(std::min<int64_t>({share, songs, left}));
    }
    const int32_t old = std::min(songs - fresh, numbered);
    today.clear();
    picked.clear();
    for (int32_t tries = 0; static_cast<int32_t>(today.size()) < old && tries < 8 * old; ++tries)
      if (int32_t n = heardBefore(rng, numbered); picked.insert(n).second) today.push_back(n);
    for (int32_t i = 0; i < fresh; ++i) today.push_back(numbered++);

    // A skipped song has a few seconds and no play; every counted play took
    // at least five playing ticks.
    std::vector<std::pair<int32_t, int32_t>> counts;  // seconds, plays
    int64_t total = 0;
    for (int32_t n : today) {
      const int32_t length = catalogue.lengths[static_cast<size_t>(n)];
      const uint32_t r = rng.below(100);
      int32_t plays = r < 7 ? 0 : r < 70 ? 1 : r < 88 ? 2 : r < 97 ? 3 : rng.between(4, 6);
      int32_t seconds = plays ? 0 : rng.between(1, 4);
      for (int32_t p = 0; p < plays; ++p)
        seconds += rng.percent(75) ? length : rng.between(5, length);
      counts.emplace_back(seconds, plays);
      total += seconds;
    }
    // A day has 86,400 seconds.
    const int64_t cap = 80000;
    ns::PlistDictionary time, number, album;
    for (size_t i = 0; i < today.size(); ++i) {
      auto [seconds, plays] = counts[i];
      if (total > cap)
        seconds =
            std::max<int32_t>(static_cast<int32_t>(seconds * cap / total), std::max(1, 5 * plays));
      const std::string song = ns::stringWithFormat("%d", today[i]);
      time[song] = ns::stringWithFormat("%d", seconds);
      album[song] = catalogue.records[static_cast<size_t>(today[i])];
      if (plays) number[song] = ns::stringWithFormat("%d", plays);
    }
    entries += static_cast<int64_t>(today.size());

    if (!ns::createDirectoryAtPath(dayFolderPath(key), true)) {
      std::fprintf(err, "corvane-store: cannot create %s\n", shownPath(dayFolderPath(key)).c_str());
      return 1;
    }
    if (!writer.write(time, musicTimePath(key)) || !writer.write(number, musicNumberPath(key)) ||
        !writer.write(album, musicAlbumPath(key)))
      return 1;
    dayList.emplace_back(key);
    if ((d + 1) % 100 == 0 || d + 1 == request.days)
      std::fprintf(err, "generate: %d of %d days written (through %s), %d titles\n", d + 1,
                   request.days, key.c_str(), numbered);
  }

  // The history files last, in the recorder's order; the day list closes it.
  ns::PlistDictionary intMusic, musicInt;
  for (int32_t n = 0; n < numbered; ++n) {
    const std::string song = ns::stringWithFormat("%d", n);
    intMusic[song] = catalogue.titles[static_cast<size_t>(n)];
    musicInt[catalogue.titles[static_cast<size_t>(n)]] = song;
  }
  ns::PlistDictionary save{{kNextSongNumberKey, ns::stringWithFormat("%d", numbered)}};
  if (!writer.write(save, kSaveDataPath) || !writer.write(intMusic, kIntMusicDataPath) ||
      !writer.write(musicInt, kMusicIntDataPath) || !writer.write(dayList, kDateArrayPath))
    return 1;
  std::fprintf(out, "Generated %d days (%s to %s), %d titles, %lld day entries in %s\n",
               request.days, dayText(request.start).c_str(),
               dayText(request.start + request.days - 1).c_str(), numbered,
               static_cast<long long>(entries), shownPath(kStoreRoot).c_str());
  return 0;
}

}  // namespace corvane::storetool
