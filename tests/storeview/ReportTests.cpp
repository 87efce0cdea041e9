// `report`: the year in review as one HTML page.
#include "ReportFixture.h"

namespace {

std::string fileText(const std::string& path) {
  return testsupport::readHostFile(path);
}

bool has(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

TEST_F(ReportTest, PageHoldsTheYearsFiguresAsEscapedText) {
  if (!writeYear()) GTEST_SKIP() << "python3 missing";
  const std::string damaged = root.host(corvane::musicAlbumPath("2015-03-06"));
  testsupport::writeHostFile(damaged, "<plist><dict>");

  ToolRun r = tool("report --year 2015");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err,
            "corvane-store: skipped " + damaged + ": damaged (not a property-list dictionary)\n");
  const std::string page = r.out;
  // Totals: 2014's day is left out; the day without music counts as recorded.
  EXPECT_TRUE(has(page, "<dt>Time listened</dt><dd>53 min</dd>")) << page;
  EXPECT_TRUE(has(page, "<dt>Plays</dt><dd>17</dd>"));
  EXPECT_TRUE(has(page, "<dt>Songs heard</dt><dd>3</dd>"));
  EXPECT_TRUE(has(page, "<dd>5 of 6</dd>"));
  // Three days running beat the later two; the gap is a recorded day without music.
  EXPECT_TRUE(has(page, "<strong>3 days</strong> with music, Sun 2015-03-01 to Tue 2015-03-03."));
  EXPECT_TRUE(has(page, "<strong>It&#39;s</strong>, 9 plays on Thu 2015-03-05."));
  // The title cannot break the page, and the top rows carry the app's texts.
  const std::string title = "Tom &amp; &quot;Jerry&quot; &lt;Live&gt;";
  EXPECT_FALSE(has(page, "<Live>"));
  EXPECT_TRUE(has(page, "<td class=\"name\">" + title + "</td>"));
  EXPECT_TRUE(has(page, "<td class=\"n\">33.3min</td><td class=\"n\">62.9%</td>"));
  EXPECT_TRUE(has(page, "<td class=\"name\">(no record)</td>"));  // the damaged day's records
  EXPECT_TRUE(has(page, "<svg"));

  // Self-contained and well-formed.
  EXPECT_FALSE(has(page, "<script"));
  EXPECT_FALSE(has(page, "<link"));
  std::string withoutNamespaces = page;
  for (const char* ns : {"\"http://www.w3.org/2000/svg\"", "\"http://www.w3.org/1999/xlink\""})
    for (size_t at; (at = withoutNamespaces.find(ns)) != std::string::npos;)
      withoutNamespaces.erase(at, std::string(ns).size());
  EXPECT_FALSE(has(withoutNamespaces, "http:")) << "a reference to the network";
  EXPECT_FALSE(has(withoutNamespaces, "https:")) << "a reference to the network";
  EXPECT_EQ(parseAsXml(page), "") << "the page is not well-formed";

  // --out writes the same page.
  const std::string file = root.path() + "/2015.html";
  testsupport::writeHostFile(file, "old");
  r = tool("report --year 2015 --out '" + file + "'");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(fileText(file), page);
}

TEST_F(ReportTest, EmptyStoreAndEmptyYearSaySoInThePage) {
  history({}, {});
  ToolRun r = tool("report --year 2015");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(has(r.out, "The store holds no recorded day yet.")) << r.out;
  EXPECT_EQ(parseAsXml(r.out), "");

  history({"2014-12-31", "2016-01-01"}, {{0, "Alpha"}});
  day("2014-12-31", {{0, {100, 1}}});
  day("2016-01-01", {{0, {0, 0}}});
  r = tool("report --year 2015");
  EXPECT_EQ(r.status, 0);
  EXPECT_TRUE(has(r.out, "No day of 2015 was recorded.")) << r.out;
  r = tool("report --year 2016");
  EXPECT_TRUE(has(r.out, "No music was played in 2016 (1 recorded day).")) << r.out;
  EXPECT_FALSE(has(r.out, "<table"));
}

TEST_F(ReportTest, BadOptionsGiveOneLineAndStatusTwo) {
  const std::pair<const char*, const char*> cases[] = {
      {"report", "report needs --year YYYY (see 'corvane-store help report')"},
      {"report --year", "option --year needs a value"},
      {"report --year 15th", "--year '15th' is not a whole number from 1 to 9999"},
      {"report --year 0", "--year '0' is not a whole number from 1 to 9999"},
      {"report --year 2015 --out=", "--out needs a file name"},
      {"report --year 2015 --by time",
       "unknown option '--by' for report (see 'corvane-store help report')"},
  };
  expectUsageErrors(cases);
  // A file that cannot be written is a failure, and leaves nothing behind.
  history({}, {});
  ToolRun r = tool("report --year 2015 --out '" + root.path() + "/no-folder/2015.html'");
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(has(r.err, "cannot write")) << r.err;
}

}  // namespace
