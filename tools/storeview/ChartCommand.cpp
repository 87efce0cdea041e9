// `chart`: gathers the period as `top` does and writes the picture to the
// named file, PNG or SVG by its extension.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "Charts.h"
#include "Commands.h"
#include "StoreTool.h"

namespace corvane::storetool {

namespace {

// Beside the target, renamed over it once whole, so a failed write never
// leaves half a picture under the name asked for.
bool writeWhole(const std::string& path, const std::string& bytes, std::FILE* err) {
  const std::string temporary = path + ".part";
  std::FILE* f = std::fopen(temporary.c_str(), "wb");
  bool ok = f && std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  int error = errno;
  if (f && std::fclose(f) != 0 && ok) ok = false, error = errno;
  if (ok && std::rename(temporary.c_str(), path.c_str()) != 0) ok = false, error = errno;
  if (!ok) {
    if (f) std::remove(temporary.c_str());
    std::fprintf(err, "corvane-store: cannot write %s: %s\n", path.c_str(), std::strerror(error));
  }
  return ok;
}

}  // namespace

int writeChart(const ChartRequest& request, const std::vector<RecordedDay>& days, std::FILE* err,
               Reporter& reporter) {
  const ImageFormat format = request.svg ? ImageFormat::Svg : ImageFormat::Png;
  std::string bytes;
  if (request.kind == ChartKind::Top) {
    const TopRequest& top = request.top;
    const bool songs = top.group == Group::Song;
    PeriodStats stats =
        gatherStats(top.period, days, {top.by == Measure::Plays, songs, !songs}, reporter);
    TopChart chart;
    chart.period = top.period;
    chart.by = top.by;
    chart.group = top.group;
    chart.recordedDays = stats.recordedDays;
    chart.rows = ranked(songs ? std::move(stats.songs) : std::move(stats.records), top.by,
                        top.limit, &chart.total, &chart.heard);
    bytes = drawTop(chart, format, request.scale);
  } else if (request.kind == ChartKind::Calendar) {
    PeriodStats stats = gatherStats(yearPeriod(request.year), days, {}, reporter);
    bytes = drawCalendar(stats, request.year, format, request.scale);
  } else {
    PeriodStats stats = gatherStats(request.top.period, days, {}, reporter);
    bytes = drawDaily(stats, format, request.scale);
  }
  return writeWhole(request.out, bytes, err) ? 0 : 1;
}

}  // namespace corvane::storetool
