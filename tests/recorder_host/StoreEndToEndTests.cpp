// The real shell, run on the virtual clock from a device root the installer
// laid out, with the installed tweak and a scripted feed: what the store
// holds afterwards.
//
// Timeline of every run: the shell starts at 0; the media section loads at
// once, its now-playing view is laid out on the next run-loop turn, the
// start-up poll sees it at 1.0 and starts the timers, so sampling ticks come
// at 2.0, 3.0, ... and replay checks at 1.3, 1.6, ... Feed lines sit at
// half seconds so no change coincides with a tick.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "CorvaneStore/StoreLayout.h"
#include "Foundation/PropertyList.h"
#include "HostTestSupport.h"
#include "TestSupport.h"

namespace {

namespace fs = std::filesystem;

std::string state(double at, const char* title, double position, bool playing,
                  const char* album = "Alb") {
  char line[512];
  std::snprintf(line, sizeof line,
                "{\"at\": %.1f, \"title\": \"%s\", \"album\": %s, \"artist\": \"Art\", "
                "\"position\": %.1f, \"playing\": %s}\n",
                at, title, album ? ("\"" + std::string(album) + "\"").c_str() : "null", position,
                playing ? "true" : "false");
  return line;
}

ns::PlistDictionary dayFile(const std::string& day, const std::string& file) {
  return ns::dictionaryWithContentsOfFile(corvane::dayFilePath(day, file.c_str()))
      .value_or(ns::PlistDictionary{{"unreadable", "yes"}});
}

class StoreEndToEnd : public testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(device.installed) << device.installOutput; }
  void run(const std::string& feed, double seconds, const char* start = "2015-03-05T12:00:00") {
    int status = -1;
    output = device.runShell(feed, start, seconds, &status);
    ASSERT_EQ(status, 0) << output;
  }
  hosttest::InstalledDevice device;
  std::string output;
};

TEST_F(StoreEndToEnd, ANewTitlePlayingForTenTicksIsCountedOnceWithTenSeconds) {
  // Playing through the ticks at 2 .. 11, then paused.
  run(state(1.5, "Song T", 42, true) + state(11.5, "Song T", 52, false), 30);

  // Read back as the desktop reads property lists.
  int status = -1;
  std::string store = testsupport::storeReadByPlistlib(device.root.path(), "2015-03-05", &status);
  ASSERT_EQ(status, 0) << store;
  EXPECT_EQ(store,
            "{\"DateArray\": [\"2015-03-05\"], \"IntMusicData\": {\"0\": \"Song T\"}, "
            "\"MusicAlbum\": {\"0\": \"Art-Alb\"}, \"MusicIntData\": {\"Song T\": \"0\"}, "
            "\"MusicNumber\": {\"0\": \"1\"}, \"MusicTime\": {\"0\": \"10\"}, "
            "\"SaveData\": {\"MusicNumber\": \"1\"}}\n");
}

TEST_F(StoreEndToEnd, AnInterruptionDelaysTheCount) {
  // Ticks 2, 3: T; 4: U; 5 .. 8: T; then paused.
  run(state(1.5, "T", 10, true) + state(3.5, "U", 10, true) + state(4.5, "T", 10, true) +
          state(8.5, "T", 10, false),
      20);
  EXPECT_EQ(dayFile("2015-03-05", "MusicTime.plist"),
            (ns::PlistDictionary{{"0", "6"}, {"1", "1"}}));
  EXPECT_EQ(dayFile("2015-03-05", "MusicNumber.plist"), (ns::PlistDictionary{{"0", "1"}}));
}

TEST_F(StoreEndToEnd, AReplayAtPositionZeroCountsAgain) {
  // Five ticks of T (2 .. 6), back to the start at 6.5 where the replay
  // check at 6.7 sees it, five more ticks (7 .. 11).
  run(state(1.5, "T", 10, true) + state(6.5, "T", 0, true) + state(6.8, "T", 0.3, true) +
          state(11.5, "T", 5, false),
      20);
  EXPECT_EQ(dayFile("2015-03-05", "MusicTime.plist"), (ns::PlistDictionary{{"0", "10"}}));
  EXPECT_EQ(dayFile("2015-03-05", "MusicNumber.plist"), (ns::PlistDictionary{{"0", "2"}}));
}

TEST_F(StoreEndToEnd, AStreamIsNotRecordedButTheDayIs) {
  run(state(1.5, "http://radio.example/live", 10, true, nullptr), 10);
  EXPECT_EQ(ns::dictionaryWithContentsOfFile(corvane::kMusicIntDataPath), ns::PlistDictionary{});
  EXPECT_EQ(ns::arrayWithContentsOfFile(corvane::kDateArrayPath), (ns::PlistArray{"2015-03-05"}));
  EXPECT_EQ(dayFile("2015-03-05", "MusicTime.plist"), ns::PlistDictionary{});
  EXPECT_EQ(dayFile("2015-03-05", "MusicAlbum.plist"), ns::PlistDictionary{});
}

TEST_F(StoreEndToEnd, ADayCrossingMidnightStartsANewDayFolder) {
  // Ticks at 23:59:52 .. 23:59:59 and 00:00:00 .. 00:00:09.
  run(state(0.5, "T", 10, true), 20, "2015-03-05T23:59:50");
  EXPECT_EQ(ns::arrayWithContentsOfFile(corvane::kDateArrayPath),
            (ns::PlistArray{"2015-03-05", "2015-03-06"}));
  EXPECT_EQ(dayFile("2015-03-05", "MusicTime.plist"), (ns::PlistDictionary{{"0", "8"}}));
  EXPECT_EQ(dayFile("2015-03-05", "MusicNumber.plist"), (ns::PlistDictionary{{"0", "1"}}));
  // The slots survive midnight: the play counted yesterday is not counted again.
  EXPECT_EQ(dayFile("2015-03-06", "MusicTime.plist"), (ns::PlistDictionary{{"0", "10"}}));
  EXPECT_EQ(dayFile("2015-03-06", "MusicNumber.plist"), ns::PlistDictionary{});
  EXPECT_EQ(dayFile("2015-03-06", "MusicAlbum.plist"), (ns::PlistDictionary{{"0", "Art-Alb"}}));
}

TEST_F(StoreEndToEnd, AMissingStoreFolderAlertsOnceAndCreatesNothing) {
  fs::remove_all(device.root.host(corvane::kStoreRoot));
  std::string script = "wait 5\ndump " + device.root.host("/first.json") +
                       "\nalert dismiss\nwait 10\ndump " + device.root.host("/later.json") +
                       "\nquit\n";
  testsupport::writeHostFile(device.root.host("/script.txt"), script);
  int status = -1;
  output = device.runShell(state(0.5, "T", 10, true), "2015-03-05T12:00:00", 30, &status,
                           "CORVANE_AUTOMATION=" + device.root.host("/script.txt"));
  ASSERT_EQ(status, 0) << output;
  std::string first = testsupport::readHostFile(device.root.host("/first.json"));
  // One alert, and after it is dismissed no second one: sampling rests.
  EXPECT_EQ(first.substr(std::min(first.find("\"alerts\""), first.size())),
            "\"alerts\": [\n  {\"title\": \"Corvane Error\", \"message\": \"Reinstail in Cydia\", "
            "\"button\": \"Okay\", \"visible\": true}\n ]}\n");
  EXPECT_NE(testsupport::readHostFile(device.root.host("/later.json")).find("\"alerts\": []"),
            std::string::npos);
  EXPECT_FALSE(fs::exists(device.root.host(corvane::kStoreRoot)));
}

}  // namespace

TEST_F(StoreEndToEnd, TemporaryFilesOfAnInterruptedWriteAreRemovedAtStart) {
  std::string leftover =
      device.root.host(std::string(corvane::kStoreRoot) + ".corvane-tmp-crashed");
  testsupport::writeHostFile(leftover, "half a plist");
  run(state(1.5, "Song T", 42, true), 5);
  EXPECT_FALSE(fs::exists(leftover));
  EXPECT_EQ(dayFile("2015-03-05", "MusicTime.plist").count("0"), 1u);
}
