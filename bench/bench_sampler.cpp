// Cost of one playing sampling tick as the history and the day grow, of a
// tick that numbers a new title, and of writing one day file. A tick parses
// only files that changed, so a steady tick should not grow with the history.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "DataStore.h"
#include "Foundation/FileSystem.h"
#include "Foundation/NSDate.h"
#include "Foundation/NSString.h"
#include "Foundation/PropertyList.h"
#include "Foundation/RunLoop.h"
#include "NowPlayingHost.h"
#include "PlaySampler.h"
#include "RecorderKeys.h"

namespace {

struct PlayingHost : corvane::NowPlayingHost {
  std::string title = "Title 0";
  corvane::TrackInformation trackInformation() override {
    return {title, std::string("Album"), std::string("Artist")};
  }
  float position() override { return 42.0f; }
  bool isPlaying() override { return true; }
  void showAlert(const std::string&, const std::string&, const std::string&) override {}
};

// A device root whose store holds `titles` numbered titles and a day with
// `daySongs` songs played.
class Store {
 public:
  Store(int titles, int daySongs) {
    root_ = std::filesystem::temp_directory_path() / ("corvane-bench-" + std::to_string(getpid()));
    std::filesystem::remove_all(root_);
    setenv("CORVANE_DEVICE_ROOT", root_.c_str(), 1);
    ns::RunLoop::main().useVirtualClock(1425556800);  // noon, 2015-03-05 UTC
    ns::createDirectoryAtPath(corvane::kStoreRoot, true);
    ns::PlistDictionary intMusic, musicInt, seconds, plays, albums;
    // The day's songs are numbered titles too, so the history holds at least
    // as many titles as the day has songs.
    titles = std::max({titles, daySongs, 1});
    for (int i = 0; i < titles; ++i) {
      std::string n = std::to_string(i), t = "Title " + n;
      intMusic[n] = t;
      musicInt[t] = n;
    }
    for (int i = 0; i < daySongs; ++i) {
      std::string n = std::to_string(i);
      seconds[n] = "120";
      plays[n] = "1";
      albums[n] = "Artist-Album";
    }
    ns::writeToFile(intMusic, corvane::kIntMusicDataPath);
    ns::writeToFile(musicInt, corvane::kMusicIntDataPath);
    ns::writeToFile(ns::PlistDictionary{{"MusicNumber", std::to_string(titles)}},
                    corvane::kSaveDataPath);
    day_ = ns::formatDate(ns::RunLoop::main().now(), "yyyy-MM-dd");
    ns::writeToFile(ns::PlistArray{day_}, corvane::kDateArrayPath);
    ns::createDirectoryAtPath(corvane::dayFolderPath(day_), true);
    ns::writeToFile(seconds, corvane::musicTimePath(day_));
    ns::writeToFile(plays, corvane::musicNumberPath(day_));
    ns::writeToFile(albums, corvane::musicAlbumPath(day_));
  }
  ~Store() { std::filesystem::remove_all(root_); }
  const std::string& day() const { return day_; }

 private:
  std::filesystem::path root_;
  std::string day_;
};

}  // namespace

static void BM_PlayingTick(benchmark::State& state) {
  Store store(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
  PlayingHost host;
  auto controller = objc::make<objc::Object>();
  corvane::resetSlotsForStart(controller);
  // Steady state: the song's play is already counted, so a tick tallies a
  // second, as almost every tick does.
  objc::objc_setAssociatedObject(controller, corvane::kPreviousMusicKey,
                                 ns::NSString::make("Title 0"), objc::OBJC_ASSOCIATION_RETAIN);
  corvane::CheckMusicInfo(controller, host);  // the store parsed once, as in a running recorder
  for (auto _ : state) corvane::CheckMusicInfo(controller, host);
  state.counters["titles"] = static_cast<double>(state.range(0));
  state.counters["day_songs"] = static_cast<double>(state.range(1));
}
BENCHMARK(BM_PlayingTick)
    ->ArgsProduct({{0, 1000, 10000, 50000}, {10, 500}})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// Every tick plays a title never seen before, so every tick numbers one:
// both maps are copied and written whole.
static void BM_NumberingTick(benchmark::State& state) {
  Store store(static_cast<int>(state.range(0)), 500);
  PlayingHost host;
  auto controller = objc::make<objc::Object>();
  corvane::resetSlotsForStart(controller);
  corvane::CheckMusicInfo(controller, host);  // the maps parsed once, as in a running recorder
  int fresh = 0;
  for (auto _ : state) {
    host.title = "New title " + std::to_string(fresh++);
    corvane::CheckMusicInfo(controller, host);
  }
  state.counters["titles"] = static_cast<double>(state.range(0));
}
BENCHMARK(BM_NumberingTick)->Arg(10)->Arg(50000)->Unit(benchmark::kMillisecond)->UseRealTime();

static void BM_WriteDayFile(benchmark::State& state) {
  Store store(1000, 0);
  ns::PlistDictionary seconds;
  for (int i = 0; i < state.range(0); ++i) seconds[std::to_string(i)] = "120";
  std::string path = corvane::musicTimePath(store.day());
  for (auto _ : state) benchmark::DoNotOptimize(ns::writeToFile(seconds, path));
  state.counters["songs"] = static_cast<double>(state.range(0));
}
BENCHMARK(BM_WriteDayFile)->Arg(10)->Arg(500)->Unit(benchmark::kMicrosecond)->UseRealTime();

BENCHMARK_MAIN();
