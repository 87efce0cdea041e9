// The ranking of a period: each song's (or record's) seconds or plays summed
// over the recorded days in the period.
#include <algorithm>
#include <string>
#include <unordered_map>

#include "Commands.h"
#include "CorvaneStore/StoreLayout.h"
#include "Foundation/TextValue.h"
#include "StoreTool.h"
#include "core/Texts.h"

namespace corvane::storetool {

// The app's own rule, from the app's view-free core.
std::string valueText(double value, Measure measure) {
  return corvane::app::valueText(value, measure == Measure::Plays);
}

namespace {

struct Tally {
  int32_t number = -1;  // the song's, when ranking songs
  std::string label;
  double value = 0;
  int32_t days = 0;
  int32_t lastDay = INT32_MIN;
};

// One line per row: line breaks and tabs in a title would break the table.
std::string oneLine(std::string text) {
  for (char& c : text)
    if (c == '\n' || c == '\r' || c == '\t') c = ' ';
  return text;
}

class Ranking {
 public:
  explicit Ranking(Group group) : group_(group) {}

  Tally& song(int32_t number, const ns::PlistDictionary* albums) {
    if (group_ == Group::Song) {
      auto [it, added] = bySong_.try_emplace(number, tallies_.size());
      if (added) tallies_.push_back(Tally{number, {}, 0, 0, INT32_MIN});
      return tallies_[it->second];
    }
    const std::string* record =
        albums ? ns::stringForKey(*albums, std::to_string(number)) : nullptr;
    std::string label = record ? *record : "(no record)";
    auto [it, added] = byRecord_.try_emplace(label, tallies_.size());
    if (added) tallies_.push_back(Tally{-1, std::move(label), 0, 0, INT32_MIN});
    return tallies_[it->second];
  }

  std::vector<Tally>& tallies() { return tallies_; }

 private:
  Group group_;
  std::vector<Tally> tallies_;
  std::unordered_map<int32_t, size_t> bySong_;
  std::unordered_map<std::string, size_t> byRecord_;
};

}  // namespace

int printTop(const TopRequest& request, const std::vector<RecordedDay>& days, std::FILE* out,
             Reporter& reporter) {
  Ranking ranking(request.group);
  int32_t recorded = 0;
  for (const RecordedDay& d : days) {
    if (d.day < request.period.from || d.day > request.period.to) continue;
    ++recorded;
    auto seconds = readDictionary(musicTimePath(d.key), reporter);
    std::optional<ns::PlistDictionary> plays, albums;
    if (request.by == Measure::Plays) plays = readDictionary(musicNumberPath(d.key), reporter);
    if (request.group == Group::Record) albums = readDictionary(musicAlbumPath(d.key), reporter);

    // A day counts as heard for whatever has seconds or plays that day.
    auto add = [&](const std::optional<ns::PlistDictionary>& file, bool counts,
                   const std::string& path) {
      if (!file) return;
      size_t unusable = 0;
      for (auto& [key, value] : *file) {
        auto number = songNumber(key);
        double v = leafAmount(value);
        if (!number || !(v > 0)) {
          ++unusable;
          continue;
        }
        Tally& t = ranking.song(*number, albums ? &*albums : nullptr);
        if (counts) t.value += v;
        if (t.lastDay != d.day) {
          t.lastDay = d.day;
          ++t.days;
        }
      }
      if (unusable)
        reporter.skipped(path, std::to_string(unusable) +
                                   " entries that are not a song number with a positive count");
    };
    add(seconds, request.by == Measure::Time, musicTimePath(d.key));
    add(plays, true, musicNumberPath(d.key));
  }

  std::vector<Tally>& tallies = ranking.tallies();
  std::erase_if(tallies, [](const Tally& t) { return !(t.value > 0); });
  if (request.group == Group::Song) {
    auto titles = readDictionary(kIntMusicDataPath, reporter);
    for (Tally& t : tallies) {
      const std::string* title =
          titles ? ns::stringForKey(*titles, std::to_string(t.number)) : nullptr;
      t.label = title ? *title : "(untitled #" + std::to_string(t.number) + ")";
    }
  }
  double total = 0;
  for (const Tally& t : tallies) total += t.value;
  const size_t shown = request.limit ? std::min(request.limit, tallies.size()) : tallies.size();
  auto better = [](const Tally& a, const Tally& b) {
    if (a.value != b.value) return a.value > b.value;
    if (a.label != b.label) return a.label < b.label;
    return a.number < b.number;
  };
  std::partial_sort(tallies.begin(), tallies.begin() + static_cast<ptrdiff_t>(shown), tallies.end(),
                    better);

  const char* things = request.group == Group::Song ? "songs" : "records";
  const char* measure = request.by == Measure::Time ? "time" : "plays";
  std::fprintf(out, "Top %s by %s, %s to %s: %d recorded days, %zu %s heard\n", things, measure,
               dayText(request.period.from).c_str(), dayText(request.period.to).c_str(), recorded,
               tallies.size(), things);
  if (tallies.empty()) {
    std::fprintf(out, "Nothing was played in this period.\n");
    return 0;
  }
  std::fprintf(out, "%4s  %10s  %6s  %4s  %s\n", "rank", measure, "share", "days",
               request.group == Group::Song ? "title" : "artist-album");
  for (size_t i = 0; i < shown; ++i) {
    const Tally& t = tallies[i];
    std::string share = ns::stringWithFormat("%0.1f%%", 100.0 * t.value / total);
    std::fprintf(out, "%4zu  %10s  %6s  %4d  %s\n", i + 1, valueText(t.value, request.by).c_str(),
                 share.c_str(), t.days, oneLine(t.label).c_str());
  }
  return 0;
}

}  // namespace corvane::storetool
