// What the period commands take from the store, gathered in one pass over
// the period's recorded days: each day's seconds, and the songs' and
// records' seconds, plays and days heard.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "Commands.h"

namespace corvane::storetool {

struct Tally {
  int32_t number = -1;  // the song's, when ranking songs
  std::string label;
  double seconds = 0;
  double plays = 0;
  int32_t days = 0;
  int32_t lastDay = INT32_MIN;

  double value(Measure by) const { return by == Measure::Time ? seconds : plays; }
};

// What to read beyond the days' seconds.
struct StatsWanted {
  bool plays = false;
  bool songs = false;
  bool records = false;
};

struct PeriodStats {
  Period period{0, -1};
  int32_t recordedDays = 0;
  std::map<int32_t, double> daySeconds;  // every recorded day of the period
  std::vector<Tally> songs;              // labelled with their titles
  std::vector<Tally> records;            // labelled with their artist-album text
  // The most plays one song had on one day.
  struct Repeat {
    int32_t day = 0;
    int32_t number = -1;
    double plays = 0;
    std::string title;
  } mostRepeated;
};

PeriodStats gatherStats(Period period, const std::vector<RecordedDay>& days, StatsWanted wanted,
                        Reporter& reporter);

// The tallies with a positive value, best first (ties by label, then number),
// at most limit of them (0: all); total gets the sum of every positive value.
std::vector<Tally> ranked(std::vector<Tally> tallies, Measure by, size_t limit, double* total,
                          size_t* heard = nullptr);

}  // namespace corvane::storetool
