// The ranking of a period: each song's (or record's) seconds or plays summed
// over the recorded days in the period.
#include <algorithm>
#include <cstring>
#include <string>

#include "Commands.h"
#include "CorvaneStore/StoreLayout.h"
#include "Foundation/TextValue.h"
#include "Stats.h"
#include "StoreTool.h"
#include "Table.h"
#include "core/DayRanking.h"
#include "core/Texts.h"

namespace corvane::storetool {

// The app's own rule, from the app's view-free core.
std::string valueText(double value, Measure measure) {
  return corvane::app::valueText(value, measure == Measure::Plays);
}

std::string shareText(double value, double total) {
  return corvane::app::percentText(
      std::clamp(corvane::app::sharePercent(value, total), 0.0, 100.0));
}

int printTop(const TopRequest& request, const std::vector<RecordedDay>& days, std::FILE* out,
             Reporter& reporter) {
  const bool songs = request.group == Group::Song;
  PeriodStats stats =
      gatherStats(request.period, days, {request.by == Measure::Plays, songs, !songs}, reporter);
  double total = 0;
  size_t heard = 0;
  std::vector<Tally> tallies = ranked(songs ? std::move(stats.songs) : std::move(stats.records),
                                      request.by, request.limit, &total, &heard);
  const int32_t recorded = stats.recordedDays;

  const char* things = request.group == Group::Song ? "songs" : "records";
  const char* measure = request.by == Measure::Time ? "time" : "plays";
  // "1 recorded day, 1 song heard" on a first day, not "1 recorded days".
  const std::string heardThings(things, std::strlen(things) - (heard == 1 ? 1 : 0));
  std::fprintf(out, "Top %s by %s, %s to %s: %d recorded day%s, %zu %s heard\n", things, measure,
               dayText(request.period.from).c_str(), dayText(request.period.to).c_str(), recorded,
               recorded == 1 ? "" : "s", heard, heardThings.c_str());
  if (tallies.empty()) {
    std::fprintf(out, "Nothing was played in this period.\n");
    return 0;
  }
  using Align = Table::Align;
  Table table({{"rank", Align::Right, 4},
               {measure, Align::Right, 10},
               {"share", Align::Right, 6},
               {"days", Align::Right, 4},
               {request.group == Group::Song ? "title" : "artist-album"}});
  for (size_t i = 0; i < tallies.size(); ++i) {
    const Tally& t = tallies[i];
    table.add({std::to_string(i + 1), valueText(t.value(request.by), request.by),
               shareText(t.value(request.by), total), std::to_string(t.days), t.label});
  }
  table.print(out);
  return 0;
}

}  // namespace corvane::storetool
