#include <gtest/gtest.h>

#include <string>

#include "SpringBoard/NowPlayingFeed.h"
#include "TestSupport.h"

namespace {

using springboard::FeedEntry;
using springboard::NowPlayingCenter;
using springboard::NowPlayingState;
using springboard::parseFeed;

TEST(NowPlayingFeed, ReadsStatesWithDefaultsAndAbsentTexts) {
  std::string error;
  auto feed = parseFeed(
      "{\"at\": 0, \"title\": \"T\", \"album\": \"A\", \"artist\": \"R\", \"position\": 1.5, "
      "\"playing\": true}\r\n"
      "\n"
      "  \n"
      "{\"at\": 2.5, \"title\": \"U\", \"album\": null}\n",
      "feed", &error);
  ASSERT_TRUE(feed) << error;
  ASSERT_EQ(feed->size(), 2u);
  EXPECT_EQ((*feed)[0].state, (NowPlayingState{"T", "A", "R", 1.5f, true}));
  EXPECT_EQ((*feed)[1].at, 2.5);
  EXPECT_EQ((*feed)[1].state, (NowPlayingState{"U", std::nullopt, std::nullopt, 0, false}));
}

TEST(NowPlayingFeed, AnUnreadableLineIsNamed) {
  const std::string good = "{\"at\": 1, \"title\": \"T\"}\n";
  const std::pair<std::string, std::string> cases[] = {
      {"{\"at\": 1, \"title\": \"T\"", "feed.jsonl:3: not valid JSON"},
      {"[1, 2]", "feed.jsonl:3: not a JSON object"},
      {"{\"title\": \"T\"}", "feed.jsonl:3: \"at\" is missing"},
      {"{\"at\": -1}", "feed.jsonl:3: \"at\" must be a number of seconds, not negative"},
      {"{\"at\": 0.5}", "feed.jsonl:3: \"at\" goes back in time"},
      {"{\"at\": 2, \"title\": 7}", "feed.jsonl:3: \"title\" must be a string or null"},
      {"{\"at\": 2, \"position\": \"3\"}",
       "feed.jsonl:3: \"position\" must be a number of seconds, not negative"},
      {"{\"at\": 2, \"playing\": 1}", "feed.jsonl:3: \"playing\" must be true or false"},
      {"{\"at\": 2, \"postion\": 1}", "feed.jsonl:3: unknown key \"postion\""},
  };
  for (const auto& [line, message] : cases) {
    std::string error;
    EXPECT_FALSE(parseFeed(good + "\n" + line + "\n" + good, "feed.jsonl", &error)) << line;
    EXPECT_EQ(error, message);
  }
}

TEST(FeedSource, PlaysTheFeedOnTheClockAheadOfTimersDueAtTheSameTimeUntilStopped) {
  testsupport::VirtualClock clock;
  NowPlayingCenter& center = NowPlayingCenter::shared();
  double origin = ns::RunLoop::main().now();
  std::vector<std::string> told;
  int token = center.addObserver(
      [&](const NowPlayingState& state) { told.push_back(state.title.value_or("-")); });
  springboard::FeedSource source({FeedEntry{0, {"T", {}, {}, 1, true}},
                                  FeedEntry{2, {"U", {}, {}, 1, true}},
                                  FeedEntry{5, {"V", {}, {}, 1, true}}});
  ASSERT_TRUE(source.start(nullptr));
  EXPECT_EQ(center.current().title, "T");
  // A reader due at the time of a change, scheduled after the feed started
  // (as every timer of the shell is), sees the new state.
  std::optional<std::string> seenAtTwo;
  ns::RunLoop::main().schedule(origin + 2, [&] { seenAtTwo = center.current().title; });
  clock.advance(2);
  EXPECT_EQ(seenAtTwo, "U");
  // Stopped, what it has not played yet never comes.
  source.stop();
  EXPECT_EQ(center.current(), NowPlayingState{});
  clock.advance(5);
  source.stop();
  EXPECT_EQ(told, (std::vector<std::string>{"-", "T", "U", "-"}));
  center.removeObserver(token);
}

}  // namespace
