// The writer against the reader: exact block bytes, and dictionaries of every version and layout
// read back through Lexor and LexorRecordset and compared with a sorted model of the entries.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "core/bocu1.h"
#include "core/lexor.h"
#include "core/lexor_recordset.h"
#include "platform/code_page.h"
#include "platform/log.h"
#include "tests/support/temp_dir.h"
#include "tools/writer/lexor_writer.h"

namespace lexor::writer {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes padded(Bytes bytes, size_t size) {
  bytes.resize(size, 0);
  return bytes;
}

TEST(DataBlockTest, LaysOutEntriesByteForByte) {
  std::vector<RawEntry> entries = {{"app", 0x00, "\x58"}, {"apple", 0x01, "\x59"}};
  struct Case {
    bool bocu;
    int width;
    Bytes expected;
  };
  // clang-format off
  const Case cases[] = {
      {false, 2, {0x01, 0x00,
                  0x06, 0x00, 0x00, 'a', 'p', 'p', 0x00, 0x00, 0x58,
                  0x05, 0x00, 0x03, 'l', 'e', 0x00, 0x01, 0x59,
                  0x00, 0x00}},
      // BOCU-1: the attribute comes before the tail, and L does not count it.
      {true, 2, {0x01, 0x00,
                 0x05, 0x00, 0x00, 0x00, 'a', 'p', 'p', 0x00, 0x58,
                 0x04, 0x00, 0x03, 0x01, 'l', 'e', 0x00, 0x59,
                 0x00, 0x00}},
      {false, 4, {0x01, 0x80,
                  0x06, 0x00, 0x00, 0x00, 0x00, 'a', 'p', 'p', 0x00, 0x00, 0x58,
                  0x05, 0x00, 0x00, 0x00, 0x03, 'l', 'e', 0x00, 0x01, 0x59,
                  0x00, 0x00, 0x00, 0x00}},
  };
  // clang-format on
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << "bocu " << c.bocu << " width " << c.width);
    EXPECT_EQ(buildDataBlock(entries, c.bocu, c.width), padded(c.expected, 256));
  }
}

TEST(DataBlockTest, GrowsByWholeUnitsAndRefusesFieldLengthsBeyondTheWidth) {
  std::vector<RawEntry> big = {{"a", 0, std::string(300, 'x')}};
  Bytes block = buildDataBlock(big, false, 2);
  ASSERT_EQ(block.size(), 512u);
  EXPECT_EQ(block[0], 2);
  big[0].body.assign(0x10000, 'x');
  EXPECT_TRUE(buildDataBlock(big, false, 2).empty());
  EXPECT_FALSE(buildDataBlock(big, false, 4).empty());
}

// ---- Round trips ----

enum class TextKind { kBocu, kShiftJis, kLatin1 };

struct Layout {
  int version;
  TextKind kind;
  FieldWidths widths;
  int blockNumberWidth;
  uint32_t blockBytes;
};

std::string fileNameOf(TextKind kind) {
  switch (kind) {
    case TextKind::kBocu:
      return "uni2.dic";
    case TextKind::kShiftJis:
      return "ambora52.dic";
    case TextKind::kLatin1:
      return "nl_en.dic";  // Windows Latin 1 on both sides
  }
  return "";
}

std::vector<Entry> sampleEntries(TextKind kind) {
  const std::vector<std::string> syllables =
      kind == TextKind::kBocu ? std::vector<std::string>{"ap", "ple", "é", "日本", "𝄞", "z"}
      : kind == TextKind::kShiftJis ? std::vector<std::string>{"ap", "ple", "ア", "カ", "z", "-"}
                                    : std::vector<std::string>{"ap", "ple", "é", "ß", "z", " "};
  const std::string translation = kind == TextKind::kLatin1 ? "übersetzung " : "訳語 ";
  std::mt19937 random(7);
  std::vector<Entry> entries;
  for (int i = 0; i < 400; ++i) {
    std::string head;
    int parts = 1 + static_cast<int>(random() % 4);
    for (int k = 0; k < parts; ++k) head += syllables[random() % syllables.size()];
    Entry entry;
    entry.headWord = u(head);
    entry.translation = u(translation + std::to_string(i) + std::string(random() % 90, 'q'));
    entry.level = i % 16;
    if (i % 3 == 0) entry.pronunciation = u("ˈæpəl");
    if (i % 5 == 0) entry.example = u("an example " + std::to_string(i));
    entries.push_back(std::move(entry));
  }
  return entries;
}

std::string encodedHeadWord(TextKind kind, const UString& word) {
  if (kind != TextKind::kBocu) {
    CodePage page = kind == TextKind::kShiftJis ? kCodePageShiftJIS : kCodePageWindowsLatin1;
    return *encodeCodePage(page, word);
  }
  std::string out(word.size() * 3 + 1, '\0');
  int32_t n = bocu1_encode_from16(word.c_str(), reinterpret_cast<uint8_t*>(out.data()),
                                  static_cast<int32_t>(out.size()));
  out.resize(static_cast<size_t>(n));
  return out;
}

Record expectedRecord(const Entry& entry) {
  Record record;
  record.eword = entry.headWord;
  record.pron = entry.pronunciation;
  if (entry.level != 0) record.level = entry.level;
  record.jword = entry.translation;
  record.example = entry.example;
  return record;
}

std::vector<Record> queryAll(LexorRecordset& recordset, const UString& word) {
  std::vector<Record> records;
  if (!recordset.queryWithWord(word)) return records;
  do {
    if (auto record = recordset.getRecordAsDictionary()) records.push_back(*record);
  } while (recordset.moveNext());
  return records;
}

// The head word of a block's first entry, read straight from the block bytes.
std::string firstHeadWordOf(const Bytes& block, bool bocu) {
  size_t width = (block[1] & 0x80) ? 4 : 2;
  size_t tail = 2 + width + (bocu ? 2 : 1);
  return std::string(reinterpret_cast<const char*>(block.data() + tail));
}

class RoundTripTest : public ::testing::TestWithParam<Layout> {};

TEST_P(RoundTripTest, ReaderFindsEveryEntryInOrder) {
  const Layout layout = GetParam();
  const bool bocu = layout.kind == TextKind::kBocu;
  std::vector<Entry> entries = sampleEntries(layout.kind);

  lexor::testing::TempDir dir;
  std::string path = dir.file(fileNameOf(layout.kind));
  Options options;
  options.version = layout.version;
  options.bocu = bocu;
  options.fieldWidths = layout.widths;
  options.blockNumberWidth = layout.blockNumberWidth;
  options.blockBytes = layout.blockBytes;
  Report report = writeDictionary(path, entries, options);
  ASSERT_EQ(report.error, "");
  EXPECT_EQ(report.skipped, 0u);
  ASSERT_EQ(report.written + report.duplicates, entries.size());

  // The model: stable order by encoded head word, exact copies dropped.
  std::vector<std::pair<std::string, Entry>> model;
  for (const Entry& e : entries) model.emplace_back(encodedHeadWord(layout.kind, e.headWord), e);
  std::stable_sort(model.begin(), model.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });

  auto dic = Lexor::initWithFilePath(u(path));
  ASSERT_NE(dic, nullptr);
  EXPECT_EQ(dic->version() & 0x7F00, layout.version << 8);
  EXPECT_EQ(dic->isBOCU(), bocu);
  EXPECT_EQ(dic->blockbyte(), layout.blockNumberWidth);
  EXPECT_EQ(dic->nWord(), static_cast<int32_t>(report.written));
  ASSERT_GT(dic->nIndexEntry(), 1);
  ASSERT_EQ(dic->usableIndexEntries(), static_cast<uint32_t>(dic->nIndexEntry()));
  Bytes block;
  std::string previousIndexWord;
  for (uint32_t i = 0; i < dic->usableIndexEntries(); ++i) {
    ASSERT_TRUE(dic->loadDatablock(static_cast<int32_t>(i), block));
    std::string word(reinterpret_cast<const char*>(dic->indexWord(i)));
    EXPECT_EQ(word, firstHeadWordOf(block, bocu)) << "block " << i;
    EXPECT_LT(previousIndexWord, word);
    if (layout.widths == FieldWidths::kMixed) {
      EXPECT_EQ((block[1] & 0x80) != 0, i % 2 == 1);
    }
    previousIndexWord = word;
  }

  auto recordset = LexorRecordset::initWithDic(dic);
  for (size_t m = 0; m < model.size(); m += 7) {
    const std::string& needle = model[m].first;
    std::vector<Record> expected;
    for (size_t k = 0; k < model.size(); ++k) {
      if (!model[k].first.starts_with(needle)) continue;
      Record record = expectedRecord(model[k].second);
      if (std::find(expected.begin(), expected.end(), record) == expected.end()) {
        expected.push_back(record);
      }
    }
    ASSERT_EQ(queryAll(*recordset, model[m].second.headWord), expected)
        << "query " << toUtf8(model[m].second.headWord);
  }
}

std::vector<Layout> allLayouts() {
  std::vector<Layout> layouts;
  for (int version = 2; version <= 5; ++version) {
    for (TextKind kind : {TextKind::kBocu, TextKind::kShiftJis, TextKind::kLatin1}) {
      if (kind == TextKind::kBocu && version == 2) continue;
      for (FieldWidths widths : {FieldWidths::kTwo, FieldWidths::kFour, FieldWidths::kMixed}) {
        for (int blockNumberWidth : {2, 4}) {
          if (blockNumberWidth == 4 && version < 4) continue;
          layouts.push_back({version, kind, widths, blockNumberWidth,
                             widths == FieldWidths::kMixed ? 1024u : 256u});
        }
      }
    }
  }
  return layouts;
}

INSTANTIATE_TEST_SUITE_P(AllVersionsAndLayouts, RoundTripTest, ::testing::ValuesIn(allLayouts()));

// ---- Encoding decisions and limits ----

Entry entry(const std::string& headWord, const std::string& translation) {
  Entry e;
  e.headWord = u(headWord);
  e.translation = u(translation);
  return e;
}

UString readBackTranslation(const std::string& path, const UString& word) {
  auto recordset = LexorRecordset::initWithDic(Lexor::initWithFilePath(u(path)));
  std::vector<Record> records = queryAll(*recordset, word);
  return records.empty() || !records[0].jword ? u("<none>") : *records[0].jword;
}

TEST(BuildDictionaryTest, SkipsAndCountsWhatTheCodePageCannotHold) {
  std::vector<Entry> entries = {
      entry("apple", "りんご"),     entry("emoji😀", "x"),                       // not in Shift_JIS
      entry("", "empty head word"), entry("pear", "梨"),  entry("pear", "梨"),  // exact copy
  };
  entries[3].pronunciation = entries[4].pronunciation = u("→pɛə");  // → has no phonetic byte
  Options options;
  options.signature = kAmboraSignature;
  Report report;
  EXPECT_FALSE(buildDictionary(entries, options, &report).empty());
  EXPECT_EQ(report.written, 2u);
  EXPECT_EQ(report.skipped, 2u);
  EXPECT_EQ(report.duplicates, 1u);
  EXPECT_EQ(report.pronunciationsDropped, 2u);
  EXPECT_EQ(report.error, "");
}

TEST(BuildDictionaryTest, RefusesWhatTheHeaderCannotState) {
  Options options;
  options.version = 2;
  options.bocu = true;
  Report report;
  EXPECT_TRUE(buildDictionary({entry("a", "b")}, options, &report).empty());
  EXPECT_NE(report.error, "");

  // 170 long leading words make an index beyond the 16-bit size of versions 2 and 3.
  std::vector<RawEntry> raw;
  for (int i = 0; i < 170; ++i) {
    raw.push_back({std::to_string(1000 + i) + std::string(200, 'a'), 0, "t"});
  }
  std::string error;
  options = Options{};
  options.blockBytes = 256;
  for (int version : {2, 3}) {
    options.version = version;
    EXPECT_TRUE(buildDictionaryFromRaw(raw, options, &error).empty()) << version;
    EXPECT_NE(error.find("16 bits"), std::string::npos) << error;
  }
  options.version = 5;
  EXPECT_FALSE(buildDictionaryFromRaw(raw, options, &error).empty()) << error;
}

TEST(BuildDictionaryTest, WidensBlockNumbersOnlyWhenAskedOrAllowed) {
  // 65537 one-unit blocks: the last block number needs more than 2 bytes.
  std::vector<RawEntry> raw;
  for (int i = 0; i < 65537; ++i) {
    char word[16];
    std::snprintf(word, sizeof word, "w%06d", i);
    raw.push_back({word, 0, std::string(200, 't')});
  }
  Options options;
  options.blockBytes = 256;
  std::string error;
  EXPECT_TRUE(buildDictionaryFromRaw(raw, options, &error).empty());
  EXPECT_NE(error.find("2 bytes"), std::string::npos) << error;
  options.blockNumberWidth = 0;
  Bytes file = buildDictionaryFromRaw(raw, options, &error);
  ASSERT_FALSE(file.empty()) << error;
  EXPECT_EQ(file[182], 1);  // version 5's block-number flag
}

TEST(BuildDictionaryTest, KeepsEqualHeadWordsInOneBlockAndWidensLongEntries) {
  lexor::testing::TempDir dir;
  std::vector<Entry> entries;
  for (int i = 0; i < 40; ++i) entries.push_back(entry("same", "meaning " + std::to_string(i)));
  entries.push_back(entry("long", std::string(70000, 'x')));
  entries.push_back(entry("later", "after"));
  Options options;
  options.blockBytes = 256;
  std::string path = dir.file("sample.dic");
  ASSERT_EQ(writeDictionary(path, entries, options).error, "");

  auto dic = Lexor::initWithFilePath(u(path));
  auto recordset = LexorRecordset::initWithDic(dic);
  std::vector<Record> same = queryAll(*recordset, u("same"));
  ASSERT_EQ(same.size(), 40u);
  EXPECT_EQ(same[39].jword, u("meaning 39"));  // input order among equal head words
  EXPECT_EQ(readBackTranslation(path, u("long")).size(), 70000u);
  Bytes block;
  for (uint32_t i = 0; i < dic->usableIndexEntries(); ++i) {
    ASSERT_TRUE(dic->loadDatablock(static_cast<int32_t>(i), block));
    std::string first = firstHeadWordOf(block, false);
    if (first == "long") {
      EXPECT_TRUE(block[1] & 0x80) << "a 70000-byte entry needs 4-byte lengths";
    } else if (first == "same") {
      EXPECT_GT(block[0], 1) << "all 40 entries in one block";
    }
  }
}

TEST(BuildDictionaryTest, CutsLongHeadWordsOnACharacterBoundary) {
  lexor::testing::TempDir dir;
  std::string path = dir.file("ambora.dic");
  // 300 two-byte characters: the cut must not split one.
  Report report = writeDictionary(
      path, {entry(std::string(300, 'a'), "a"), entry(toUtf8(UString(300, u'ア')), "katakana")},
      Options{});
  ASSERT_EQ(report.error, "");
  EXPECT_EQ(report.headWordsCut, 2u);
  auto recordset = LexorRecordset::initWithDic(Lexor::initWithFilePath(u(path)));
  // A query that is a proper prefix of the first index word finds nothing, so ask for the whole
  // cut head words.
  std::vector<Record> records = queryAll(*recordset, UString(124, u'ア'));
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].jword, u("katakana"));
  records = queryAll(*recordset, u(std::string(kMaxHeadWordBytes, 'a')));
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].jword, u("a"));
}

}  // namespace
}  // namespace lexor::writer
