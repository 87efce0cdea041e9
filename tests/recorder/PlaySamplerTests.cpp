#include "Foundation/NSTimer.h"
#include "Foundation/TextValue.h"
#include "RecorderKeys.h"
#include "SamplerFixture.h"

using namespace corvane;
using testsupport::readHostFile;

TEST_F(SamplerTest, FirstTickCreatesTheStoreWithItsInitialContent) {
  host.track = {};
  clock.advance(1.0);
  CheckMusicInfo(controller, host);

  EXPECT_EQ(ns::arrayWithContentsOfFile(kDateArrayPath), (ns::PlistArray{"2015-03-05"}));
  EXPECT_EQ(readHostFile(root.host(kSaveDataPath)),
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
            "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
            "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
            "<plist version=\"1.0\">\n<dict>\n\t<key>MusicNumber</key>\n\t<string>0</string>\n"
            "</dict>\n</plist>\n");
  for (std::string path :
       {std::string(kIntMusicDataPath), std::string(kMusicIntDataPath), musicNumberPath(today()),
        musicTimePath(today()), musicAlbumPath(today())})
    EXPECT_EQ(ns::dictionaryWithContentsOfFile(path), ns::PlistDictionary{}) << path;
}

TEST_F(SamplerTest, PlayIsCountedOnTheFifthPlayingTickAndSecondsOnEvery) {
  ticks("T", 4);
  EXPECT_EQ(plays("0"), "<none>");
  tick("T");
  EXPECT_EQ(plays("0"), "1");
  ticks("T", 5);
  EXPECT_EQ(numberOf("T"), "0");
  EXPECT_EQ(value(kIntMusicDataPath, "0"), "T");
  EXPECT_EQ(value(kSaveDataPath, "MusicNumber"), "1");
  EXPECT_EQ(plays("0"), "1");
  EXPECT_EQ(seconds("0"), "10");
  EXPECT_EQ(value(musicAlbumPath(today()), "0"), "Artist-Album");
}

TEST_F(SamplerTest, InterruptionsDelayTheCountAndAlternationNeverCounts) {
  for (const char* t : {"T", "T", "U", "T", "T", "T"}) tick(t);
  EXPECT_EQ(plays("0"), "<none>");
  tick("T");
  EXPECT_EQ(plays("0"), "1");
  EXPECT_EQ(seconds("0"), "6");
  EXPECT_EQ(seconds("1"), "1");
  EXPECT_EQ(plays("1"), "<none>");

  for (int i = 0; i < 10; ++i) tick(i % 2 ? "V" : "W");
  EXPECT_EQ(plays(numberOf("V")), "<none>");
  EXPECT_EQ(plays(numberOf("W")), "<none>");
  EXPECT_EQ(seconds(numberOf("V")), "5");
}

TEST_F(SamplerTest, ReplayAtPositionZeroCountsAgain) {
  ticks("T", 5);
  ticks("T", 3);  // counted once: previousMusic holds T
  host.pos = 0.0f;
  checkNumber(controller, host);
  EXPECT_EQ(*slotValue(controller, kPreviousMusicKey), "");
  host.pos = 1.0f;
  ticks("T", 5);
  EXPECT_EQ(plays("0"), "2");
  EXPECT_EQ(seconds("0"), "13");
  // A non-zero position leaves the slots alone.
  checkNumber(controller, host);
  EXPECT_EQ(*slotValue(controller, kPreviousMusicKey), "T");
}

TEST_F(SamplerTest, StreamsAreNeverRecordedButLookalikesAre) {
  tick("http://radio.example/x", nullptr);
  EXPECT_TRUE(dict(kMusicIntDataPath).empty());
  EXPECT_TRUE(dict(musicTimePath(today())).empty());
  EXPECT_TRUE(ns::arrayWithContentsOfFile(kDateArrayPath).has_value());

  tick("http://radio.example/x", "Live");  // album text present: a song
  tick("http:", nullptr);                  // five characters: never a stream
  tick("HTTP://loud", nullptr);            // the test is case-sensitive
  EXPECT_EQ(numberOf("http://radio.example/x"), "0");
  EXPECT_EQ(numberOf("http:"), "1");
  EXPECT_EQ(numberOf("HTTP://loud"), "2");
  EXPECT_EQ(value(musicAlbumPath(today()), "1"), "Artist-(null)");
}

TEST_F(SamplerTest, PausedAbsentAndStartPositionsOnlyNumberOrClear) {
  host.playing = false;
  tick("Paused");
  EXPECT_EQ(numberOf("Paused"), "0");
  EXPECT_TRUE(dict(musicTimePath(today())).empty());

  host.playing = true;
  ticks("T", 3);
  EXPECT_EQ(*slotValue(controller, kNumber3Key), "T");
  tick(nullptr);  // no title, position not 0
  for (const char* key : {kPreviousMusicKey, kNumber1Key, kNumber2Key, kNumber3Key, kNumber4Key})
    EXPECT_EQ(*slotValue(controller, key), "");
  EXPECT_EQ(seconds("1"), "3");
  host.pos = 0.0f;
  tick("T");  // the start of a track is not tallied
  EXPECT_EQ(seconds("1"), "3");
}

TEST_F(SamplerTest, AlbumEntryIsKeptFromTheFirstSecondOfTheDay) {
  tick("T", nullptr, "Artist");
  tick("T", "Later Album", "Other");
  EXPECT_EQ(value(musicAlbumPath(today()), "0"), "Artist-(null)");
  EXPECT_EQ(seconds("0"), "2");
}

TEST_F(SamplerTest, DayBoundaryStartsANewDayAndSlotsSurvive) {
  clock.advance(12 * 3600 - 4);  // 23:59:56
  ticks("T", 3);                 // 57, 58, 59
  ticks("T", 2);                 // 00:00:00 of the next day counts the play
  EXPECT_EQ(value(musicTimePath("2015-03-05"), "0"), "3");
  EXPECT_EQ(value(musicTimePath("2015-03-06"), "0"), "2");
  EXPECT_EQ(value(musicNumberPath("2015-03-06"), "0"), "1");
  EXPECT_EQ(ns::arrayWithContentsOfFile(kDateArrayPath),
            (ns::PlistArray{"2015-03-05", "2015-03-06"}));
}
