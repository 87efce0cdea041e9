// One store written by Python's plistlib with every odd leaf another tool
// can write, read by the recorder, the app and the store tool: all three
// must take the same numbers from it.
#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>

#include "../recorder/SamplerFixture.h"
#include "CorvaneStore/StoreLayout.h"
#include "core/DayRanking.h"
#include "core/StoreReader.h"
#include "core/Texts.h"

using namespace corvane;

namespace {

// Song i of the day holds row i's leaf as its seconds and as its plays.
// What each reader takes from it (the rules of StoreFormat.h):
// - amount: the decimal number with its fraction, 0 for a negative or for
//   text that is not a number. The app's rows, totals and shares and every
//   figure of `corvane-store show/top/export` are amounts.
// - count: leading blanks, a sign and the leading digits. The recorder adds
//   to it (after five playing ticks: seconds count + 5, plays count + 1,
//   written "%d") and the app ranks by it. The two differ only for a
//   fraction (12.9: shown 12.9, counted on from 12) and a negative (-3:
//   shown 0, counted on from -3), so neither a share nor a written counter
//   is ever anything but a plain number.
// raw(element, text) is a leaf plistlib cannot write (hexadecimal, blanks,
// a sign), spliced into the file it wrote.
struct Row {
  const char* leaf;  // Python expression
  double amount;
  int count;
};
const Row kRows[] = {
    {"7", 7, 7},                         // plistlib's int: <integer>7</integer>
    {"30.0", 30, 30},                    // plistlib's float: <real>30.0</real>
    {"12.9", 12.9, 12},                  // <real>12.9</real>
    {"raw('integer', '0x1F')", 31, 31},  // hexadecimal
    {"raw('integer', '  9')", 9, 9},     // leading blanks
    {"raw('integer', '+4')", 4, 4},
    {"raw('integer', '-3')", 0, -3},
    {"'  7'", 7, 7},
    {"'+5'", 5, 5},
    {"'-3'", 0, -3},
    {"'12.9'", 12.9, 12},
    {"'abc'", 0, 0},  // text that is not a number
    {"''", 0, 0},
};
constexpr int kSongs = sizeof kRows / sizeof kRows[0];
const char* kDay = "2015-03-05";

class ThreeReadersTest : public SamplerTest {
 protected:
  // Writes the store with plistlib; false when python3 is missing.
  bool writeStore() {
    std::string leaves;
    for (const Row& r : kRows) leaves += std::string(r.leaf) + ", ";
    const std::string script =
        "import plistlib, os, re, sys\n"
        "root = sys.argv[1] + '" +
        std::string(kStoreRoot) +
        "'\n"
        "def raw(element, text): return '@raw:%s:%s' % (element, text)\n"
        "def put(path, value):\n"
        "    os.makedirs(os.path.dirname(root + path), exist_ok=True)\n"
        "    data = plistlib.dumps(value).decode()\n"
        "    data = re.sub(r'<string>@raw:(\\w+):(.*?)</string>', r'<\\1>\\2</\\1>', data)\n"
        "    open(root + path, 'w').write(data)\n"
        "leaves = [" +
        leaves +
        "]\n"
        "songs = {str(i): leaf for i, leaf in enumerate(leaves)}\n"
        "put('" +
        std::string(kDateArrayPath).substr(std::string(kStoreRoot).size()) + "', ['" + kDay +
        "'])\n"
        "put('" +
        std::string(kIntMusicDataPath).substr(std::string(kStoreRoot).size()) +
        "', {str(i): 'S%d' % i for i in range(len(leaves))})\n"
        "put('" +
        std::string(kMusicIntDataPath).substr(std::string(kStoreRoot).size()) +
        "', {'S%d' % i: str(i) for i in range(len(leaves))})\n"
        "put('" +
        std::string(kSaveDataPath).substr(std::string(kStoreRoot).size()) + "', {'" +
        kNextSongNumberKey +
        "': str(len(leaves))})\n"
        "day = '" +
        dayFolderPath(kDay).substr(std::string(kStoreRoot).size()) +
        "/'\n"
        "put(day + '" +
        kMusicTimeFile +
        "', songs)\n"
        "put(day + '" +
        kMusicNumberFile +
        "', songs)\n"
        "put(day + '" +
        kMusicAlbumFile + "', {k: 'Artist-Album' for k in songs})\n";
    testsupport::writeHostFile(root.path() + "/write.py", script);
    int status = 0;
    std::string out = testsupport::runCommand(
        "python3 '" + root.path() + "/write.py' '" + root.path() + "' 2>&1", &status);
    if (status == 127) return false;
    EXPECT_EQ(status, 0) << out;
    return true;
  }

  std::string tool(const std::string& args) {
    int status = 0;
    std::string out =
        testsupport::runCommand(std::string("'") + CORVANE_STORE_TOOL + "' " + args, &status);
    EXPECT_EQ(status, 0) << args;
    return out;
  }
  // The line of out that names song i's title as a word.
  static std::string lineOf(const std::string& out, int i) {
    std::istringstream in(out);
    const std::string title = "S" + std::to_string(i);
    for (std::string line; std::getline(in, line);) {
      for (size_t at = line.find(title); at != std::string::npos; at = line.find(title, at + 1)) {
        const size_t end = at + title.size();
        if ((at == 0 || line[at - 1] == ' ' || line[at - 1] == ',') &&
            (end == line.size() || line[end] == ' ' || line[end] == ','))
          return line;
      }
    }
    return "";
  }
};

TEST_F(ThreeReadersTest, EveryOddLeafReadsAsOneNumber) {
  if (!writeStore()) GTEST_SKIP() << "python3 missing";

  // The app: the day's rows and its ranking.
  for (bool plays : {false, true}) {
    auto values = app::readDayValues(kDay, plays);
    ASSERT_TRUE(values);
    ASSERT_EQ(values->size(), size_t(kSongs));
    app::DayRanking ranking = app::rankDay(*values);
    ASSERT_EQ(ranking.entries.size(), size_t(kSongs));
    double total = 0;
    for (const Row& r : kRows) total += r.amount;
    EXPECT_DOUBLE_EQ(ranking.total, total);
    int previous = INT32_MAX;
    for (const std::string& entry : ranking.entries) {
      app::EntryParts parts = app::splitEntry(entry);
      const Row& r = kRows[std::atoi(parts.number.c_str())];
      EXPECT_DOUBLE_EQ(app::valueOf(parts.value), r.amount) << r.leaf;
      EXPECT_LE(r.count, previous) << "ranked by count: " << r.leaf;
      previous = r.count;
    }
  }

  // The store tool: export's figures, show's and top's texts.
  const std::string csv = tool("export --format csv");
  const std::string show = tool("show");
  const std::string top = tool("top --limit 0");
  const std::string topPlays = tool("top --by plays --limit 0");
  for (int i = 0; i < kSongs; ++i) {
    const Row& r = kRows[i];
    const std::string line = lineOf(csv, i);
    ASSERT_FALSE(line.empty()) << r.leaf << "\n" << csv;
    std::vector<std::string> fields;
    std::istringstream in(line);
    for (std::string f; std::getline(in, f, ',');) fields.push_back(f);
    ASSERT_EQ(fields.size(), 6u) << line;
    EXPECT_DOUBLE_EQ(std::stod(fields[4]), r.amount) << r.leaf;
    EXPECT_DOUBLE_EQ(std::stod(fields[5]), r.amount) << r.leaf;
    const std::string time = app::valueText(r.amount, false);
    EXPECT_NE(lineOf(show, i).find(" " + time + " "), std::string::npos)
        << r.leaf << " not " << time << "\n"
        << show;
    // top lists the songs heard: an amount of 0 is none.
    const std::string topLine = lineOf(top, i), topPlaysLine = lineOf(topPlays, i);
    if (r.amount == 0) {
      EXPECT_EQ(topLine + topPlaysLine, "") << r.leaf;
      continue;
    }
    EXPECT_NE(topLine.find(" " + time + " "), std::string::npos) << r.leaf << "\n" << top;
    EXPECT_NE(topPlaysLine.find(" " + app::valueText(r.amount, true) + " "), std::string::npos)
        << r.leaf << "\n"
        << topPlays;
  }

  // The recorder: five playing ticks of each song count on from its count.
  for (int i = 0; i < kSongs; ++i) ticks(("S" + std::to_string(i)).c_str(), 5);
  for (int i = 0; i < kSongs; ++i) {
    EXPECT_EQ(seconds(std::to_string(i)), numberText(kRows[i].count + 5)) << kRows[i].leaf;
    EXPECT_EQ(plays(std::to_string(i)), numberText(kRows[i].count + 1)) << kRows[i].leaf;
  }
  EXPECT_EQ(value(kSaveDataPath, kNextSongNumberKey), numberText(kSongs));  // no title renumbered
}

}  // namespace
