// What a year of real use brings to the store: maps grown to the size a
// reader takes, a full disk, damaged files, a counter at its limit, links
// where folders should be, years of listed days whose folders are gone.
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>

#include "Foundation/Log.h"
#include "SamplerFixture.h"
#include "Foundation/TextValue.h"

using namespace corvane;
using testsupport::readHostFile;
using testsupport::writeHostFile;
namespace fs = std::filesystem;

namespace {

struct ByteLimit {
  explicit ByteLimit(size_t bytes) { ns::setPropertyListByteLimit(bytes); }
  ~ByteLimit() { ns::setPropertyListByteLimit(0); }
};

struct WriteHook {
  explicit WriteHook(std::function<int(const std::string&)> hook) {
    ns::setWriteFaultHook(std::move(hook));
  }
  ~WriteHook() { ns::setWriteFaultHook(nullptr); }
};

class StoreFaults : public SamplerTest {
 protected:
  // Invariants 1, 2, 4 and 5 of the store, for one day.
  void expectInvariants(const std::string& day) {
    auto intMusic = dict(kIntMusicDataPath), musicInt = dict(kMusicIntDataPath);
    EXPECT_EQ(intMusic.size(), musicInt.size());
    int highest = -1;
    for (auto& [number, title] : intMusic) {
      EXPECT_EQ(numberOf(*title.string()), number) << *title.string();
      highest = std::max(highest, ns::intValue(number));
    }
    EXPECT_EQ(ns::intValue(value(kSaveDataPath, "MusicNumber")), highest + 1);
    auto seconds = dict(musicTimePath(day));
    for (auto& path : {musicTimePath(day), musicNumberPath(day), musicAlbumPath(day)})
      for (auto& [number, v] : dict(path)) {
        EXPECT_TRUE(intMusic.count(number)) << path << " " << number;
        EXPECT_TRUE(seconds.count(number)) << path << " " << number;
      }
  }
  size_t setAsideCount() {
    size_t n = 0;
    for (auto& e : fs::recursive_directory_iterator(root.path()))
      n += e.path().filename().string().find(".unreadable-") != std::string::npos;
    return n;
  }
  void removeSetAside() {
    std::vector<fs::path> found;
    for (auto& e : fs::recursive_directory_iterator(root.path()))
      if (e.path().filename().string().find(".unreadable-") != std::string::npos)
        found.push_back(e.path());
    for (auto& p : found) fs::remove_all(p);
  }
};

TEST_F(StoreFaults, TheMapsStopGrowingWhereReadersStopReadingAndKnownTitlesGoOn) {
  ByteLimit limit(2048);
  ticks("Known", 2);
  for (int i = 0; i < 40; ++i) tick(("Title " + std::to_string(i) + std::string(40, '-')).c_str());
  for (auto path : {kIntMusicDataPath, kMusicIntDataPath}) {
    ASSERT_TRUE(ns::dictionaryWithContentsOfFile(path)) << path;
    EXPECT_LE(fs::file_size(root.host(path)), 2048u);
  }
  const size_t numbered = dict(kIntMusicDataPath).size();
  EXPECT_GT(numbered, 10u);
  EXPECT_LT(numbered, 41u);
  expectInvariants(today());
  EXPECT_EQ(host.alerts.size(), 1u);  // once, however many titles are refused

  ticks("Known", 5);
  EXPECT_EQ(seconds("0"), "7");
  // A restart finds every file readable: nothing is set aside.
  auto restarted = objc::make<objc::Object>();
  prepareSampling(restarted);
  CheckMusicInfo(restarted, host);
  EXPECT_EQ(setAsideCount(), 0u);
  EXPECT_EQ(dict(kIntMusicDataPath).size(), numbered);

  // A file another tool made too large is never set aside for its size.
  writeHostFile(root.host(musicAlbumPath(today())),
                readHostFile(root.host(musicAlbumPath(today()))) + std::string(3000, ' '));
  tick("Known");
  EXPECT_EQ(setAsideCount(), 0u);
}

TEST_F(StoreFaults, TitlesFromEverySourceAreCutAsThePlayersCutThem) {
  tick(std::string(100000, 'a').c_str());
  EXPECT_EQ(numberOf(std::string(256, 'a')), "0");
  std::string faces;
  for (int i = 0; i < 200; ++i) faces += "\xF0\x9F\x98\x80";  // two UTF-16 units each
  tick(faces.c_str(), std::string(1000, 'b').c_str());
  EXPECT_EQ(numberOf(faces.substr(0, 128 * 4)), "1");
  EXPECT_EQ(value(musicAlbumPath(today()), "1"), "Artist-" + std::string(256, 'b'));
}

TEST_F(StoreFaults, AFullDiskAlertsOnceBurnsNoNumberAndRecordingResumes) {
  ticks("A", 2);
  {
    // Room for SaveData.plist but not for the maps: no number is given out.
    WriteHook full([](const std::string& p) {
      return p == kIntMusicDataPath || p == kMusicIntDataPath ? ENOSPC : 0;
    });
    for (int i = 0; i < 10; ++i) tick(i % 2 ? "B" : "C");
  }
  EXPECT_EQ(host.alerts.size(), 1u);
  EXPECT_EQ(value(kSaveDataPath, "MusicNumber"), "1");
  ticks("B", 3);
  EXPECT_EQ(numberOf("B"), "1");
  EXPECT_EQ(seconds("1"), "3");

  // Full across midnight: the new day comes once there is room again.
  clock.advance(12 * 3600 - 10);
  {
    WriteHook full([](const std::string&) { return ENOSPC; });
    for (int i = 0; i < 30; ++i) tick(i < 15 ? "B" : "D");
    EXPECT_FALSE(ns::fileExistsAtPath(musicTimePath("2015-03-06")));
  }
  EXPECT_EQ(host.alerts.size(), 2u);  // a second spell is told again
  ticks("D", 6);
  EXPECT_EQ(numberOf("D"), "2");
  EXPECT_EQ(value(kSaveDataPath, "MusicNumber"), "3");
  EXPECT_EQ(value(musicTimePath("2015-03-06"), "2"), "6");
  EXPECT_EQ(ns::arrayWithContentsOfFile(kDateArrayPath),
            (ns::PlistArray{"2015-03-05", "2015-03-06"}));
  expectInvariants("2015-03-06");
}

TEST_F(StoreFaults, ARealFullFileSystemAlertsOnceAndRecordingResumes) {
  const std::string store = root.host(kStoreRoot);
  if (::mount("tmpfs", store.c_str(), "tmpfs", 0, "size=256k") != 0)
    GTEST_SKIP() << "cannot mount a tmpfs here (" << std::strerror(errno)
                 << "); the fault hook's full disk is tested above";
  struct Unmount {
    std::string at;
    ~Unmount() { ::umount2(at.c_str(), MNT_DETACH); }
  } unmount{store};
  ticks("A", 2);
  // Fill the disk.
  {
    std::ofstream filler(store + "/filler", std::ios::binary);
    std::string block(4096, 'x');
    while (filler.write(block.data(), block.size()) && filler.flush()) {
    }
  }
  for (int i = 0; i < 20; ++i) tick(("New " + std::to_string(i)).c_str());
  EXPECT_EQ(host.alerts.size(), 1u);
  expectInvariants(today());
  fs::remove(store + "/filler");
  ticks("B", 6);
  EXPECT_EQ(seconds(numberOf("B")), "6");
  expectInvariants(today());
  EXPECT_EQ(host.alerts.size(), 1u);
}

TEST_F(StoreFaults, ADayFileCutAtAnyByteKeepsTheEntriesBeforeTheCut) {
  for (const char* title : {"A", "B", "C", "D"}) ticks(title, 2);
  host.playing = false;
  const std::string path = musicTimePath(today());
  const std::string whole = readHostFile(root.host(path));
  const auto original = dict(path);
  for (size_t cut = 0; cut < whole.size(); ++cut) {
    writeHostFile(root.host(path), whole.substr(0, cut));
    tick("A");
    auto fresh = dict(path);
    for (auto& [number, seconds] : original) {
      // An entry survives once its closing tag is before the cut.
      const size_t end = whole.find("</string>", whole.find("<key>" + number + "</key>"));
      const bool complete = end + 9 <= cut;
      EXPECT_EQ(*fresh[number].string(), complete ? *seconds.string() : "1")
          << "cut at " << cut << ", entry " << number;
    }
    expectInvariants(today());
    removeSetAside();
  }
}

TEST_F(StoreFaults, ACutMapKeepsItsEntriesAndTheMapsStayInverse) {
  for (const char* title : {"A", "B", "C"}) tick(title);
  host.track.title.reset();  // nothing numbered anew
  const std::string whole = readHostFile(root.host(kIntMusicDataPath));
  for (size_t cut = 0; cut + 1 < whole.size(); ++cut) {
    // Both maps lost but for what the cut one still holds.
    writeHostFile(root.host(kIntMusicDataPath), whole.substr(0, cut));
    fs::remove(root.host(kMusicIntDataPath));
    ns::LogCapture log;
    CheckMusicInfo(controller, host);
    const auto intMusic = dict(kIntMusicDataPath), musicInt = dict(kMusicIntDataPath);
    EXPECT_EQ(intMusic.size(), musicInt.size()) << cut;
    for (const std::string number : {"0", "1", "2"}) {
      const size_t end = whole.find("</string>", whole.find("<key>" + number + "</key>"));
      if (end + 9 <= cut) {
        EXPECT_EQ(*intMusic.at(number).string(), std::string(1, 'A' + number[0] - '0')) << cut;
      }
    }
    for (auto& [number, title] : intMusic) EXPECT_EQ(numberOf(*title.string()), number) << cut;
    EXPECT_EQ(value(kSaveDataPath, "MusicNumber"), "3");  // never lowered: no number reused
    EXPECT_TRUE(log.contains(ns::stringWithFormat("%zu %s kept", intMusic.size(),
                                                  intMusic.size() == 1 ? "entry" : "entries")))
        << cut;
    removeSetAside();
  }
}

TEST_F(StoreFaults, ACounterAtItsLimitNumbersNothingMoreAndKnownTitlesGoOn) {
  ticks("Known", 2);
  ASSERT_TRUE(ns::writeToFile(ns::PlistDictionary{{"MusicNumber", "2147483647"}}, kSaveDataPath));
  ticks("New", 3);
  EXPECT_EQ(numberOf("New"), "<none>");
  EXPECT_EQ(value(kSaveDataPath, "MusicNumber"), "2147483647");
  EXPECT_EQ(host.alerts.size(), 1u);
  ticks("Known", 3);
  EXPECT_EQ(seconds("0"), "5");
  // Beyond the 32-bit range reads as the limit: still nothing wraps.
  ASSERT_TRUE(ns::writeToFile(ns::PlistDictionary{{"MusicNumber", "99999999999"}}, kSaveDataPath));
  ticks("Newer", 2);
  EXPECT_EQ(numberOf("Newer"), "<none>");
  EXPECT_EQ(dict(kIntMusicDataPath).size(), 1u);
  EXPECT_EQ(host.alerts.size(), 1u);
}

TEST_F(StoreFaults, ALinkWhereADayFolderShouldBeIsSetAsideNeverFollowed) {
  ticks("T", 2);
  const std::string outside = root.path() + "/outside";
  fs::create_directory(outside);
  clock.advance(86400);
  fs::create_directory_symlink(outside, root.host(dayFolderPath("2015-03-06")));
  ns::LogCapture log;
  ticks("T", 3);
  EXPECT_TRUE(fs::is_empty(outside));
  EXPECT_FALSE(fs::is_symlink(root.host(dayFolderPath("2015-03-06"))));
  EXPECT_EQ(value(musicTimePath("2015-03-06"), "0"), "3");
  EXPECT_TRUE(log.contains("2015-03-06 could not be read; set aside as"));
  EXPECT_TRUE(fs::is_symlink(root.host(dayFolderPath("2015-03-06")) + ".unreadable-20150306-120003"));

  // A link in place of a file is replaced, its target untouched.
  writeHostFile(outside + "/target", "mine");
  fs::remove(root.host(musicNumberPath("2015-03-06")));
  fs::create_symlink(outside + "/target", root.host(musicNumberPath("2015-03-06")));
  tick("T");
  EXPECT_EQ(readHostFile(outside + "/target"), "mine");
  EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(root.host(musicNumberPath("2015-03-06")))));
  EXPECT_EQ(dict(musicNumberPath("2015-03-06")), ns::PlistDictionary{});
}

TEST_F(StoreFaults, ListedDaysWithoutFoldersDoNotHoldUpTheFirstTick) {
  ns::PlistArray days;
  for (int i = 0; i < 100; ++i)
    days.emplace_back(ns::stringWithFormat("2014-%02d-%02d", 1 + i / 28, 1 + i % 28));
  ASSERT_TRUE(ns::writeToFile(days, kDateArrayPath));
  int writes = 0;
  {
    WriteHook count([&](const std::string&) { return ++writes, 0; });
    tick("T");
  }
  EXPECT_LE(writes, 40);  // the history, today's files and a few days' worth
  ticks("T", 14);
  for (auto& day : days) EXPECT_TRUE(ns::fileExistsAtPath(musicTimePath(*day.string())));
  EXPECT_EQ(seconds("0"), "15");
}

}  // namespace
