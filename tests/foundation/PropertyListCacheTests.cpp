// A kept parse must never hide a change another process made to the file,
// even one that keeps its size and its modification second.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "Foundation/FileSystem.h"
#include "Foundation/PropertyListCache.h"
#include "TestSupport.h"

using namespace ns;

namespace {

constexpr char kPath[] = "/var/mobile/Map.plist";

// Sets the file's modification time to second 1'400'000'000 plus nanos, so
// two versions share their second.
void setModified(const std::string& host, long nanos) {
  timespec times[2] = {{0, UTIME_OMIT}, {1'400'000'000, nanos}};
  ASSERT_EQ(utimensat(AT_FDCWD, host.c_str(), times, 0), 0);
}

// Overwrites the file in place (same inode), as an editor that does not
// rename would.
void editInPlace(const std::string& host, const std::string& bytes) {
  int fd = ::open(host.c_str(), O_WRONLY | O_TRUNC);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(::write(fd, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
  ::close(fd);
}

std::string titleIn(const std::shared_ptr<const PlistDictionary>& d) {
  const std::string* s = d ? stringForKey(*d, "0") : nullptr;
  return s ? *s : "<none>";
}

class CacheTest : public ::testing::Test {
 protected:
  CacheTest() { createDirectoryAtPath("/var/mobile", true); }
  std::string host() const { return root.host(kPath); }
  testsupport::TempDeviceRoot root;
  PropertyListCache cache;
};

TEST_F(CacheTest, AnUnchangedFileIsParsedOnceAndShared) {
  ASSERT_TRUE(writeToFile(PlistDictionary{{"0", "Alpha"}}, kPath));
  auto first = cache.dictionary(kPath);
  auto second = cache.dictionary(kPath);
  EXPECT_EQ(first, second);
  EXPECT_EQ(titleIn(second), "Alpha");
  EXPECT_EQ(cache.parses(), 1u);
  EXPECT_EQ(cache.hits(), 1u);
  // What is prepared once stays prepared; another preparation parses again.
  int prepared = 0;
  static int* count;
  count = &prepared;
  auto mark = [](PlistDictionary& d) {
    ++*count;
    d["0"] = PlistValue(std::string("Prepared"));
  };
  EXPECT_EQ(titleIn(cache.dictionary(kPath, nullptr, mark)), "Prepared");
  EXPECT_EQ(titleIn(cache.dictionary(kPath, nullptr, mark)), "Prepared");
  EXPECT_EQ(prepared, 1);
}

TEST_F(CacheTest, EveryChangeInTheSameSecondAndSizeIsSeen) {
  ASSERT_TRUE(writeToFile(PlistDictionary{{"0", "Alpha"}}, kPath));
  setModified(host(), 100);
  EXPECT_EQ(titleIn(cache.dictionary(kPath)), "Alpha");

  // Replaced by a rename: same size, same second.
  ASSERT_TRUE(writeToFile(PlistDictionary{{"0", "Bravo"}}, kPath));
  setModified(host(), 200);
  EXPECT_EQ(titleIn(cache.dictionary(kPath)), "Bravo");

  // Edited in place: same inode, same size, same second.
  std::string bytes = testsupport::readHostFile(host());
  bytes.replace(bytes.find("Bravo"), 5, "Carol");
  editInPlace(host(), bytes);
  setModified(host(), 300);
  EXPECT_EQ(titleIn(cache.dictionary(kPath)), "Carol");

  // Truncated in place to half: damaged, and said so.
  editInPlace(host(), bytes.substr(0, bytes.size() / 2));
  setModified(host(), 300);
  PlistReadProblem problem = PlistReadProblem::None;
  EXPECT_EQ(cache.dictionary(kPath, &problem), nullptr);
  EXPECT_EQ(problem, PlistReadProblem::Damaged);
  // A damaged file is not parsed again until it changes.
  const size_t parses = cache.parses();
  EXPECT_EQ(cache.dictionary(kPath, &problem), nullptr);
  EXPECT_EQ(problem, PlistReadProblem::Damaged);
  EXPECT_EQ(cache.parses(), parses);

  // Repaired in place, then deleted.
  editInPlace(host(), bytes);
  EXPECT_EQ(titleIn(cache.dictionary(kPath)), "Carol");
  ASSERT_EQ(::unlink(host().c_str()), 0);
  EXPECT_EQ(cache.dictionary(kPath, &problem), nullptr);
  EXPECT_EQ(problem, PlistReadProblem::Missing);

  // Back again with the very bytes it had: read afresh, not remembered.
  testsupport::writeHostFile(host(), bytes);
  EXPECT_EQ(titleIn(cache.dictionary(kPath)), "Carol");
}

TEST_F(CacheTest, AWriterKeepsWhatItWroteUntilTheFileChanges) {
  auto written = std::make_shared<PlistDictionary>(PlistDictionary{{"0", "Alpha"}});
  ASSERT_TRUE(cache.write(kPath, written));
  EXPECT_TRUE(cache.holds(kPath, written.get()));
  EXPECT_EQ(cache.dictionary(kPath), written);
  EXPECT_EQ(cache.parses(), 0u);
  editInPlace(host(), testsupport::readHostFile(host()));
  EXPECT_NE(cache.dictionary(kPath), written);
  EXPECT_FALSE(cache.holds(kPath, written.get()));
  EXPECT_EQ(cache.parses(), 1u);
  // Nothing held any more: no change is written over the other writer's.
  EXPECT_FALSE(cache.setAndWrite("/var/mobile/Other.plist", "1", "Beta"));
}

// The spliced text must be, byte for byte, what writing the whole gives:
// keys that escape, sort first or last, values that change length.
TEST_F(CacheTest, EntriesSetInPlaceWriteTheWholeFilesBytes) {
  auto kept = std::make_shared<PlistDictionary>();
  for (int i = 0; i < 300; i += 3) (*kept)[std::to_string(i)] = "v" + std::to_string(i);
  (*kept)["a&b <c>"] = "x\r\ny";
  ASSERT_TRUE(cache.write(kPath, kept));
  PlistDictionary expected = *kept;

  uint32_t seed = 7;
  auto next = [&seed] { return seed = seed * 1664525u + 1013904223u; };
  const std::string keys[] = {
      "", "!", "0", "00", "a&b <c>", "a&b", "zz", "~~~", "\xC3\xA9t\xC3\xA9"};
  for (int step = 0; step < 400; ++step) {
    const std::string key =
        step % 3 ? std::to_string(next() % 400) : keys[next() % std::size(keys)];
    const std::string value = std::string(next() % 12, 'x') + (step % 5 ? "" : "&<>");
    ASSERT_TRUE(cache.setAndWrite(kPath, key, value));
    expected[key] = value;
    ASSERT_EQ(*kept, expected) << "step " << step;
    ASSERT_EQ(testsupport::readHostFile(host()), serializePropertyList(expected))
        << "step " << step;
  }
  EXPECT_EQ(cache.parses(), 0u);
  EXPECT_EQ(cache.dictionary(kPath), kept);
}

TEST_F(CacheTest, AFailedSetLeavesFileDictionaryAndTextAsTheyWere) {
  auto kept = std::make_shared<PlistDictionary>(PlistDictionary{{"1", "Alpha"}, {"3", "Gamma"}});
  ASSERT_TRUE(cache.write(kPath, kept));
  const PlistDictionary before = *kept;
  const std::string bytes = testsupport::readHostFile(host());
  setWriteFaultHook([](const std::string&) { return ENOSPC; });
  EXPECT_FALSE(cache.setAndWrite(kPath, "2", "Beta"));   // a new entry
  EXPECT_FALSE(cache.setAndWrite(kPath, "3", "Delta"));  // a changed one
  setWriteFaultHook(nullptr);
  EXPECT_EQ(*kept, before);
  EXPECT_EQ(testsupport::readHostFile(host()), bytes);
  EXPECT_TRUE(cache.holds(kPath, kept.get()));
  // The text kept is still the file's: the next splice is right.
  ASSERT_TRUE(cache.setAndWrite(kPath, "2", "Beta"));
  PlistDictionary expected = before;
  expected["2"] = "Beta";
  EXPECT_EQ(testsupport::readHostFile(host()), serializePropertyList(expected));
}

// A map kept as its text and an index: every set, failed or not, leaves
// the file, the kept text and what it finds exactly as writing the whole
// dictionary would, from an empty map, through keys that escape, sort first
// or last; a key that needs cleaning keeps it parsed, as a dictionary.
TEST_F(CacheTest, TextKeptMapsSetInPlaceWriteTheWholeFilesBytes) {
  auto kept = std::make_shared<PlistDictionaryText>();
  ASSERT_TRUE(cache.writeText(kPath, kept));
  EXPECT_TRUE(cache.holdsText(kPath, kept.get()));
  PlistDictionary expected;
  uint32_t seed = 11;
  auto next = [&seed] { return seed = seed * 1664525u + 1013904223u; };
  const std::string keys[] = {"", "!", "0", "00", "a&b <c>", "a&b", "zz", "\xC3\xA9t\xC3\xA9"};
  for (int step = 0; step < 400; ++step) {
    const std::string key =
        step % 3 ? std::to_string(next() % 400) : keys[next() % std::size(keys)];
    const std::string value = std::string(next() % 12, 'x') + (step % 5 ? "" : "&<>\r");
    const bool fail = step % 7 == 3;
    if (fail) setWriteFaultHook([](const std::string&) { return ENOSPC; });
    ASSERT_EQ(cache.setTextAndWrite(kPath, key, value), !fail) << "step " << step;
    setWriteFaultHook(nullptr);
    if (!fail) expected[key] = value;
    const std::string whole = serializePropertyList(expected);
    ASSERT_EQ(testsupport::readHostFile(host()), whole) << "step " << step;
    ASSERT_EQ(kept->serialized(), whole) << "step " << step;
    ASSERT_EQ(kept->size(), expected.size());
    for (const auto& [k, v] : expected) ASSERT_EQ(kept->find(k), v) << "step " << step;
  }
  EXPECT_TRUE(kept->bisects());
  EXPECT_EQ(kept->dictionary(), expected);
  EXPECT_EQ(PlistDictionaryText().serialized(), serializePropertyList(PlistDictionary{}));
  ASSERT_TRUE(cache.setTextAndWrite(kPath, "x\x01y", "1"));
  expected["x\x01y"] = "1";
  EXPECT_FALSE(kept->bisects());
  EXPECT_EQ(kept->find("x\x01y"), PlistValue("1"));
  EXPECT_EQ(testsupport::readHostFile(host()), serializePropertyList(expected));
  EXPECT_EQ(cache.parses(), 0u);
  EXPECT_EQ(cache.dictionaryText(kPath), kept);
  // Another writer's change is read again, and a set is refused over it.
  editInPlace(host(), testsupport::readHostFile(host()));
  EXPECT_NE(cache.dictionaryText(kPath), kept);
  EXPECT_FALSE(cache.holdsText(kPath, kept.get()));
  EXPECT_FALSE(cache.setTextAndWrite("/var/mobile/Other.plist", "1", "Beta"));
}

// A file another writer laid out with its own escapes is read in place, and
// the first set writes it as this writer writes the whole.
TEST(DictionaryText, AForeignlyEscapedTextIsWrittenAsTheWriterWritesIt) {
  std::string xml = serializePropertyList(PlistDictionary{{"a", "x"}, {"b", "y"}});
  xml.replace(xml.find(">x<") + 1, 1, "&quot;1 > 0&apos;");
  std::optional<PlistDictionaryText> text = PlistDictionaryText::fromText(xml);
  ASSERT_TRUE(text && text->bisects());
  EXPECT_EQ(text->find("a"), PlistValue("\"1 > 0'"));
  PlistDictionary expected = text->dictionary();
  auto change = text->set("c", "z");
  expected["c"] = "z";
  EXPECT_EQ(text->serialized(), serializePropertyList(expected));
  text->undo("c", std::move(change));
  expected.erase("c");
  EXPECT_EQ(text->dictionary(), expected);
  EXPECT_EQ(text->serialized(), serializePropertyList(expected));
}

TEST(EntryEdit, RefusesTextThatIsNotTheDictionarysLayout) {
  PlistDictionary d{{"1", "Alpha"}, {"2", "Beta"}};
  const std::string text = serializePropertyList(d);
  const auto two = d.find("2");
  // Another value before the change than the text holds, a text without
  // the entry's neighbour, an empty dictionary's text, a bare string.
  const std::string wrongBefore = "Gamma";
  EXPECT_FALSE(entryEdit(text, d, two, &wrongBefore));
  PlistDictionary three = d;
  three["3"] = "Gamma";
  EXPECT_FALSE(entryEdit(serializePropertyList(PlistDictionary{{"1", "Alpha"}}), three,
                         three.find("2"), nullptr));
  EXPECT_FALSE(entryEdit(serializePropertyList(PlistDictionary{}), d, d.find("1"), nullptr));
  EXPECT_FALSE(entryEdit("<string>x</string>", d, two, nullptr));
  // A value that must be cleaned first is written whole.
  PlistDictionary dirty = d;
  dirty["2"] = "\x01";
  const std::string before = "Beta";
  EXPECT_FALSE(entryEdit(text, dirty, dirty.find("2"), &before));
}

TEST_F(CacheTest, ArraysAndSpecialFilesAnswerAsTheReaderDoes) {
  ASSERT_TRUE(writeToFile(PlistArray{PlistValue(std::string("2015-03-05"))}, kPath));
  auto days = cache.array(kPath);
  ASSERT_TRUE(days);
  EXPECT_EQ(days->size(), 1u);
  EXPECT_EQ(cache.array(kPath), days);
  // The root asked for decides: an array is no dictionary.
  PlistReadProblem problem = PlistReadProblem::None;
  EXPECT_EQ(cache.dictionary(kPath, &problem), nullptr);
  EXPECT_EQ(problem, PlistReadProblem::Damaged);

  // A pipe is never waited on, and answers as the plain reader does.
  ASSERT_EQ(::unlink(host().c_str()), 0);
  ASSERT_EQ(mkfifo(host().c_str(), 0600), 0);
  PlistReadProblem plain = PlistReadProblem::None;
  EXPECT_FALSE(dictionaryWithContentsOfFile(kPath, &plain));
  EXPECT_EQ(cache.dictionary(kPath, &problem), nullptr);
  EXPECT_EQ(problem, plain);
  EXPECT_EQ(cache.array(kPath, &problem), nullptr);
  EXPECT_EQ(problem, plain);
}

}  // namespace
