#include "SpringBoard/NowPlayingCenter.h"

#include <algorithm>

namespace springboard {

NowPlayingCenter& NowPlayingCenter::shared() {
  // Never destroyed: a controller may still be registered at exit.
  static auto* center = new NowPlayingCenter;
  return *center;
}

int NowPlayingCenter::addObserver(Observer observer) {
  observers_.emplace_back(nextToken_, std::move(observer));
  return nextToken_++;
}

void NowPlayingCenter::removeObserver(int token) {
  std::erase_if(observers_, [token](const auto& o) { return o.first == token; });
}

void NowPlayingCenter::set(const NowPlayingState& state) {
  current_ = state;
  // A copy: an observer may add or remove observers while being told; one
  // removed meanwhile is not told.
  auto observers = observers_;
  for (auto& [token, observer] : observers) {
    bool stillThere = std::any_of(observers_.begin(), observers_.end(),
                                  [t = token](const auto& o) { return o.first == t; });
    if (stillThere) observer(current_);
  }
}

}  // namespace springboard
