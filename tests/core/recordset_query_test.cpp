// Starting a query: the needle and its upper bound in the first dictionary's encoding, and the
// failures that end a query before its first step.
#include <gtest/gtest.h>

#include <cstring>

#include "core/lexor_recordset.h"
#include "platform/code_page.h"
#include "platform/log.h"
#include "tests/core/recordset_fixture.h"

namespace lexor::testing {
namespace {

using Words = std::vector<std::string>;

std::string cString(const uint8_t* bytes) {
  return std::string(reinterpret_cast<const char*>(bytes));
}

class RecordsetQuery : public ::testing::Test {
 protected:
  std::shared_ptr<Lexor> dictionary(const std::string& name, bool bocuTexts,
                                    const std::string& word) {
    auto dic = openDictionary(
        dir_, name,
        assembleDictionary(bocuTexts,
                           {{word, dataBlock(2, {bocuTexts ? bocuEntry(2, 0, 0, word, "t")
                                                           : cpEntry(2, 0, word, 0, "t")})}}));
    EXPECT_TRUE(dic);
    return dic;
  }
  TempDir dir_;
  CapturingLogSink log_;
};

TEST_F(RecordsetQuery, FailuresEndTheQueryWithOneLogLine) {
  struct Case {
    const char* name;
    std::shared_ptr<LexorRecordset> recordset;
    UString word;
    const char* line;
  };
  auto shiftJis = dictionary("sjis.dic", false, "a");
  auto bocu1 = dictionary("uni.dic", true, bocu("a"));
  const Case cases[] = {
      {"no list", LexorRecordset::init(), u"a", "queryWithWord : dic count = 0\n"},
      {"empty list", LexorRecordset::initWithDics(std::make_shared<LexorList>()), u"a",
       "queryWithWord : dic count = 0\n"},
      {"absent first dictionary", LexorRecordset::initWithDic(nullptr), u"a",
       "queryWithWord : dic not available.\n"},
      {"empty word, code page", LexorRecordset::initWithDic(shiftJis), u"", "invalid needle.\n"},
      {"empty word, BOCU-1", LexorRecordset::initWithDic(bocu1), u"", "invalid needle.\n"},
      {"not in Shift_JIS", LexorRecordset::initWithDic(shiftJis), u"\U0001F600",
       "needle too long, maybe.\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    log_.clear();
    EXPECT_FALSE(c.recordset->queryWithWord(c.word));
    EXPECT_TRUE(c.recordset->isEOF());
    EXPECT_EQ(log_.lines(), Words{c.line});
    EXPECT_FALSE(c.recordset->moveNext());
  }

  // The list survives a failure, and the next query runs at once.
  auto rs = LexorRecordset::initWithDic(shiftJis);
  EXPECT_FALSE(rs->queryWithWord(u""));
  EXPECT_EQ(rs->dicCount(), 1u);
  EXPECT_EQ(query(*rs, "a"), Words{"a"});
}

TEST_F(RecordsetQuery, UpperBoundIsTheNeedleWithItsLastByteIncreased) {
  auto shiftJis = LexorRecordset::initWithDic(dictionary("sjis.dic", false, "abc"));
  shiftJis->queryWithWord(u"abc");
  EXPECT_EQ(cString(shiftJis->needle()), "abc");
  EXPECT_EQ(cString(shiftJis->upperBound()), "abd");

  // In Windows Latin 1 "ÿ" is 0xFF: the bound drops that byte, one shorter than the needle.
  auto latin = LexorRecordset::initWithDic(dictionary("fr.dic", false, "a\xFF"));
  EXPECT_TRUE(latin->queryWithWord(u"a\u00FF"));
  EXPECT_EQ(cString(latin->needle()), "a\xFF");
  EXPECT_EQ(cString(latin->upperBound()), "a");

  auto bocu1 = LexorRecordset::initWithDic(dictionary("uni.dic", true, bocu("abc")));
  EXPECT_TRUE(bocu1->queryWithWord(u"abc"));
  EXPECT_EQ(cString(bocu1->needle()), bocu("abc"));
}

TEST_F(RecordsetQuery, LongWordsAreCutAfterTheLastWholeCharacter) {
  // "a" and 200 two-byte characters in Shift_JIS: 401 bytes, cut to 1 + 2 * 127 = 255.
  UString longWord = u"a" + UString(200, u'\u3042');
  auto shiftJis = LexorRecordset::initWithDic(dictionary("sjis.dic", false, "a"));
  EXPECT_FALSE(shiftJis->queryWithWord(longWord));  // no head word is that long
  EXPECT_TRUE(log_.lines().empty());
  const std::string needle = cString(shiftJis->needle());
  EXPECT_EQ(needle.size(), 255u);
  EXPECT_EQ(decodeCodePage(kCodePageShiftJIS, reinterpret_cast<const uint8_t*>(needle.data()),
                           needle.size()),
            longWord.substr(0, 128));

  // "ab" first: 2 + 2 * 126 = 254, since the 127th character would need bytes 255 and 256.
  longWord = u"ab" + UString(200, u'\u3042');
  shiftJis->queryWithWord(longWord);
  EXPECT_EQ(cString(shiftJis->needle()).size(), 254u);

  // BOCU-1: whatever the cut, it decodes to a prefix of whole characters.
  UString mixed;
  for (int i = 0; i < 100; ++i) mixed += u"a\u3042\U00020000";
  auto bocu1 = LexorRecordset::initWithDic(dictionary("uni.dic", true, bocu("a")));
  EXPECT_FALSE(bocu1->queryWithWord(mixed));
  const std::string bocuNeedle = cString(bocu1->needle());
  EXPECT_LE(bocuNeedle.size(), 255u);
  EXPECT_GE(bocuNeedle.size(), 250u);
  const auto decoded = CreateNSStringWithBOCU1(bocu1->needle(), 0);
  ASSERT_TRUE(decoded);
  EXPECT_EQ(mixed.substr(0, decoded->size()), *decoded);
}

TEST_F(RecordsetQuery, NeedleComesFromTheFirstDictionary) {
  auto rs = LexorRecordset::initWithDics(std::make_shared<LexorList>(
      LexorList{dictionary("uni.dic", true, bocu("ab")), dictionary("sjis.dic", false, "ab")}));
  ASSERT_TRUE(rs->queryWithWord(u"ab"));
  EXPECT_EQ(cString(rs->needle()), bocu("ab"));
  EXPECT_EQ(rs->currentDicPosition(), 0);
}

}  // namespace
}  // namespace lexor::testing
