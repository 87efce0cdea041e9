#include <gtest/gtest.h>
#include <unistd.h>

#include <random>

#include "Foundation/FileSystem.h"
#include "Foundation/PropertyList.h"
#include "TestSupport.h"

using namespace ns;

namespace {

const std::string kHead =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
    "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
    "<plist version=\"1.0\">\n";

std::string doc(const std::string& body) {
  return kHead + body + "\n</plist>\n";
}

// Nested, with text every escaping rule touches.
PlistValue sample() {
  PlistDictionary inner{{"z", "last"}, {"é", "\xF0\x9F\x8E\xB5 note"}, {"", ""}};
  PlistArray list{"a & b < c > d \"quoted\" 'single'", "line1\nline2\ttab", PlistArray{},
                  PlistDictionary{}, inner};
  return PlistDictionary{{"MusicNumber", "12"}, {"list", list}, {"Zeta", "Ω"}, {"inner", inner}};
}

TEST(PropertyListWriter, BytesEqualPlistlibAndItsFilesReadBack) {
  testsupport::TempDeviceRoot root;
  ASSERT_TRUE(writeToFile(sample(), "/ours.plist"));
  const std::string ours = testsupport::readHostFile(root.host("/ours.plist"));
  // plistlib re-serialises what it reads from our file: identical bytes mean
  // an identical format. It also writes a file of its own, with the element
  // types the data store never uses, for us to read.
  int status = 0;
  const std::string python = testsupport::runCommand(
      "python3 -c 'import plistlib,sys; d=plistlib.load(open(sys.argv[1],\"rb\"));"
      "sys.stdout.buffer.write(plistlib.dumps(d,sort_keys=True));"
      "d[\"types\"]=[1,2.5,True,False,b\"xyz\"];"
      "open(sys.argv[2],\"wb\").write(plistlib.dumps(d,sort_keys=True))' " +
          root.host("/ours.plist") + " " + root.host("/theirs.plist"),
      &status);
  if (status == 127) GTEST_SKIP() << "python3 missing";
  ASSERT_EQ(status, 0);
  EXPECT_EQ(python, ours);

  std::optional<PlistDictionary> theirs = dictionaryWithContentsOfFile("/theirs.plist");
  ASSERT_TRUE(theirs);
  const PlistArray* types = (*theirs)["types"].array();
  ASSERT_TRUE(types && types->size() == 5);
  EXPECT_EQ((*types)[0].other()->element, "integer");
  EXPECT_EQ((*types)[2].other()->element, "true");
  EXPECT_EQ((*types)[4].other()->element, "data");
  theirs->erase("types");
  EXPECT_EQ(PlistValue(*theirs), sample());
}

TEST(PropertyListWriter, XmllintAcceptsSanitisedOutput) {
  testsupport::TempDeviceRoot root;
  PlistDictionary d{{"bad\x01key", "nul\0 and \x1b esc"}, {"x", PlistArray{"\xff\xfe", "\r"}}};
  d["nul"] = std::string("a\0b", 3);
  ASSERT_TRUE(writeToFile(d, "/f.plist"));
  int status = 0;
  std::string out =
      testsupport::runCommand("xmllint --noout " + root.host("/f.plist") + " 2>&1", &status);
  if (status == 127) GTEST_SKIP() << "xmllint missing";
  EXPECT_EQ(status, 0) << out;
}

TEST(PropertyListWriter, RoundTripKeepsTextAndSanitisesTheRest) {
  PlistDictionary d{{"emoji", "\xF0\x9F\x98\x80"},     {"crlf", "a\r\nb\rc"},
                    {"ctrl", "a\x01\x1f\tb"},          {"bad", "\xC0\x80z"},
                    {"k\x02", "control in key"},       {"k\xEF\xBF\xBD", "valid twin wins"},
                    {"\xEF\xBF\xBF", "nonchar in key"}};
  std::optional<PlistValue> back = parsePropertyList(serializePropertyList(d));
  ASSERT_TRUE(back && back->isDictionary());
  const PlistDictionary& r = *back->dictionary();
  EXPECT_EQ(*stringForKey(r, "emoji"), "\xF0\x9F\x98\x80");
  EXPECT_EQ(*stringForKey(r, "crlf"), "a\r\nb\rc");
  EXPECT_EQ(*stringForKey(r, "ctrl"), "a\xEF\xBF\xBD\xEF\xBF\xBD\tb");
  EXPECT_EQ(*stringForKey(r, "bad"), "\xEF\xBF\xBD\xEF\xBF\xBDz");
  EXPECT_EQ(*stringForKey(r, "k\xEF\xBF\xBD"), "valid twin wins");
  EXPECT_EQ(*stringForKey(r, "\xEF\xBF\xBD"), "nonchar in key");
  EXPECT_EQ(r.size(), 6u);
}

TEST(Sanitize, ReplacesEachMaximalInvalidSubpartOnce) {
  const std::string R = "\xEF\xBF\xBD";
  const std::pair<std::string, std::string> cases[] = {
      {"plain \t\n\r\x7f \xC2\x80 \xEE\x80\x80 \xF4\x8F\xBF\xBF \xEF\xBF\xBD",
       "plain \t\n\r\x7f \xC2\x80 \xEE\x80\x80 \xF4\x8F\xBF\xBF \xEF\xBF\xBD"},
      {std::string("a\0b\x0b\x0c\x1f", 6), "a" + R + "b" + R + R + R},
      {"\xEF\xBF\xBE\xEF\xBF\xBF", R + R},  // U+FFFE, U+FFFF
      {"\xC0\x80", R + R},                  // overlong NUL
      {"\xE0\x80\x80", R + R + R},          // overlong three bytes
      {"\xED\xA0\x80", R + R + R},          // surrogate
      {"\xF4\x90\x80\x80", R + R + R + R},  // beyond U+10FFFF
      {"\xF5\xFF\x80", R + R + R},          // bytes never valid
      {"\xE2\x82", R},                      // truncated at the end
      {"\xE2\x82"
       "A\xF0\x9F\x98",
       R + "A" + R},  // truncated in the middle
  };
  for (const auto& [in, out] : cases) {
    EXPECT_EQ(sanitizeText(in), out) << testing::PrintToString(in);
    EXPECT_EQ(sanitizeText(sanitizeText(in)), sanitizeText(in));
  }
}

TEST(PropertyListReader, AcceptsWhatRealFilesContain) {
  std::optional<PlistValue> v = parsePropertyList(
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!-- made by hand -->\n"
      "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
      "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
      "<plist version=\"1.0\"><dict>\n  <key>a</key>  <string> spaced &#13; </string>\n"
      "<key>b</key><string><![CDATA[<raw>&]]></string><key>a</key><string>again</string>"
      "<key>n</key><integer>5</integer><key>t</key><true/></dict></plist>");
  ASSERT_TRUE(v && v->isDictionary());
  const PlistDictionary& d = *v->dictionary();
  EXPECT_EQ(*stringForKey(d, "a"), "again");  // a repeated key: the last wins
  EXPECT_EQ(*stringForKey(d, "b"), "<raw>&");
  EXPECT_EQ(stringForKey(d, "n"), nullptr);
  EXPECT_EQ(d.at("t").other()->element, "true");
  EXPECT_EQ(*parsePropertyList(doc("<string> x&#13;\n</string>"))->string(), " x\r\n");
}

TEST(PropertyListReader, RefusesEntitiesAndMalformedStructure) {
  const std::string hostile[] = {
      // Billion laughs.
      "<?xml version=\"1.0\"?><!DOCTYPE plist [<!ENTITY a \"aaaaaaaaaa\">"
      "<!ENTITY b \"&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;\"><!ENTITY c \"&b;&b;&b;&b;&b;&b;&b;\">]>"
      "<plist><string>&c;</string></plist>",
      "<!DOCTYPE plist [<!ENTITY x SYSTEM \"file:///etc/passwd\">]><plist><string>&x;</string>"
      "</plist>",
      "<!DOCTYPE plist [<!ENTITY % p \"x\">]><plist><string/></plist>",
      kHead + "<string>&undefined;</string></plist>",
      doc("<dict><key>a</key></dict>"),                       // key without a value
      doc("<dict><key>a</key><key>b</key><string/></dict>"),  // two keys in a row
      doc("<dict><string>v</string></dict>"),                 // value without a key
      doc("<array><key>a</key></array>"),
      doc("<string>a<string/></string>"),
      doc(""),
      "",
      std::string("\0\xff\xfe<plist>\x01", 11),
  };
  for (const std::string& xml : hostile) EXPECT_FALSE(parsePropertyList(xml)) << xml;
}

// What Python's plistlib reads is read too, so a file another tool wrote
// is never taken for damaged.
TEST(PropertyListReader, ReadsWhatOtherReadersAccept) {
  const std::pair<std::string, PlistValue> cases[] = {
      {"<?xml version=\"1.0\"?><!DOCTYPE plist [<!ELEMENT plist ANY>]>"
       "<plist version=\"1.0\"><dict><key>0</key><string>28</string></dict></plist>",
       PlistDictionary{{"0", "28"}}},
      {doc("<dict>text<key>a</key><string/></dict>"), PlistDictionary{{"a", ""}}},
      {doc("<array><string/>x<unknown>y</unknown></array>"), PlistArray{""}},
      {doc("<plist><string>in</string></plist>"), "in"},
      {doc("<string>a</string><string>b</string>"), "b"},
      {"<?xml version=\"1.0\"?><array><string>bare</string></array>", PlistArray{"bare"}},
  };
  for (const auto& [xml, value] : cases) {
    auto parsed = parsePropertyList(xml);
    ASSERT_TRUE(parsed) << xml;
    EXPECT_EQ(*parsed, value) << xml;
  }
  EXPECT_EQ(parsePropertyList(doc("<true>yes</true>"))->other()->element, "true");
}

TEST(PropertyListReader, NumbersOfOtherToolsAreKeptByElement) {
  auto d = *parsePropertyList(
                doc("<dict><key>i</key><integer> 28 </integer><key>r</key><real>2.5</real></dict>"))
                ->dictionary();
  EXPECT_EQ(d.at("i").other()->element, "integer");
  EXPECT_EQ(d.at("i").other()->text, " 28 ");
  EXPECT_EQ(d.at("r").other()->element, "real");
}

TEST(PropertyListReader, BoundsNestingDepth) {
  const auto nested = [](size_t depth) {
    std::string s;
    for (size_t i = 0; i < depth; ++i) s += "<array>";
    for (size_t i = 0; i < depth; ++i) s += "</array>";
    return doc(s);
  };
  EXPECT_TRUE(parsePropertyList(nested(kMaxPropertyListDepth)));
  EXPECT_FALSE(parsePropertyList(nested(kMaxPropertyListDepth + 1)));
  EXPECT_FALSE(parsePropertyList(nested(200000)));
  std::string unknown;
  for (int i = 0; i < 200000; ++i) unknown += "<u>";
  EXPECT_FALSE(parsePropertyList(doc(unknown)));
}

TEST(PropertyListReader, EveryTruncationOfAFileIsRefused) {
  const std::string full = serializePropertyList(sample());
  ASSERT_TRUE(parsePropertyList(full));
  // The final newline is optional; anything shorter lacks "</plist>".
  for (size_t n = 0; n + 1 < full.size(); ++n)
    ASSERT_FALSE(parsePropertyList(full.substr(0, n))) << n;
}

TEST(PropertyListReader, RandomMutationsNeverCrash) {
  const std::string base = serializePropertyList(sample());
  const std::string tokens[] = {"<dict>", "</dict>", "<key>",     "</key>",   "<array>",
                                "&amp;",  "&#0;",    "&#x1F600;", "<!ENTITY", "]]>"};
  std::mt19937 rng(20150305);
  int accepted = 0;
  for (int i = 0; i < 20000; ++i) {
    std::string s = base;
    for (int m = 1 + static_cast<int>(rng() % 4); m > 0; --m) {
      const size_t at = rng() % (s.size() + 1);
      switch (rng() % 4) {
        case 0:
          if (at < s.size()) s[at] = static_cast<char>(rng());
          break;
        case 1:
          s.erase(at, rng() % 16);
          break;
        case 2:
          s.insert(at, tokens[rng() % std::size(tokens)]);
          break;
        case 3:
          s.insert(at, s.substr(rng() % s.size(), rng() % 64));
          break;
      }
    }
    if (std::optional<PlistValue> v = parsePropertyList(s)) {
      ++accepted;
      // Whatever parses must also survive a write and a re-read.
      ASSERT_TRUE(parsePropertyList(serializePropertyList(*v)));
    }
  }
  EXPECT_GT(accepted, 0);
}

TEST(PropertyListReader, ACutDocumentStillGivesTheEntriesBeforeTheCut) {
  const PlistDictionary whole{{"0", "3"}, {"1", "12"}, {"2", "7"}};
  const std::string text = serializePropertyList(whole);
  for (size_t n = 0; n <= text.size(); ++n) {
    auto salvaged = salvagePropertyList(text.substr(0, n));
    const PlistDictionary got =
        salvaged && salvaged->dictionary() ? *salvaged->dictionary() : PlistDictionary{};
    for (auto& [key, value] : whole) {
      const size_t end = text.find("</string>", text.find("<key>" + key + "</key>")) + 9;
      if (end <= n) {
        EXPECT_EQ(got.at(key), value) << n;
      } else {
        EXPECT_FALSE(got.count(key)) << n;
      }
    }
  }
  EXPECT_EQ(*salvagePropertyList(text + "garbage"), PlistValue(whole));
  EXPECT_EQ(*salvagePropertyList("<plist><array><string>a</string><string>b</str"),
            PlistValue(PlistArray{"a"}));
  EXPECT_FALSE(salvagePropertyList("not a property list"));
}

TEST(PropertyListFiles, NothingIsWrittenThatTheReadersWouldRefuse) {
  testsupport::TempDeviceRoot root;
  setPropertyListByteLimit(400);
  const PlistDictionary small{{"k", "v"}};
  ASSERT_TRUE(writeToFile(small, "/d.plist"));
  errno = 0;
  EXPECT_FALSE(writeToFile(PlistDictionary{{"k", std::string(400, 'v')}}, "/d.plist"));
  EXPECT_EQ(errno, EFBIG);
  EXPECT_EQ(*dictionaryWithContentsOfFile("/d.plist"), small);
  // What another tool made too large is whole, not damaged; junk is damaged.
  testsupport::writeHostFile(root.host("/big.plist"), serializePropertyList(small) +
                                                          std::string(400, '\n'));
  PlistReadProblem problem = PlistReadProblem::None;
  EXPECT_FALSE(dictionaryWithContentsOfFile("/big.plist", &problem));
  EXPECT_EQ(problem, PlistReadProblem::TooLarge);
  testsupport::writeHostFile(root.host("/junk.plist"), std::string(800, '\0'));
  EXPECT_FALSE(dictionaryWithContentsOfFile("/junk.plist", &problem));
  EXPECT_EQ(problem, PlistReadProblem::Damaged);
  setPropertyListByteLimit(0);
  EXPECT_TRUE(dictionaryWithContentsOfFile("/big.plist"));
}

TEST(PropertyListFiles, MissingDamagedOrWrongRootReadsAsNothing) {
  testsupport::TempDeviceRoot root;
  ASSERT_TRUE(writeToFile(PlistArray{"2015-03-05"}, "/a.plist"));
  ASSERT_TRUE(writeToFile(PlistDictionary{{"k", "v"}}, "/d.plist"));
  EXPECT_EQ(*arrayWithContentsOfFile("/a.plist"), (PlistArray{"2015-03-05"}));
  EXPECT_EQ(*stringForKey(*dictionaryWithContentsOfFile("/d.plist"), "k"), "v");
  EXPECT_FALSE(dictionaryWithContentsOfFile("/a.plist"));
  EXPECT_FALSE(arrayWithContentsOfFile("/d.plist"));
  EXPECT_FALSE(dictionaryWithContentsOfFile("/missing.plist"));
  EXPECT_FALSE(dictionaryWithContentsOfFile("/../d.plist"));

  // A sparse file just over the limit is refused without being read.
  ASSERT_EQ(truncate(root.host("/d.plist").c_str(), kMaxPropertyListBytes + 1), 0);
  EXPECT_FALSE(dictionaryWithContentsOfFile("/d.plist"));
}

}  // namespace

// The writer's layout is read without expat, and a dictionary file's keys
// are found in its text: both must give exactly what the general reader
// gives, for the layout itself and for every near miss of it.
class LaidOutReading : public ::testing::Test {
 protected:
  static std::string entries(const std::vector<std::pair<std::string, std::string>>& raw) {
    std::string body = "<dict>\n";
    for (const auto& [k, v] : raw) body += "\t<key>" + k + "</key>\n\t<string>" + v + "</string>\n";
    return kHead + body + "</dict>\n</plist>\n";
  }
  // Same parse as the general reader, and every key (and some that are
  // not there) found as in its dictionary.
  static void agree(const std::string& xml, bool bisects) {
    SCOPED_TRACE(xml);
    const std::optional<PlistValue> general = parsePropertyListInGeneral(xml);
    EXPECT_EQ(parsePropertyList(xml), general);
    const std::optional<PlistDictionaryText> text = PlistDictionaryText::fromText(xml);
    ASSERT_EQ(text.has_value(), general && general->dictionary());
    if (!text) return;
    EXPECT_EQ(text->bisects(), bisects);
    const PlistDictionary& d = *general->dictionary();
    EXPECT_EQ(text->size(), d.size());
    for (const auto& [key, value] : d) {
      EXPECT_EQ(text->find(key), value) << key;
      for (const std::string& near : {key + "0", key.substr(0, key.size() / 2), key + "\x7f"}) {
        if (d.count(near)) continue;
        EXPECT_FALSE(text->find(near)) << near;
      }
    }
  }
};

TEST_F(LaidOutReading, TheWritersFilesAndPlistlibsAreFoundInTheirText) {
  PlistDictionary titles;
  for (int i = 0; i < 300; ++i)
    titles[std::to_string(i)] = "Song & <" + std::to_string(i) + "> \"é\" ]] " +
                                std::string(static_cast<size_t>(i % 40), 'x');
  titles["cr"] = "a\rb";
  titles["empty"] = "";
  titles["a & b > c"] = "\xF0\x9F\x8E\xB5\tline\nnext";
  agree(serializePropertyList(titles), true);
  agree(serializePropertyList(PlistDictionary{}), true);
  agree(serializePropertyList(PlistArray{"2015-03-05", "a&b"}), false);

  testsupport::TempDeviceRoot root;
  ASSERT_TRUE(writeToFile(titles, "/ours.plist"));
  int status = 0;
  testsupport::runCommand(
      "python3 -c 'import plistlib,sys; d=plistlib.load(open(sys.argv[1],\"rb\"));"
      "d[\"\\u00e9\"]=\"x\"; d[\"q\"]=\"it\\x27s\";"
      "open(sys.argv[2],\"wb\").write(plistlib.dumps(d,sort_keys=True));"
      "open(sys.argv[3],\"wb\").write(plistlib.dumps(d,sort_keys=False))' " +
          root.host("/ours.plist") + " " + root.host("/sorted.plist") + " " +
          root.host("/unsorted.plist"),
      &status);
  if (status == 127) GTEST_SKIP() << "python3 missing";
  ASSERT_EQ(status, 0);
  agree(testsupport::readHostFile(root.host("/sorted.plist")), true);
  agree(testsupport::readHostFile(root.host("/unsorted.plist")), false);
  auto file = dictionaryTextWithContentsOfFile("/sorted.plist");
  ASSERT_TRUE(file && file->bisects());
  EXPECT_EQ(file->find("q"), PlistValue("it's"));
  EXPECT_EQ(file->find("cr"), PlistValue("a\nb"));  // plistlib writes CR as LF
}

TEST_F(LaidOutReading, OtherLayoutsAndDamageReadAsTheGeneralReaderHasThem) {
  const std::pair<std::string, bool> cases[] = {
      {entries({{"b", "1"}, {"a", "2"}}), false},        // unsorted
      {entries({{"a", "1"}, {"a", "2"}}), false},        // a repeated key
      {entries({{"a", "1"}, {"b", "&#65;"}}), false},    // another reference
      {entries({{"a", "x]]>y"}}), false},                // not XML
      {entries({{"a", "x\ry"}}), false},                 // CR, read as LF
      {entries({{"a", std::string("x\x01y")}}), false},  // a control
      {entries({{"a", "\xC3\x28"}}), false},             // bad UTF-8
      {entries({{"a", "\xEF\xBF\xBE"}}), false},         // U+FFFE
      {entries({{"a", "&bogus;"}}), false},
      {entries({{"a", "x<!-- c -->y"}}), false},
      {entries({{"a", "<![CDATA[<>]]>"}}), false},
      {kHead + "<dict>\n\t<key>a</key>\n\t<integer>5</integer>\n</dict>\n</plist>\n", false},
      {kHead + "<dict>\n\t<key>a</key>\n\t<string>1</string>\n</dict>\n</plist>\n\n", false},
      {kHead + "<dict>\n  <key>a</key>\n  <string>1</string>\n</dict>\n</plist>\n", false},
      {kHead + "<dict>\n\t<key>a</key>\n\t<string>1</string>\n</dict>\n</plist>", false},
      {kHead + "<dict>\n\t<key>a</key>\n\t<string>1</string>\n</dict>\n", false},  // cut
      {kHead + "<dict>\n<!--\n\t<key>a</key>\n\t<string>1</string>\n-->\n</dict>\n</plist>\n",
       false},
      {kHead + "<dict/>\n</plist>\n", true},
  };
  for (const auto& [xml, bisects] : cases) agree(xml, bisects);
  // Every cut of a laid-out file reads as the general reader has it.
  const std::string whole = entries({{"a", "x &amp; y"}, {"b", "\xC3\xA9"}});
  for (size_t n = 0; n < whole.size(); ++n) agree(whole.substr(0, n), false);
}
