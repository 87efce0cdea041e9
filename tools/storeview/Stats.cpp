#include "Stats.h"

#include <algorithm>
#include <unordered_map>

#include "CorvaneStore/StoreLayout.h"
#include "Foundation/FileSystem.h"
#include "Foundation/TextValue.h"

namespace corvane::storetool {

namespace {

class Tallies {
 public:
  Tally& song(int32_t number) {
    auto [it, added] = bySong_.try_emplace(number, tallies_.size());
    if (added) tallies_.push_back(Tally{number, {}});
    return tallies_[it->second];
  }
  Tally& labelled(const std::string& label) {
    auto [it, added] = byLabel_.try_emplace(label, tallies_.size());
    if (added) tallies_.push_back(Tally{-1, label});
    return tallies_[it->second];
  }
  std::vector<Tally> take() { return std::move(tallies_); }

 private:
  std::vector<Tally> tallies_;
  std::unordered_map<int32_t, size_t> bySong_;
  std::unordered_map<std::string, size_t> byLabel_;
};

void count(Tally& t, int32_t day, double seconds, double plays) {
  t.seconds += seconds;
  t.plays += plays;
  if (t.lastDay != day) {
    t.lastDay = day;
    ++t.days;
  }
}

}  // namespace

PeriodStats gatherStats(Period period, const std::vector<RecordedDay>& days, StatsWanted wanted,
                        Reporter& reporter) {
  PeriodStats stats;
  stats.period = period;
  Tallies songs, records;
  const bool perSong = wanted.songs || wanted.records || wanted.plays;
  for (const RecordedDay& d : days) {
    if (d.day < period.from || d.day > period.to) continue;
    auto seconds = readDictionary(musicTimePath(d.key), reporter);
    // A listed day whose seconds file is gone has lost its record: it is
    // not recorded (the app too finds no data for it), rather than a day
    // known to be silent. A damaged file still says the day was recorded.
    const bool recorded = seconds || ns::fileExistsAtPath(musicTimePath(d.key));
    double lost = 0;
    if (recorded) ++stats.recordedDays;
    double& daySeconds = recorded ? stats.daySeconds[d.day] : lost;
    std::optional<ns::PlistDictionary> plays, albums;
    if (wanted.plays) plays = readDictionary(musicNumberPath(d.key), reporter);
    if (wanted.records) albums = readDictionary(musicAlbumPath(d.key), reporter);

    // A day counts as heard for whatever has seconds or plays that day.
    auto add = [&](const std::optional<ns::PlistDictionary>& file, bool arePlays,
                   const std::string& path) {
      if (!file) return;
      size_t unusable = 0;
      for (auto& [key, value] : *file) {
        auto number = songNumber(key);
        const double v = counterValue(value);
        if (!number || !(v > 0)) {
          ++unusable;
          continue;
        }
        const double s = arePlays ? 0 : v, p = arePlays ? v : 0;
        daySeconds += s;
        if (!perSong) continue;
        if (wanted.songs) count(songs.song(*number), d.day, s, p);
        if (wanted.records) {
          const std::string* record = albums ? ns::stringForKey(*albums, key) : nullptr;
          count(records.labelled(record && !record->empty() ? *record : "(no record)"), d.day, s,
                p);
        }
        if (p > stats.mostRepeated.plays) stats.mostRepeated = {d.day, *number, p, {}};
      }
      if (unusable)
        reporter.skipped(path, std::to_string(unusable) +
                                   " entries that are not a song number with a positive count");
    };
    add(seconds, false, musicTimePath(d.key));
    add(plays, true, musicNumberPath(d.key));
  }

  stats.songs = songs.take();
  stats.records = records.take();
  if (!stats.songs.empty() || stats.mostRepeated.number >= 0) {
    auto titles = readDictionary(kIntMusicDataPath, reporter);
    auto title = [&](int32_t number) {
      const std::string* t = titles ? ns::stringForKey(*titles, std::to_string(number)) : nullptr;
      return t ? *t : "(untitled #" + std::to_string(number) + ")";
    };
    for (Tally& t : stats.songs) t.label = title(t.number);
    if (stats.mostRepeated.number >= 0) stats.mostRepeated.title = title(stats.mostRepeated.number);
  }
  return stats;
}

std::vector<Tally> ranked(std::vector<Tally> tallies, Measure by, size_t limit, double* total,
                          size_t* heard) {
  std::erase_if(tallies, [by](const Tally& t) { return !(t.value(by) > 0); });
  *total = 0;
  for (const Tally& t : tallies) *total += t.value(by);
  if (heard) *heard = tallies.size();
  const size_t shown = limit ? std::min(limit, tallies.size()) : tallies.size();
  auto better = [by](const Tally& a, const Tally& b) {
    if (a.value(by) != b.value(by)) return a.value(by) > b.value(by);
    if (a.label != b.label) return a.label < b.label;
    return a.number < b.number;
  };
  std::partial_sort(tallies.begin(), tallies.begin() + static_cast<ptrdiff_t>(shown), tallies.end(),
                    better);
  tallies.resize(shown);
  return tallies;
}

}  // namespace corvane::storetool
