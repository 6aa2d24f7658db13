// The writer against the reader: exact block bytes, and dictionaries of every version and layout
// read back and compared with a sorted model of the entries.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string_view>
#include <tuple>

#include "core/bocu1.h"
#include "core/lexor.h"
#include "core/lexor_recordset.h"
#include "platform/code_page.h"
#include "tests/support/temp_dir.h"
#include "tools/writer/lexor_writer.h"

namespace lexor::writer {
namespace {

using Bytes = std::vector<uint8_t>;

TEST(DataBlockTest, LaysOutEntriesByteForByte) {
  const std::vector<RawEntry> entries = {{"app", 0x00, "\x58"}, {"apple", 0x01, "\x59"}};
  using namespace std::string_view_literals;
  const std::tuple<bool, int, std::string_view> cases[] = {
      {false, 2, "\x01\x00" "\x06\x00\x00" "app\0\0\x58" "\x05\x00\x03" "le\0\x01\x59" "\0\0"sv},
      // BOCU-1: the attribute comes before the tail, and L does not count it.
      {true, 2, "\x01\x00" "\x05\x00\x00" "\0app\0\x58" "\x04\x00\x03" "\x01le\0\x59" "\0\0"sv},
      {false, 4, "\x01\x80" "\x06\0\0\0\x00" "app\0\0\x58" "\x05\0\0\0\x03" "le\0\x01\x59" "\0\0\0\0"sv},
  };
  for (const auto& [bocu, width, bytes] : cases) {
    Bytes expected(bytes.begin(), bytes.end());
    expected.resize(256, 0);
    EXPECT_EQ(buildDataBlock(entries, bocu, width), expected) << bocu << width;
  }
  // A 300-byte entry takes two units; a 64 KiB one fits only 4-byte lengths.
  std::vector<RawEntry> big = {{"a", 0, std::string(300, 'x')}};
  EXPECT_EQ(buildDataBlock(big, false, 2).size(), 512u);
  big[0].body.assign(0x10000, 'x');
  EXPECT_TRUE(buildDataBlock(big, false, 2).empty());
  EXPECT_FALSE(buildDataBlock(big, false, 4).empty());
}

enum class TextKind { kBocu, kShiftJis, kLatin1 };

struct Layout {
  int version;
  TextKind kind;
  FieldWidths widths;
  int blockNumberWidth;
};

std::vector<Entry> sampleEntries(TextKind kind) {
  const std::vector<std::string> syllables =
      kind == TextKind::kBocu       ? std::vector<std::string>{"ap", "ple", "é", "日本", "𝄞", "z"}
      : kind == TextKind::kShiftJis ? std::vector<std::string>{"ap", "ple", "ア", "カ", "z", "-"}
                                    : std::vector<std::string>{"ap", "ple", "é", "ß", "z", " "};
  const std::string translation = kind == TextKind::kLatin1 ? "übersetzung " : "訳語 ";
  std::mt19937 random(7);
  std::vector<Entry> entries;
  for (int i = 0; i < 400; ++i) {
    Entry entry;
    for (int k = 1 + static_cast<int>(random() % 4); k > 0; --k) {
      entry.headWord += u(syllables[random() % syllables.size()]);
    }
    entry.translation = u(translation + std::to_string(i) + std::string(random() % 90, 'q'));
    entry.level = i % 16;
    if (i % 3 == 0) entry.pronunciation = u("ˈæpəl");
    if (i % 5 == 0) entry.example = u("an example " + std::to_string(i));
    entries.push_back(std::move(entry));
  }
  return entries;
}

std::string encoded(TextKind kind, const UString& word) {
  if (kind != TextKind::kBocu) {
    return *encodeCodePage(kind == TextKind::kShiftJis ? kCodePageShiftJIS : kCodePageWindowsLatin1,
                           word);
  }
  std::string out(word.size() * 3 + 1, '\0');
  out.resize(static_cast<size_t>(bocu1_encode_from16(
      word.c_str(), reinterpret_cast<uint8_t*>(out.data()), static_cast<int32_t>(out.size()))));
  return out;
}

std::vector<Record> queryAll(LexorRecordset& recordset, const UString& word) {
  std::vector<Record> records;
  for (bool found = recordset.queryWithWord(word); found; found = recordset.moveNext()) {
    if (auto record = recordset.getRecordAsDictionary()) records.push_back(*record);
  }
  return records;
}

class RoundTripTest : public ::testing::TestWithParam<Layout> {};

TEST_P(RoundTripTest, ReaderFindsEveryEntryInOrder) {
  const Layout layout = GetParam();
  const bool bocu = layout.kind == TextKind::kBocu;
  const std::vector<Entry> entries = sampleEntries(layout.kind);
  lexor::testing::TempDir dir;
  // The file name chooses the code pages: Shift_JIS for the suite, Windows Latin 1 for nl_en.
  const std::string path = dir.file(layout.kind == TextKind::kShiftJis ? "ambora52.dic"
                                    : layout.kind == TextKind::kLatin1 ? "nl_en.dic"
                                                                       : "uni2.dic");
  Options options;
  options.version = layout.version;
  options.bocu = bocu;
  options.fieldWidths = layout.widths;
  options.blockNumberWidth = layout.blockNumberWidth;
  options.blockBytes = layout.widths == FieldWidths::kMixed ? 1024 : 256;
  const Report report = writeDictionary(path, entries, options);
  ASSERT_EQ(report.error, "");
  EXPECT_EQ(report.skipped, 0u);
  ASSERT_EQ(report.written + report.duplicates, entries.size());

  // The model: stable order by encoded head word.
  std::vector<std::pair<std::string, Entry>> model;
  for (const Entry& e : entries) model.emplace_back(encoded(layout.kind, e.headWord), e);
  std::stable_sort(model.begin(), model.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });

  auto dic = Lexor::initWithFilePath(u(path));
  ASSERT_NE(dic, nullptr);
  EXPECT_EQ(dic->version() & 0x7F00, layout.version << 8);
  EXPECT_EQ(dic->isBOCU(), bocu);
  EXPECT_EQ(dic->blockbyte(), layout.blockNumberWidth);
  EXPECT_EQ(dic->nWord(), static_cast<int32_t>(report.written));
  ASSERT_GT(dic->usableIndexEntries(), 1u);
  ASSERT_EQ(dic->usableIndexEntries(), static_cast<uint32_t>(dic->nIndexEntry()));
  Bytes block;
  std::string previous;
  for (uint32_t i = 0; i < dic->usableIndexEntries(); ++i) {
    ASSERT_TRUE(dic->loadDatablock(static_cast<int32_t>(i), block));
    // Each index word is its block's first head word, stored whole after the lengths.
    const std::string word(reinterpret_cast<const char*>(dic->indexWord(i)));
    const size_t tail = 2 + ((block[1] & 0x80) ? 4 : 2) + (bocu ? 2 : 1);
    EXPECT_EQ(word, reinterpret_cast<const char*>(block.data() + tail)) << "block " << i;
    EXPECT_LT(previous, word);
    if (layout.widths == FieldWidths::kMixed) EXPECT_EQ((block[1] & 0x80) != 0, i % 2 == 1);
    previous = word;
  }

  auto recordset = LexorRecordset::initWithDic(dic);
  for (size_t m = 0; m < model.size(); m += 7) {
    std::vector<Record> expected;
    for (const auto& [key, entry] : model) {
      if (!key.starts_with(model[m].first)) continue;
      Record record{entry.headWord, entry.pronunciation, std::nullopt, entry.translation,
                    entry.example};
      if (entry.level != 0) record.level = entry.level;
      if (std::find(expected.begin(), expected.end(), record) == expected.end()) {
        expected.push_back(record);
      }
    }
    ASSERT_EQ(queryAll(*recordset, model[m].second.headWord), expected)
        << "query " << toUtf8(model[m].second.headWord);
  }
}

// Each version, text kind, field width and block-number width at least once.
INSTANTIATE_TEST_SUITE_P(
    Layouts, RoundTripTest,
    ::testing::Values(Layout{2, TextKind::kShiftJis, FieldWidths::kTwo, 2},
                      Layout{3, TextKind::kBocu, FieldWidths::kFour, 2},
                      Layout{3, TextKind::kLatin1, FieldWidths::kMixed, 2},
                      Layout{4, TextKind::kLatin1, FieldWidths::kTwo, 4},
                      Layout{4, TextKind::kShiftJis, FieldWidths::kMixed, 2},
                      Layout{5, TextKind::kBocu, FieldWidths::kMixed, 4},
                      Layout{5, TextKind::kShiftJis, FieldWidths::kFour, 4}));

Entry entry(const std::string& headWord, const std::string& translation) {
  return Entry{u(headWord), u(translation), std::nullopt, std::nullopt, 0};
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
  options.bocu = true;  // version 2 has no BOCU-1 flag
  Report report;
  EXPECT_TRUE(buildDictionary({entry("a", "b")}, options, &report).empty());
  EXPECT_NE(report.error, "");

  // 170 long leading words make an index beyond the 16-bit size of versions 2 and 3.
  std::vector<RawEntry> raw;
  for (int i = 0; i < 170; ++i) raw.push_back({std::to_string(1000 + i) + std::string(200, 'a'), 0, "t"});
  options = Options{};
  options.blockBytes = 256;
  std::string error;
  for (int version : {2, 3}) {
    options.version = version;
    EXPECT_TRUE(buildDictionaryFromRaw(raw, options, &error).empty()) << version;
    EXPECT_NE(error.find("16 bits"), std::string::npos) << error;
  }
  options.version = 5;
  EXPECT_FALSE(buildDictionaryFromRaw(raw, options, &error).empty()) << error;
}

}  // namespace
}  // namespace lexor::writer
