// Stepping through the matches: entry layouts, block and dictionary crossings, states, and
// blocks whose bytes break the layout.
#include <gtest/gtest.h>

#include "core/lexor_recordset.h"
#include "platform/log.h"
#include "tests/core/recordset_fixture.h"

namespace lexor::testing {
namespace {

using Words = std::vector<std::string>;

// The spec-sized example: "app" (translation X) and "apple" (translation Y, level 1).
Bytes exampleBlock() {
  Bytes b = {0x01, 0x00, 0x06, 0x00, 0x00, 'a',  'p',  'p',  0x00, 0x00, 0x58,
             0x05, 0x00, 0x03, 'l',  'e',  0x00, 0x01, 0x59, 0x00, 0x00};
  b.resize(256, 0);
  return b;
}

// A code-page block of whole head words in order, each with its own word as translation.
Bytes cpBlock(int w, const Words& words) {
  std::vector<Bytes> entries;
  for (const std::string& word : words) entries.push_back(cpEntry(w, 0, word, 0, word));
  return dataBlock(w, entries);
}

Bytes bocuBlock(int w, const Words& words) {
  std::vector<Bytes> entries;
  for (const std::string& word : words)
    entries.push_back(bocuEntry(w, 0, 0, bocu(word), bocu(word)));
  return dataBlock(w, entries);
}

class RecordsetWalk : public ::testing::Test {
 protected:
  std::shared_ptr<Lexor> cp(const std::string& name, const std::vector<HandBlock>& blocks) {
    auto dic = openDictionary(dir_, name, assembleDictionary(false, blocks));
    EXPECT_TRUE(dic);
    return dic;
  }
  std::shared_ptr<Lexor> bocuDic(const std::string& name, const std::vector<HandBlock>& blocks) {
    auto dic = openDictionary(dir_, name, assembleDictionary(true, blocks));
    EXPECT_TRUE(dic);
    return dic;
  }
  TempDir dir_;
  CapturingLogSink log_;
};

TEST_F(RecordsetWalk, ExampleBlock) {
  auto rs = LexorRecordset::initWithDic(cp("example.dic", {{"app", exampleBlock()}}));
  ASSERT_TRUE(rs->queryWithWord(u"app"));
  auto record = rs->getRecordAsDictionary();
  ASSERT_TRUE(record);
  EXPECT_EQ(record->eword, u"app");
  EXPECT_EQ(record->jword, u"X");
  EXPECT_FALSE(record->level);
  ASSERT_TRUE(rs->moveNext());
  record = rs->getRecordAsDictionary();
  ASSERT_TRUE(record);
  EXPECT_EQ(record->eword, u"apple");
  EXPECT_EQ(record->jword, u"Y");
  EXPECT_EQ(record->level, 1);
  EXPECT_FALSE(rs->moveNext());
  EXPECT_TRUE(rs->isEOF());
  EXPECT_FALSE(rs->getRecordAsDictionary());
  EXPECT_FALSE(rs->moveNext());
  EXPECT_TRUE(rs->isEOF());
  EXPECT_TRUE(log_.lines().empty());
}

TEST_F(RecordsetWalk, CaseSensitiveBytePrefix) {
  auto rs = LexorRecordset::initWithDic(
      cp("prefix.dic", {{"App", cpBlock(2, {"App", "ap", "app", "apple"})},
                        {"application", cpBlock(2, {"application", "apq", "b"})}}));
  struct Case {
    const char* needle;
    Words found;
  };
  const Case cases[] = {
      {"app", {"app", "apple", "application"}},
      {"ap", {"ap", "app", "apple", "application", "apq"}},
      {"App", {"App"}},
      {"apple", {"apple"}},
      {"applex", {}},
      {"b", {"b"}},
      {"z", {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.needle);
    EXPECT_EQ(query(*rs, c.needle), c.found);
    EXPECT_TRUE(rs->isEOF());
  }
}

TEST_F(RecordsetWalk, CrossesBlocksAndDictionaries) {
  auto first = cp("first.dic", {{"ca", cpBlock(2, {"ca", "cab"})},
                                {"cab2", cpBlock(4, {"cab2", "cb"})},
                                {"d", cpBlock(2, {"d"})}});
  auto second = cp("second.dic", {{"cab9", cpBlock(2, {"cab9", "cc"})}});
  auto rs = LexorRecordset::initWithDics(std::make_shared<LexorList>(LexorList{first, second}));
  ASSERT_TRUE(rs->queryWithWord(u"cab"));
  EXPECT_EQ(rs->currentDicPosition(), 0);
  ASSERT_TRUE(rs->moveNext());  // the match ended block 0; block 1 has 4-byte lengths
  EXPECT_EQ(rs->getRecordAsDictionary()->eword, u"cab2");
  ASSERT_TRUE(rs->moveNext());
  EXPECT_EQ(rs->currentDicPosition(), 1);
  EXPECT_EQ(rs->getRecordAsDictionary()->eword, u"cab9");
  EXPECT_FALSE(rs->moveNext());

  // No match in the first dictionary's range: the query crosses over.
  EXPECT_EQ(query(*rs, "cc"), Words{"cc"});
  EXPECT_TRUE(log_.lines().empty());
}

TEST_F(RecordsetWalk, FieldLengthOf256AndBothWidths) {
  const std::string body = std::string(249, 'x') + "y";
  const Bytes longEntry = cpEntry(2, 0, "long", 0, body);  // L = 4 + 2 + 250 = 256, stored 00 01
  ASSERT_EQ(longEntry[0], 0x00);
  ASSERT_EQ(longEntry[1], 0x01);
  Bytes wide = dataBlock(4, {cpEntry(4, 0, "longer", 0, "a"), cpEntry(4, 6, "s", 0, "b")});
  auto rs = LexorRecordset::initWithDic(
      cp("widths.dic",
         {{"long", dataBlock(2, {longEntry, cpEntry(2, 4, "e", 0, "z")})}, {"longer", wide}}));
  EXPECT_EQ(query(*rs, "long"), (Words{"long", "longe", "longer", "longers"}));
  ASSERT_TRUE(rs->queryWithWord(u"long"));
  EXPECT_EQ(rs->getRecordAsDictionary()->jword, fromUtf8(body));
}

TEST_F(RecordsetWalk, PrefixCountZeroReplacesALongHeadWord) {
  const std::string longWord(248, 'm');
  auto rs = LexorRecordset::initWithDic(
      cp("replace.dic",
         {{"m", dataBlock(2, {cpEntry(2, 0, longWord, 0, "a"), cpEntry(2, 0, "n", 0, "b")})}}));
  EXPECT_EQ(query(*rs, "m"), Words{longWord});
  EXPECT_EQ(query(*rs, "n"), Words{"n"});
}

// The look-up's range may begin before the first index word: the walk then starts at entry 0.
TEST_F(RecordsetWalk, NeedleBeforeTheFirstIndexWordStillFindsItsMatches) {
  auto rs = LexorRecordset::initWithDic(
      cp("first.dic", {{"abc", cpBlock(2, {"abc", "abd"})}, {"abd2", cpBlock(2, {"abd2", "b"})}}));
  EXPECT_EQ(query(*rs, "ab"), (Words{"abc", "abd", "abd2"}));
  EXPECT_EQ(query(*rs, "a"), (Words{"abc", "abd", "abd2"}));
  EXPECT_EQ(query(*rs, "A"), Words{});  // sorts before everything: nothing, and no block past it
  EXPECT_TRUE(log_.lines().empty());

  // In a later dictionary too, and a dictionary entered that way does not end the walk.
  auto other = cp("second.dic", {{"b", cpBlock(2, {"b", "ba"})}, {"c", cpBlock(2, {"c"})}});
  auto both =
      LexorRecordset::initWithDics(std::make_shared<LexorList>(LexorList{other, rs->dicAt(0)}));
  EXPECT_EQ(query(*both, "ab"), (Words{"abc", "abd", "abd2"}));
  EXPECT_EQ(query(*both, "b"), (Words{"b", "ba", "b"}));
}

// A block that cannot be loaded costs its log line, not the rest of the query.
TEST_F(RecordsetWalk, UnloadableBlockIsSkipped) {
  Bytes broken = cpBlock(2, {"kab2"});
  broken[0] = broken[1] = 0;  // a block of no units
  Bytes brokenLast = cpBlock(2, {"kab5"});
  brokenLast[0] = brokenLast[1] = 0;
  auto first = cp("first.dic", {{"ka", cpBlock(2, {"ka", "kab"})},
                                {"kab2", broken},
                                {"kab3", cpBlock(2, {"kab3"})},
                                {"kab5", brokenLast}});
  auto second = cp("second.dic", {{"kab4", cpBlock(2, {"kab4"})}});
  auto rs = LexorRecordset::initWithDics(std::make_shared<LexorList>(LexorList{first, second}));
  EXPECT_EQ(query(*rs, "kab"), (Words{"kab", "kab3", "kab4"}));
  EXPECT_EQ(log_.lines(), (Words{"cannot allocate datablock\n", "cannot allocate datablock\n"}));
}

// The needle follows each dictionary's head-word encoding.
TEST_F(RecordsetWalk, MixedEncodingsFindTheMatchesOfEach) {
  auto shiftJis = cp("alpha.dic", {{"ab", cpBlock(2, {"ab", "abc", "b"})}});
  auto bocu1 = bocuDic("beta.dic", {{bocu("abc"), bocuBlock(2, {"abc", "abd", "x"})}});
  auto rs = LexorRecordset::initWithDics(std::make_shared<LexorList>(LexorList{shiftJis, bocu1}));
  EXPECT_EQ(query(*rs, "ab"), (Words{"ab", "abc", "abc", "abd"}));

  auto reversed =
      LexorRecordset::initWithDics(std::make_shared<LexorList>(LexorList{bocu1, shiftJis}));
  EXPECT_EQ(query(*reversed, "ab"), (Words{"abc", "abd", "ab", "abc"}));
  EXPECT_TRUE(log_.lines().empty());
}

TEST_F(RecordsetWalk, DictionaryThatCannotHoldTheWordIsSkipped) {
  // Windows Latin 1 head words first, then Shift_JIS (no "é"), then BOCU-1.
  auto latin = cp("fr.dic", {{"\xE9t\xE9", cpBlock(2, {"\xE9t\xE9"})}});
  auto shiftJis = cp("alpha.dic", {{"a", cpBlock(2, {"a"})}});
  auto bocu1 = bocuDic("beta.dic", {{bocu("été"), bocuBlock(2, {"été", "étés"})}});
  auto rs =
      LexorRecordset::initWithDics(std::make_shared<LexorList>(LexorList{latin, shiftJis, bocu1}));
  ASSERT_TRUE(rs->queryWithWord(u"\u00E9t\u00E9"));
  EXPECT_EQ(rs->getRecordAsDictionary()->eword, u"\u00E9t\u00E9");
  ASSERT_TRUE(rs->moveNext());
  EXPECT_EQ(rs->currentDicPosition(), 2);
  ASSERT_TRUE(rs->moveNext());
  EXPECT_EQ(rs->getRecordAsDictionary()->eword, u"\u00E9t\u00E9s");
  EXPECT_FALSE(rs->moveNext());
}

TEST_F(RecordsetWalk, States) {
  auto dic = cp("states.dic", {{"app", exampleBlock()}});
  auto rs = LexorRecordset::init();
  EXPECT_FALSE(rs->isEOF());  // Fresh
  rs->removeDics();
  EXPECT_TRUE(rs->isEOF());
  EXPECT_EQ(rs->dicCount(), 0u);
  EXPECT_FALSE(rs->moveNext());

  // Before any query the needle is empty and a step finds nothing.
  rs->addDic(dic);
  EXPECT_TRUE(rs->isEOF());
  EXPECT_FALSE(rs->moveNext());
  EXPECT_TRUE(rs->isEOF());

  // Adding to a positioned recordset clears it; a step then walks again with the last needle.
  ASSERT_TRUE(rs->queryWithWord(u"apple"));
  rs->addDic(dic);
  EXPECT_TRUE(rs->isEOF());
  EXPECT_FALSE(rs->getRecordAsDictionary());
  EXPECT_EQ(drain(*rs, rs->moveNext()), (Words{"apple", "apple"}));
  EXPECT_FALSE(rs->moveNext());

  rs->removeDics();
  EXPECT_FALSE(rs->moveNext());
  EXPECT_TRUE(rs->isEOF());
  EXPECT_TRUE(log_.lines().empty());
}

TEST_F(RecordsetWalk, StepAfterAddingADictionaryOfAnotherEncodingReencodesTheWord) {
  auto rs = LexorRecordset::initWithDic(cp("alpha.dic", {{"ab", cpBlock(2, {"ab"})}}));
  ASSERT_TRUE(rs->queryWithWord(u"ab"));
  rs->addDic(bocuDic("beta.dic", {{bocu("ab"), bocuBlock(2, {"abc"})}}));
  EXPECT_EQ(drain(*rs, rs->moveNext()), (Words{"ab", "abc"}));
}

// Each case is a block that breaks the layout after a good match; the walk keeps what came
// before, leaves the block at the broken entry and goes on with the next block.
TEST_F(RecordsetWalk, BrokenBlocksEndOnlyTheirOwnWalk) {
  const std::string tooLong(249, 'q');
  // One entry fills the block: no room is left for the end-of-block mark.
  const Bytes fullBlock = dataBlock(2, {cpEntry(2, 0, "q", 0, std::string(248, 'x'))}, false);
  ASSERT_EQ(fullBlock.size(), 256u);
  struct Case {
    const char* name;
    Bytes block;
    Words found;
  };
  const Case cases[] = {
      {"head word over 248 bytes",
       dataBlock(2, {cpEntry(2, 0, "q", 0, "a"), cpEntry(2, 0, tooLong, 0, "b"),
                     cpEntry(2, 0, "qz", 0, "c")}),
       {"q"}},
      {"prefix count over the previous head word",
       dataBlock(2, {cpEntry(2, 0, "q", 0, "a"), cpEntry(2, 9, "x", 0, "b"),
                     cpEntry(2, 0, "qz", 0, "c")}),
       {"q"}},
      {"first entry with a prefix count", dataBlock(2, {cpEntry(2, 1, "q", 0, "a")}), {}},
      {"entry running past the block",
       dataBlock(2, {cpEntry(2, 0, "q", 0, "a"), cpEntry(2, 0, "qy", 0, "b", 0x7FFF)}),
       {"q"}},
      {"4-byte length near 2^32",
       dataBlock(4, {cpEntry(4, 0, "q", 0, "a"), cpEntry(4, 0, "qy", 0, "b", 0xFFFFFFF0)}),
       {"q"}},
      {"tail without its NUL",
       dataBlock(2, {cpEntry(2, 0, "q", 0, "a"), Bytes{2, 0, 0, 'q', 'x', 0, 0}}),
       {"q"}},
      {"missing end-of-block mark", fullBlock, {"q"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto rs =
        LexorRecordset::initWithDic(cp(std::string("broken") + std::to_string(&c - cases) + ".dic",
                                       {{"q", c.block}, {"qzz", cpBlock(2, {"qzz"})}}));
    Words expected = c.found;
    expected.push_back("qzz");
    EXPECT_EQ(query(*rs, "q"), expected);
    EXPECT_TRUE(rs->isEOF());
  }
}

}  // namespace
}  // namespace lexor::testing
