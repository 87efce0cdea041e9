// Runs corvane-store on a small store each test builds in its own device root.
#pragma once

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "CorvaneStore/StoreLayout.h"
#include "Foundation/FileSystem.h"
#include "Foundation/PropertyList.h"
#include "TestSupport.h"

struct ToolRun {
  std::string out;
  std::string err;
  int status = -1;
};

class StoreToolTest : public ::testing::Test {
 protected:
  testsupport::TempDeviceRoot root;

  // args is shell text, so tests can quote and redirect.
  ToolRun tool(const std::string& args) {
    ToolRun r;
    const std::string errFile = root.path() + "/tool-stderr.txt";
    r.out = testsupport::runCommand(
        std::string("'") + CORVANE_STORE_TOOL + "' " + args + " 2>'" + errFile + "'", &r.status);
    r.err = testsupport::readHostFile(errFile);
    return r;
  }

  // Each (arguments, message) is refused as a bad command line: status 2,
  // nothing on stdout and that one line on stderr.
  template <class Cases>
  void expectUsageErrors(const Cases& cases) {
    for (const auto& [args, message] : cases) {
      ToolRun r = tool(args);
      EXPECT_EQ(r.status, 2) << args;
      EXPECT_EQ(r.out, "") << args;
      EXPECT_EQ(r.err, std::string("corvane-store: ") + message + "\n") << args;
    }
  }

  // The history files: the day list as given and the titles by number.
  void history(const ns::PlistArray& days, const std::map<int, std::string>& titles) {
    ns::PlistDictionary intMusic, musicInt;
    for (auto& [n, title] : titles) {
      intMusic[std::to_string(n)] = title;
      musicInt[title] = std::to_string(n);
    }
    ASSERT_TRUE(ns::createDirectoryAtPath(corvane::kStoreRoot, true));
    ASSERT_TRUE(ns::writeToFile(days, corvane::kDateArrayPath));
    ASSERT_TRUE(ns::writeToFile(intMusic, corvane::kIntMusicDataPath));
    ASSERT_TRUE(ns::writeToFile(musicInt, corvane::kMusicIntDataPath));
    ASSERT_TRUE(ns::writeToFile(
        ns::PlistDictionary{{corvane::kNextSongNumberKey,
                             std::to_string(titles.empty() ? 0 : titles.rbegin()->first + 1)}},
        corvane::kSaveDataPath));
  }

  // One day: song number -> seconds, plays and artist-album text.
  struct Song {
    int seconds;
    int plays;
    std::string record = "Artist-Album";
  };
  void day(const std::string& key, const std::map<int, Song>& songs) {
    ns::PlistDictionary time, plays, albums;
    for (auto& [n, s] : songs) {
      time[std::to_string(n)] = std::to_string(s.seconds);
      if (s.plays) plays[std::to_string(n)] = std::to_string(s.plays);
      albums[std::to_string(n)] = s.record;
    }
    ASSERT_TRUE(ns::createDirectoryAtPath(corvane::dayFolderPath(key), true));
    ASSERT_TRUE(ns::writeToFile(time, corvane::musicTimePath(key)));
    ASSERT_TRUE(ns::writeToFile(plays, corvane::musicNumberPath(key)));
    ASSERT_TRUE(ns::writeToFile(albums, corvane::musicAlbumPath(key)));
  }

  // Runs a script that writes a store with plistlib: it may call
  // put(path under the store, value).
  std::string writeWithPlistlib(const std::string& puts, int* status) {
    return python(R"(import plistlib, os, sys
root = sys.argv[1] + sys.argv[2]
def put(path, value):
    os.makedirs(os.path.dirname(root + path), exist_ok=True)
    with open(root + path, 'wb') as f: plistlib.dump(value, f)
)" + puts,
                  std::string("'") + corvane::kStoreRoot + "'", status);
  }

  // Runs a Python script with the device root as its first argument.
  std::string python(const std::string& script, const std::string& args = "",
                     int* status = nullptr) {
    const std::string file = root.path() + "/script.py";
    testsupport::writeHostFile(file, script);
    return testsupport::runCommand("python3 '" + file + "' '" + root.path() + "' " + args + " 2>&1",
                                   status);
  }
};
