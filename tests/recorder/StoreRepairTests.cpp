// Damaged or hand-edited store files: nothing already recorded may be lost
// and no song number may be handed out twice.
#include <climits>

#include "SamplerFixture.h"

using namespace corvane;
using testsupport::writeHostFile;

namespace {
void writeDict(const std::string& path, ns::PlistDictionary d) {
  ASSERT_TRUE(ns::writeToFile(d, path));
}
}  // namespace

TEST_F(SamplerTest, CountersSaturateAndNonNumbersRestartAtOne) {
  ticks("T", 1);
  writeDict(musicTimePath(today()), {{"0", "2147483647"}});
  tick("T");
  EXPECT_EQ(seconds("0"), "2147483647");
  writeDict(musicTimePath(today()), {{"0", "abc"}});
  tick("T");
  EXPECT_EQ(seconds("0"), "1");
  EXPECT_EQ(incrementedCounter(nullptr), "1");
  const std::string negative = " -3";
  EXPECT_EQ(incrementedCounter(&negative), "-2");
}

TEST_F(SamplerTest, ExhaustedSongNumbersAreNotReused) {
  ticks("T", 1);
  writeDict(kSaveDataPath, {{"MusicNumber", "2147483647"}});
  tick("U");
  EXPECT_EQ(numberOf("U"), "<none>");
  EXPECT_EQ(value(kSaveDataPath, "MusicNumber"), "2147483647");
  EXPECT_EQ(seconds("0"), "1");  // nothing tallied under a made-up key
  EXPECT_EQ(dict(musicTimePath(today())).size(), 1u);
}

TEST_F(SamplerTest, LostPlayCountsFileKeepsTheDaysOtherRecords) {
  ticks("T", 6);
  std::remove(root.host(musicNumberPath(today())).c_str());
  tick("T");
  EXPECT_EQ(seconds("0"), "7");
  EXPECT_EQ(value(musicAlbumPath(today()), "0"), "Artist-Album");
  EXPECT_TRUE(ns::dictionaryWithContentsOfFile(musicNumberPath(today())));
  EXPECT_EQ(ns::arrayWithContentsOfFile(kDateArrayPath)->size(), 1u);
}

TEST_F(SamplerTest, DamagedSaveDataResumesAfterTheHighestNumber) {
  tick("A");
  tick("B");
  tick("C");
  writeHostFile(root.host(kSaveDataPath), "<plist><dict><key>Music");
  tick("D");
  EXPECT_EQ(numberOf("D"), "3");
  EXPECT_EQ(value(kSaveDataPath, "MusicNumber"), "4");

  // A counter edited back by hand is not trusted either.
  writeDict(kSaveDataPath, {{"MusicNumber", "1"}});
  tick("E");
  EXPECT_EQ(numberOf("E"), "4");
}

TEST_F(SamplerTest, DamagedInverseMapIsRebuiltFromTheOther) {
  tick("A");
  tick("B");
  writeHostFile(root.host(kIntMusicDataPath), "garbage");
  tick("A");
  EXPECT_EQ(value(kIntMusicDataPath, "0"), "A");
  EXPECT_EQ(value(kIntMusicDataPath, "1"), "B");

  writeHostFile(root.host(kMusicIntDataPath), "<?xml version=\"1.0\"?><plist><array/></plist>");
  tick("C");
  EXPECT_EQ(numberOf("A"), "0");
  EXPECT_EQ(numberOf("B"), "1");
  EXPECT_EQ(numberOf("C"), "2");
}

TEST_F(SamplerTest, DamagedDayListIsRebuiltFromTheDayFolders) {
  tick("A");
  clock.advance(86400);
  tick("A");
  writeHostFile(root.host(kDateArrayPath), "not a plist");
  tick("A");
  EXPECT_EQ(ns::arrayWithContentsOfFile(kDateArrayPath),
            (ns::PlistArray{"2015-03-05", "2015-03-06"}));
}

TEST_F(SamplerTest, ControlCharactersKeepOneNumberAndReadableFiles) {
  std::string title = std::string("Bad\x01Title\xff") + "\r";
  for (int i = 0; i < 6; ++i) tick(title.c_str(), "Al\x02", "Ar");
  auto musicInt = dict(kMusicIntDataPath);
  ASSERT_EQ(musicInt.size(), 1u);
  EXPECT_EQ(musicInt.begin()->first, "Bad\xEF\xBF\xBDTitle\xEF\xBF\xBD\r");
  EXPECT_EQ(plays("0"), "1");
  EXPECT_EQ(seconds("0"), "6");

  int status = 0;
  std::string out = testsupport::runCommand(
      "python3 -c 'import plistlib,sys; d=plistlib.load(open(sys.argv[1],\"rb\")); "
      "print(ascii(list(d)[0]))' " +
          root.host(kMusicIntDataPath) + " 2>&1",
      &status);
  if (status == 127) GTEST_SKIP() << "python3 missing";
  EXPECT_EQ(status, 0) << out;
  EXPECT_EQ(out, "'Bad\\ufffdTitle\\ufffd\\r'\n");
}

TEST_F(SamplerTest, IndependentReaderSeesWhatTheSamplerWrote) {
  ticks("Song & <Title>", 6);
  tick("Ünïcødé ♫");
  int status = 0;
  std::string out = testsupport::storeReadByPlistlib(root.path(), "2015-03-05", &status);
  if (status == 127) GTEST_SKIP() << "python3 missing";
  ASSERT_EQ(status, 0) << out;
  EXPECT_EQ(
      out,
      "{\"DateArray\": [\"2015-03-05\"], \"IntMusicData\": {\"0\": \"Song & <Title>\", \"1\": "
      "\"\\u00dcn\\u00efc\\u00f8d\\u00e9 \\u266b\"}, \"MusicAlbum\": {\"0\": \"Artist-Album\", "
      "\"1\": \"Artist-Album\"}, \"MusicIntData\": {\"Song & <Title>\": \"0\", "
      "\"\\u00dcn\\u00efc\\u00f8d\\u00e9 \\u266b\": \"1\"}, \"MusicNumber\": {\"0\": \"1\"}, "
      "\"MusicTime\": {\"0\": \"6\", \"1\": \"1\"}, \"SaveData\": {\"MusicNumber\": \"2\"}}\n");
}
