// The diary as a table other tools read: one row per day and song, as CSV
// (RFC 4180) or as a JSON array of objects.
#include <cmath>
#include <cstring>
#include <map>
#include <nlohmann/json.hpp>

#include "Commands.h"
#include "CorvaneStore/StoreLayout.h"
#include "Foundation/TextValue.h"

namespace corvane::storetool {

namespace {

struct Row {
  double seconds = 0;
  double plays = 0;
  const std::string* record = nullptr;
};

// Fields holding a comma, a quote or a line break are quoted, quotes doubled.
// A text a spreadsheet would run as a formula (it starts with =, +, -, @, a
// tab or a carriage return) gets a leading ' and is quoted, so the cell
// shows the title instead of running it.
void csvField(std::string& line, const std::string& text) {
  const bool formula = !text.empty() && text[0] && std::strchr("=+-@\t\r", text[0]);
  if (!formula && text.find_first_of(",\"\r\n") == std::string::npos) {
    line += text;
    return;
  }
  line += formula ? "\"'" : "\"";
  for (char c : text) {
    if (c == '"') line += '"';
    line += c;
  }
  line += '"';
}

std::string csvNumber(double v) {
  return ns::stringWithFormat("%.15g", v);
}

// Whole counts stay integers in JSON; a hand-edited "61.5" stays 61.5.
nlohmann::ordered_json jsonNumber(double v) {
  if (v == std::floor(v) && std::fabs(v) < 9e15) return static_cast<int64_t>(v);
  return v;
}

nlohmann::ordered_json jsonText(const std::string* text) {
  return text ? nlohmann::ordered_json(*text) : nlohmann::ordered_json(nullptr);
}

}  // namespace

int exportDiary(Format format, Period period, const std::vector<RecordedDay>& days, std::FILE* out,
                Reporter& reporter) {
  auto titles = readDictionary(kIntMusicDataPath, reporter);
  bool first = true;
  if (format == Format::Csv)
    std::fputs("day,song,title,record,seconds,plays\r\n", out);
  else
    std::fputs("[", out);

  for (const RecordedDay& d : days) {
    if (d.day < period.from || d.day > period.to) continue;
    auto seconds = readDictionary(musicTimePath(d.key), reporter);
    auto plays = readDictionary(musicNumberPath(d.key), reporter);
    auto albums = readDictionary(musicAlbumPath(d.key), reporter);

    std::map<int32_t, Row> rows;  // by song number, as numbers sort
    auto collect = [&](const std::optional<ns::PlistDictionary>& file, double Row::*field,
                       const std::string& path) {
      if (!file) return;
      size_t unusable = 0;
      for (auto& [key, value] : *file) {
        auto number = songNumber(key);
        if (!number) {
          ++unusable;
          continue;
        }
        rows[*number].*field = counterValue(value);
      }
      if (unusable)
        reporter.skipped(path, std::to_string(unusable) + " entries that are not a song number");
    };
    collect(seconds, &Row::seconds, musicTimePath(d.key));
    collect(plays, &Row::plays, musicNumberPath(d.key));
    if (albums)
      for (auto& [number, row] : rows)
        row.record = ns::stringForKey(*albums, std::to_string(number));

    for (auto& [number, row] : rows) {
      const std::string song = std::to_string(number);
      const std::string* title = titles ? ns::stringForKey(*titles, song) : nullptr;
      if (format == Format::Csv) {
        std::string line = d.key + "," + song + ",";
        csvField(line, title ? *title : "");
        line += ',';
        csvField(line, row.record ? *row.record : "");
        line += "," + csvNumber(row.seconds) + "," + csvNumber(row.plays) + "\r\n";
        std::fwrite(line.data(), 1, line.size(), out);
      } else {
        nlohmann::ordered_json object = {{"day", d.key},
                                         {"song", number},
                                         {"title", jsonText(title)},
                                         {"record", jsonText(row.record)},
                                         {"seconds", jsonNumber(row.seconds)},
                                         {"plays", jsonNumber(row.plays)}};
        // The store's text is valid UTF-8; should a hand-edited file not be,
        // the export still completes.
        std::string text =
            object.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
        std::fputs(first ? "\n  " : ",\n  ", out);
        std::fwrite(text.data(), 1, text.size(), out);
      }
      first = false;
    }
  }
  if (format == Format::Json) std::fputs(first ? "]\n" : "\n]\n", out);
  return 0;
}

}  // namespace corvane::storetool
