#include "SpringBoard/NowPlayingFeed.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <limits>
#include <nlohmann/json.hpp>
#include <sstream>

#include "Foundation/TextValue.h"

namespace springboard {

namespace {

using nlohmann::json;

constexpr std::streamsize kMaxFeedBytes = 64 << 20;

// Reads one line's object into *entry; gives the reason it cannot.
std::string readEntry(const std::string& line, FeedEntry* entry) {
  json object = json::parse(line, nullptr, /*allow_exceptions=*/false);
  if (object.is_discarded()) return "not valid JSON";
  if (!object.is_object()) return "not a JSON object";
  bool hasAt = false;
  for (auto& [key, value] : object.items()) {
    if (key == "at") {
      if (!value.is_number() || !std::isfinite(value.get<double>()) || value.get<double>() < 0)
        return "\"at\" must be a number of seconds, not negative";
      entry->at = value.get<double>();
      hasAt = true;
    } else if (key == "title" || key == "album" || key == "artist") {
      std::optional<std::string>& text = key == "title"   ? entry->state.title
                                         : key == "album" ? entry->state.album
                                                          : entry->state.artist;
      if (value.is_null()) continue;
      if (!value.is_string()) return "\"" + key + "\" must be a string or null";
      text = value.get<std::string>();
    } else if (key == "position") {
      if (!value.is_number() || !std::isfinite(value.get<double>()) || value.get<double>() < 0 ||
          value.get<double>() > std::numeric_limits<float>::max())
        return "\"position\" must be a number of seconds, not negative";
      entry->state.position = static_cast<float>(value.get<double>());
    } else if (key == "playing") {
      if (!value.is_boolean()) return "\"playing\" must be true or false";
      entry->state.playing = value.get<bool>();
    } else {
      return "unknown key \"" + key + "\"";
    }
  }
  if (!hasAt) return "\"at\" is missing";
  return "";
}

}  // namespace

std::optional<std::vector<FeedEntry>> parseFeed(const std::string& text, const std::string& name,
                                                std::string* error) {
  std::vector<FeedEntry> entries;
  std::istringstream in(text);
  std::string line;
  for (int number = 1; std::getline(in, line); ++number) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.find_first_not_of(" \t") == std::string::npos) continue;
    FeedEntry entry;
    std::string problem = readEntry(line, &entry);
    if (problem.empty() && !entries.empty() && entry.at < entries.back().at)
      problem = "\"at\" goes back in time";
    if (!problem.empty()) {
      if (error) *error = ns::stringWithFormat("%s:%d: %s", name.c_str(), number, problem.c_str());
      return std::nullopt;
    }
    entries.push_back(std::move(entry));
  }
  return entries;
}

std::optional<std::vector<FeedEntry>> loadFeedFile(const std::string& hostPath,
                                                   std::string* error) {
  std::ifstream in(hostPath, std::ios::binary);
  if (!in) {
    if (error) *error = hostPath + ": cannot be read";
    return std::nullopt;
  }
  // Read as it comes, never more than the limit: a buffer of the limit's
  // size would be the shell's largest memory for a feed of a few lines.
  std::string text;
  char chunk[64 * 1024];
  while (in.read(chunk, sizeof chunk) || in.gcount() > 0) {
    text.append(chunk, static_cast<size_t>(in.gcount()));
    if (static_cast<std::streamsize>(text.size()) > kMaxFeedBytes) {
      if (error) *error = hostPath + ": too large for a feed";
      return std::nullopt;
    }
  }
  return parseFeed(text, hostPath, error);
}

bool FeedSource::start(std::string*) {
  stop();
  started_ = true;
  NowPlayingCenter& center = NowPlayingCenter::shared();
  center.reset();
  ns::RunLoop& loop = ns::RunLoop::main();
  const double origin = loop.now();
  for (const FeedEntry& entry : entries_) {
    double when = origin + entry.at;
    if (when <= loop.now()) {
      center.set(entry.state);
      continue;
    }
    scheduled_.push_back(
        loop.schedule(when, [&center, &state = entry.state] { center.set(state); }));
  }
  return true;
}

void FeedSource::stop() {
  if (!started_) return;
  started_ = false;
  for (ns::RunLoop::TaskId task : scheduled_) ns::RunLoop::main().cancel(task);
  scheduled_.clear();
  NowPlayingCenter::shared().reset();
}

NowPlayingSourceKind FeedSource::kind() {
  NowPlayingSourceKind kind;
  kind.option = "--feed";
  kind.valueName = "FILE";
  kind.synopsis = "--feed FILE";
  kind.help = "  --feed FILE     play a JSON Lines now-playing feed (one state a line)\n";
  kind.make = [](const NowPlayingSourceOptions& options,
                 std::string* error) -> std::unique_ptr<NowPlayingSource> {
    auto entries = loadFeedFile(options.value, error);
    if (!entries) return nullptr;
    return std::make_unique<FeedSource>(std::move(*entries));
  };
  return kind;
}

}  // namespace springboard
