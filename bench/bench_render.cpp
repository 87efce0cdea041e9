// Cost of drawing a full 320 x 568 screen at scale 2 like the app's: a card
// with its date field, ring, percentage and title, a switch word, and a list
// of ten rows with two labels each and separators. "From scratch" makes a new
// renderer and picture every frame (no decoded images, no text layout kept);
// "window" reuses both as the desktop window does. The peak resident memory
// of the process is reported with each.
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "Foundation/RunLoop.h"
#include "QuartzCore/CAShapeLayer.h"
#include "UIKit/UIKit.h"
#include "UIKitHost/UIRenderer.h"

namespace {

objc::Ref<UIColor> rgb(double r, double g, double b, double a = 1) {
  return UIColor::colorWithRed(r, g, b, a);
}

objc::Ref<UILabel> label(CGRect frame, const char* text, const char* font, double size,
                         objc::Ref<UIColor> colour, NSTextAlignment align) {
  auto l = objc::make<UILabel>(frame);
  l->setText(text);
  l->setFont(UIFont::fontWithName(font, size));
  l->setTextColor(colour);
  l->setTextAlignment(align);
  return l;
}

class Rows : public objc::Object, public UITableViewDataSource {
  OBJC_CLASS(Rows)
 public:
  NSInteger tableViewNumberOfRowsInSection(UITableView*, NSInteger) override { return 10; }
  objc::Ref<UITableViewCell> tableViewCellForRowAtIndexPath(UITableView*, NSIndexPath* p) override {
    auto cell = objc::make<UITableViewCell>(UITableViewCellStyleDefault, "Cell");
    cell->setBackgroundColor(rgb(0.6, 0.4, 0.2, 0.34));
    char title[64], value[32];
    std::snprintf(title, sizeof title, "A song title number %ld", static_cast<long>(p->row() + 1));
    std::snprintf(value, sizeof value, "%0.1fmin", 12.5 - static_cast<double>(p->row()));
    cell->addSubview(label(CGRectMake(17, 6.5, 170, 22), title, ".HelveticaNeueInterface-Regular",
                           17.07, UIColor::whiteColor(), NSTextAlignmentLeft));
    cell->addSubview(label(CGRectMake(145, 6.5, 145, 22), value, ".HelveticaNeueInterface-Regular",
                           17.07, UIColor::whiteColor(), NSTextAlignmentRight));
    return cell;
  }
};

// The scene lives for the whole program, as an app's screen does.
struct Scene {
  Scene() {
    folder = std::filesystem::temp_directory_path() /
             ("corvane-bench-render-" + std::to_string(getpid()));
    setenv("CORVANE_DEVICE_ROOT", folder.c_str(), 1);
    ns::RunLoop::main().useVirtualClock(1425556800);
    UIScreen::setDeviceProfile(320, 568, 2);
    window = objc::make<UIWindow>();
    window->makeKeyAndVisible();
    auto root = objc::make<UIView>(window->bounds());
    root->setBackgroundColor(rgb(0.87, 0.86, 0.84));
    window->addSubview(root);

    auto card = objc::make<UIView>(CGRectMake(37, 0, 246.15, 214));
    auto date = objc::make<UITextField>(CGRectMake(41, 0, 164.1, 40));
    date->setText("2015-03-05");
    date->setFont(UIFont::fontWithName("Futura", 25.59));
    date->setTextAlignment(NSTextAlignmentCenter);
    date->setTextColor(UIColor::brownColor());
    card->addSubview(date);
    CGPath circle;
    circle.addArc(CGPointMake(123.08, 0), 85.33, 0, 2 * M_PI, true);
    for (int i = 0; i < 2; ++i) {
      auto shape = CAShapeLayer::layer();
      shape->setPath(circle);
      shape->setLineWidth(15);
      shape->setFillColor(CGColorRef());
      shape->setStrokeColor(i ? CGColorMake(0.24, 0.85, 0.45, 1)
                              : CGColorMake(0.96, 0.96, 0.94, 0.4));
      shape->setFrame(CGRectMake(0, 111.6, 0, 0));
      if (i) shape->setStrokeEnd(0.37);
      card->layer()->addSublayer(shape);
    }
    card->addSubview(label(CGRectMake(67, 69, 111.89, 84.67), "37%", "Futura", 38.4,
                           UIColor::orangeColor()->colorWithAlphaComponent(0.7),
                           NSTextAlignmentCenter));
    card->addSubview(label(CGRectMake(61.5, 118, 123.08, 63.5), "A song title", "Futura", 17.07,
                           UIColor::lightGrayColor(), NSTextAlignmentCenter));
    root->addSubview(card);

    auto control = objc::make<UIView>(CGRectMake(248, 8, 64, 40));
    control->setBackgroundColor(UIColor::lightGrayColor()->colorWithAlphaComponent(0.1));
    control->layer()->setCornerRadius(10);
    control->addSubview(label(control->bounds(), "Time", "Futura", 20, UIColor::lightGrayColor(),
                              NSTextAlignmentCenter));
    root->addSubview(control);

    auto list = objc::make<UIView>(CGRectMake(14.5, 214, 290.91, 350));
    list->setBackgroundColor(UIColor::brownColor()->colorWithAlphaComponent(0.1));
    list->layer()->setCornerRadius(10);
    table = objc::make<UITableView>(list->bounds());
    table->setRowHeight(35);
    table->setSeparatorColor(UIColor::whiteColor());
    table->setBackgroundColor(UIColor::clearColor());
    table->layer()->setCornerRadius(10);
    table->setDataSource(rows);
    list->addSubview(table);
    root->addSubview(list);
    UIWindow::layoutAllWindowsIfNeeded();
  }
  ~Scene() { std::filesystem::remove_all(folder); }

  std::filesystem::path folder;
  objc::Ref<UIWindow> window;
  objc::Ref<Rows> rows = objc::make<Rows>();
  objc::Ref<UITableView> table;
};

Scene& scene() {
  static Scene s;
  return s;
}

void reportMemory(benchmark::State& state) {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  state.counters["peak_rss_MB"] = static_cast<double>(usage.ru_maxrss) / 1024.0;  // KiB on Linux
}

void BM_FrameFromScratch(benchmark::State& state) {
  scene();
  for (auto _ : state) {
    UIRenderer renderer;
    auto picture = renderer.renderScreen(2);
    benchmark::DoNotOptimize(picture->data());
  }
  reportMemory(state);
}
BENCHMARK(BM_FrameFromScratch)->Unit(benchmark::kMillisecond);

void BM_FrameInWindow(benchmark::State& state) {
  scene();
  UIRenderer renderer;
  CGContext picture(320, 568, 2);
  for (auto _ : state) {
    renderer.drawScreen(picture);
    benchmark::DoNotOptimize(picture.data());
  }
  // The frame, for a person to look at.
  if (const char* dir = std::getenv("CORVANE_RENDER_OUT"))
    picture.writePNG(std::string(dir) + "/bench-frame.png");
  reportMemory(state);
}
BENCHMARK(BM_FrameInWindow)->Unit(benchmark::kMillisecond);

// What the window pays each wake-up to learn whether to draw.
void BM_ScreenDigest(benchmark::State& state) {
  scene();
  UIRenderer renderer;
  for (auto _ : state) benchmark::DoNotOptimize(renderer.screenDigest());
}
BENCHMARK(BM_ScreenDigest)->Unit(benchmark::kMicrosecond);

}  // namespace

OBJC_CLASS_IMPL(Rows, objc::Object, nullptr)

BENCHMARK_MAIN();
