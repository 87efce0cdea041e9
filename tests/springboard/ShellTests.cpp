// The SpringBoard program's command line and its start.
#include <gtest/gtest.h>
#include <signal.h>

#include <cstdlib>
#include <ctime>
#include <string>

#include "Foundation/RunLoop.h"
#include "SpringBoard/NowPlayingCenter.h"
#include "SpringBoard/NowPlayingSource.h"
#include "SpringBoard/Shell.h"
#include "TestSupport.h"

namespace {

using springboard::ShellOptions;

bool parse(std::vector<const char*> args, ShellOptions* options, std::string* error) {
  args.insert(args.begin(), "SpringBoard");
  return springboard::parseShellOptions(static_cast<int>(args.size()), args.data(), options, error);
}

TEST(ShellOptions, RefusesWhatItCannotUse) {
  const std::vector<std::vector<const char*>> bad = {
      {"--feed"},
      {"--virtual", "--start", "2015-02-30T12:00:00"},
      {"--virtual", "--start", "2015-03-05 12:00:00"},
      {"--start", "2015-03-05T12:00:00"},
      {"--for", "0"},
      {"--for", "10s"},
      {"--fast"},
      {"--players", "--feed", "feed.jsonl"},
      {"--players", "--virtual"},
  };
  for (const auto& args : bad) {
    ShellOptions options;
    std::string error;
    EXPECT_FALSE(parse(args, &options, &error)) << args[0];
    EXPECT_FALSE(error.empty());
  }
}

TEST(ShellOptions, AStartTheClocksSkipIsRefusedNotShifted) {
  const char* before = std::getenv("TZ");
  const std::string saved = before ? before : "";
  setenv("TZ", "Europe/Berlin", 1);
  tzset();
  ShellOptions options;
  std::string error;
  // 02:00 to 03:00 does not exist on that day; mktime would give 03:30.
  EXPECT_FALSE(parse({"--virtual", "--start", "2015-03-29T02:30:00"}, &options, &error));
  EXPECT_NE(error.find("daylight-saving"), std::string::npos) << error;
  EXPECT_TRUE(parse({"--virtual", "--start", "2015-03-29T03:30:00"}, &options, &error));
  // The hour that comes twice in autumn is a real time.
  EXPECT_TRUE(parse({"--virtual", "--start", "2015-10-25T02:30:00"}, &options, &error));
  if (before)
    setenv("TZ", saved.c_str(), 1);
  else
    unsetenv("TZ");
  tzset();
}

// A source a test adds: what the shell made, started and stopped.
struct DoubleLog {
  std::string value;
  std::vector<std::string> only;
  std::vector<double> starts;
  int stops = 0;
};

class DoubleSource : public springboard::NowPlayingSource {
 public:
  explicit DoubleSource(DoubleLog* log) : log_(log) {}
  bool start(std::string*) override {
    log_->starts.push_back(ns::RunLoop::main().now());
    springboard::NowPlayingCenter::shared().set({"Double", {}, {}, 0, true});
    return true;
  }
  void stop() override {
    ++log_->stops;
    springboard::NowPlayingCenter::shared().reset();
  }

 private:
  DoubleLog* log_;
};

springboard::NowPlayingSourceKind kindFor(const char* option) {
  springboard::NowPlayingSourceKind kind;
  kind.option = option;
  return kind;
}

DoubleLog* addDouble() {
  static DoubleLog log;
  static bool added = [] {
    springboard::NowPlayingSourceKind kind = kindFor("--double");
    kind.valueName = "NAME";
    kind.synopsis = "--double NAME";
    kind.help = "  --double NAME   a test's source\n";
    kind.takesPlayerNames = true;
    kind.make = [](const springboard::NowPlayingSourceOptions& options,
                   std::string*) -> std::unique_ptr<springboard::NowPlayingSource> {
      log.value = options.value;
      log.only = options.only;
      return std::make_unique<DoubleSource>(&log);
    };
    return springboard::addNowPlayingSourceKind(kind);
  }();
  EXPECT_TRUE(added);
  return &log;
}

TEST(NowPlayingSources, AnAddedSourceIsChosenByItsOptionAloneAndRunsFromStartToTheEnd) {
  DoubleLog* log = addDouble();
  EXPECT_FALSE(springboard::addNowPlayingSourceKind(kindFor("--double")));
  EXPECT_FALSE(springboard::addNowPlayingSourceKind(kindFor("--feed")));
  EXPECT_NE(springboard::shellUsage().find(
                "[--feed FILE | --players [--only NAMES] [--ignore NAMES] | --double NAME]"),
            std::string::npos);

  ShellOptions options;
  std::string error;
  EXPECT_FALSE(parse({"--feed", "f.jsonl", "--double", "a"}, &options, &error));
  EXPECT_EQ(error, "--double and --feed are two sources of what plays: give one");
  EXPECT_FALSE(parse({"--double"}, &options, &error));
  EXPECT_EQ(error, "--double needs a value");
  ASSERT_TRUE(parse({"--double", "a", "--only", "x", "--virtual", "--for", "30"}, &options, &error))
      << error;
  EXPECT_EQ(options.source, "--double");
  EXPECT_EQ(options.sourceValue, "a");

  testsupport::TempDeviceRoot root;
  testsupport::VirtualClock clock;
  const double origin = ns::RunLoop::main().now();
  char name[] = "SpringBoard";
  char* argv[] = {name, nullptr};
  struct sigaction children {};
  sigaction(SIGCHLD, nullptr, &children);  // the shell leaves its children unwaited
  EXPECT_EQ(springboard::runShell(options, 1, argv), 0);
  sigaction(SIGCHLD, &children, nullptr);
  EXPECT_EQ(log->value, "a");
  EXPECT_EQ(log->only, std::vector<std::string>{"x"});
  EXPECT_EQ(log->starts, std::vector<double>{origin});
  EXPECT_EQ(log->stops, 1);
  EXPECT_EQ(springboard::NowPlayingCenter::shared().current(), springboard::NowPlayingState{});
}

class ShellProgram : public testing::Test {
 protected:
  std::string run(const std::string& arguments, int* status) {
    return testsupport::runCommand("CORVANE_DEVICE_ROOT=" + root.path() + " " +
                                       testsupport::buildDir() + "/bin/SpringBoard " + arguments +
                                       " 2>&1 </dev/null",
                                   status);
  }
  testsupport::TempDeviceRoot root;
};

TEST_F(ShellProgram, AFeedLineThatCannotBeReadStopsTheShellAtStart) {
  testsupport::writeHostFile(root.host("/feed.jsonl"),
                             "{\"at\": 0, \"title\": \"T\"}\n{\"at\": 1, \"title\": }\n");
  int status = -1;
  std::string output = run("--feed " + root.host("/feed.jsonl") + " --virtual --for 10", &status);
  EXPECT_EQ(status, 1);
  EXPECT_NE(output.find(root.host("/feed.jsonl") + ":2: not valid JSON"), std::string::npos)
      << output;
}

TEST_F(ShellProgram, AVirtualRunReportsItsProgressAndEndsCleanly) {
  int status = -1;
  std::string output = run("--virtual --start 2015-03-05T10:00:00 --for 7230", &status);
  EXPECT_EQ(status, 0) << output;
  EXPECT_NE(output.find("SpringBoard: 2015-03-05 11:00:00, 1 h simulated\n"), std::string::npos)
      << output;
  EXPECT_NE(output.find("SpringBoard: 2015-03-05 12:00:00, 2 h simulated\n"), std::string::npos);
  EXPECT_NE(output.find("SpringBoard: ran 7230 s of simulated time"), std::string::npos);

  EXPECT_EQ((run("--start 2015-03-05T10:00:00", &status), status), 2);
  std::string help = run("--help", &status);
  EXPECT_EQ(status, 0);
  EXPECT_NE(help.find("CORVANE_PLAYERS_IGNORE"), std::string::npos);
  output = run("--fast", &status);
  EXPECT_EQ(status, 2);
  EXPECT_EQ(output,
            "SpringBoard: unknown option \"--fast\" (SpringBoard --help lists the options)\n");
}

// On the real clock with nothing playing the shell sleeps in one poll; a
// signal still ends it at once, with status 0. The waits are bounds (a
// watchdog kills it after 5 s), polled on the real clock.
TEST_F(ShellProgram, OnTheRealClockSIGTERMEndsTheWaitingShellCleanly) {
  std::string log = root.host("/shell.log");
  std::string script = "CORVANE_HEADLESS=1 CORVANE_DEVICE_ROOT='" + root.path() + "' '" +
                       testsupport::buildDir() + "/bin/SpringBoard' >/dev/null 2>'" + log +
                       "' </dev/null & pid=$!\n" +
                       "i=0; until grep -q 'running on the device root' '" + log +
                       "' || [ $i -ge 2000 ]; do sleep 0.01; i=$((i+1)); done\n"
                       "kill -TERM $pid\n"
                       "( sleep 5; kill -KILL $pid ) >/dev/null 2>&1 & dog=$!\n"
                       "wait $pid; echo \"status $?\"; kill $dog 2>/dev/null\n";
  EXPECT_EQ(testsupport::runCommand(script), "status 0\n") << testsupport::readHostFile(log);
}

}  // namespace
