// `export`: the diary as CSV and JSON that other tools read back exactly.
#include "StoreToolFixture.h"

namespace {

class ExportTest : public StoreToolTest {
 protected:
  bool havePython = true;

  // A store written by plistlib, with the texts a CSV writer must quote.
  void SetUp() override {
    int status = 0;
    std::string out = writeWithPlistlib(
        "put('DateArray.plist', ['2015-03-05', '2015-03-06', '2015-03-07'])\n"
        "put('IntMusicData.plist', {'0': 'Hello, \"World\"\\nPart 2', '2': 'Ünïcødé ♫'})\n"
        "def day(key, time, number, album):\n"
        "    put('EverydayData/' + key + '/MusicTime.plist', time)\n"
        "    put('EverydayData/' + key + '/MusicNumber.plist', number)\n"
        "    put('EverydayData/' + key + '/MusicAlbum.plist', album)\n"
        "day('2015-03-05', {'0': '300', '10': '4'}, {'0': '1'}, {'0': 'A, B-C', '10': 'D-E'})\n"
        "day('2015-03-06', {'2': '61'}, {'2': '1'}, {'2': '(null)-(null)'})\n"
        "day('2015-03-07', {'0': '7'}, {}, {'0': 'A, B-C'})\n",
        &status);
    havePython = status != 127;
    ASSERT_TRUE(!havePython || status == 0) << out;
  }
};

TEST_F(ExportTest, CsvReadsBackWithPythonsCsvModule) {
  if (!havePython) GTEST_SKIP() << "python3 missing";
  ToolRun r = tool("export --format csv --to 2015-03-06 > '" + root.path() + "/out.csv'");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "");
  int status = 0;
  std::string rows = python(
      "import csv, json, sys\n"
      "with open(sys.argv[1] + '/out.csv', newline='', encoding='utf-8') as f:\n"
      "    print(json.dumps(list(csv.reader(f))))\n",
      "", &status);
  ASSERT_EQ(status, 0) << rows;
  EXPECT_EQ(
      rows,
      "[[\"day\", \"song\", \"title\", \"record\", \"seconds\", \"plays\"], "
      "[\"2015-03-05\", \"0\", \"Hello, \\\"World\\\"\\nPart 2\", \"A, B-C\", \"300\", \"1\"], "
      "[\"2015-03-05\", \"10\", \"\", \"D-E\", \"4\", \"0\"], "
      "[\"2015-03-06\", \"2\", \"\\u00dcn\\u00efc\\u00f8d\\u00e9 \\u266b\", "
      "\"(null)-(null)\", \"61\", \"1\"]]\n");
}

TEST_F(ExportTest, JsonReadsBackWithPythonsJsonModule) {
  if (!havePython) GTEST_SKIP() << "python3 missing";
  ToolRun r = tool("export --format json --from 2015-03-06 > '" + root.path() + "/out.json'");
  ASSERT_EQ(r.status, 0) << r.err;
  int status = 0;
  std::string rows = python(
      "import json, sys\n"
      "with open(sys.argv[1] + '/out.json', encoding='utf-8') as f:\n"
      "    print(json.dumps(json.load(f), sort_keys=True))\n",
      "", &status);
  ASSERT_EQ(status, 0) << rows;
  EXPECT_EQ(rows,
            "[{\"day\": \"2015-03-06\", \"plays\": 1, \"record\": \"(null)-(null)\", "
            "\"seconds\": 61, \"song\": 2, \"title\": \"\\u00dcn\\u00efc\\u00f8d\\u00e9 "
            "\\u266b\"}, "
            "{\"day\": \"2015-03-07\", \"plays\": 0, \"record\": \"A, B-C\", \"seconds\": 7, "
            "\"song\": 0, \"title\": \"Hello, \\\"World\\\"\\nPart 2\"}]\n");

  // An empty period is an empty array, still JSON.
  r = tool("export --format json --from 2016-01-01");
  EXPECT_EQ(r.out, "[]\n");
}

TEST_F(ExportTest, DamagedDayIsReportedAndTheRestExported) {
  if (!havePython) GTEST_SKIP() << "python3 missing";
  const std::string damaged = root.host(corvane::musicNumberPath("2015-03-05"));
  testsupport::writeHostFile(damaged, "<?xml version=\"1.0\"?><plist><array/></plist>");
  ToolRun r = tool("export --to 2015-03-05");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err,
            "corvane-store: skipped " + damaged + ": damaged (not a property-list dictionary)\n");
  EXPECT_EQ(r.out,
            "day,song,title,record,seconds,plays\r\n"
            "2015-03-05,0,\"Hello, \"\"World\"\"\nPart 2\",\"A, B-C\",300,0\r\n"
            "2015-03-05,10,,D-E,4,0\r\n");
}

}  // namespace
