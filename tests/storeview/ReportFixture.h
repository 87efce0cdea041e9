// A small year for `report`, written with plistlib as another writer would.
#pragma once

#include "StoreToolFixture.h"

class ReportTest : public StoreToolTest {
 protected:
  // 2015: a three-day run, a recorded day without music, then two days; one
  // day of 2014 that the year leaves out. False when python3 is missing.
  bool writeYear() {
    int status = 0;
    std::string out = writeWithPlistlib(
        "put('DateArray.plist', ['2014-12-30', '2015-03-01', '2015-03-02', '2015-03-03',\n"
        "                        '2015-03-04', '2015-03-05', '2015-03-06'])\n"
        "put('IntMusicData.plist', {'0': 'Tom & \"Jerry\" <Live>', '1': \"It's\", '2': 'Plain'})\n"
        "days = {'2014-12-30': {'0': (5000, 5)},\n"
        "        '2015-03-01': {'0': (600, 2)},\n"
        "        '2015-03-02': {'0': (600, 1), '1': (60, 1)},\n"
        "        '2015-03-03': {'0': (800, 1)},\n"
        "        '2015-03-04': {},\n"
        "        '2015-03-05': {'1': (500, 9)},\n"
        "        '2015-03-06': {'2': (620, 3)}}\n"
        "for key, songs in days.items():\n"
        "    d = 'EverydayData/' + key + '/'\n"
        "    put(d + 'MusicTime.plist', {n: str(s) for n, (s, p) in songs.items()})\n"
        "    put(d + 'MusicNumber.plist', {n: str(p) for n, (s, p) in songs.items()})\n"
        "    put(d + 'MusicAlbum.plist', {n: 'A-X' for n in songs})\n",
        &status);
    if (status == 127) return false;
    EXPECT_EQ(status, 0) << out;
    return true;
  }

  // "" when the text is well-formed XML, else the parser's complaint.
  std::string parseAsXml(const std::string& text) {
    const std::string file = root.path() + "/page.xml";
    testsupport::writeHostFile(file, text);
    int status = 0;
    std::string out = python(
        "import sys, xml.etree.ElementTree as E\n"
        "E.parse(sys.argv[2])\n",
        "'" + file + "'", &status);
    return status == 0 ? "" : out.empty() ? "parse failed" : out;
  }
};
