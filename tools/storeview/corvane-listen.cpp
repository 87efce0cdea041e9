// Plays a scripted listening session through the sampler on the virtual
// clock, with the recorder's own timers: a sampling tick every second and a
// replay check every 0.3 seconds.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "DataStore.h"
#include "Foundation/FileSystem.h"
#include "Foundation/NSDate.h"
#include "Foundation/NSTimer.h"
#include "Foundation/RunLoop.h"
#include "NowPlayingHost.h"
#include "PlaySampler.h"
#include "RecorderKeys.h"

namespace {

struct Segment {
  double from, to;  // seconds since the session started
  const char* title;
  const char* album;
  const char* artist;
  bool playing;
  float startPosition;
  const char* note;
};

// Several songs, a pause, a song played twice in a row, a stream, and a song
// that runs past midnight.
const std::vector<Segment> kSession = {
    {0, 150, "Morning Tide", "Harbour Lights", "The Lanterns", true, 1, "a new song plays"},
    {150, 170, "Morning Tide", "Harbour Lights", "The Lanterns", false, 151, "paused"},
    {170, 200, "Morning Tide", "Harbour Lights", "The Lanterns", true, 151, "resumed"},
    {200, 290, "Paper Boats", "Rooftops", "June Avenue", true, 1, "next song"},
    {290, 380, "Paper Boats", "Rooftops", "June Avenue", true, 0, "the same song again"},
    {380, 440, "http://radio.example/live", nullptr, "Radio", true, 1, "a stream (not recorded)"},
    {440, 480, nullptr, nullptr, nullptr, false, 0, "nothing playing"},
    {480, 720, "Night Train", "Rooftops", "June Avenue", true, 1, "a song across midnight"},
};

class ScriptedHost : public corvane::NowPlayingHost {
 public:
  explicit ScriptedHost(double start) : start_(start) {}
  const Segment* current() const {
    double t = ns::RunLoop::main().now() - start_;
    for (auto& s : kSession)
      if (t >= s.from && t < s.to) return &s;
    return nullptr;
  }
  corvane::TrackInformation trackInformation() override {
    corvane::TrackInformation info;
    if (const Segment* s = current()) {
      if (s->title) info.title = s->title;
      if (s->album) info.album = s->album;
      if (s->artist) info.artist = s->artist;
    }
    return info;
  }
  float position() override {
    const Segment* s = current();
    if (!s || !s->title) return 0;
    double into = ns::RunLoop::main().now() - start_ - s->from;
    return s->playing ? s->startPosition + static_cast<float>(into) : s->startPosition;
  }
  bool isPlaying() override {
    const Segment* s = current();
    return s && s->playing;
  }
  void showAlert(const std::string& title, const std::string& message,
                 const std::string& button) override {
    std::printf("  [alert] %s: %s (%s)\n", title.c_str(), message.c_str(), button.c_str());
    alerted = true;
  }
  bool alerted = false;

 private:
  double start_;
};

double parseLocal(const char* text) {
  std::tm tm{};
  if (std::sscanf(text, "%d-%d-%dT%d:%d:%d", &tm.tm_year, &tm.tm_mon, &tm.tm_mday, &tm.tm_hour,
                  &tm.tm_min, &tm.tm_sec) != 6)
    return -1;
  tm.tm_year -= 1900;
  tm.tm_mon -= 1;
  tm.tm_isdst = -1;
  return static_cast<double>(std::mktime(&tm));
}

}  // namespace

int main(int argc, char** argv) {
  const char* startText = "2015-03-05T23:50:00";
  for (int i = 1; i < argc; ++i) {
    if (!std::strcmp(argv[i], "--start") && i + 1 < argc) {
      startText = argv[++i];
    } else {
      std::fprintf(stderr, "usage: corvane-listen [--start YYYY-MM-DDTHH:MM:SS]\n");
      return 2;
    }
  }
  double start = parseLocal(startText);
  if (start < 0) {
    std::fprintf(stderr, "corvane-listen: bad start time \"%s\" (want YYYY-MM-DDTHH:MM:SS)\n",
                 startText);
    return 2;
  }

  ns::RunLoop& loop = ns::RunLoop::main();
  loop.useVirtualClock(start);
  // The store folder belongs to the installation, not to the recorder.
  if (!ns::createDirectoryAtPath(corvane::kStoreRoot, true)) {
    std::fprintf(stderr, "corvane-listen: cannot create the store under %s\n",
                 ns::deviceRoot().c_str());
    return 1;
  }
  corvane::removeStoreTemporaryFiles();

  ScriptedHost host(start);
  auto controller = objc::make<objc::Object>();
  corvane::resetSlotsForStart(controller);
  auto sampling = ns::NSTimer::scheduledTimer(
      1.0, true, [&](ns::NSTimer*) { corvane::CheckMusicInfo(controller, host); });
  auto replay = ns::NSTimer::scheduledTimer(
      0.3, true, [&](ns::NSTimer*) { corvane::checkNumber(controller, host); });
  objc::objc_setAssociatedObject(controller, corvane::kCheckTimerKey, sampling,
                                 objc::OBJC_ASSOCIATION_RETAIN);

  std::printf("Listening session from %s (virtual clock)\n", startText);
  for (auto& s : kSession) {
    loop.runUntil(start + s.from);
    std::printf("  %s  %-28s %s\n", ns::formatDate(loop.now(), "yyyy-MM-dd HH:mm:ss").c_str(),
                s.title ? s.title : "-", s.note);
  }
  loop.runUntil(start + kSession.back().to);
  sampling->invalidate();
  replay->invalidate();
  std::printf("  %s  session over\n\n", ns::formatDate(loop.now(), "yyyy-MM-dd HH:mm:ss").c_str());
  return host.alerted ? 1 : 0;
}
