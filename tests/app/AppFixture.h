// A clean toolkit (device root, virtual clock, 320 x 568 screen) plus a
// small store written the way the recorder writes it, for the app's views.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "../uikit/UIKitFixture.h"
#include "CorvaneStore/StoreLayout.h"
#include "Foundation/FileSystem.h"
#include "Foundation/Log.h"
#include "Foundation/PropertyList.h"
#include "UIKit/UIKit.h"

class AppTest : public UIKitTest {
 protected:
  using Values = std::map<std::string, std::string>;

  AppTest() { ns::createDirectoryAtPath(corvane::kStoreRoot, true); }
  // Animations hold what they move until they have run, as on the
  // platform: each test lets them end before its views go.
  void TearDown() override { run(5); }

  static ns::PlistDictionary dict(const Values& values) {
    ns::PlistDictionary d;
    for (auto& [k, v] : values) d.emplace(k, v);
    return d;
  }
  void writeDays(const std::vector<std::string>& days) {
    ns::PlistArray a(days.begin(), days.end());
    ns::writeToFile(a, corvane::kDateArrayPath);
  }
  void writeTitles(const Values& titles) {
    ns::writeToFile(dict(titles), corvane::kIntMusicDataPath);
  }
  // A day's three files; albums default to "A-B" for every song with seconds.
  void writeDay(const std::string& day, const Values& seconds, const Values& plays = {},
                const Values* albums = nullptr) {
    ns::createDirectoryAtPath(corvane::dayFolderPath(day), true);
    ns::writeToFile(dict(seconds), corvane::musicTimePath(day));
    ns::writeToFile(dict(plays), corvane::musicNumberPath(day));
    Values a;
    if (albums) {
      a = *albums;
    } else {
      for (auto& [k, v] : seconds) a[k] = "Artist " + k + "-Album";
    }
    ns::writeToFile(dict(a), corvane::musicAlbumPath(day));
  }

  // Lets the clock run, doing what falls due.
  void run(double seconds) { clock.advance(seconds); }

  // Alerts as "title|message|button" lines, oldest first; dismisses them.
  std::vector<std::string> takeAlerts() {
    std::vector<std::string> out;
    for (UIAlertView* a : UIAlertView::alerts())
      out.push_back(a->title() + "|" + a->message() + "|" + a->buttonTitleAtIndex(0));
    UIAlertView::removeAll();
    return out;
  }
};
