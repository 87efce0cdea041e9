// The app's own work on a long history: building the main screen and its
// first frame, a day change, a mode switch and the opening of the date list,
// each to the point where the new values are set (animations excluded: the
// virtual clock only runs what is due at once), on a three-year store.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <cstdlib>
#include <string>

#include "Foundation/RunLoop.h"
#include "ThreeYearStore.h"
#include "UIKit/UIKit.h"
#include "UIKitHost/UIRenderer.h"
#include "ViewController.h"
#include "core/StoreReader.h"

namespace {

double peakRSSMegabytes() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss / 1024.0;
}

struct Screen {
  Screen() {
    window = objc::make<UIWindow>();
    vc = objc::make<ViewController>();
    window->setRootViewController(vc);
    window->makeKeyAndVisible();
    ns::RunLoop::main().runUntil(ns::RunLoop::main().now());
    UIWindow::layoutAllWindowsIfNeeded();
  }
  ~Screen() {
    UIAlertView::removeAll();
    window = nullptr;
    vc = nullptr;
  }
  // Runs what a change left for the run loop at the current time (the
  // zero-length animations' completions, the layout pass).
  static void settle() {
    ns::RunLoop::main().runUntil(ns::RunLoop::main().now());
    UIWindow::layoutAllWindowsIfNeeded();
  }
  objc::Ref<UIWindow> window;
  objc::Ref<ViewController> vc;
};

void useVirtualClock() {
  if (!useThreeYearStore()) std::fprintf(stderr, "cannot generate the three-year store\n");
  ns::RunLoop::main().useVirtualClock(0);
}

void BM_ColdStartToFirstFrame(benchmark::State& state) {
  useVirtualClock();
  UIRenderer renderer;
  for (auto _ : state) {
    Screen screen;
    auto picture = renderer.renderScreen();
    benchmark::DoNotOptimize(picture);
    state.PauseTiming();
    UIAlertView::removeAll();
    state.ResumeTiming();
  }
  state.counters["peak_rss_MB"] = peakRSSMegabytes();
}

void BM_DayChange(benchmark::State& state) {
  useVirtualClock();
  Screen screen;
  auto days = corvane::app::dayListOrError();
  size_t i = 0;
  for (auto _ : state) {
    DateCellView* card = screen.vc->dateScorllView()->getScrollView();
    card->DateLabel()->setText(days[i++ % days.size()]);
    screen.vc->showTableView()->freshDataTableView(card);
    Screen::settle();
    state.PauseTiming();
    UIAlertView::removeAll();
    state.ResumeTiming();
  }
  state.counters["peak_rss_MB"] = peakRSSMegabytes();
}

void BM_ModeSwitch(benchmark::State& state) {
  useVirtualClock();
  Screen screen;
  bool number = false;
  for (auto _ : state) {
    number = !number;
    if (number)
      screen.vc->showTableView()->freshToNumber();
    else
      screen.vc->showTableView()->freshToTime();
    Screen::settle();
  }
}

void BM_DateListOpening(benchmark::State& state) {
  useVirtualClock();
  Screen screen;
  for (auto _ : state) {
    screen.vc->MenuEvent();
    Screen::settle();
    state.PauseTiming();
    screen.vc->showDetailTableView()->removeFromSuperview();
    state.ResumeTiming();
  }
}

}  // namespace

BENCHMARK(BM_ColdStartToFirstFrame)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DayChange)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ModeSwitch)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DateListOpening)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
