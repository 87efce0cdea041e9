// `top`: a period's ranking summed over the recorded days it covers.
#include <atomic>
#include <thread>

#include "StoreToolFixture.h"

namespace {

class TopTest : public StoreToolTest {
 protected:
  void SetUp() override {
    // 2015-03-02 is listed twice, as the recorder does after losing a day's
    // files; 2015-03-05 has a folder but is not listed.
    history({"2015-03-01", "2015-03-02", "2015-03-02", "2015-03-03", "2015-03-04"},
            {{0, "Alpha"}, {1, "Beta"}, {2, "Gamma"}});
    day("2015-03-01", {{0, {500, 2, "A-X"}}});
    day("2015-03-02", {{0, {100, 1, "A-X"}}, {1, {30, 0, "B-Y"}}});
    day("2015-03-03", {{0, {100, 2, "A-X"}}, {2, {61, 1, "A-X"}}});
    day("2015-03-04", {{1, {900, 3, "B-Y"}}});
    day("2015-03-05", {{2, {5000, 9, "A-X"}}});
  }
};

TEST_F(TopTest, SumsTheDaysOfThePeriodBothEndsIncluded) {
  ToolRun r = tool("top --from 2015-03-02 --to 2015-03-03");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.out,
            "Top songs by time, 2015-03-02 to 2015-03-03: 2 recorded days, 3 songs heard\n"
            "rank        time   share  days  title\n"
            "   1      3.3min   68.7%     2  Alpha\n"
            "   2       61.0s   21.0%     1  Gamma\n"
            "   3       30.0s   10.3%     1  Beta\n");

  // Counted back from the most recent listed day; a day listed twice counts once.
  r = tool("top --last week --limit 2");
  EXPECT_EQ(r.out,
            "Top songs by time, 2015-02-26 to 2015-03-04: 4 recorded days, 3 songs heard\n"
            "rank        time   share  days  title\n"
            "   1     15.5min   55.0%     2  Beta\n"
            "   2     11.7min   41.4%     3  Alpha\n");

  r = tool("top --group record --by plays");
  EXPECT_EQ(r.out,
            "Top records by plays, 2015-03-01 to 2015-03-04: 4 recorded days, 2 records heard\n"
            "rank       plays   share  days  artist-album\n"
            "   1           6   66.7%     3  A-X\n"
            "   2           3   33.3%     2  B-Y\n");
}

TEST_F(TopTest, LastCountsBackFromTheDayListsLastEntryNotTheNewestDate) {
  // The clock was once set years ahead: that day is listed before the real
  // recent ones.
  history({"2015-03-01", "2030-06-01", "2015-03-02", "2015-03-03", "2015-03-04"},
          {{0, "Alpha"}, {1, "Beta"}, {2, "Gamma"}});
  day("2030-06-01", {{2, {7000, 1, "A-X"}}});
  ToolRun r = tool("top --last month");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out.substr(0, r.out.find('\n')),
            "Top songs by time, 2015-02-05 to 2015-03-04: 4 recorded days, 3 songs heard");
  EXPECT_NE(r.out.find("61.0s"), std::string::npos) << r.out;  // Gamma: only 2015-03-03
  // An open --to still reaches the newest day.
  r = tool("top --from 2030-01-01");
  EXPECT_NE(r.out.find("2030-01-01 to 2030-06-01: 1 recorded day,"), std::string::npos) << r.out;
}

TEST_F(TopTest, ValueTextsAndTiesOfAStoreWrittenByPlistlib) {
  // Another writer's store: a counter with a fraction, one as <integer>.
  int status = 0;
  std::string out = writeWithPlistlib(
      "put('DateArray.plist', ['2015-04-01', '2015-04-02'])\n"
      "put('IntMusicData.plist', {'0': 'Zed', '1': 'Mid', '2': 'Abe'})\n"
      "d = 'EverydayData/2015-04-01/'\n"
      "put(d + 'MusicTime.plist', {'0': '61', '1': '30.5', '2': '61'})\n"
      "put(d + 'MusicNumber.plist', {'0': '2', '1': '60', '2': '2'})\n"
      "d = 'EverydayData/2015-04-02/'\n"
      "put(d + 'MusicTime.plist', {'1': 31})\n"
      "put(d + 'MusicNumber.plist', {'1': '2'})\n",
      &status);
  if (status == 127) GTEST_SKIP() << "python3 missing";
  ASSERT_EQ(status, 0) << out;

  ToolRun r = tool("top");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out,
            "Top songs by time, 2015-04-01 to 2015-04-02: 2 recorded days, 3 songs heard\n"
            "rank        time   share  days  title\n"
            "   1      1.0min   33.5%     2  Mid\n"
            "   2       61.0s   33.2%     1  Abe\n"
            "   3       61.0s   33.2%     1  Zed\n");
  // Plays are whole numbers, also above 61.
  r = tool("top --by plays --limit 0");
  EXPECT_EQ(r.out,
            "Top songs by plays, 2015-04-01 to 2015-04-02: 2 recorded days, 3 songs heard\n"
            "rank       plays   share  days  title\n"
            "   1          62   93.9%     2  Mid\n"
            "   2           2    3.0%     1  Abe\n"
            "   3           2    3.0%     1  Zed\n");
}

TEST_F(TopTest, DamagedFilesAreReportedWithTheirPathAndSkipped) {
  const std::string damaged = root.host(corvane::musicTimePath("2015-03-04"));
  testsupport::writeHostFile(damaged, "<plist><dict><key>1</key>");
  testsupport::writeHostFile(root.host(corvane::kIntMusicDataPath), "garbage");
  ToolRun r = tool("top --last week");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "corvane-store: skipped " + damaged +
                       ": damaged (not a property-list dictionary)\n"
                       "corvane-store: skipped " +
                       root.host(corvane::kIntMusicDataPath) +
                       ": damaged (not a property-list dictionary)\n");
  EXPECT_EQ(r.out,
            "Top songs by time, 2015-02-26 to 2015-03-04: 4 recorded days, 3 songs heard\n"
            "rank        time   share  days  title\n"
            "   1     11.7min   88.5%     3  (untitled #0)\n"
            "   2       61.0s    7.7%     1  (untitled #2)\n"
            "   3       30.0s    3.8%     1  (untitled #1)\n");

  // Without a readable day list the day folders stand in for it.
  testsupport::writeHostFile(root.host(corvane::kDateArrayPath), "");
  r = tool("top --from 2015-03-05 --to 2015-03-05");
  EXPECT_NE(r.err.find("DateArray.plist: damaged; reading the day folders instead\n"),
            std::string::npos)
      << r.err;
  EXPECT_NE(r.out.find("1 recorded day, 1 song heard"), std::string::npos) << r.out;
}

TEST_F(TopTest, ReadsEachDayFileWholeWhileTheRecorderReplacesIt) {
  std::atomic<bool> stop{false};
  std::thread recorder([&] {
    for (int i = 0; !stop; ++i)
      ns::writeToFile(ns::PlistDictionary{{"1", i % 2 ? "900" : "30"}},
                      corvane::musicTimePath("2015-03-04"));
  });
  const std::string header =
      "Top songs by time, 2015-03-04 to 2015-03-04: 1 recorded day, 1 song heard\n"
      "rank        time   share  days  title\n";
  for (int i = 0; i < 15; ++i) {
    ToolRun r = tool("top --from 2015-03-04 --to 2015-03-04");
    EXPECT_EQ(r.err, "");
    EXPECT_TRUE(r.out == header + "   1     15.0min  100.0%     1  Beta\n" ||
                r.out == header + "   1       30.0s  100.0%     1  Beta\n")
        << r.out;
  }
  stop = true;
  recorder.join();
}

TEST_F(TopTest, BadInputGivesOneLineAndAFailureStatus) {
  struct Case {
    const char* args;
    const char* message;
  };
  const Case cases[] = {
      {"frobnicate", "unknown command 'frobnicate' (see 'corvane-store --help')"},
      {"--frobnicate", "unknown option '--frobnicate' (see 'corvane-store --help')"},
      {"help frobnicate", "no help on 'frobnicate' (see 'corvane-store --help')"},
      {"top --color", "unknown option '--color' for top (see 'corvane-store help top')"},
      {"top -x", "unknown option '-x' for top (see 'corvane-store help top')"},
      {"export --by time", "unknown option '--by' for export (see 'corvane-store help export')"},
      {"top --from", "option --from needs a value"},
      {"top --from 2015-02-29", "--from '2015-02-29' is not a day of the form YYYY-MM-DD"},
      {"top --to 2015-3-01", "--to '2015-3-01' is not a day of the form YYYY-MM-DD"},
      {"export --from 2015-13-01", "--from '2015-13-01' is not a day of the form YYYY-MM-DD"},
      {"top --from 2015-03-04 --to 2015-03-01", "--from 2015-03-04 is after --to 2015-03-01"},
      {"export --from=2015-03-04 --to=2015-03-01", "--from 2015-03-04 is after --to 2015-03-01"},
      {"top --last decade", "--last 'decade' is not one of week or month or year"},
      {"top --last week --from 2015-03-01", "--last cannot be combined with --from or --to"},
      {"top --by minutes", "--by 'minutes' is not one of time or plays"},
      {"top --limit -3", "--limit '-3' is not a whole number from 0 to 2147483647"},
      {"top --limit 5 --limit 6", "option --limit given twice"},
      {"export --format xml", "--format 'xml' is not one of csv or json"},
      {"generate --days 0", "--days '0' is not a whole number from 1 to 36600"},
      {"generate --force=yes", "option --force takes no value"},
      {"top extra", "unexpected argument 'extra' for top (see 'corvane-store help top')"},
  };
  expectUsageErrors(cases);

  testsupport::TempDeviceRoot empty;
  for (const char* args : {"top", "export --format json"}) {
    ToolRun r = tool(args);
    EXPECT_EQ(r.status, 1) << args;
    EXPECT_EQ(r.out, "") << args;
    EXPECT_EQ(r.err, "corvane-store: no data store at " + empty.path() +
                         "/var/mobile/Documents/Corvane/ (set CORVANE_DEVICE_ROOT to the device "
                         "root that holds one)\n")
        << args;
  }
  ToolRun show = tool("show");
  EXPECT_EQ(show.status, 1);
  EXPECT_EQ(show.err, "");  // not a "skipped" line per file of a store that is not there
  EXPECT_NE(show.out.find("no readable store here yet (set CORVANE_DEVICE_ROOT"), std::string::npos)
      << show.out;
}

}  // namespace
