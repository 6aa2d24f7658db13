// Full-text search: folding, hit marking, the index's answers against a plain model over the
// same entries, ranking, and what a damaged index file or dictionary leaves.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>

#include "search/fulltext_index.h"
#include "search/fulltext_text.h"
#include "tests/support/entries.h"
#include "tests/support/temp_dir.h"
#include "tools/writer/lexor_writer.h"

namespace lexor::search {
namespace {

using testing::entry;
using testing::TempDir;
using namespace std::string_literals;

const std::vector<writer::Entry> kEntries = {
    entry("neko", "a cat; <i>Felis</i> catus", {.example = "The cat sat."}),
    entry("koneko", "kitten, small cat"),
    entry("catalogue", "a list (not a feline)"),
    entry("kuroneko", "black cat", {.example = "黒い猫が好き"}),
    entry("zebra", "striped horse"),
    entry("strasse", "Straße, road"),
    entry("strasse2", "STRASSE in capitals"),
    entry("cafe", "caf&#233; &amp; bar"),
    entry("break", "cat<br>dog"),
    entry("phrase", "dog cat black"),
    entry("wellknown", "well-known fact, don't, c++ code, cat:dog"),
    entry("猫", "ねこ, ネコ<br>cat"),
    entry("黒猫", "くろねこ<br>black cat"),
    entry("tshirt", "Tシャツ, T-shirt"),
    entry("shatsu", "シャツ, shirt"),
    entry("mixed", "cat 猫 dog"),
    entry("ねこぜ", "猫背 round shoulders"),
};

// The model: every entry whose folded text matches, by its head word, sorted.
std::vector<std::string> modelAnswer(const FulltextQuery& query) {
  std::vector<std::string> heads;
  for (const writer::Entry& e : kEntries) {
    const Record record{{}, {}, {}, e.translation, e.example};  // the texts the index holds
    if (matchesText(searchableText(record), query)) heads.push_back(toUtf8(e.headWord));
  }
  std::sort(heads.begin(), heads.end());
  return heads;
}

std::vector<std::string> indexAnswer(FulltextIndex& index, const FulltextQuery& query) {
  std::vector<std::string> heads;
  for (int64_t id : index.search(query, 0)) {
    std::optional<Record> record = index.record(id);
    heads.push_back(record && record->eword ? toUtf8(*record->eword) : "?");
  }
  std::sort(heads.begin(), heads.end());
  return heads;
}

class FulltextTest : public ::testing::Test {
 protected:
  std::string writeDictionary(const std::vector<writer::Entry>& list) {
    const std::string path = dir.file("test.dic");  // in several blocks
    EXPECT_TRUE(writer::writeDictionary(path, list, {.bocu = true, .blockBytes = 512}));
    return path;
  }

  void SetUp() override { setenv("XDG_CACHE_HOME", dir.file("cache").c_str(), 1); }
  TempDir dir;
  std::string error;
};

TEST(FulltextTextTest, FoldsCaseAccentsAndWidthOfLettersButNotKana) {
  const std::pair<const char*, const char*> table[] = {
      {"Straße", "strasse"},    {"ÀÉÎõü", "aeiou"},       {"e\xCC\x81", "e"},     {"ǅ", "ǆ"},
      {"がギ々ー", "がギ々ー"}, {"か\xE3\x82\x99", "が"}, {"ΣΊΣΥΦΟΣ", "σισυφοσ"}, {"Ĳ", "ĳ"},
  };
  for (const auto& [text, folded] : table) EXPECT_EQ(toUtf8(foldText(u(text))), folded) << text;
}

TEST(FulltextTextTest, MarksWholeWordsAndSubstringsWithoutCrossingTags) {
  const std::tuple<const char*, const char*, const char*> table[] = {
      {"a <b>Cat</b>s cat", "cat", "a <b><mark>Cat</mark></b>s <mark>cat</mark>"},
      {"catalogue cat", "cat*", "<mark>catalogue</mark> <mark>cat</mark>"},
      {"caf&#233; au lait", "cafe", "<mark>caf&#233;</mark> au lait"},
      {"black cat, cat black", "\"black cat\"", "<mark>black</mark> <mark>cat</mark>, cat black"},
      {"黒<br>猫と猫", "猫", "黒<br><mark>猫</mark>と<mark>猫</mark>"},
      {"黒<br>猫", "黒 猫", "<mark>黒</mark><br><mark>猫</mark>"},
      {"Straße", "STRASSE", "<mark>Straße</mark>"},
      {"no hit here", "cat", "no hit here"},
  };
  for (const auto& [markup, text, marked] : table) {
    std::string error;
    const std::optional<FulltextQuery> query = parseQuery(u(text), &error);
    ASSERT_TRUE(query) << text;
    EXPECT_EQ(toUtf8(markHits(u(markup), *query)), marked) << text;
  }
}

TEST_F(FulltextTest, IndexAnswersWhatTheModelFinds) {
  const std::string path = writeDictionary(kEntries);
  std::vector<std::pair<uint64_t, uint64_t>> steps;
  std::unique_ptr<FulltextIndex> index = FulltextIndex::open(
      u(path), [&](uint64_t done, uint64_t all) { steps.emplace_back(done, all); }, &error);
  ASSERT_TRUE(index) << error;
  EXPECT_EQ(index->entries(), kEntries.size());
  // Progress counts up to every entry.
  ASSERT_GT(steps.size(), 1u);
  EXPECT_TRUE(std::is_sorted(steps.begin(), steps.end()));
  EXPECT_EQ(steps.back(), std::make_pair(uint64_t{kEntries.size()}, uint64_t{kEntries.size()}));
  // Each query with the head words it must find; the model must agree.
  const std::pair<const char*, std::vector<std::string>> table[] = {
      {"cat",
       {"break", "koneko", "kuroneko", "mixed", "neko", "phrase", "wellknown", "猫", "黒猫"}},
      {"\"cat dog\"", {"break", "wellknown"}},
      {"CAT catus", {"neko"}},
      {"cat*",
       {"break", "koneko", "kuroneko", "mixed", "neko", "phrase", "wellknown", "猫", "黒猫"}},
      {"\"black cat\"", {"kuroneko", "黒猫"}},
      {"\"cat bl\"*", {"phrase"}},
      {"strasse", {"strasse", "strasse2"}},
      {"straße", {"strasse", "strasse2"}},
      {"cafe", {"cafe"}},
      {"amp", {}},
      {"catdog", {}},
      {"zebra", {}},
      {"well-known", {"wellknown"}},
      {"don't c++ cat:dog", {"wellknown"}},
      {"AND OR NOT NEAR(", {}},
      {"猫", {"kuroneko", "mixed", "ねこぜ"}},
      {"ねこ", {"猫", "黒猫"}},
      {"catal*", {}},
      {"feli*", {"catalogue", "neko"}},
      {"猫が好", {"kuroneko"}},
      {"くろねこ", {"黒猫"}},
      {"tシャツ", {"tshirt"}},
      {"\"猫背 round\"", {"ねこぜ"}},
      {"犬", {}},
      {"\xee\x80\x80", {}},  // the index's stand-in for a run of kana and kanji
      {"", {}},
      {"*** \"\"", {}},
  };
  for (const auto& [text, expected] : table) {
    const std::optional<FulltextQuery> query = parseQuery(u(text), &error);
    ASSERT_TRUE(query) << text;
    EXPECT_EQ(modelAnswer(*query), expected) << "model: " << text;
    EXPECT_EQ(indexAnswer(*index, *query), expected) << "index: " << text;
  }
  EXPECT_EQ(index->search(*parseQuery(u"cat", &error), 3).size(), 3u);
}

// Repeated words count once; an unclosed quote and a query past the bounds are refused.
TEST(FulltextQueryTest, RefusesUnclosedQuotesAndQueriesPastTheBounds) {
  std::string error;
  std::string manyTerms;
  std::string repeated;
  for (int i = 0; i < 33; ++i) manyTerms += "w" + std::to_string(i) + "* ";
  for (int i = 0; i < 100; ++i) repeated += "cat ";
  EXPECT_EQ(parseQuery(u(repeated), &error)->terms.size(), 1u);
  for (const std::string& refused : {"\"cat"s, "cat \"black"s, "猫\""s, manyTerms,
                                     "\"" + repeated + "\"", std::string(257, 'x') + "ね"}) {
    std::string why;  // each refusal gives its own reason
    EXPECT_FALSE(parseQuery(u(refused), &why)) << refused;
    EXPECT_NE(why, "") << refused;
  }
}

// More hits rank first; equal ones in dictionary order, whatever the length of their texts.
TEST_F(FulltextTest, MoreHitsRankFirstAndTiesKeepDictionaryOrder) {
  const std::string path = writeDictionary({entry("a", "water, and much more text around it"),
                                            entry("c", "water, water and water"),
                                            entry("b", "water"), entry("d", "fire")});
  std::unique_ptr<FulltextIndex> index = FulltextIndex::open(u(path), nullptr, &error);
  ASSERT_TRUE(index) << error;
  std::vector<std::string> heads;
  for (int64_t id : index->search(*parseQuery(u"water", &error), 0))
    heads.push_back(toUtf8(*index->record(id)->eword));
  EXPECT_EQ(heads, (std::vector<std::string>{"c", "a", "b"}));  // "b" is shorter, not better
}

TEST_F(FulltextTest, BlocksThatCannotBeReadArePassedAndTheRestIndexed) {
  std::vector<writer::Entry> many;
  for (int i = 0; i < 200; ++i)
    many.push_back(entry("w" + std::to_string(1000 + i), "a cat and a dog"));
  const std::string path = writeDictionary(many);
  std::filesystem::resize_file(path, std::filesystem::file_size(path) * 2 / 3);
  std::unique_ptr<FulltextIndex> index = FulltextIndex::open(u(path), nullptr, &error);
  ASSERT_TRUE(index) << error;
  EXPECT_GT(index->entries(), 0u);
  EXPECT_LT(index->entries(), many.size());
  const std::vector<int64_t> found = index->search(*parseQuery(u"cat", &error), 0);
  EXPECT_EQ(found.size(), index->entries());
  for (int64_t id : found) EXPECT_TRUE(index->record(id)) << id;
  EXPECT_FALSE(index->record(0));
  EXPECT_FALSE(index->record(static_cast<int64_t>(index->entries()) + 1));
}

}  // namespace
}  // namespace lexor::search
