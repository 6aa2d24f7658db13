// Records of entries: fields, levels, encodings, line breaks, Chinese syllables and broken bodies.
#include <gtest/gtest.h>

#include "core/lexor_recordset.h"
#include "platform/log.h"
#include "tests/core/recordset_fixture.h"

namespace lexor::testing {
namespace {

using std::string_literals::operator""s;

struct Expected {
  std::optional<std::string> eword, pron;
  std::optional<int32_t> level;
  std::optional<std::string> jword, example;
};

Record toRecord(const Expected& e) {
  auto text = [](const std::optional<std::string>& s) -> std::optional<UString> {
    if (!s) return std::nullopt;
    return fromUtf8(*s);
  };
  return Record{text(e.eword), text(e.pron), e.level, text(e.jword), text(e.example)};
}

class RecordsetRecord : public ::testing::Test {
 protected:
  // One entry per block, so that every head word can be queried alone.
  std::shared_ptr<LexorRecordset> open(const std::string& name, bool bocuTexts,
                                       const std::vector<std::pair<std::string, Bytes>>& entries,
                                       int width = 2) {
    std::vector<HandBlock> blocks;
    for (const auto& [indexWord, entry] : entries)
      blocks.push_back({indexWord, dataBlock(width, {entry})});
    auto dic = openDictionary(dir_, name, assembleDictionary(bocuTexts, blocks));
    EXPECT_TRUE(dic);
    return LexorRecordset::initWithDic(dic);
  }
  std::optional<Record> fetch(LexorRecordset& rs, const std::string& word) {
    if (!rs.queryWithWord(fromUtf8(word))) return std::nullopt;
    return rs.getRecordAsDictionary();
  }
  TempDir dir_;
  CapturingLogSink log_;
};

TEST_F(RecordsetRecord, CodePageEntries) {
  // Head words are Windows Latin 1 and translations Shift_JIS in this dictionary.
  const Bytes goEx = {0x0B, 0x00, 0x00, 0x67, 0x6F, 0x00, 0x10,
                      0x58, 0x00, 0x01, 0x65, 0x78, 0x00, 0x80};
  auto rs =
      open("fr.dic", false,
           {{"e01", cpEntry(2, 0, "e01", 0x00, "")},
            {"e02", cpEntry(2, 0, "e02", 0x1F, "t\0\x80"s)},
            {"e03", cpEntry(2, 0, "e03", 0x10, "\x82\xA0\0\x02\x40\x61\0\x01\xE9\0\x80"s)},
            {"e04", cpEntry(2, 0, "e04", 0x03, "ok\x81"s)},
            {"e06", cpEntry(2, 0, "e06", 0x10, "a\0\x80\x01never\0"s)},
            {"go", goEx},
            {"\xE9t\xE9", cpEntry(2, 0, "\xE9t\xE9", 0x10, "x\0\x01\xE9\0\x01second\0\x80"s)}});
  struct Case {
    const char* word;
    Expected expected;
  };
  const Case cases[] = {
      {"e01", {"e01", {}, {}, "", {}}},
      {"e02", {"e02", {}, 15, "t", {}}},
      // Pronunciation through the phonetic table; the example in the head-word code page.
      {"e03", {"e03", "\u0301a", {}, "\u3042", "\u00E9"}},
      {"e04", {"e04", {}, 3, {}, {}}},  // a translation invalid in its code page is left out
      {"\xC3\xA9t\xC3\xA9", {"\u00E9t\u00E9", {}, {}, "x", "second"}},
      {"e06", {"e06", {}, {}, "a", {}}},
      {"go", {"go", {}, {}, "X", "ex"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.word);
    const std::optional<Record> record = fetch(*rs, c.word);
    ASSERT_TRUE(record);
    EXPECT_EQ(*record, toRecord(c.expected));
  }
}

TEST_F(RecordsetRecord, LineBreaksOfCodePageTranslationsAreRewrittenOnce) {
  auto rs = open("lines.dic", false,
                 {{"s", cpEntry(2, 0, "s", 0x00, "a\r\nb\r"s)},
                  {"x", cpEntry(2, 0, "x", 0x10, "c\r\nd\0\x80"s)}});
  for (const char* word : {"s", "x"}) {
    SCOPED_TRACE(word);
    ASSERT_TRUE(rs->queryWithWord(fromUtf8(word)));
    const auto first = rs->getRecordAsDictionary();
    const auto second = rs->getRecordAsDictionary();
    ASSERT_TRUE(first && second);
    EXPECT_EQ(first->jword, std::string(word) == "s" ? u"a<>b\r" : u"c<>d");
    EXPECT_EQ(first, second);
    // A new query loads the block afresh from the file and rewrites it again.
    EXPECT_EQ(fetch(*rs, word)->jword, first->jword);
  }

  auto bocuRs =
      open("lines-b.dic", true, {{bocu("s"), bocuEntry(2, 0, 0, bocu("s"), bocu("a\r\nb"))}});
  EXPECT_EQ(fetch(*bocuRs, "s")->jword, u"a\r\nb");
}

TEST_F(RecordsetRecord, BocuEntries) {
  auto rs = open(
      "test-u.dic", true,
      {{bocu("b1"), bocuEntry(4, 0, 0x02, bocu("b1"), bocu("日本語"))},
       {bocu("b2"),
        bocuEntry(4, 0, 0x10, bocu("b2"),
                  bocu("tr") + "\0\x02"s + bocu("prn") + "\0\x01"s + bocu("ex") + "\0\x80"s)},
       {bocu("b3"), bocuEntry(4, 0, 0x00, bocu("b3"), "")},
       {bocu("b4"), bocuEntry(4, 0, 0x10, bocu("b4"),
                              bocu("t") + "\0\x10\x03\0\0\0xyz\x01"s + bocu("e") + "\0\x80"s)}},
      4);
  struct Case {
    const char* word;
    Expected expected;
  };
  const Case cases[] = {
      {"b1", {"b1", {}, 2, "日本語", {}}},
      {"b2", {"b2", "prn", {}, "tr", "ex"}},
      {"b3", {"b3", {}, {}, "", {}}},
      {"b4", {"b4", {}, {}, "t", "e"}},  // a binary field with a 4-byte length is skipped
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.word);
    const std::optional<Record> record = fetch(*rs, c.word);
    ASSERT_TRUE(record);
    EXPECT_EQ(*record, toRecord(c.expected));
  }
}

TEST_F(RecordsetRecord, ChineseSyllables) {
  auto simple = [](const std::string& word, const std::string& translation) {
    return std::pair{bocu(word), bocuEntry(2, 0, 0x00, bocu(word), bocu(translation))};
  };
  auto extended = [](const std::string& word, const std::string& translation,
                     const std::string& fields) {
    return std::pair{bocu(word),
                     bocuEntry(2, 0, 0x10, bocu(word), bocu(translation) + '\0' + fields + '\x80')};
  };
  auto rs = open("cj.dic", true,
                 {simple("c1", "zhong1guo2 China"), simple("c2", "China"), simple("c3", " China"),
                  simple("c4", "hao3\nxx yy"), extended("c5", "hao3\nxx yy", ""),
                  extended("c6", "lv4\tgreen", "\x02"s + bocu("given") + '\0'),
                  extended("c7", "ni3 you", "")});
  struct Case {
    const char* word;
    Expected expected;
  };
  const Case cases[] = {
      {"c1", {"c1", "zhōng guó", {}, "China", {}}},
      {"c2", {"c2", {}, {}, "China", {}}},
      {"c3", {"c3", "", {}, "China", {}}},
      {"c4", {"c4", "hǎo", {}, "xx yy", {}}},    // a simple entry splits at the line break
      {"c5", {"c5", "hǎo \nxx", {}, "yy", {}}},  // an extended one only at a space
      {"c6", {"c6", "given", {}, "green", {}}},  // a pronunciation field wins over the syllables
      {"c7", {"c7", "nǐ", {}, "you", {}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.word);
    const std::optional<Record> record = fetch(*rs, c.word);
    ASSERT_TRUE(record);
    EXPECT_EQ(*record, toRecord(c.expected));
  }

  // The same entry outside a syllable dictionary keeps its translation whole.
  auto plain = open("zz-u.dic", true, {simple("c1", "zhong1guo2 China")});
  EXPECT_EQ(*fetch(*plain, "c1"), toRecord({"c1", {}, {}, "zhong1guo2 China", {}}));
}

TEST_F(RecordsetRecord, BrokenBodiesKeepTheirWholeFields) {
  auto rs = open("broken.dic", false,
                 {{"k1", cpEntry(2, 0, "k1", 0x10, "no nul"s)},
                  {"k2", cpEntry(2, 0, "k2", 0x10,
                                 "t\0\x01"
                                 "ex\0\x02\x61\x62"s)},
                  {"k3", cpEntry(2, 0, "k3", 0x10,
                                 "t\0\x01"
                                 "ex\0\x10\xFF\xFF\x02\x61\0\x80"s)},
                  {"k4", cpEntry(2, 0, "k4", 0x10, "t\0\x02\x61\0"s)}});
  struct Case {
    const char* word;
    Expected expected;
  };
  const Case cases[] = {
      {"k1", {"k1", {}, {}, {}, {}}},     // translation without its NUL: left out
      {"k2", {"k2", {}, {}, "t", "ex"}},  // pronunciation without its NUL: left out
      {"k3", {"k3", {}, {}, "t", "ex"}},  // binary length past the entry: reading stops
      {"k4", {"k4", "a", {}, "t", {}}},   // no end tag: whole fields are kept
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.word);
    const std::optional<Record> record = fetch(*rs, c.word);
    ASSERT_TRUE(record);
    EXPECT_EQ(*record, toRecord(c.expected));
  }
}

TEST_F(RecordsetRecord, NoRecordWithoutACurrentEntry) {
  auto rs = open("none.dic", false, {{"a", cpEntry(2, 0, "a", 0, "x")}});
  EXPECT_FALSE(rs->getRecordAsDictionary());  // fresh
  EXPECT_FALSE(fetch(*rs, "b"));
  EXPECT_FALSE(rs->getRecordAsDictionary());  // ended
  EXPECT_TRUE(log_.lines().empty());
}

}  // namespace
}  // namespace lexor::testing
