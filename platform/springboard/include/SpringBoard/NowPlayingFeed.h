// What the shell's now-playing controls show comes from a source. The
// scripted source is a JSON Lines file, one state a line:
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

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "Foundation/RunLoop.h"

namespace springboard {

struct NowPlayingState {
  std::optional<std::string> title;
  std::optional<std::string> album;
  std::optional<std::string> artist;
  float position = 0;
  bool playing = false;
  bool operator==(const NowPlayingState&) const = default;
};

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

// The shell's one now-playing source: plays a feed on the main run loop's
// clock and tells its observers of every change.
class NowPlayingSource {
 public:
  static NowPlayingSource& shared();

  // Starts the feed with "at" 0 at the clock time origin. Every change is
  // scheduled now, so at a time where a change and a timer are both due the
  // change comes first and a reader at that time sees the new state.
  void play(std::vector<FeedEntry> entries, double origin);
  // Back to nothing playing and no feed (tests).
  void reset();
  // Shows a state now: for a source that follows live players.
  void set(const NowPlayingState& state) { apply(state); }

  const NowPlayingState& current() const { return current_; }

  using Observer = std::function<void(const NowPlayingState&)>;
  int addObserver(Observer observer);
  void removeObserver(int token);

 private:
  NowPlayingSource() = default;
  void apply(const NowPlayingState& state);

  NowPlayingState current_;
  std::vector<std::pair<int, Observer>> observers_;
  std::vector<ns::RunLoop::TaskId> scheduled_;
  int nextToken_ = 1;
};

}  // namespace springboard
