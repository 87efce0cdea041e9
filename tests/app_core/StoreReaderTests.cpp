// Reading the store for the app: what is unreadable, what never reaches the
// file system, and numbers other tools wrote.
#include <gtest/gtest.h>

#include "CorvaneStore/StoreLayout.h"
#include "Foundation/FileSystem.h"
#include "Foundation/PropertyList.h"
#include "TestSupport.h"
#include "core/StoreReader.h"

using namespace corvane;
using namespace corvane::app;

class StoreReading : public ::testing::Test {
 protected:
  StoreReading() { ns::createDirectoryAtPath(kEverydayDataPath, true); }
  testsupport::TempDeviceRoot root;
};

TEST_F(StoreReading, DayListIsReadFreshAndFallsBackToError) {
  EXPECT_FALSE(readDayList());
  EXPECT_EQ(dayListOrError(), (std::vector<std::string>{"Error"}));
  testsupport::writeHostFile(root.host(kDateArrayPath),
                             "<plist><array><string>2015-03-01</string>"
                             "<dict/><string>2015-03-02</string>"
                             "</array></plist>");
  EXPECT_EQ(dayListOrError(), (std::vector<std::string>{"2015-03-01", "2015-03-02"}));
  ns::writeToFile(ns::PlistArray{}, kDateArrayPath);
  EXPECT_EQ(dayListOrError(), std::vector<std::string>{});
  ns::writeToFile(ns::PlistDictionary{}, kDateArrayPath);
  EXPECT_FALSE(readDayList());
}

TEST_F(StoreReading, DayValuesInKeyOrderWithNumbersOtherToolsWrote) {
  ns::createDirectoryAtPath(dayFolderPath("2015-03-05"), true);
  testsupport::writeHostFile(root.host(musicTimePath("2015-03-05")),
                             "<plist><dict><key>0</key><string>28</string>"
                             "<key>1</key><integer>12</integer><key>2</key><real>1.5</real>"
                             "<key>3</key><array/></dict></plist>");
  auto values = readDayValues("2015-03-05", false);
  ASSERT_TRUE(values);
  EXPECT_EQ(*values, (DayValues{{"0", "28"}, {"1", "12"}, {"2", "1.5"}}));
  EXPECT_TRUE(dayHasTimeFile("2015-03-05"));
  EXPECT_FALSE(readDayValues("2015-03-05", true));  // no MusicNumber.plist
  EXPECT_FALSE(readDayValues("2015-03-06", false));
}

TEST_F(StoreReading, TextThatIsNoDayKeyNeverReachesTheFileSystem) {
  // Files a path built from such text would reach.
  for (const char* folder : {"Error", "x", "2015-03-0a"}) {
    ns::createDirectoryAtPath(dayFolderPath(folder), true);
    ns::writeToFile(ns::PlistDictionary{{"0", "1"}}, musicTimePath(folder));
  }
  ns::writeToFile(ns::PlistDictionary{{"0", "1"}},
                  std::string(kEverydayDataPath) + "/MusicTime.plist");
  ns::writeToFile(ns::PlistDictionary{{"0", "1"}}, std::string(kStoreRoot) + "MusicTime.plist");
  for (const char* typed : {"Error", "x", "2015-03-0a", "", ".", "..", "/", "../..",
                            "../EverydayData", "2015-03-05/..", " 2015-03-05", "2015-03-05 "}) {
    EXPECT_FALSE(dayHasTimeFile(typed)) << typed;
    EXPECT_FALSE(readDayValues(typed, false)) << typed;
    EXPECT_FALSE(readAlbums(typed)) << typed;
  }
}
