// `generate`: a made-up history that keeps every rule of the recorder's
// store, the same for the same seed, written only into an empty store.
#include <filesystem>

#include "StoreToolFixture.h"

namespace fs = std::filesystem;

namespace {

// Every invariant of the store, checked by an independent reader.
const char* const kCheckStore = R"(import os, plistlib, re, sys
root = sys.argv[1] + '/var/mobile/Documents/Corvane/'
load = lambda p: plistlib.load(open(root + p, 'rb'))
number = re.compile(r'^(0|[1-9][0-9]*)$')
days = load('DateArray.plist')
assert days == sorted(os.listdir(root + 'EverydayData')), 'day list is not the day folders'
assert days == sorted(set(days)), 'day list not oldest first and unique'
titles, numbers = load('IntMusicData.plist'), load('MusicIntData.plist')
assert all(number.match(n) for n in titles), 'title key not a song number'
assert {t: n for n, t in titles.items()} == numbers and len(titles) == len(numbers), 'not inverse'
assert load('SaveData.plist') == {'MusicNumber': str(max(map(int, titles)) + 1)}, 'MusicNumber'
seen, empty = set(), 0
for day in days:
    f = lambda name: load('EverydayData/' + day + '/' + name + '.plist')
    time, plays, albums = f('MusicTime'), f('MusicNumber'), f('MusicAlbum')
    assert set(time) <= set(titles) and set(albums) == set(time), day + ': album keys'
    assert set(plays) <= set(time), day + ': plays without seconds'
    for counts in (time, plays):
        assert all(number.match(v) and int(v) > 0 for v in counts.values()), day + ': counter'
    assert all(int(time[n]) >= 5 * int(plays[n]) for n in plays), day + ': play under 5 s'
    new = sorted(int(n) for n in time if n not in seen)
    assert new == list(range(len(seen), len(seen) + len(new))), day + ': numbering order'
    seen |= set(time)
    empty += not time
assert len(seen) == len(titles), 'a title never heard'
print('ok', len(days), len(titles), 'empty days' if empty else 'no empty day')
)";

std::map<std::string, std::string> filesUnder(const std::string& folder) {
  std::map<std::string, std::string> files;
  for (auto& e : fs::recursive_directory_iterator(folder))
    if (e.is_regular_file())
      files[fs::relative(e.path(), folder).string()] = testsupport::readHostFile(e.path());
  return files;
}

class GenerateTest : public StoreToolTest {};

TEST_F(GenerateTest, GeneratedStoreKeepsTheStoreRules) {
  ToolRun r = tool("generate --days 50 --titles 900 --seed 3 --start 2016-02-01");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "Generated 50 days (2016-02-01 to 2016-03-21), 900 titles, " +
                       r.out.substr(r.out.find("titles, ") + 8));
  EXPECT_NE(r.err.find("generate: 50 of 50 days written (through 2016-03-21)"), std::string::npos)
      << r.err;
  int status = 0;
  std::string out = python(kCheckStore, "", &status);
  if (status == 127) GTEST_SKIP() << "python3 missing";
  EXPECT_EQ(out, "ok 50 900 empty days\n");
}

TEST_F(GenerateTest, SameSeedSameBytesAndNeverOverAStoreWithData) {
  const std::string store = root.host(corvane::kStoreRoot);
  ASSERT_EQ(tool("generate --days 12 --titles 80 --seed 5").status, 0);
  const auto first = filesUnder(store);
  {
    testsupport::TempDeviceRoot other;
    ASSERT_EQ(tool("generate --days 12 --titles 80 --seed 5").status, 0);
    EXPECT_EQ(filesUnder(other.host(corvane::kStoreRoot)), first);
    ASSERT_EQ(tool("generate --days 12 --titles 80 --seed 6 --force").status, 0);
    EXPECT_NE(filesUnder(other.host(corvane::kStoreRoot)), first);
  }

  ToolRun r = tool("generate --days 3 --titles 10");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "corvane-store: the store at " + store +
                       " already holds data; generate writes only into an empty store (--force "
                       "replaces it, deleting what it holds)\n");
  EXPECT_EQ(filesUnder(store), first);

  // --force replaces the store whole: no day of the old one is left.
  r = tool("generate --days 3 --titles 10 --seed 5 --force");
  EXPECT_EQ(r.status, 0) << r.err;
  int status = 0;
  std::string out = python(kCheckStore, "", &status);
  if (status == 127) GTEST_SKIP() << "python3 missing";
  EXPECT_EQ(out.substr(0, 8), "ok 3 10 ") << out;
}

}  // namespace
