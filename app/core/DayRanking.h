// Ranking one day's songs: plain values in, plain values out, no views.
//
// A ranking entry is "%@:%@" of a song number and its value text exactly as
// stored; entries are ordered by the integer part of the value, largest
// first (its counterCount), while the day's total and the shares use the
// full decimal values (its counterAmount).
#pragma once

#include <string>
#include <vector>

#include "StoreReader.h"

namespace corvane::app {

std::string rankingEntry(const std::string& number, const std::string& valueText);

struct EntryParts {
  std::string number;
  std::string value;
};
// Splits an entry at its first ":".
EntryParts splitEntry(const std::string& entry);

// The ordering: true when a's integer value is larger than b's. Never true
// both ways, so entries with equal integer parts keep the order they were
// built in (the file's key order).
bool ranksBefore(const std::string& a, const std::string& b);

// A value text read as a number for totals and shares: its counterAmount
// (CorvaneStore/StoreFormat.h), so no share can turn negative, exceed the
// day or become "nan".
double valueOf(const std::string& valueText);

struct DayRanking {
  std::vector<std::string> entries;  // best first
  double total = 0;                  // sum of every value
};
DayRanking rankDay(const DayValues& values);

// The top song's share of the day, as the day's card shows it.
struct TopShare {
  double angle = 0;  // radians of the ring's arc, 0 to 2 pi
  int percent = 0;   // whole percent, truncated, 0 to 100
  std::string number;
  bool hasTop = false;  // false for an empty ranking
};
TopShare topShare(const DayRanking& ranking);

// A song's share of the day in percent, not rounded; 0 when the day's total
// is 0 (a day of zeros has no shares).
double sharePercent(double value, double total);

}  // namespace corvane::app
