// Faults that must never cost a recorded second: writes that fail, numberings
// a crash cut short, files other tools wrote or damaged, special files in
// the store, a store that comes back after a failure.
#include <sys/stat.h>

#include <filesystem>
#include <functional>

#include "Foundation/Log.h"
#include "Foundation/NSTimer.h"
#include "Foundation/TextValue.h"
#include "RecorderKeys.h"
#include "SamplerFixture.h"

using namespace corvane;
using testsupport::readHostFile;
using testsupport::writeHostFile;
namespace fs = std::filesystem;

namespace {

// Makes the writes fail that the predicate picks, for the life of the object.
struct FailingWrites {
  explicit FailingWrites(std::function<bool(const std::string&)> pick) {
    ns::setWriteFaultHook([pick](const std::string& path) { return pick(path) ? ENOSPC : 0; });
  }
  ~FailingWrites() { ns::setWriteFaultHook(nullptr); }
};

// Fails the next write of one file, once.
std::function<bool(const std::string&)> onceFor(std::string target) {
  auto used = std::make_shared<bool>(false);
  return [target, used](const std::string& path) {
    if (path != target || *used) return false;
    return *used = true;
  };
}

const char* const kHeader =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
    "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n";

class StoreSafety : public SamplerTest {
 protected:
  // The two maps are exact inverses and SaveData.plist is past every number.
  void expectConsistentNumbering() {
    auto intMusic = dict(kIntMusicDataPath), musicInt = dict(kMusicIntDataPath);
    EXPECT_EQ(intMusic.size(), musicInt.size());
    for (auto& [number, title] : intMusic)
      EXPECT_EQ(numberOf(*title.string()), number) << *title.string();
    int next = ns::intValue(value(kSaveDataPath, "MusicNumber"));
    for (auto& [number, title] : intMusic) EXPECT_LT(ns::intValue(number), next);
  }
  // Every day file's key names a title.
  void expectDayKeysTitled(const std::string& day) {
    auto intMusic = dict(kIntMusicDataPath);
    for (auto& path : {musicTimePath(day), musicNumberPath(day), musicAlbumPath(day)})
      for (auto& [number, v] : dict(path)) EXPECT_TRUE(intMusic.count(number)) << path << number;
  }
  std::vector<std::string> setAside(const std::string& devicePath) {
    std::vector<std::string> names;
    fs::path file(root.host(devicePath));
    for (auto& e : fs::directory_iterator(file.parent_path())) {
      std::string name = e.path().filename();
      if (name.rfind(file.filename().string() + ".unreadable-", 0) == 0) names.push_back(name);
    }
    return names;
  }
};

TEST_F(StoreSafety, ANumberingCutShortIsCompletedNeverRepeated) {
  ticks("T", 2);
  // A crash between the two maps: U has a number in IntMusicData.plist only.
  ASSERT_TRUE(ns::writeToFile(ns::PlistDictionary{{"MusicNumber", "2"}}, kSaveDataPath));
  ASSERT_TRUE(ns::writeToFile(ns::PlistDictionary{{"0", "T"}, {"1", "U"}}, kIntMusicDataPath));
  prepareSampling(controller);
  expectConsistentNumbering();
  ticks("U", 6);
  EXPECT_EQ(numberOf("U"), "1");
  EXPECT_EQ(seconds("1"), "6");

  // One failed write of either map while a title is numbered.
  for (const char* map : {kMusicIntDataPath, kIntMusicDataPath}) {
    const std::string title = std::string("New in ") + map;
    {
      FailingWrites fault(onceFor(map));
      tick(title.c_str());
    }
    for (int i = 0; i < 5; ++i) tick(title.c_str());
    expectConsistentNumbering();
    const std::string number = numberOf(title);
    EXPECT_EQ(seconds(number), "6") << map;
    EXPECT_EQ(plays(number), "1") << map;
  }
  EXPECT_EQ(dict(kIntMusicDataPath).size(), 4u);
  expectDayKeysTitled(today());
}

// Maps another tool wrote (its own escapes, a number two titles share) are
// taken as they read: nothing added that is not missing, the next title
// numbered past them, and both written back as the recorder writes them.
TEST_F(StoreSafety, MapsAnotherToolWroteAreNumberedOnAndWrittenAsTheRecorderWrites) {
  ticks("T", 1);
  const std::string odd = "A \"b\" > c";
  auto foreign = [](ns::PlistDictionary d) {
    std::string text = ns::serializePropertyList(d);
    for (size_t at; (at = text.find("&gt;")) != std::string::npos;) text.replace(at, 4, ">");
    const size_t body = text.find("<dict>");
    for (size_t at; (at = text.find('"', body)) != std::string::npos;)
      text.replace(at, 1, "&quot;");
    return text;
  };
  writeHostFile(root.host(kIntMusicDataPath), foreign({{"0", "T"}, {"1", odd}}));
  writeHostFile(root.host(kMusicIntDataPath), foreign({{"T", "0"}, {odd, "1"}, {"V", "1"}}));
  ASSERT_TRUE(ns::writeToFile(ns::PlistDictionary{{"MusicNumber", "2"}}, kSaveDataPath));
  prepareSampling(controller);
  ticks("W", 6);
  EXPECT_EQ(numberOf("W"), "2");
  EXPECT_EQ(numberOf(odd), "1");
  EXPECT_EQ(seconds("2"), "6");
  EXPECT_EQ(dict(kIntMusicDataPath), (ns::PlistDictionary{{"0", "T"}, {"1", odd}, {"2", "W"}}));
  for (const char* map : {kIntMusicDataPath, kMusicIntDataPath})
    EXPECT_EQ(readHostFile(root.host(map)),
              ns::serializePropertyList(*ns::dictionaryWithContentsOfFile(map)))
        << map;
}

TEST_F(StoreSafety, ATitleNeitherMapCouldKeepIsRecordedOnlyOnceNumbered) {
  tick("T");
  {
    FailingWrites fault(
        [](const std::string& p) { return p == kIntMusicDataPath || p == kMusicIntDataPath; });
    ticks("U", 3);
  }
  expectDayKeysTitled(today());  // no seconds under a number without a title
  ticks("U", 2);
  expectConsistentNumbering();
  EXPECT_EQ(seconds(numberOf("U")), "2");
}

TEST_F(StoreSafety, UnreadableFilesAreSetAsideNeverOverwritten) {
  ticks("T", 3);
  const std::string damaged = std::string(kHeader) + "<plist><dict><key>0</key><string>3</str";
  writeHostFile(root.host(musicTimePath(today())), damaged);
  const std::string trailing = readHostFile(root.host(kIntMusicDataPath)) + "garbage";
  writeHostFile(root.host(kIntMusicDataPath), trailing);
  ns::LogCapture log;
  tick("T");

  auto aside = setAside(musicTimePath(today()));
  ASSERT_EQ(aside, std::vector<std::string>{"MusicTime.plist.unreadable-20150305-120004"});
  EXPECT_EQ(readHostFile(root.host(dayFolderPath(today())) + "/" + aside[0]), damaged);
  ASSERT_EQ(setAside(kIntMusicDataPath).size(), 1u);
  EXPECT_EQ(readHostFile(root.host(std::string(kStoreRoot)) + setAside(kIntMusicDataPath)[0]),
            trailing);
  EXPECT_TRUE(
      log.contains("MusicTime.plist could not be read; set aside as "
                   "/var/mobile/Documents/Corvane/EverydayData/2015-03-05/"
                   "MusicTime.plist.unreadable-20150305-120004; 0 entries kept"));
  EXPECT_EQ(log.lines().size(), 2u);
  EXPECT_EQ(value(kIntMusicDataPath, "0"), "T");  // rebuilt from the other map
  // The cut took T's seconds; its album entry still vouches for one.
  EXPECT_EQ(seconds("0"), "2");

  // A second set-aside in the same second keeps the first.
  writeHostFile(root.host(musicTimePath(today())), "again");
  corvane::CheckMusicInfo(controller, host);
  EXPECT_EQ(setAside(musicTimePath(today())).size(), 2u);

  // What other readers accept is read, not set aside.
  writeHostFile(root.host(musicNumberPath(today())),
                "<?xml version=\"1.0\"?><!DOCTYPE plist [<!ELEMENT plist ANY>]>"
                "<plist><dict><key>0</key><string>4</string></dict></plist>");
  tick("T");
  EXPECT_TRUE(setAside(musicNumberPath(today())).empty());
  EXPECT_EQ(plays("0"), "4");
}

TEST_F(StoreSafety, NumbersWrittenByOtherToolsCountOnAsText) {
  ticks("T", 2);
  writeHostFile(
      root.host(musicTimePath(today())),
      std::string(kHeader) + "<plist><dict><key>0</key><integer>28</integer></dict></plist>");
  writeHostFile(root.host(kMusicIntDataPath), std::string(kHeader) +
                                                  "<plist><dict><key>T</key><integer>0</integer>"
                                                  "</dict></plist>");
  writeHostFile(root.host(kSaveDataPath), std::string(kHeader) +
                                              "<plist><dict><key>MusicNumber</key><real>1.0</real>"
                                              "</dict></plist>");
  tick("T");
  EXPECT_EQ(seconds("0"), "29");
  tick("U");  // numbering writes the maps back, as text
  EXPECT_EQ(numberOf("T"), "0");
  EXPECT_EQ(numberOf("U"), "1");
  EXPECT_EQ(dict(kIntMusicDataPath).size(), 2u);
  EXPECT_NE(readHostFile(root.host(musicTimePath(today()))).find("<string>29</string>"),
            std::string::npos);
}

TEST_F(StoreSafety, ADayWhoseListingFailedIsListedOnceItCanBe) {
  tick("T");
  clock.advance(86400);
  {
    FailingWrites fault([](const std::string& p) { return p == kDateArrayPath; });
    ticks("T", 3);
  }
  tick("T");
  EXPECT_EQ(ns::arrayWithContentsOfFile(kDateArrayPath),
            (ns::PlistArray{"2015-03-05", "2015-03-06"}));

  // The listing fails for the rest of a day; after a restart on a later
  // day it still goes in its place.
  clock.advance(86400);
  {
    FailingWrites fault([](const std::string& p) { return p == kDateArrayPath; });
    ticks("T", 2);
  }
  clock.advance(86400);
  prepareSampling(controller);
  tick("T");
  EXPECT_EQ(ns::arrayWithContentsOfFile(kDateArrayPath),
            (ns::PlistArray{"2015-03-05", "2015-03-06", "2015-03-07", "2015-03-08"}));
}

TEST_F(StoreSafety, RecordingResumesByItselfOnceTheStoreCanBeWritten) {
  int samplingTicks = 0;
  auto timer = ns::NSTimer::scheduledTimer(1.0, true, [&](ns::NSTimer*) {
    ++samplingTicks;
    corvane::CheckMusicInfo(controller, host);
  });
  objc::objc_setAssociatedObject(controller, kCheckTimerKey, timer, objc::OBJC_ASSOCIATION_RETAIN);
  host.track = {"T", "Album", "Artist"};
  {
    // A full disk at the first start.
    FailingWrites fault([](const std::string&) { return true; });
    clock.advance(90);
  }
  EXPECT_EQ(host.alerts.size(), 1u);
  EXPECT_FALSE(ns::fileExistsAtPath(kSaveDataPath));
  clock.advance(60);
  EXPECT_EQ(host.alerts.size(), 1u);
  EXPECT_GE(ns::intValue(seconds("0")), 30);
  timer->invalidate();
}

TEST(SamplerFailure, MissingStoreAlertsOnceCreatesNothingAndResumesWhenItAppears) {
  testsupport::TempDeviceRoot root;
  testsupport::VirtualClock clock;
  FakeHost host;
  host.track.title = "T";
  auto controller = objc::make<objc::Object>();
  resetSlotsForStart(controller);
  auto timer = ns::NSTimer::scheduledTimer(1.0, true,
                                           [&](ns::NSTimer*) { CheckMusicInfo(controller, host); });
  clock.advance(300);
  ASSERT_EQ(host.alerts.size(), 1u);
  EXPECT_EQ(host.alerts[0], "Corvane Error|Reinstail in Cydia|Okay");
  EXPECT_TRUE(fs::is_empty(root.path()));

  ns::createDirectoryAtPath(kStoreRoot, true);
  clock.advance(60);
  EXPECT_EQ(host.alerts.size(), 1u);
  EXPECT_TRUE(ns::dictionaryWithContentsOfFile(musicTimePath("2015-03-05"))->count("0"));
  timer->invalidate();
}

TEST_F(StoreSafety, PipesAndFoldersInPlaceOfFilesNeverBlockAndAreSetAside) {
  ticks("T", 2);
  ASSERT_EQ(std::remove(root.host(kMusicIntDataPath).c_str()), 0);
  ASSERT_EQ(mkfifo(root.host(kMusicIntDataPath).c_str(), 0600), 0);
  ASSERT_EQ(std::remove(root.host(musicTimePath(today())).c_str()), 0);
  ASSERT_EQ(mkfifo(root.host(musicTimePath(today())).c_str(), 0600), 0);
  ASSERT_EQ(std::remove(root.host(musicAlbumPath(today())).c_str()), 0);
  fs::create_directory(root.host(musicAlbumPath(today())));
  tick("T");
  EXPECT_EQ(setAside(kMusicIntDataPath).size(), 1u);
  EXPECT_EQ(setAside(musicTimePath(today())).size(), 1u);
  EXPECT_EQ(setAside(musicAlbumPath(today())).size(), 1u);
  EXPECT_EQ(numberOf("T"), "0");
  EXPECT_EQ(seconds("0"), "1");
  EXPECT_EQ(value(musicAlbumPath(today()), "0"), "Artist-Album");
}

}  // namespace
