#include "DayRanking.h"

#include <algorithm>
#include <cmath>

#include "CorvaneStore/StoreFormat.h"

namespace corvane::app {

std::string rankingEntry(const std::string& number, const std::string& valueText) {
  return number + ":" + valueText;
}

EntryParts splitEntry(const std::string& entry) {
  size_t colon = entry.find(':');
  if (colon == std::string::npos) return {entry, ""};
  return {entry.substr(0, colon), entry.substr(colon + 1)};
}

namespace {
int32_t integerPart(const std::string& entry) {
  size_t colon = entry.find(':');
  return colon == std::string::npos ? 0 : counterCount(std::string_view(entry).substr(colon + 1));
}
}  // namespace

bool ranksBefore(const std::string& a, const std::string& b) {
  return integerPart(a) > integerPart(b);
}

double valueOf(const std::string& valueText) {
  return counterAmount(valueText);
}

DayRanking rankDay(const DayValues& values) {
  DayRanking ranking;
  ranking.entries.reserve(values.size());
  for (auto& [number, text] : values) {
    ranking.entries.push_back(rankingEntry(number, text));
    ranking.total += valueOf(text);
  }
  std::stable_sort(ranking.entries.begin(), ranking.entries.end(), ranksBefore);
  return ranking;
}

TopShare topShare(const DayRanking& ranking) {
  TopShare top;
  if (ranking.entries.empty()) return top;
  EntryParts first = splitEntry(ranking.entries.front());
  top.hasTop = true;
  top.number = first.number;
  double s = ranking.total > 0 ? valueOf(first.value) / ranking.total : 0;
  s = std::clamp(s, 0.0, 1.0);
  top.angle = s * 6.283185307179586;
  top.percent = static_cast<int>(s * 100.0);
  return top;
}

double sharePercent(double value, double total) {
  if (!(total > 0)) return 0;
  return value / total * 100.0;
}

}  // namespace corvane::app
