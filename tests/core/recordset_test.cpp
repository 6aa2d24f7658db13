// Stepping through the matches of a word in one or more dictionaries, the records of the entries
// found, and entries whose bytes break the layout.
#include <gtest/gtest.h>

#include <tuple>

#include "core/entry_layout.h"
#include "core/lexor_recordset.h"
#include "platform/log.h"
#include "tests/core/dictionary_bytes.h"

namespace lexor::testing {
namespace {

using std::string_literals::operator""s;
using Words = std::vector<std::string>;

// A code-page entry as stored (2-byte length): length, prefix count, tail, NUL, attribute 0, body.
Bytes cpEntry(uint8_t prefix, const std::string& tail, const std::string& body) {
  Bytes out;
  putLE(out, 0, tail.size() + 2 + body.size(), 2);
  out.push_back(prefix);
  out.insert(out.end(), tail.begin(), tail.end());
  out.insert(out.end(), {0, 0});
  out.insert(out.end(), body.begin(), body.end());
  return out;
}

// A block of hand-laid entries: head word, entries, end-of-block mark, zeros up to whole units.
Bytes handBlock(const std::vector<Bytes>& entries) {
  Bytes out(2, 0);
  for (const Bytes& e : entries) out.insert(out.end(), e.begin(), e.end());
  out.resize((out.size() + 2 + 255) / 256 * 256, 0);
  putLE(out, 0, out.size() / 256, 2);
  return out;
}

std::string cString(const uint8_t* bytes) { return reinterpret_cast<const char*>(bytes); }

// Every head word the recordset yields from its current position on, the current one first.
Words drain(LexorRecordset& rs, bool positioned) {
  Words words;
  for (bool ok = positioned; ok; ok = rs.moveNext()) {
    auto record = rs.getRecordAsDictionary();
    words.push_back(record && record->eword ? toUtf8(*record->eword) : "<none>");
  }
  return words;
}

Words query(LexorRecordset& rs, const std::string& word) {
  return drain(rs, rs.queryWithWord(fromUtf8(word)));
}

class RecordsetTest : public ::testing::Test {
 protected:
  std::shared_ptr<Lexor> open(const std::string& name, const TestDictionary& d) {
    auto dic = openDictionary(_dir, name, d.build());
    EXPECT_TRUE(dic);
    return dic;
  }
  // A dictionary of blocks, each named in the index by its own first word.
  std::shared_ptr<Lexor> open(const std::string& name, const std::vector<Words>& blocks,
                              bool bocuTexts = false) {
    TestDictionary d;
    d.bocu = bocuTexts;
    for (const Words& words : blocks)
      d.add(bocuTexts ? bocu(words[0]) : words[0], wordsBlock(words, bocuTexts));
    return open(name, d);
  }
  static std::shared_ptr<LexorRecordset> over(const LexorList& dics) {
    return LexorRecordset::initWithDics(std::make_shared<LexorList>(dics));
  }
  TempDir _dir;
  CapturingLogSink _log;
};

TEST_F(RecordsetTest, States) {
  auto dic = open("states.dic", {{"app", "apple"}});
  auto rs = LexorRecordset::init();
  EXPECT_FALSE(rs->isEOF());  // fresh
  EXPECT_FALSE(rs->getRecordAsDictionary());
  // Before any query the needle is empty and a step finds nothing.
  rs->addDic(dic);
  EXPECT_FALSE(rs->moveNext());
  EXPECT_TRUE(rs->isEOF());

  // Adding to a positioned recordset clears it; a step then walks again with the last needle.
  ASSERT_TRUE(rs->queryWithWord(u"apple"));
  rs->addDic(dic);
  EXPECT_TRUE(rs->isEOF());
  EXPECT_FALSE(rs->getRecordAsDictionary());
  EXPECT_EQ(drain(*rs, rs->moveNext()), (Words{"apple", "apple"}));
  EXPECT_TRUE(rs->isEOF());  // past the end: no record, and a step stays there
  EXPECT_FALSE(rs->getRecordAsDictionary());
  EXPECT_FALSE(rs->moveNext());
  EXPECT_TRUE(_log.lines().empty());
}

TEST_F(RecordsetTest, QueryFailuresEndTheQueryWithOneLogLine) {
  auto shiftJis = open("sjis.dic", {{"a"}});
  const std::tuple<const char*, std::shared_ptr<LexorRecordset>, UString, const char*> cases[] = {
      {"no list", LexorRecordset::init(), u"a", "queryWithWord : dic count = 0\n"},
      {"absent first dictionary", LexorRecordset::initWithDic(nullptr), u"a",
       "queryWithWord : dic not available.\n"},
      {"empty word", LexorRecordset::initWithDic(shiftJis), u"", "invalid needle.\n"},
      {"not in Shift_JIS", LexorRecordset::initWithDic(shiftJis), u"\U0001F600",
       "needle too long, maybe.\n"},
  };
  for (const auto& [name, recordset, word, line] : cases) {
    SCOPED_TRACE(name);
    _log.clear();
    EXPECT_FALSE(recordset->queryWithWord(word));
    EXPECT_TRUE(recordset->isEOF());
    EXPECT_EQ(_log.lines(), Words{line});
    EXPECT_FALSE(recordset->moveNext());
  }
  // The list survives a failure (of the empty word), and the next query runs at once.
  EXPECT_EQ(query(*std::get<1>(cases[2]), "a"), Words{"a"});
}

TEST_F(RecordsetTest, NeedleAndItsUpperBound) {
  // In Windows Latin 1 "ÿ" is 0xFF: increased, it wraps to the NUL that ends the bound.
  auto latin = LexorRecordset::initWithDic(open("fr.dic", {{"a\xFF"}}));
  EXPECT_TRUE(latin->queryWithWord(u"a\u00FF"));
  EXPECT_EQ(cString(latin->needle()), "a\xFF");
  EXPECT_EQ(cString(latin->upperBound()), "a");

  // "a" and 200 two-byte characters in Shift_JIS: 401 bytes, cut after the last whole character
  // that fits 255.
  const UString longWord = u"a" + UString(200, u'\u3042');
  auto shiftJis = LexorRecordset::initWithDic(open("sjis.dic", {{"a"}}));
  EXPECT_FALSE(shiftJis->queryWithWord(longWord));  // no head word is that long
  EXPECT_TRUE(_log.lines().empty());
  EXPECT_EQ(cString(shiftJis->needle()).size(), 255u);
  shiftJis->queryWithWord(u"b" + longWord);
  EXPECT_EQ(cString(shiftJis->needle()).size(), 254u);
}

// A block that cannot be loaded costs its log line, not the rest of the query.
TEST_F(RecordsetTest, UnloadableBlockIsSkipped) {
  Bytes broken = wordsBlock({"kab2"});
  broken[0] = broken[1] = 0;  // a block of no units
  TestDictionary d;
  d.add("ka", wordsBlock({"ka", "kab"})).add("kab2", broken).add("kab3", wordsBlock({"kab3"}));
  d.add("kab5", broken);
  auto rs = over({open("first.dic", d), open("second.dic", {{"kab4"}})});
  EXPECT_EQ(query(*rs, "kab"), (Words{"kab", "kab3", "kab4"}));
  EXPECT_EQ(_log.lines(), (Words{"cannot allocate datablock\n", "cannot allocate datablock\n"}));
}

// The needle follows each dictionary's head-word encoding; a dictionary that cannot hold the
// word is passed over.
TEST_F(RecordsetTest, EachDictionaryIsSearchedInItsOwnEncoding) {
  auto latin = open("fr.dic", {{"ab", "\xE9t\xE9"}});  // Windows Latin 1 head words
  auto shiftJis = open("alpha.dic", {{"ab", "abc", "b"}});
  auto bocu1 = open("beta.dic", {{"abc", "abd", "été", "étés"}}, true);
  EXPECT_EQ(query(*over({latin, shiftJis, bocu1}), "été"), (Words{"été", "été", "étés"}));

  // A step after adding a dictionary of another encoding encodes the word for it.
  auto rs = LexorRecordset::initWithDic(shiftJis);
  ASSERT_TRUE(rs->queryWithWord(u"abc"));
  rs->addDic(bocu1);
  EXPECT_EQ(drain(*rs, rs->moveNext()), (Words{"abc", "abc"}));
  EXPECT_TRUE(_log.lines().empty());
}

// Each case is a block after which comes a sound one; a broken entry ends only its own block's
// walk, after the matches before it.
TEST_F(RecordsetTest, BrokenBlocksEndOnlyTheirOwnWalk) {
  const std::string longest = "q" + std::string(247, 'y');  // what the head-word buffer holds
  const struct {
    const char* name;
    Bytes block;
    Words found;
  } cases[] = {
      {"head word of 248 bytes",
       handBlock({cpEntry(0, "q", "a"), cpEntry(1, longest.substr(1), "b")}),
       {"q", longest, "qzz"}},
      {"head word of 249 bytes",
       handBlock(
           {cpEntry(0, "q", "a"), cpEntry(1, longest.substr(1) + "y", "b"), cpEntry(0, "qz", "c")}),
       {"q", "qzz"}},
      {"prefix count over the previous head word",
       handBlock({cpEntry(0, "q", "a"), cpEntry(2, "x", "b")}),
       {"q", "qzz"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TestDictionary d;
    d.add("q", c.block).add("qzz", wordsBlock({"qzz"}));
    auto rs = LexorRecordset::initWithDic(open("broken" + std::to_string(&c - cases) + ".dic", d));
    EXPECT_EQ(query(*rs, "q"), c.found);
  }
}

// A block's first entry shares nothing with the block before it: a prefix count there breaks it.
TEST_F(RecordsetTest, FirstEntryOfABlockBorrowsNoHeadWord) {
  TestDictionary d;
  d.add("qa", wordsBlock({"qa"})).add("qb", handBlock({cpEntry(1, "b", "x")}));
  d.add("qc", wordsBlock({"qc"}));
  auto rs = LexorRecordset::initWithDic(open("borrowed.dic", d));
  EXPECT_EQ(query(*rs, "q"), (Words{"qa", "qc"}));
}

TEST(EntryLayout, EntryHeadsThatBreakTheBlock) {
  // A field length of 256 is stored 00 01: its low byte alone is no end-of-block mark.
  const Bytes length256 = handBlock({cpEntry(0, "w", std::string(253, 'x'))});
  const EntryLayout kCp{2, false};
  EntryHead head;
  EXPECT_EQ(readEntryHead(length256.data(), length256.size(), 2, kCp, &head), EntryStatus::kEntry);
  EXPECT_EQ(readEntryHead(length256.data(), 4, 5, kCp, &head), EntryStatus::kCorrupt)
      << "an offset past the limit";
  // Each entry starts at offset 2 and breaks the block.
  const std::tuple<const char*, EntryLayout, Bytes> corrupt[] = {
      {"length far past the block", kCp, {0, 0, 0xFF, 0xFF, 0, 'a', 0, 0}},
      {"length one byte past the block", kCp, {0, 0, 4, 0, 0, 'a', 0, 'x'}},
      {"4-byte length near 2^32", {4, true}, {0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0, 'a', 0, 0}},
      {"no room for the end-of-block mark", kCp, {0, 0, 0}},
      {"no room for the prefix count", kCp, {0, 0, 5, 0}},
      {"no room for the BOCU-1 attribute", {2, true}, {0, 0, 5, 0, 0}},
      {"tail without its NUL", kCp, {0, 0, 3, 0, 0, 'a', 'b', 'c', 0, 0}},
      {"no attribute after the tail", kCp, {0, 0, 3, 0, 0, 'a', 'b', 0}},
  };
  for (const auto& [name, layout, block] : corrupt)
    EXPECT_EQ(readEntryHead(block.data(), block.size(), 2, layout, &head), EntryStatus::kCorrupt)
        << name;
}

std::string text(const auto& field) {
  return field ? std::string(field->begin(), field->end()) : "<absent>";
}

TEST(EntryLayout, ExtensionFields) {
  // Tags in octal: \1 example, \2 pronunciation, \20 binary data (length follows), \200 end.
  const struct {
    const char* name;
    int width;
    std::string body;
    std::string translation, example, pronunciation;
    bool complete;
  } cases[] = {
      {"example and pronunciation", 2, "tr\0\1ex\0\2pr\0\200"s, "tr", "ex", "pr", true},
      {"binary field skipped", 2, "t\0\20\3\0abc\1ex\0\200"s, "t", "ex", "<absent>", true},
      {"binary field, 4-byte length", 4, "t\0\120\1\0\0\0z\1ex\0\200"s, "t", "ex", "<absent>",
       true},
      {"translation without NUL", 2, "tr"s, "<absent>", "<absent>", "<absent>", false},
      {"text field without NUL", 2, "t\0\1ex\0\2pr"s, "t", "ex", "<absent>", false},
      {"binary length past the entry", 2, "t\0\1ex\0\20\11\0ab\200"s, "t", "ex", "<absent>", false},
      {"binary length cut", 4, "t\0\20\1\0"s, "t", "<absent>", "<absent>", false},
      {"no end tag", 2, "t\0\2pr\0"s, "t", "<absent>", "pr", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Bytes body(c.body.begin(), c.body.end());
    const EntryBody fields = readEntryBody(body.data(), body.size(), true, c.width);
    EXPECT_EQ(std::tuple(text(fields.translation), text(fields.example), text(fields.pronunciation),
                         fields.complete),
              std::tuple(c.translation, c.example, c.pronunciation, c.complete));
  }
  Bytes simple = {'a', 0x0D, 0x0A, 0, 'b'};
  EXPECT_EQ(text(readEntryBody(simple.data(), simple.size(), false, 2).translation), "a\r\n\0b"s)
      << "a simple entry's translation is its whole body";
}

struct RecordCase {
  std::string headWord;
  uint8_t attribute;
  std::string body;  // as stored
  Record expected;
};

class RecordsetRecords : public RecordsetTest {
 protected:
  // One entry per block, so that each head word can be queried alone.
  void check(const std::string& name, bool bocuTexts, int width,
             const std::vector<RecordCase>& cases) {
    TestDictionary d;
    d.bocu = bocuTexts;
    for (const RecordCase& c : cases)
      d.add(c.headWord,
            writer::buildDataBlock({{c.headWord, c.attribute, c.body}}, bocuTexts, width).value());
    auto rs = LexorRecordset::initWithDic(open(name, d));
    for (const RecordCase& c : cases) {
      SCOPED_TRACE(toUtf8(*c.expected.eword));
      // Asked twice, then after a fresh query that loads the block anew: the same record, so a
      // translation rewritten in place is rewritten once.
      for (bool query : {true, false, true}) {
        ASSERT_TRUE(!query || rs->queryWithWord(*c.expected.eword));
        EXPECT_EQ(rs->getRecordAsDictionary(), c.expected);
      }
    }
    EXPECT_TRUE(_log.lines().empty());
  }
};

// Head words in Windows Latin 1, translations in Shift_JIS, pronunciations in the phonetic table.
TEST_F(RecordsetRecords, CodePageEntries) {
  check("fr.dic", false, 2,
        {{"e03",
          0x10,
          "\x82\xA0\0\x02\x40\x61\0\x01\xE9\0\x80"s,
          {u"e03", u"\u0301a", {}, u"\u3042", u"\u00E9"}},
         {"e04", 0x03, "ok\x81"s, {u"e04", {}, 3, {}, {}}},  // invalid in Shift_JIS: left out
         {"\xE9t\xE9", 0x00, "a\r\nb\r"s, {u"\u00E9t\u00E9", {}, {}, u"a<>b\r", {}}}});
}

TEST_F(RecordsetRecords, BocuEntriesAndChineseSyllables) {
  auto simple = [](const std::string& word, const std::string& translation, Record expected) {
    return RecordCase{bocu(word), 0x00, bocu(translation), expected};
  };
  auto extended = [](const std::string& word, const std::string& translation,
                     const std::string& fields, Record expected) {
    return RecordCase{bocu(word), 0x10, bocu(translation) + '\0' + fields + '\x80', expected};
  };
  check("cj.dic", true, 4,
        {simple("c1", "zhong1guo2 China", {u"c1", u"zhōng guó", {}, u"China", {}}),
         // A simple entry's syllables end at a line break too; an extended entry's only at a space.
         simple("c4", "hao3\nxx yy", {u"c4", u"hǎo", {}, u"xx yy", {}}),
         extended("c5", "hao3\nxx yy", "", {u"c5", u"hǎo \nxx", {}, u"yy", {}}),
         // A pronunciation field wins over the syllables.
         extended("c6", "lv4\tgreen", "\x02"s + bocu("given") + '\0',
                  {u"c6", u"given", {}, u"green", {}})});
  // Outside a syllable dictionary the translation stays whole, line breaks and all.
  check("zz-u.dic", true, 2, {simple("b1", "日本語\r\n", {u"b1", {}, {}, u"日本語\r\n", {}})});
}

}  // namespace
}  // namespace lexor::testing
