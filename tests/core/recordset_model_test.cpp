// Random dictionaries written by the writer, searched with every prefix of every head word, and
// compared with a sorted list of the same entries.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <set>

#include "core/lexor_recordset.h"
#include "platform/code_page.h"
#include "platform/log.h"
#include "tests/core/recordset_fixture.h"
#include "tools/writer/lexor_writer.h"

namespace lexor::testing {
namespace {

struct ModelEntry {
  std::string stored;  // the head word as the dictionary stores it
  writer::Entry entry;
};

std::string encodeHeadWord(bool bocuTexts, const UString& text) {
  if (bocuTexts) return bocu(toUtf8(text));
  return encodeCodePage(kCodePageShiftJIS, text).value_or("");
}

std::vector<writer::Entry> randomEntries(std::mt19937& random, size_t count) {
  static const std::u16string letters[] = {u"a", u"b", u"c", u"\u3042", u"\u3044"};
  std::set<UString> seen;
  std::vector<writer::Entry> entries;
  while (entries.size() < count) {
    UString word;
    const int length = 1 + static_cast<int>(random() % 7);
    for (int i = 0; i < length; ++i) word += letters[random() % 5];
    if (!seen.insert(word).second) continue;
    writer::Entry e;
    e.headWord = word;
    e.translation = u"t" + word;
    e.level = static_cast<int>(random() % 16);
    if (random() % 3 == 0) e.example = u"ex" + word;
    entries.push_back(e);
  }
  return entries;
}

std::vector<ModelEntry> model(bool bocuTexts, const std::vector<writer::Entry>& entries) {
  std::vector<ModelEntry> sorted;
  for (const writer::Entry& e : entries)
    sorted.push_back({encodeHeadWord(bocuTexts, e.headWord), e});
  std::sort(sorted.begin(), sorted.end(),
            [](const ModelEntry& a, const ModelEntry& b) { return a.stored < b.stored; });
  return sorted;
}

// The model's answer: entries whose stored head word begins with the stored needle.
std::vector<const writer::Entry*> matches(bool bocuTexts, const std::vector<ModelEntry>& sorted,
                                          const UString& word) {
  const std::string needle = encodeHeadWord(bocuTexts, word);
  std::vector<const writer::Entry*> found;
  for (const ModelEntry& m : sorted)
    if (m.stored.compare(0, needle.size(), needle) == 0) found.push_back(&m.entry);
  return found;
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

  // Two dictionaries of the same kind, searched one after the other.
  std::vector<std::vector<writer::Entry>> sources = {randomEntries(random, 300),
                                                     randomEntries(random, 60)};
  LexorList dics;
  std::vector<std::vector<ModelEntry>> models;
  for (size_t d = 0; d < sources.size(); ++d) {
    writer::Options options;
    options.bocu = p.bocu;
    options.blockBytes = p.blockBytes;
    options.fieldWidths = p.widths;
    options.version = p.version;
    const std::string path = dir.file("model" + std::to_string(d) + ".dic");
    const writer::Report report = writer::writeDictionary(path, sources[d], options);
    ASSERT_EQ(report.error, "");
    ASSERT_EQ(report.written, sources[d].size());
    dics.push_back(Lexor::initWithFilePath(fromUtf8(path)));
    ASSERT_TRUE(dics.back());
    models.push_back(model(p.bocu, sources[d]));
  }
  auto rs = LexorRecordset::initWithDics(std::make_shared<LexorList>(dics));

  std::set<UString> queries = {u"z", u"\u3046", u"A"};
  for (const auto& source : sources)
    for (const writer::Entry& e : source)
      for (size_t n = 1; n <= e.headWord.size(); ++n) queries.insert(e.headWord.substr(0, n));

  size_t totalMatches = 0;
  for (const UString& word : queries) {
    SCOPED_TRACE(toUtf8(word));
    std::vector<const writer::Entry*> expected;
    for (const auto& m : models) {
      const auto found = matches(p.bocu, m, word);
      expected.insert(expected.end(), found.begin(), found.end());
    }
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

// A code-page and a BOCU-1 dictionary in one list: each is searched in its own encoding.
TEST(RecordsetModelMixed, CodePageThenBocu) {
  std::mt19937 random(7);
  TempDir dir;
  const std::vector<writer::Entry> cpEntries = randomEntries(random, 120);
  const std::vector<writer::Entry> bocuEntries = randomEntries(random, 120);
  writer::Options cpOptions;
  cpOptions.blockBytes = 256;
  writer::Options bocuOptions = cpOptions;
  bocuOptions.bocu = true;
  ASSERT_EQ(writer::writeDictionary(dir.file("mixa.dic"), cpEntries, cpOptions).error, "");
  ASSERT_EQ(writer::writeDictionary(dir.file("mixb.dic"), bocuEntries, bocuOptions).error, "");
  auto rs = LexorRecordset::initWithDics(std::make_shared<LexorList>(
      LexorList{Lexor::initWithFilePath(fromUtf8(dir.file("mixa.dic"))),
                Lexor::initWithFilePath(fromUtf8(dir.file("mixb.dic")))}));
  const auto cpModel = model(false, cpEntries);
  const auto bocuModel = model(true, bocuEntries);
  for (const UString word : {u"a", u"ab", u"\u3042", u"c\u3044", u"b"}) {
    SCOPED_TRACE(toUtf8(word));
    std::vector<UString> expected;
    for (const auto* e : matches(false, cpModel, word)) expected.push_back(e->headWord);
    for (const auto* e : matches(true, bocuModel, word)) expected.push_back(e->headWord);
    std::vector<UString> found;
    for (bool ok = rs->queryWithWord(word); ok; ok = rs->moveNext())
      found.push_back(*rs->getRecordAsDictionary()->eword);
    EXPECT_EQ(found, expected);
    EXPECT_FALSE(expected.empty());
  }
}

}  // namespace
}  // namespace lexor::testing
