// What the controls show of a player, without a bus: the position rules the
// recorder relies on, the choice among players and the cleaning of texts.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "SpringBoard/DesktopPlayers.h"

using springboard::PlaybackStatus;
using springboard::PlayerModel;

namespace {

PlayerModel playing(double position, double at = 100, std::optional<double> length = 60) {
  PlayerModel p;
  p.title = "T";
  p.length = length;
  p.setStatus(PlaybackStatus::Playing, at, 1);
  p.setPosition(position, at);
  return p;
}

TEST(PlayerModel, ThePositionShowsWholeSecondsFromExactlyZeroToTheEnd) {
  // Just after a seek to the start mpv reports a little below 0.
  PlayerModel p = playing(-0.16);
  EXPECT_EQ(springboard::shownPosition(p, 100), 0.0f);
  EXPECT_EQ(springboard::shownPosition(p, 101.1), 0.0f);  // 0.94 s in
  EXPECT_EQ(springboard::shownPosition(p, 101.2), 1.0f);
  // The next change is when the position reaches 1 s, not a poll later.
  EXPECT_NEAR(springboard::nextShownChange(p, 100), 101.16, 0.01);

  // Past the end shows the end, and nothing changes any more.
  PlayerModel late = playing(75);
  EXPECT_EQ(springboard::shownPosition(late, 100), 60.0f);
  EXPECT_TRUE(std::isinf(springboard::nextShownChange(late, 100)));
  // Without a length the position runs on; a rate moves it faster.
  PlayerModel open = playing(75, 100, std::nullopt);
  open.rate = 2;
  EXPECT_EQ(springboard::shownPosition(open, 101), 77.0f);

  // Paused: the position stands and no change is planned.
  p.setStatus(PlaybackStatus::Paused, 105.5, 2);
  EXPECT_EQ(springboard::shownPosition(p, 200), 5.0f);
  EXPECT_TRUE(std::isinf(springboard::nextShownChange(p, 200)));
  auto state = springboard::shownState(&p, 200);
  EXPECT_FALSE(state.playing);
  EXPECT_EQ(state.title, "T");
  EXPECT_EQ(springboard::shownState(nullptr, 200), springboard::NowPlayingState{});
}

TEST(PlayerModel, APlayerWhosePositionNeverMovesIsTimedByTheClock) {
  PlayerModel live = playing(0);
  live.takePositionReport(3, 103);
  live.takePositionReport(7.5, 107);  // moved: taken
  EXPECT_EQ(springboard::shownPosition(live, 107), 7.0f);

  PlayerModel stuck = playing(0);
  stuck.takePositionReport(0, 100.2);
  stuck.takePositionReport(0, 105);  // 5 s played, still 0: not live
  EXPECT_EQ(springboard::shownPosition(stuck, 105), 4.0f);
  stuck.takePositionReport(0, 110);  // would look like a restart: ignored
  EXPECT_EQ(springboard::shownPosition(stuck, 110), 9.0f);
  // A seek it signals still counts.
  stuck.setPosition(0, 111);
  EXPECT_EQ(springboard::shownPosition(stuck, 111.5), 0.0f);
}

TEST(PlayerModel, TheControlsFollowThePlayerThatStartedPlayingLast) {
  PlayerModel a, b, c;
  a.appeared = 1;
  b.appeared = 2;
  c.appeared = 3;
  std::vector<const PlayerModel*> all = {&a, &b, &c};
  EXPECT_EQ(springboard::choosePlayer({}), std::nullopt);
  EXPECT_EQ(springboard::choosePlayer(all), 0u);  // none ever played: the first found

  a.setStatus(PlaybackStatus::Playing, 0, 10);
  b.setStatus(PlaybackStatus::Playing, 0, 11);
  EXPECT_EQ(springboard::choosePlayer(all), 1u);
  // The newer one pauses while the older plays on: the one heard wins.
  b.setStatus(PlaybackStatus::Paused, 0, 12);
  EXPECT_EQ(springboard::choosePlayer(all), 0u);
  // Nothing plays: the one that played last stays shown.
  a.setStatus(PlaybackStatus::Stopped, 0, 13);
  b.setStatus(PlaybackStatus::Playing, 0, 14);
  b.setStatus(PlaybackStatus::Paused, 0, 15);
  EXPECT_EQ(springboard::choosePlayer(all), 1u);
}

TEST(PlayerModel, TextsLoseControlCharactersAndLengthButNotTheirCharacters) {
  EXPECT_EQ(springboard::cleanPlayerText("Song\tTitle\n"), "Song Title");
  EXPECT_EQ(springboard::cleanPlayerText("A\x01"
                                         "B\x7f"
                                         "C\xc2\x85"
                                         "D"),
            "A B C D");
  EXPECT_EQ(springboard::cleanPlayerText("Caf\xc3\xa9 \xf0\x9f\x8e\xb5"),
            "Caf\xc3\xa9 \xf0\x9f\x8e\xb5");
  EXPECT_EQ(springboard::cleanPlayerText(" \n\x02 "), std::nullopt);
  EXPECT_EQ(springboard::cleanPlayerText(""), std::nullopt);

  std::string huge(1 << 20, 'x');
  EXPECT_EQ(springboard::cleanPlayerText(huge)->size(), springboard::kMaxTextUnits);
  // Cut before a character, never inside one.
  std::string accents;
  for (int i = 0; i < 300; ++i) accents += "\xc3\xa9";
  EXPECT_EQ(*springboard::cleanPlayerText(accents),
            accents.substr(0, 2 * springboard::kMaxTextUnits));
}

}  // namespace
