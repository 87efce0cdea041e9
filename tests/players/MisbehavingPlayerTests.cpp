// The shell's players source on a private bus, against a player this test
// serves that sends what real players get wrong: an artist as one string,
// an album of another type, a title of a megabyte with control characters,
// no length, a position below 0 or past the end, values of the wrong type,
// and finally the bus going away. Both sides run on the main run loop.
#include <gtest/gtest.h>
#include <sdbus-c++/sdbus-c++.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <map>

#include "Foundation/RunLoop.h"
#include "PlayersTestSupport.h"
#include "SpringBoard/DesktopPlayers.h"

namespace {

using springboard::NowPlayingCenter;
using Properties = std::map<std::string, sdbus::Variant>;

constexpr const char* kPlayer = "org.mpris.MediaPlayer2.Player";

// Runs the main loop until done() or the time is up.
bool runUntil(const std::function<bool()>& done, double seconds = 5) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  ns::RunLoop& loop = ns::RunLoop::main();
  while (!done()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    loop.runUntil(loop.now() + 0.02);
  }
  return true;
}

// A player with the values a test sets, answering on the main run loop.
class FakePlayer {
 public:
  FakePlayer(const std::string& address) {
    bus_ = sdbus::createSessionBusConnectionWithAddress(address);
    object_ = sdbus::createObject(*bus_, "/org/mpris/MediaPlayer2");
    object_->registerProperty("Metadata").onInterface(kPlayer).withGetter([this] {
      return metadata;
    });
    object_->registerProperty("PlaybackStatus").onInterface(kPlayer).withGetter([this] {
      return status;
    });
    object_->registerProperty("Position").onInterface(kPlayer).withGetter([this] {
      return positionUs;
    });
    object_->finishRegistration();
    watch_ = ns::RunLoop::main().watchDescriptor(bus_->getEventLoopPollData().fd, POLLIN,
                                                 [this] { pump(); });
  }
  ~FakePlayer() { ns::RunLoop::main().unwatchDescriptor(watch_); }

  void pump() {
    try {
      while (bus_->processPendingRequest()) {
      }
    } catch (const sdbus::Error&) {
      ns::RunLoop::main().unwatchDescriptor(watch_);  // its bus is gone
    }
  }
  void appear() {
    bus_->requestName("org.mpris.MediaPlayer2.fake");
    pump();  // what came in while it waited for the bus
  }
  void vanish() { bus_->releaseName("org.mpris.MediaPlayer2.fake"); }
  void changed(const std::vector<std::string>& names) {
    object_->emitPropertiesChangedSignal(kPlayer, names);
  }
  void seeked(int64_t us) { object_->emitSignal("Seeked").onInterface(kPlayer).withArguments(us); }
  // A PropertiesChanged as the player builds it, right or wrong.
  template <class... Args>
  void rawChanged(const Args&... args) {
    auto signal = object_->createSignal("org.freedesktop.DBus.Properties", "PropertiesChanged");
    (signal << ... << args);
    object_->emitSignal(signal);
  }

  Properties metadata;
  std::string status = "Playing";
  int64_t positionUs = 0;

 private:
  std::unique_ptr<sdbus::IConnection> bus_;
  std::unique_ptr<sdbus::IObject> object_;
  ns::RunLoop::WatchId watch_ = 0;
};

class MisbehavingPlayer : public testing::Test {
 protected:
  void SetUp() override {
    if (!playerstest::haveProgram("dbus-daemon"))
      GTEST_SKIP() << "dbus-daemon is not installed (Debian package dbus-daemon)";
    bus = std::make_unique<playerstest::PrivateBus>();
    ASSERT_TRUE(bus->running()) << "dbus-daemon did not start";
    ns::RunLoop::main().reset();
    ns::RunLoop::main().useRealClock();
    NowPlayingCenter::shared().reset();
  }
  void TearDown() override { NowPlayingCenter::shared().reset(); }
  const springboard::NowPlayingState& shown() { return NowPlayingCenter::shared().current(); }

  std::unique_ptr<playerstest::PrivateBus> bus;
};

TEST_F(MisbehavingPlayer, ItsValuesAreShownSensiblyAndNothingOfItBreaksTheShell) {
  FakePlayer fake(bus->address());
  std::string title = "Bad\x01Name\n" + std::string(1 << 20, 'x');
  fake.metadata = {{"xesam:title", sdbus::Variant(title)},
                   {"xesam:artist", sdbus::Variant(std::string("Solo"))},
                   {"xesam:album", sdbus::Variant(int32_t{7})}};
  fake.positionUs = 2'500'000;
  springboard::DesktopPlayers players(bus->address());
  std::string error;
  ASSERT_TRUE(players.start(&error)) << error;
  fake.appear();
  ASSERT_TRUE(runUntil([&] { return shown().title.has_value(); }));
  EXPECT_EQ(players.chosenPlayer(), "org.mpris.MediaPlayer2.fake");
  EXPECT_EQ(*shown().title, "Bad Name " + std::string(springboard::kMaxTextUnits - 9, 'x'));
  EXPECT_EQ(shown().artist, "Solo");
  EXPECT_EQ(shown().album, std::nullopt);
  EXPECT_TRUE(shown().playing);
  EXPECT_GE(shown().position, 2.0f);

  // Back to the start, reported a little below it: exactly 0.
  fake.seeked(-160'000);
  ASSERT_TRUE(runUntil([&] { return shown().position == 0.0f; }));

  // A new track with a length, the player's position already past its end.
  fake.metadata = {{"xesam:title", sdbus::Variant(std::string("Short"))},
                   {"mpris:length", sdbus::Variant(int64_t{5'000'000})}};
  fake.positionUs = 9'000'000;
  fake.changed({"Metadata"});
  ASSERT_TRUE(runUntil([&] { return shown().title == "Short" && shown().position == 5.0f; }));

  // Values of the wrong type and a signal of the wrong shape change nothing.
  fake.rawChanged(std::string(kPlayer),
                  Properties{{"PlaybackStatus", sdbus::Variant(int32_t{1})},
                             {"Metadata", sdbus::Variant(std::string("not a map"))}},
                  std::vector<std::string>{});
  fake.rawChanged(std::string("only this"));
  fake.status = "Paused";
  fake.changed({"PlaybackStatus"});
  ASSERT_TRUE(runUntil([&] { return !shown().playing; }));
  // The wrong Metadata above read as empty: no title any more.
  EXPECT_EQ(shown().title, std::nullopt);

  // The player goes: nothing plays.
  fake.metadata = {{"xesam:title", sdbus::Variant(std::string("Back"))}};
  fake.changed({"Metadata"});
  ASSERT_TRUE(runUntil([&] { return shown().title == "Back"; }));
  fake.vanish();
  ASSERT_TRUE(runUntil([&] { return !shown().title; }));
  EXPECT_EQ(players.chosenPlayer(), "");
  // Nothing plays: nothing is planned, the loop just waits on the bus.
  EXPECT_TRUE(std::isinf(ns::RunLoop::main().nextTaskTime()));

  // Stopped, it plans nothing and shows nothing; started again, it finds the player.
  fake.appear();
  ASSERT_TRUE(runUntil([&] { return shown().title == "Back"; }));
  players.stop();
  EXPECT_EQ(shown(), springboard::NowPlayingState{});
  EXPECT_TRUE(players.players().empty());
  EXPECT_TRUE(std::isinf(ns::RunLoop::main().nextTaskTime()));
  ASSERT_TRUE(players.start(&error)) << error;
  ASSERT_TRUE(runUntil([&] { return shown().title == "Back"; }));

  // The bus goes: said once, and the shell carries on.
  testing::internal::CaptureStderr();
  bus->stop();
  bool cleared = runUntil([&] { return !shown().title; });
  std::string said = testing::internal::GetCapturedStderr();
  EXPECT_TRUE(cleared);
  EXPECT_EQ(said.rfind("SpringBoard: the session bus went away (", 0), 0u) << said;
  EXPECT_EQ(said.find('\n'), said.size() - 1) << said;  // one line
}

TEST(DesktopPlayers, AMissingBusIsAClearErrorAndNothingPlays) {
  testsupport::TempDeviceRoot root;
  NowPlayingCenter::shared().reset();
  // As the shell connects: to the session bus its environment names.
  const char* saved = std::getenv("DBUS_SESSION_BUS_ADDRESS");
  std::string previous = saved ? saved : "";
  setenv("DBUS_SESSION_BUS_ADDRESS", ("unix:path=" + root.host("/no-bus")).c_str(), 1);
  springboard::DesktopPlayers players;
  std::string error;
  EXPECT_FALSE(players.start(&error));
  EXPECT_EQ(error.rfind("no session bus (at unix:path=" + root.host("/no-bus") + "; ", 0), 0u)
      << error;
  if (saved)
    setenv("DBUS_SESSION_BUS_ADDRESS", previous.c_str(), 1);
  else
    unsetenv("DBUS_SESSION_BUS_ADDRESS");
  EXPECT_EQ(NowPlayingCenter::shared().current(), springboard::NowPlayingState{});
}

}  // namespace
