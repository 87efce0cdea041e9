// The installed shell and tweak on a device root, following mpv (with the
// mpv-mpris plugin) on a private session bus, on the real clock: what the
// store holds after a person's listening. Seconds are counted by a real
// clock here, so they are checked within a tick either way; plays exactly.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "CorvaneStore/StoreLayout.h"
#include "Foundation/PropertyList.h"
#include "PlayersTestSupport.h"
#include "TestSupport.h"

namespace {

namespace fs = std::filesystem;
using playerstest::Mpv;
using playerstest::Process;

void sleepFor(double seconds) {
  std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
}

class RealPlayers : public testing::Test {
 protected:
  void SetUp() override {
    if (!playerstest::haveProgram("dbus-daemon"))
      GTEST_SKIP() << "dbus-daemon is not installed (Debian package dbus-daemon)";
    if (!playerstest::haveProgram("mpv") || playerstest::mprisPlugin().empty())
      GTEST_SKIP() << "mpv or its MPRIS plugin is not installed (Debian mpv, mpv-mpris)";
    if (!playerstest::haveProgram("ffmpeg"))
      GTEST_SKIP() << "ffmpeg is not installed (Debian package ffmpeg)";
    int status = -1;
    std::string out =
        testsupport::runCommand("bash '" + std::string(CORVANE_INSTALLER_PATH) + "' '" +
                                    root.path() + "' '" + testsupport::buildDir() + "' 2>&1",
                                &status);
    ASSERT_EQ(status, 0) << out;
    bus = std::make_unique<playerstest::PrivateBus>();
    ASSERT_TRUE(bus->running()) << "dbus-daemon did not start";
  }

  std::string track(const char* name, double seconds, const char* title, const char* album,
                    const char* artist) {
    std::string path = root.host(std::string("/") + name + ".ogg");
    EXPECT_TRUE(playerstest::makeTrack(path, seconds, title, album, artist));
    return path;
  }

  std::unique_ptr<Process> startShell(std::vector<std::string> options = {"--for", "120"}) {
    // Bounded, should the test die before it stops the shell.
    options.insert(options.begin(), {testsupport::buildDir() + "/bin/SpringBoard", "--players"});
    auto shell = std::make_unique<Process>(
        options,
        std::vector<std::string>{"DBUS_SESSION_BUS_ADDRESS=" + bus->address(),
                                 "CORVANE_DEVICE_ROOT=" + root.path(), "CORVANE_HEADLESS=1"});
    shellStart = std::chrono::steady_clock::now();
    return shell;
  }

  // The tweak starts sampling about a second after the shell starts.
  void untilSampling() {
    double since =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - shellStart).count();
    if (since < 2.5) sleepFor(2.5 - since);
  }

  ns::PlistDictionary dayFile(const char* file) {
    // The last day recorded (a run may cross midnight; its checks then fail loudly).
    auto days = ns::arrayWithContentsOfFile(corvane::kDateArrayPath);
    std::string day = days && !days->empty() && days->back().string() ? *days->back().string() : "";
    return ns::dictionaryWithContentsOfFile(corvane::dayFilePath(day, file))
        .value_or(ns::PlistDictionary{});
  }
  int seconds(const char* number) {
    ns::PlistDictionary times = dayFile(corvane::kMusicTimeFile);
    const std::string* text = ns::stringForKey(times, number);
    return text ? std::atoi(text->c_str()) : -1;
  }

  testsupport::TempDeviceRoot root;
  std::unique_ptr<playerstest::PrivateBus> bus;
  std::chrono::steady_clock::time_point shellStart;
};

TEST_F(RealPlayers, PlayPauseSeekToStartNextTrackAndQuitAreRecordedAsListened) {
  std::string alpha = track("alpha", 12, "Alpha", "First Album", "Someone");
  std::string beta = track("beta", 10, "Beta", "Second Album", "Other");
  auto shell = startShell();
  Mpv mpv(bus->address(), root.host("/mpv.sock"), {"--pause", alpha, beta});
  ASSERT_TRUE(shell->waitForLine("Alpha  (Someone, First Album; mpv)", 10)) << shell->output();
  untilSampling();

  ASSERT_TRUE(mpv.command(R"({"command": ["set_property", "pause", false]})"));
  sleepFor(6.5);  // counted on the fifth tick
  ASSERT_TRUE(mpv.command(R"({"command": ["set_property", "pause", true]})"));
  sleepFor(3);  // paused: not tallied
  ASSERT_TRUE(mpv.command(R"({"command": ["set_property", "pause", false]})"));
  sleepFor(1);
  ASSERT_TRUE(mpv.command(R"({"command": ["seek", 0, "absolute"]})"));
  sleepFor(6.5);  // from the start again: counted again
  ASSERT_TRUE(mpv.command(R"({"command": ["playlist-next"]})"));
  ASSERT_TRUE(shell->waitForLine("Beta  (Other, Second Album; mpv)", 5)) << shell->output();
  sleepFor(6.5);
  ASSERT_TRUE(mpv.command(R"({"command": ["quit"]})"));
  ASSERT_TRUE(shell->waitForLine("nothing playing", 5)) << shell->output();
  sleepFor(1.2);  // nothing plays: nothing more is tallied

  EXPECT_EQ(shell->stop(SIGINT), 0) << shell->output();

  EXPECT_EQ(ns::dictionaryWithContentsOfFile(corvane::kIntMusicDataPath),
            (ns::PlistDictionary{{"0", "Alpha"}, {"1", "Beta"}}));
  EXPECT_EQ(dayFile(corvane::kMusicNumberFile), (ns::PlistDictionary{{"0", "2"}, {"1", "1"}}));
  EXPECT_EQ(dayFile(corvane::kMusicAlbumFile),
            (ns::PlistDictionary{{"0", "Someone-First Album"}, {"1", "Other-Second Album"}}));
  // Alpha played 14 s, its first second twice at 0; paused seconds would add 3.
  EXPECT_GE(seconds("0"), 11);
  EXPECT_LE(seconds("0"), 13);
  EXPECT_GE(seconds("1"), 5);
  EXPECT_LE(seconds("1"), 7);
  // Stopped between two writes: no temporary file is left.
  for (auto& entry : fs::recursive_directory_iterator(root.host(corvane::kStoreRoot)))
    EXPECT_EQ(entry.path().filename().string().find(".corvane-tmp"), std::string::npos)
        << entry.path();
}

TEST_F(RealPlayers, OfTwoPlayersTheOneThatStartedLastIsRecordedUntilItQuits) {
  std::string one = track("one", 30, "One", "Album One", "First");
  std::string two = track("two", 30, "Two", "Album Two", "Second");
  auto shell = startShell();
  Mpv first(bus->address(), root.host("/first.sock"), {"--pause", one});
  ASSERT_TRUE(shell->waitForLine("One  (First, Album One;", 10)) << shell->output();
  untilSampling();
  ASSERT_TRUE(first.command(R"({"command": ["set_property", "pause", false]})"));
  sleepFor(3);

  Mpv second(bus->address(), root.host("/second.sock"), {two});
  ASSERT_TRUE(shell->waitForLine("Two  (Second, Album Two;", 10)) << shell->output();
  sleepFor(6.5);
  ASSERT_TRUE(second.command(R"({"command": ["quit"]})"));
  // Back to the one still playing.
  ASSERT_TRUE(shell->waitForLine("One  (First, Album One;", 5)) << shell->output();
  sleepFor(3);
  EXPECT_EQ(shell->stop(SIGTERM), 0) << shell->output();

  EXPECT_EQ(ns::dictionaryWithContentsOfFile(corvane::kIntMusicDataPath),
            (ns::PlistDictionary{{"0", "One"}, {"1", "Two"}}));
  EXPECT_EQ(dayFile(corvane::kMusicNumberFile)["1"], ns::PlistValue("1"));
  // One's 6 s around Two's, not the 6 s it played beneath Two.
  EXPECT_GE(seconds("0"), 4);
  EXPECT_LE(seconds("0"), 7);
  EXPECT_GE(seconds("1"), 5);
  EXPECT_LE(seconds("1"), 7);
}

// The fixture's noisy client: names player names, signals a second, for seconds.
std::unique_ptr<Process> floodPlayer(const std::string& bus, int names, int rate, int seconds) {
  auto flood = std::make_unique<Process>(
      std::vector<std::string>{testsupport::buildDir() + "/bin/corvane_flood_player",
                               std::to_string(names), std::to_string(rate),
                               std::to_string(seconds)},
      std::vector<std::string>{"DBUS_SESSION_BUS_ADDRESS=" + bus});
  EXPECT_TRUE(flood->waitForLine("ready", 20)) << flood->output();
  return flood;
}

TEST_F(RealPlayers, AClientFloodingTheBusFromManyNamesNeitherStarvesTheTimersNorTheStopTime) {
  auto flood = floodPlayer(bus->address(), 500, 10000, 30);
  auto shell = startShell({"--for", "7"});
  // --for is kept, so the sampling timer ran on time all along.
  EXPECT_EQ(shell->wait(12), 0) << shell->output();
  EXPECT_EQ(dayFile(corvane::kMusicNumberFile)["0"], ns::PlistValue("1")) << shell->output();
  // Sampling starts about a second after the shell: every second after it.
  EXPECT_GE(seconds("0"), 5) << shell->output();
  EXPECT_LE(seconds("0"), 7);
}

TEST_F(RealPlayers, AnIgnoredPlayerIsNeverShownAndOnlyChoosesByIdentity) {
  std::string alpha = track("alpha", 30, "Alpha", "First Album", "Someone");
  Mpv mpv(bus->address(), root.host("/mpv.sock"), {alpha});
  auto podcast = floodPlayer(bus->address(), 1, 1, 60);  // plays "Flood" throughout
  auto shell = startShell({"--for", "5", "--ignore", "FLOOD"});
  EXPECT_EQ(shell->wait(12), 0);
  std::string out = shell->output();
  EXPECT_NE(out.find("Alpha  (Someone, First Album; mpv)  recording"), std::string::npos) << out;
  EXPECT_EQ(out.find("Flood"), std::string::npos) << out;
  auto titles = ns::dictionaryWithContentsOfFile(corvane::kMusicIntDataPath);
  ASSERT_TRUE(titles);
  EXPECT_TRUE(titles->count("Alpha"));
  EXPECT_FALSE(titles->count("Flood"));  // never recorded

  shell = startShell({"--for", "5", "--only", "flood"});  // its Identity, "Flood"
  EXPECT_EQ(shell->wait(12), 0);
  out = shell->output();
  EXPECT_NE(out.find("Flood  (Bus, Noise; flood.instance0)  recording"), std::string::npos) << out;
  EXPECT_EQ(out.find("Alpha"), std::string::npos) << out;
  titles = ns::dictionaryWithContentsOfFile(corvane::kMusicIntDataPath);
  ASSERT_TRUE(titles);
  EXPECT_TRUE(titles->count("Flood"));
}

TEST(DesktopPlayersShell, WithoutASessionBusSaysSoOnceAndRunsWithNothingPlaying) {
  testsupport::TempDeviceRoot root;
  testsupport::runCommand("mkdir -p '" + root.host(corvane::kStoreRoot) + "'");
  Process shell({testsupport::buildDir() + "/bin/SpringBoard", "--players", "--for", "2"},
                {"DBUS_SESSION_BUS_ADDRESS=unix:path=" + root.host("/no-bus"),
                 "CORVANE_DEVICE_ROOT=" + root.path(), "CORVANE_HEADLESS=1"});
  EXPECT_EQ(shell.wait(20), 0) << shell.output();
  std::string out = shell.output();
  size_t said = out.find("SpringBoard: no session bus (");
  EXPECT_NE(said, std::string::npos) << out;
  EXPECT_EQ(out.find("no session bus", said + 20), std::string::npos) << out;
  EXPECT_EQ(out.find("nothing playing"), std::string::npos) << out;  // no song line either
}

}  // namespace
