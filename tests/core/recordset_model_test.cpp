// Random dictionaries written by the writer, searched with every prefix of every head word, and
// compared with a sorted list of the same entries.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <set>

#include "core/lexor_recordset.h"
#include "platform/code_page.h"
#include "platform/log.h"
#include "tests/core/dictionary_bytes.h"

namespace lexor::testing {
namespace {

struct ModelEntry {
  std::string stored;  // the head word as the dictionary stores it
  writer::Entry entry;
};

std::string encodeHeadWord(bool bocuTexts, const UString& text) {
  return bocuTexts ? bocu(toUtf8(text)) : encodeCodePage(kCodePageShiftJIS, text).value_or("");
}

std::vector<writer::Entry> randomEntries(std::mt19937& random, size_t count) {
  static const std::u16string letters[] = {u"a", u"b", u"c", u"\u3042", u"\u3044"};
  std::set<UString> seen;
  std::vector<writer::Entry> entries;
  while (entries.size() < count) {
    UString word;
    for (int i = 1 + static_cast<int>(random() % 7); i > 0; --i) word += letters[random() % 5];
    if (!seen.insert(word).second) continue;
    writer::Entry e{word, u"t" + word, {}, {}, static_cast<int>(random() % 16)};
    if (random() % 3 == 0) e.example = u"ex" + word;
    entries.push_back(e);
  }
  return entries;
}

struct Parameters {
  const char* name;
  bool bocu;
  uint32_t blockBytes;
  writer::FieldWidths widths;
  int version;
};

void PrintTo(const Parameters& p, std::ostream* os) { *os << p.name; }

class RecordsetModel : public ::testing::TestWithParam<Parameters> {};

TEST_P(RecordsetModel, EveryPrefixQueryMatchesTheModel) {
  const Parameters& p = GetParam();
  std::mt19937 random(20240611);
  TempDir dir;
  CapturingLogSink log;

  // Two dictionaries of the same kind, searched one after the other; the model is each one's
  // entries sorted by their stored head words.
  LexorList dics;
  std::vector<std::vector<ModelEntry>> models;
  std::set<UString> queries = {u"z", u"\u3046", u"A"};
  for (size_t count : {300, 60}) {
    const std::vector<writer::Entry> source = randomEntries(random, count);
    writer::Options options;
    options.bocu = p.bocu;
    options.blockBytes = p.blockBytes;
    options.fieldWidths = p.widths;
    options.version = p.version;
    const std::string path = dir.file("model" + std::to_string(count) + ".dic");
    const writer::Report report = writer::writeDictionary(path, source, options);
    ASSERT_EQ(report.error, "");
    ASSERT_EQ(report.written, source.size());
    dics.push_back(Lexor::initWithFilePath(fromUtf8(path)));
    ASSERT_TRUE(dics.back());
    std::vector<ModelEntry>& model = models.emplace_back();
    for (const writer::Entry& e : source) {
      model.push_back({encodeHeadWord(p.bocu, e.headWord), e});
      for (size_t n = 1; n <= e.headWord.size(); ++n) queries.insert(e.headWord.substr(0, n));
    }
    std::sort(model.begin(), model.end(),
              [](const ModelEntry& a, const ModelEntry& b) { return a.stored < b.stored; });
  }
  auto rs = LexorRecordset::initWithDics(std::make_shared<LexorList>(dics));

  size_t totalMatches = 0;
  for (const UString& word : queries) {
    SCOPED_TRACE(toUtf8(word));
    const std::string needle = encodeHeadWord(p.bocu, word);
    std::vector<const writer::Entry*> expected;
    for (const auto& model : models)
      for (const ModelEntry& m : model)
        if (m.stored.starts_with(needle)) expected.push_back(&m.entry);
    size_t i = 0;
    for (bool ok = rs->queryWithWord(word); ok; ok = rs->moveNext(), ++i) {
      ASSERT_LT(i, expected.size());
      const auto record = rs->getRecordAsDictionary();
      ASSERT_TRUE(record);
      EXPECT_EQ(record->eword, expected[i]->headWord);
      EXPECT_EQ(record->jword, expected[i]->translation);
      EXPECT_EQ(record->example, expected[i]->example);
      EXPECT_EQ(record->level.value_or(0), expected[i]->level);
    }
    EXPECT_EQ(i, expected.size());
    EXPECT_TRUE(rs->isEOF());
    totalMatches += i;
  }
  EXPECT_GT(totalMatches, 2 * queries.size());  // the comparison is not vacuous
  EXPECT_TRUE(log.lines().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Layouts, RecordsetModel,
    ::testing::Values(Parameters{"CodePageSmallBlocks", false, 256, writer::FieldWidths::kTwo, 5},
                      Parameters{"CodePageMixedWidths", false, 512, writer::FieldWidths::kMixed, 4},
                      Parameters{"CodePageVersion2", false, 1024, writer::FieldWidths::kTwo, 2},
                      Parameters{"BocuSmallBlocks", true, 256, writer::FieldWidths::kTwo, 5},
                      Parameters{"BocuWideFields", true, 768, writer::FieldWidths::kFour, 5},
                      Parameters{"BocuMixedWidths", true, 256, writer::FieldWidths::kMixed, 3}),
    [](const ::testing::TestParamInfo<Parameters>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace lexor::testing
