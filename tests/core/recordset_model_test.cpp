// Random dictionaries of every version and layout, written by the writer, read back block by block
// and searched with every prefix of every head word, two dictionaries one after the other, and
// compared with a sorted model of the same entries.
#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <random>
#include <set>

#include "core/lexor_recordset.h"
#include "platform/code_page.h"
#include "platform/log.h"
#include "tests/core/dictionary_bytes.h"

namespace lexor::testing {
namespace {

enum class TextKind { kBocu, kShiftJis, kLatin1 };

struct Layout {
  const char* name;
  int version;
  TextKind kind;
  writer::FieldWidths widths;
  int blockNumberWidth;
  uint32_t blockBytes;
};

void PrintTo(const Layout& p, std::ostream* os) { *os << p.name; }

// The head word as the dictionary stores it; nothing when its encoding cannot hold the word.
std::optional<std::string> stored(TextKind kind, const UString& word) {
  if (kind == TextKind::kBocu) return bocu(toUtf8(word));
  return encodeCodePage(kind == TextKind::kShiftJis ? kCodePageShiftJIS : kCodePageWindowsLatin1,
                        word);
}

// Head words of one to four syllables (repeats included), translations long enough that some
// entries take more than a unit, and every kind of optional field.
std::vector<writer::Entry> randomEntries(TextKind kind, std::mt19937& random, int count) {
  const std::vector<std::string> syllables =
      kind == TextKind::kBocu ? std::vector<std::string>{"ap", "ple", "é", "日本", "𝄞", "z"}
      : kind == TextKind::kShiftJis ? std::vector<std::string>{"ap", "ple", "ア", "カ", "z", "-"}
                                    : std::vector<std::string>{"ap", "ple", "é", "ß", "z", " "};
  const std::string translation = kind == TextKind::kLatin1 ? "übersetzung " : "訳語 ";
  std::vector<writer::Entry> entries;
  for (int i = 0; i < count; ++i) {
    writer::Entry entry;
    for (int k = 1 + static_cast<int>(random() % 4); k > 0; --k)
      entry.headWord += u(syllables[random() % syllables.size()]);
    entry.translation = u(translation + std::to_string(i) + std::string(random() % 90, 'q'));
    entry.level = i % 16;
    if (i % 3 == 0) entry.pronunciation = u("ˈæpəl");
    if (i % 5 == 0) entry.example = u("an example " + std::to_string(i));
    entries.push_back(std::move(entry));
  }
  return entries;
}

// Two dictionaries of the layout, written and opened, and the model of their entries.
class RecordsetModel : public ::testing::TestWithParam<Layout> {
 protected:
  void SetUp() override {
    const Layout& p = GetParam();
    std::mt19937 random(20240611);
    // The file names choose the code pages.
    const char* names[2] = {"uni2.dic", "uni3.dic"};
    if (p.kind == TextKind::kShiftJis) names[0] = "ambora52.dic", names[1] = "model.dic";
    if (p.kind == TextKind::kLatin1) names[0] = "nl_en.dic", names[1] = "nl_en-ge.dic";
    for (const char16_t* word : {u"A", u"~", u"\u00FF", u"\u3046"})
      if (stored(p.kind, word)) _queries.insert(word);
    for (int count : {300, 60}) {
      const std::vector<writer::Entry> source = randomEntries(p.kind, random, count);
      const writer::Options options{p.version, p.kind == TextKind::kBocu, 0, p.blockBytes,
                                    p.widths,  p.blockNumberWidth};
      const std::string path = _dir.file(names[_models.size()]);
      const std::optional<writer::Report> report = writer::writeDictionary(path, source, options);
      ASSERT_TRUE(report);
      EXPECT_EQ(report->skipped, 0u);
      ASSERT_EQ(report->written + report->duplicates, source.size());

      auto& model = _models.emplace_back();
      for (const writer::Entry& e : source) {
        Record record{e.headWord, e.pronunciation, std::nullopt, e.translation, e.example};
        if (e.level != 0) record.level = e.level;
        std::pair entry{*stored(p.kind, e.headWord), record};
        if (std::find(model.begin(), model.end(), entry) == model.end()) model.push_back(entry);
        for (size_t n = 1; n <= e.headWord.size(); ++n)
          if (!(e.headWord[n - 1] >= 0xD800 && e.headWord[n - 1] <= 0xDBFF))
            _queries.insert(e.headWord.substr(0, n));
      }
      std::stable_sort(model.begin(), model.end(),
                       [](const auto& a, const auto& b) { return a.first < b.first; });
      _dics.push_back(Lexor::initWithFilePath(u(path)));
      ASSERT_TRUE(_dics.back());
    }
  }

  TempDir _dir;
  CapturingLogSink _log;
  LexorList _dics;
  // Each dictionary's entries, exact copies dropped, in stable order of their stored head words.
  std::vector<std::vector<std::pair<std::string, Record>>> _models;
  // Every prefix of every head word, and words that sort before and after every head word.
  std::set<UString> _queries;
};

// The header states the layout; each index word is its block's first head word, whole.
TEST_P(RecordsetModel, HeaderAndIndexStateTheLayout) {
  const Layout& p = GetParam();
  for (size_t k = 0; k < _dics.size(); ++k) {
    Lexor& dic = *_dics[k];
    const bool bocuTexts = p.kind == TextKind::kBocu;
    EXPECT_EQ(dic.version() & 0x7F00, p.version << 8);
    EXPECT_EQ(dic.isBOCU(), bocuTexts);
    EXPECT_EQ(dic.blockbyte(), p.blockNumberWidth);
    EXPECT_EQ(dic.nWord(), static_cast<int32_t>(_models[k].size()));
    ASSERT_GT(dic.usableIndexEntries(), 1u);
    ASSERT_EQ(dic.usableIndexEntries(), static_cast<uint32_t>(dic.nIndexEntry()));
    Bytes block;
    std::string previous;
    for (uint32_t i = 0; i < dic.usableIndexEntries(); ++i) {
      ASSERT_TRUE(dic.loadDatablock(static_cast<int32_t>(i), block));
      const std::string word(reinterpret_cast<const char*>(dic.indexWord(i)));
      const size_t tail = 2 + ((block[1] & 0x80) ? 4 : 2) + (bocuTexts ? 2 : 1);
      EXPECT_EQ(word, reinterpret_cast<const char*>(block.data() + tail)) << "block " << i;
      EXPECT_LT(previous, word);
      if (p.widths == writer::FieldWidths::kMixed) {
        EXPECT_EQ((block[1] & 0x80) != 0, i % 2 == 1);
      }
      previous = word;
    }
  }
  EXPECT_TRUE(_log.lines().empty());
}

TEST_P(RecordsetModel, EveryPrefixQueryMatchesTheModel) {
  auto rs = LexorRecordset::initWithDics(std::make_shared<LexorList>(_dics));
  size_t totalMatches = 0;
  for (const UString& word : _queries) {
    SCOPED_TRACE(toUtf8(word));
    const std::optional<std::string> needle = stored(GetParam().kind, word);
    std::vector<Record> expected, found;
    for (const auto& model : _models)
      for (const auto& [key, record] : model)
        if (needle && key.starts_with(*needle)) expected.push_back(record);
    for (bool ok = rs->queryWithWord(word); ok && found.size() <= expected.size();
         ok = rs->moveNext())
      found.push_back(rs->getRecordAsDictionary().value_or(Record{}));
    ASSERT_EQ(found, expected);
    EXPECT_TRUE(rs->isEOF());
    totalMatches += found.size();
  }
  EXPECT_GT(totalMatches, 2 * _queries.size());  // the comparison is not vacuous
  EXPECT_TRUE(_log.lines().empty());
}

// Each version, text kind, field width, block-number width and block size at least once.
INSTANTIATE_TEST_SUITE_P(
    Layouts, RecordsetModel,
    ::testing::Values(
        Layout{"V2ShiftJis", 2, TextKind::kShiftJis, writer::FieldWidths::kTwo, 2, 1024},
        Layout{"V3BocuWideFields", 3, TextKind::kBocu, writer::FieldWidths::kFour, 2, 256},
        Layout{"V3Latin1Mixed", 3, TextKind::kLatin1, writer::FieldWidths::kMixed, 2, 1024},
        Layout{"V4Latin1WideBlockNumbers", 4, TextKind::kLatin1, writer::FieldWidths::kTwo, 4, 256},
        Layout{"V4ShiftJisMixed", 4, TextKind::kShiftJis, writer::FieldWidths::kMixed, 2, 512},
        Layout{"V5BocuSmallBlocks", 5, TextKind::kBocu, writer::FieldWidths::kTwo, 2, 256},
        Layout{"V5BocuMixed", 5, TextKind::kBocu, writer::FieldWidths::kMixed, 4, 256},
        Layout{"V5ShiftJisWide", 5, TextKind::kShiftJis, writer::FieldWidths::kFour, 4, 768}),
    [](const ::testing::TestParamInfo<Layout>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace lexor::testing
