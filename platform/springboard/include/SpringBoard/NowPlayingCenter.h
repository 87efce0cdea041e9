// What the shell's now-playing controls show, in one process-wide center as
// the phone has one: the running source sets it, the controls read it and
// are told of every change.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace springboard {

struct NowPlayingState {
  std::optional<std::string> title;
  std::optional<std::string> album;
  std::optional<std::string> artist;
  float position = 0;
  bool playing = false;
  bool operator==(const NowPlayingState&) const = default;
};

class NowPlayingCenter {
 public:
  static NowPlayingCenter& shared();

  // Shows a state now and tells every observer, changed or not.
  void set(const NowPlayingState& state);
  // Back to nothing playing.
  void reset() { set(NowPlayingState{}); }

  const NowPlayingState& current() const { return current_; }

  using Observer = std::function<void(const NowPlayingState&)>;
  int addObserver(Observer observer);
  void removeObserver(int token);

 private:
  NowPlayingCenter() = default;

  NowPlayingState current_;
  std::vector<std::pair<int, Observer>> observers_;
  int nextToken_ = 1;
};

}  // namespace springboard
