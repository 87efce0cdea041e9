// The scripted now-playing source (--feed FILE): a JSON Lines file, one
// state a line:
//
//   {"at": 12.5, "title": "T", "album": "A", "artist": "R", "position": 3.0, "playing": true}
//
// "at" (required) is seconds since the shell started, not decreasing from
// line to line; a state holds from its "at" until the next line's. A missing
// or null text is absent; "position" (a number, not negative) defaults to 0
// and "playing" (true or false) to false. Blank lines are skipped. Any other
// key, a wrong type or a line that is not one JSON object makes the whole
// feed unreadable, with a message naming the line. Before the first line
// nothing is playing.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "Foundation/RunLoop.h"
#include "SpringBoard/NowPlayingCenter.h"
#include "SpringBoard/NowPlayingSource.h"

namespace springboard {

struct FeedEntry {
  double at = 0;
  NowPlayingState state;
};

// Parses a feed's text; on failure gives nullopt and *error is
// "NAME:LINE: what is wrong" (name: the file name for messages).
std::optional<std::vector<FeedEntry>> parseFeed(const std::string& text, const std::string& name,
                                                std::string* error);
// Reads and parses a feed file (host path).
std::optional<std::vector<FeedEntry>> loadFeedFile(const std::string& hostPath, std::string* error);

// Plays a feed on the main run loop's clock.
class FeedSource : public NowPlayingSource {
 public:
  explicit FeedSource(std::vector<FeedEntry> entries) : entries_(std::move(entries)) {}
  ~FeedSource() override { stop(); }
  FeedSource(const FeedSource&) = delete;
  FeedSource& operator=(const FeedSource&) = delete;

  // Plays the feed from nothing playing, "at" 0 being the clock's time now.
  // Every change is scheduled now, so at a time where a change and a timer
  // are both due the change comes first and a reader at that time sees the
  // new state.
  bool start(std::string* error) override;
  void stop() override;

  // --feed FILE; the file is read when the source is made.
  static NowPlayingSourceKind kind();

 private:
  std::vector<FeedEntry> entries_;
  std::vector<ns::RunLoop::TaskId> scheduled_;
  bool started_ = false;
};

}  // namespace springboard
