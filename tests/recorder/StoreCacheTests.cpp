// The sampler keeps the store's files as last parsed; a change another
// process makes between two ticks must still be seen by the next tick, even
// when the file keeps its size and its modification second.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <functional>

#include "SamplerFixture.h"

using namespace corvane;
using testsupport::readHostFile;
using testsupport::writeHostFile;
namespace fs = std::filesystem;

namespace {

class ChangedBetweenTicks : public SamplerTest {
 protected:
  // Pins the file's modification time inside one second, lets a tick take
  // that version in, then applies change and puts the time back in the same
  // second: nothing but the content (and the change time) tells them apart.
  void changeInSameSecond(const std::string& devicePath,
                          const std::function<void(const std::string&)>& change) {
    const std::string file = root.host(devicePath);
    pin(file, 100);
    tick("T");
    const auto size = fs::file_size(file);
    change(file);
    if (fs::exists(file)) {
      if (fs::file_size(file) == size) sameSize = true;
      pin(file, 200);
    }
  }
  static void pin(const std::string& file, long nanos) {
    timespec times[2] = {{0, UTIME_OMIT}, {1'400'000'000, nanos}};
    ASSERT_EQ(utimensat(AT_FDCWD, file.c_str(), times, 0), 0);
  }
  static void editInPlace(const std::string& file, const std::string& from, const std::string& to) {
    std::string bytes = readHostFile(file);
    ASSERT_NE(bytes.find(from), std::string::npos);
    bytes.replace(bytes.find(from), from.size(), to);
    int fd = ::open(file.c_str(), O_WRONLY | O_TRUNC);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::write(fd, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    ::close(fd);
  }
  static void replaceByRename(const std::string& file, const std::string& bytes) {
    writeHostFile(file + ".new", bytes);
    ASSERT_EQ(std::rename((file + ".new").c_str(), file.c_str()), 0);
  }
  size_t setAsideCount(const std::string& devicePath) {
    size_t n = 0;
    fs::path file(root.host(devicePath));
    for (auto& e : fs::directory_iterator(file.parent_path()))
      n += e.path().filename().string().rfind(file.filename().string() + ".unreadable-", 0) == 0;
    return n;
  }
  bool sameSize = false;
};

TEST_F(ChangedBetweenTicks, NumbersEditedInPlaceOrReplacedAreUsedAtOnce) {
  ticks("T", 2);
  // Another tool gives T number 7 in place: same inode, size and second.
  changeInSameSecond(kMusicIntDataPath, [](const std::string& file) {
    editInPlace(file, "<string>0</string>", "<string>7</string>");
  });
  EXPECT_TRUE(sameSize);
  tick("T");
  EXPECT_EQ(seconds("7"), "1");
  EXPECT_EQ(value(kIntMusicDataPath, "7"), "T");  // the other map completed

  // Replaced by a rename with the same size: number 8.
  sameSize = false;
  changeInSameSecond(kMusicIntDataPath, [](const std::string& file) {
    std::string bytes = readHostFile(file);
    bytes.replace(bytes.find("<string>7</string>"), 18, "<string>8</string>");
    replaceByRename(file, bytes);
  });
  EXPECT_TRUE(sameSize);
  tick("T");
  EXPECT_EQ(seconds("8"), "1");
  EXPECT_EQ(value(kSaveDataPath, "MusicNumber"), "9");
}

// A new title is written into the text the recorder wrote last: an edit
// another tool made since must be in what it writes, not written over.
TEST_F(ChangedBetweenTicks, ANumberingKeepsWhatAnotherToolChangedInTheMaps) {
  tick("Alpha");
  tick("Bravo");  // the maps' texts are now the recorder's own
  changeInSameSecond(kIntMusicDataPath, [](const std::string& file) {
    editInPlace(file, "<string>Alpha</string>", "<string>Ample</string>");
  });
  EXPECT_TRUE(sameSize);
  changeInSameSecond(kMusicIntDataPath, [](const std::string& file) {
    editInPlace(file, "<key>Bravo</key>", "<key>Brave</key>");
  });
  tick("Charlie");  // "T", each change's tick, took 2
  EXPECT_EQ(value(kIntMusicDataPath, "0"), "Ample");
  EXPECT_EQ(numberOf("Brave"), "1");
  EXPECT_EQ(numberOf("Charlie"), "3");
  EXPECT_EQ(value(kIntMusicDataPath, "3"), "Charlie");
  // Each file is still exactly what writing it whole gives.
  for (const char* path : {kIntMusicDataPath, kMusicIntDataPath}) {
    const std::string bytes = readHostFile(root.host(path));
    auto parsed = ns::parsePropertyList(bytes);
    ASSERT_TRUE(parsed && parsed->dictionary());
    EXPECT_EQ(bytes, ns::serializePropertyList(*parsed->dictionary())) << path;
  }
}

TEST_F(ChangedBetweenTicks, DayFilesEditedInPlaceAreCountedOn) {
  ticks("T", 3);
  ASSERT_EQ(seconds("0"), "3");
  changeInSameSecond(musicTimePath(today()), [](const std::string& file) {
    editInPlace(file, "<string>4</string>", "<string>7</string>");
  });
  EXPECT_TRUE(sameSize);
  tick("T");
  EXPECT_EQ(seconds("0"), "8");
}

TEST_F(ChangedBetweenTicks, TruncatedDamagedOrDeletedMapsAreRebuilt) {
  ticks("T", 2);
  changeInSameSecond(kMusicIntDataPath, [](const std::string& file) {
    fs::resize_file(file, fs::file_size(file) / 2);
  });
  tick("T");
  EXPECT_EQ(setAsideCount(kMusicIntDataPath), 1u);
  EXPECT_EQ(numberOf("T"), "0");

  sameSize = false;
  changeInSameSecond(kIntMusicDataPath, [](const std::string& file) {
    writeHostFile(file, std::string(fs::file_size(file), 'x'));
  });
  EXPECT_TRUE(sameSize);
  tick("T");
  EXPECT_EQ(setAsideCount(kIntMusicDataPath), 1u);
  EXPECT_EQ(value(kIntMusicDataPath, "0"), "T");

  changeInSameSecond(kMusicIntDataPath,
                     [](const std::string& file) { ASSERT_TRUE(fs::remove(file)); });
  tick("U");
  EXPECT_EQ(numberOf("T"), "0");
  EXPECT_EQ(numberOf("U"), "1");
  EXPECT_EQ(seconds("0"), "7");
}

TEST(StoreCacheDays, OnlyTheRecordedDaysFilesAreKept) {
  testsupport::TempDeviceRoot root;
  ns::createDirectoryAtPath(dayFolderPath("2015-03-05"), true);
  ns::createDirectoryAtPath(dayFolderPath("2015-03-06"), true);
  StoreCache cache;
  for (const char* day : {"2015-03-05", "2015-03-06"}) {
    ASSERT_TRUE(ns::writeToFile(ns::PlistDictionary{{"0", "1"}}, musicTimePath(day)));
    cache.recordingDay(day);
    ASSERT_TRUE(cache.dictionary(musicTimePath(day)));
  }
  ASSERT_TRUE(cache.dictionary(kStoreRoot + std::string("none.plist")) == nullptr);
  EXPECT_EQ(cache.files().size(), 1u);
}

}  // namespace
