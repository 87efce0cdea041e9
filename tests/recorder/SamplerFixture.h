// A sampler driven by hand: a fake now-playing host, a controller object for
// the slots, and the store under a fresh device root on the virtual clock.
#pragma once

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "DataStore.h"
#include "Foundation/FileSystem.h"
#include "Foundation/PropertyList.h"
#include "NowPlayingHost.h"
#include "PlaySampler.h"
#include "TestSupport.h"

struct FakeHost : corvane::NowPlayingHost {
  corvane::TrackInformation track;
  float pos = 1.0f;
  bool playing = true;
  std::vector<std::string> alerts;

  corvane::TrackInformation trackInformation() override { return track; }
  float position() override { return pos; }
  bool isPlaying() override { return playing; }
  void showAlert(const std::string& title, const std::string& message,
                 const std::string& button) override {
    alerts.push_back(title + "|" + message + "|" + button);
  }
};

class SamplerTest : public ::testing::Test {
 protected:
  explicit SamplerTest(const char* start = "2015-03-05T12:00:00") : clock(start) {
    ns::createDirectoryAtPath(corvane::kStoreRoot, true);
    corvane::resetSlotsForStart(controller);
  }

  // One sampling tick a second later, showing title (absent when null).
  void tick(const char* title, const char* album = "Album", const char* artist = "Artist") {
    host.track.title = title ? std::optional<std::string>(title) : std::nullopt;
    host.track.album = album ? std::optional<std::string>(album) : std::nullopt;
    host.track.artist = artist ? std::optional<std::string>(artist) : std::nullopt;
    clock.advance(1.0);
    corvane::CheckMusicInfo(controller, host);
  }
  void ticks(const char* title, int n) {
    for (int i = 0; i < n; ++i) tick(title);
  }

  ns::PlistDictionary dict(const std::string& path) {
    return ns::dictionaryWithContentsOfFile(path).value_or(ns::PlistDictionary{});
  }
  std::string value(const std::string& path, const std::string& key) {
    auto d = ns::dictionaryWithContentsOfFile(path);
    if (!d) return "<unreadable>";
    const std::string* s = ns::stringForKey(*d, key);
    return s ? *s : "<none>";
  }
  std::string seconds(const std::string& number) {
    return value(corvane::musicTimePath(today()), number);
  }
  std::string plays(const std::string& number) {
    return value(corvane::musicNumberPath(today()), number);
  }
  std::string numberOf(const std::string& title) {
    return value(corvane::kMusicIntDataPath, title);
  }
  std::string today() { return "2015-03-05"; }

  testsupport::TempDeviceRoot root;
  testsupport::VirtualClock clock;
  objc::Ref<objc::Object> controller = objc::make<objc::Object>();
  FakeHost host;
};
