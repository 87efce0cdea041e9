#include "SpringBoard/DesktopPlayers.h"
#include "SpringBoard/NowPlayingFeed.h"
#include "SpringBoard/NowPlayingSource.h"

namespace springboard {

namespace {

// A deque: a kind found stays where it is when a test adds one.
std::deque<NowPlayingSourceKind>& kinds() {
  // One line a source.
  static auto* list = new std::deque<NowPlayingSourceKind>{
      FeedSource::kind(),
      DesktopPlayers::kind(),
  };
  return *list;
}

}  // namespace

const std::deque<NowPlayingSourceKind>& nowPlayingSourceKinds() {
  return kinds();
}

const NowPlayingSourceKind* findNowPlayingSourceKind(const std::string& option) {
  for (const NowPlayingSourceKind& kind : kinds())
    if (kind.option == option) return &kind;
  return nullptr;
}

bool addNowPlayingSourceKind(NowPlayingSourceKind kind) {
  if (kind.option.empty() || findNowPlayingSourceKind(kind.option)) return false;
  kinds().push_back(std::move(kind));
  return true;
}

}  // namespace springboard
