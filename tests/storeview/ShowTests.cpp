// `show`, help and what the tool prints for values no recorder writes.
#include "StoreToolFixture.h"

namespace {

class ShowTest : public StoreToolTest {
 protected:
  // Runs a Python script over the tool's standard output in out.txt.
  std::string check(const std::string& args, const std::string& script) {
    ToolRun r = tool(args + " > '" + root.path() + "/out.txt'");
    EXPECT_EQ(r.status, 0) << args << ": " << r.err;
    int status = 0;
    std::string result = python(
        "import sys, csv, re, unicodedata\n"
        "out = open(sys.argv[1] + '/out.txt', encoding='utf-8', newline='').read()\n"
        "if out.startswith('Data store: '): out = out.split('\\n', 1)[1]  # the root's path\n" +
            script,
        "", &status);
    EXPECT_EQ(status, 0) << args << ": " << result;
    return result;
  }
};

TEST_F(ShowTest, HelpForEveryCommandAndUnknownOptionsNameTheHint) {
  for (const char* args : {"--help", "-h", "help"}) {
    ToolRun r = tool(args);
    EXPECT_EQ(r.status, 0) << args;
    for (const char* word : {"show", "top", "export", "generate", "CORVANE_DEVICE_ROOT"})
      EXPECT_NE(r.out.find(word), std::string::npos) << args << " lacks " << word;
  }
  const std::map<std::string, std::vector<std::string>> options = {
      {"top", {"--from", "--to", "--last", "--by", "--group", "--limit"}},
      {"export", {"--format", "--from", "--to"}},
      {"generate", {"--days", "--titles", "--seed", "--start", "--force"}},
      {"show", {}}};
  for (auto& [command, names] : options)
    for (const std::string& args :
         {"help " + command, command + " --help", command + " -h --from nonsense"}) {
      ToolRun r = tool(args);
      EXPECT_EQ(r.status, 0) << args;
      EXPECT_EQ(r.out.rfind("usage: corvane-store", 0), 0u) << args;
      EXPECT_NE(r.out.find("CORVANE_DEVICE_ROOT"), std::string::npos) << args;
      for (const std::string& name : names)
        EXPECT_NE(r.out.find(name), std::string::npos) << args << " lacks " << name;
    }
  EXPECT_NE(tool("top --help").out.find("day list's last"), std::string::npos);
  EXPECT_NE(tool("help export").out.find("formula"), std::string::npos);
}

TEST_F(ShowTest, ShowAndTopUseTheAppsTextsAndAlignByDisplayWidth) {
  history({"2015-03-05"}, {{0, "Corner Café"}, {1, "東京"}, {2, "Cafe\u0301 Noir"}, {3, "Plain"}});
  day("2015-03-05",
      {{0, {40, 1, "Ré-Ä"}}, {1, {90, 2, "東京-夜"}}, {2, {41, 3}}, {3, {1000, 1234}}});
  ToolRun r = tool("show");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("40.0s"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("1.5min"), std::string::npos) << r.out;
  EXPECT_EQ(r.out.find("0.7min"), std::string::npos) << r.out;
  ToolRun top = tool("top");
  for (const char* text : {"40.0s", "1.5min", "16.7min", "85.4%", "3.4%"}) {
    EXPECT_NE(r.out.find(text), std::string::npos) << text << " in\n" << r.out;
    EXPECT_NE(top.out.find(text), std::string::npos) << text << " in\n" << top.out;
  }

  // Every column after the title ends at the same display column, counted
  // by Python's own Unicode tables.
  for (const char* args : {"show", "top"}) {
    std::string result =
        check(args,
              "def width(s):\n"
              "    return sum(0 if unicodedata.combining(c) else\n"
              "               2 if unicodedata.east_asian_width(c) in 'WF' else 1\n"
              "               for c in s)\n"
              "ends = set()\n"
              "for line in out.splitlines():\n"
              "    m = re.search(r'\\d+\\.\\d%', line)\n"
              "    if m: ends.add(width(line[:m.end()]))\n"
              "print(len(ends), sorted(ends))\n");
    EXPECT_EQ(result.substr(0, 2), "1 ") << args << ": " << result;
  }
}

TEST_F(ShowTest, WildValuesAreShownAsTheAppShowsThemAndTextsStayOnOneLine) {
  int status = 0;
  std::string out = writeWithPlistlib(
      "put('DateArray.plist', ['2015-03-05'])\n"
      "put('IntMusicData.plist', {'0': 'Huge', '1': 'NotANumber', '2': 'Negative',\n"
      "    '3': 'Line\\nBreak', '4': 'Endless', '5': 'Real', '6': 'Minimum'})\n"
      "d = 'EverydayData/2015-03-05/'\n"
      "put(d + 'MusicTime.plist', {'0': '1e308', '1': 'nan', '2': '-25', '3': '100',\n"
      "    '4': 'inf', '5': '300', '6': '-2147483648'})\n"
      "put(d + 'MusicNumber.plist', {'0': '1e308', '1': 'nan', '2': '-2147483648',\n"
      "    '3': '1', '4': '-inf', '5': '2', '6': '1'})\n"
      "put(d + 'MusicAlbum.plist', {'3': 'A\\r\\nB-C'})\n",
      &status);
  if (status == 127) GTEST_SKIP() << "python3 missing";
  ASSERT_EQ(status, 0) << out;

  for (const char* args : {"show", "top --limit 0", "top --by plays --limit 0",
                           "top --group record", "export", "export --format json"}) {
    std::string result =
        check(args,
              "bad = re.findall(r'(?i)\\bnan\\b|\\binf|(?<!\\d)-\\d|\\de[+-]?\\d', out)\n"
              "shares = [float(s) for s in re.findall(r'([\\d.]+)%', out)]\n"
              "long = [n for n in re.findall(r'\\d+', out) if len(n) > 12]\n"
              "lines = [l for l in out.splitlines() if 'Line' in l]\n"
              "print(bad, [s for s in shares if s > 100], long, len(lines))\n");
    if (std::string(args).rfind("export", 0) == 0) {
      // Exports keep the line break, quoted as CSV and JSON carry it.
      EXPECT_EQ(result.substr(0, 11), "[] [] [] 1\n") << args << ": " << result;
      continue;
    }
    EXPECT_EQ(result.substr(0, 11),
              std::string(args) == "top --group record" ? "[] [] [] 0\n" : "[] [] [] 1\n")
        << args << ": " << result;
  }
  ToolRun r = tool("top --limit 0");
  EXPECT_NE(r.out.find("  Line Break\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("5.0min   75.0%"), std::string::npos) << r.out;
}

TEST_F(ShowTest, CsvFormulaCellsAreNeutralisedAndReadBackByPythonsCsv) {
  int status = 0;
  std::string out = writeWithPlistlib(
      "put('DateArray.plist', ['2015-03-05'])\n"
      "titles = ['=1+2', '+SUM(A1)', '-3', '@cmd', '\\tTab', 'a=b', 'Plain, too']\n"
      "put('IntMusicData.plist', {str(i): t for i, t in enumerate(titles)})\n"
      "d = 'EverydayData/2015-03-05/'\n"
      "put(d + 'MusicTime.plist', {str(i): '5' for i in range(len(titles))})\n"
      "put(d + 'MusicAlbum.plist', {str(i): '=HYPERLINK(\"x\")-B' for i in range(len(titles))})\n",
      &status);
  if (status == 127) GTEST_SKIP() << "python3 missing";
  ASSERT_EQ(status, 0) << out;
  std::string cells = check("export",
                            "rows = list(csv.reader(out.splitlines(keepends=True)))\n"
                            "print([r[2] for r in rows[1:]], set(r[3] for r in rows[1:]))\n");
  EXPECT_EQ(cells,
            "[\"'=1+2\", \"'+SUM(A1)\", \"'-3\", \"'@cmd\", \"'\\tTab\", 'a=b', "
            "'Plain, too'] {'\\'=HYPERLINK(\"x\")-B'}\n");
}

}  // namespace
