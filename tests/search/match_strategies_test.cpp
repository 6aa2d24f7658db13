// Every strategy against a plain model over the same entries, written as code-page and BOCU-1
// dictionaries; the two pattern syntaxes by example; and the head-word table's sharing.
#include "search/match_strategies.h"

#include <gtest/gtest.h>
#include <unicode/uchar.h>

#include <algorithm>
#include <filesystem>
#include <iterator>
#include <numeric>
#include <set>

#include "platform/code_page.h"
#include "platform/log.h"
#include "search/text_fold.h"
#include "tests/core/dictionary_bytes.h"
#include "tests/support/entries.h"

namespace lexor::testing {
namespace {

// Duplicates (same head word, other translation), case variants, spaces, hyphens and
// punctuation; a German list with sharp s and umlauts (one decomposed); a Japanese list.
const std::vector<std::string> kEnglish = {
    "ice",        "ice",        "Ice",    "ICE",   "ice cream", "ice-cream", "Ice-Cream",
    "cream, ice", "(ice)",      "i.c.e.", "dice",  "nice",      "ace",       "iced",
    "ic",         "vice versa", "a - b",  "x/y!?", "peek",      "peek",      "Peeking"};
const std::vector<std::string> kGerman = {"Straße", "STRASSE",    "strasse",       "Maß",
                                          "Masse",  "Äpfel",      "A\xCC\x88pfel", "Apfel",
                                          "über",   "Über-Größe", "groß",          "Öl"};
const std::vector<std::string> kJapanese = {
    "ねこ", "ねこ", "猫", "こねこ", "ねこぜ", "ネコ", "いぬ", "子 猫", "ねこ・いぬ", "ね", "ぬこ"};

std::vector<UString> words(const UString& text) {
  static const UString kPunctuation = u"-,.;:'\"()/!?";
  std::vector<UString> out(1);
  for (char16_t c : text) {
    if (u_isUWhiteSpace(static_cast<UChar32>(c)) || kPunctuation.find(c) != UString::npos) {
      if (!out.back().empty()) out.emplace_back();
    } else {
      out.back() += c;
    }
  }
  if (out.back().empty()) out.pop_back();
  return out;
}

size_t levenshtein(const UString& a, const UString& b) {
  std::vector<size_t> row(b.size() + 1);
  for (size_t j = 0; j <= b.size(); ++j) row[j] = j;
  for (size_t i = 1; i <= a.size(); ++i) {
    size_t diagonal = row[0];
    row[0] = i;
    for (size_t j = 1; j <= b.size(); ++j) {
      const size_t above = row[j];
      row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
      diagonal = above;
    }
  }
  return row[b.size()];
}

bool modelMatches(MatchStrategy strategy, const std::string& headWord, const UString& query) {
  // Every word here is in the Basic Multilingual Plane: UTF-16 units are code points.
  const UString h = fromUtf8(foldText(fromUtf8(headWord)));
  const UString q = fromUtf8(foldText(query));
  const std::vector<UString> w = words(h);
  switch (strategy) {
    case MatchStrategy::kExact:
      return h == q;
    case MatchStrategy::kPrefix:
      return h.starts_with(q);
    case MatchStrategy::kSubstring:
      return h.find(q) != UString::npos;
    case MatchStrategy::kSuffix:
      return h.ends_with(q);
    case MatchStrategy::kWord:
      return std::find(w.begin(), w.end(), q) != w.end();
    case MatchStrategy::kFirst:
      return !w.empty() && w.front() == q;
    case MatchStrategy::kLast:
      return !w.empty() && w.back() == q;
    case MatchStrategy::kLev:
      return levenshtein(h, q) <= 1;
    default:
      return false;
  }
}

struct Kind {
  const char* name;
  bool bocu;
  uint32_t blockBytes;
};

void PrintTo(const Kind& kind, std::ostream* os) { *os << kind.name; }

class MatchStrategies : public ::testing::TestWithParam<Kind> {
 protected:
  void SetUp() override {
    // Latin-1 head words for the European lists, Shift_JIS for the Japanese one.
    add("fr.dic", kEnglish);
    add("fr2.dic", kGerman);
    add("sjis.dic", kJapanese);
  }

  void add(const std::string& name, std::vector<std::string> headWords) {
    const Kind& kind = GetParam();
    const CodePage page = name == "sjis.dic" ? kCodePageShiftJIS : kCodePageWindowsLatin1;
    if (!kind.bocu)  // the code page cannot hold a combining mark
      std::erase_if(headWords,
                    [&](const std::string& w) { return !encodeCodePage(page, fromUtf8(w)); });
    std::vector<writer::Entry> entries;
    for (size_t i = 0; i < headWords.size(); ++i)
      entries.push_back(entry(headWords[i], "t" + std::to_string(i)));
    const std::string path = _dir.file(name);
    const std::optional<writer::Report> report =
        writer::writeDictionary(path, entries, {.bocu = kind.bocu, .blockBytes = kind.blockBytes});
    ASSERT_TRUE(report && report->written == entries.size()) << name;
    _dics.push_back(Lexor::initWithFilePath(fromUtf8(path)));
    ASSERT_TRUE(_dics.back());
    // The dictionary's order: by stored bytes, equal head words in the order written.
    auto stored = [&](const std::string& w) {
      return kind.bocu ? bocu(w) : encodeCodePage(page, fromUtf8(w)).value_or("");
    };
    std::ranges::stable_sort(headWords, {}, stored);
    _models.push_back(headWords);
  }

  std::vector<std::vector<UString>> model(MatchStrategy strategy, const UString& query) const {
    std::vector<std::vector<UString>> expected;
    for (const std::vector<std::string>& list : _models) {
      std::vector<UString>& found = expected.emplace_back();
      for (const std::string& headWord : list) {
        const UString word = fromUtf8(headWord);
        if (modelMatches(strategy, headWord, query) &&
            std::find(found.begin(), found.end(), word) == found.end())
          found.push_back(word);
      }
    }
    return expected;
  }

  TempDir _dir;
  LexorList _dics;
  std::vector<std::vector<std::string>> _models;
  std::string error;
};

TEST_P(MatchStrategies, EveryWordStrategyAgreesWithTheModel) {
  std::set<UString> queries = {u"",      u"ICE",  u"cream",     u"Cream",  u"i",
                               u"ce",    u"ices", u"STRASSE",   u"strase", u"Straße",
                               u"ÄPFEL", u"Äpfe", u"größe",     u"GROSS",  u"b",
                               u"x",     u"y",    u"ねこ",      u"ね",     u"猫",
                               u"いぬ",  u"子",   u"ice cream", u"versa",  u"\u0308pf",
                               u"äx"};  // only in a stored word; a shared lead byte
  for (const auto& list : {kEnglish, kGerman, kJapanese}) {
    for (const std::string& headWord : list) {
      const UString word = fromUtf8(headWord);
      queries.insert({word, word.substr(0, word.size() / 2), word.substr(word.size() / 2)});
    }
  }
  for (const MatchStrategyInfo& info : matchStrategies()) {
    if (info.strategy == MatchStrategy::kRe || info.strategy == MatchStrategy::kRegexp) continue;
    for (const UString& query : queries)
      EXPECT_EQ(matchHeadWords(_dics, info.name, query, kNoMatchLimit, &error),
                model(info.strategy, query))
          << info.name << " " << toUtf8(query) << error;
  }
}

// Patterns by example: each row gives the head words (of all three lists) that must match.
TEST_P(MatchStrategies, PatternsMatchCaseInsensitivelyAnywhere) {
  const std::tuple<const char*, const char*, std::set<std::string>> rows[] = {
      {"re", "^(ice|dice)$", {"ice", "Ice", "ICE", "dice"}},
      {"re", "e-c", {"ice-cream", "Ice-Cream"}},
      // The stored word, since folding turns ß into ss.
      {"re", "ß", {"Straße", "Maß", "groß", "Über-Größe"}},
      {"re", "^stra(ss|ß)e$", {"Straße", "STRASSE", "strasse"}},
      {"re", "ÄPFEL", {"Äpfel", "A\xCC\x88pfel"}},
      {"re", "^\\S+ \\S+$", {"ice cream", "vice versa", "cream, ice", "子 猫"}},
      {"re", "^.こ$", {"ねこ", "ぬこ"}},
      {"re", "x/y!\\?", {"x/y!?"}},
      {"regexp", "^ic\\(e\\)\\{1,2\\}$", {"ice", "Ice", "ICE"}},
      {"regexp", "x/y!?", {"x/y!?"}},  // a bare ? is literal
      {"regexp", "(ice)", {"(ice)"}},  // so are bare parentheses
      {"regexp", "*", {}},             // a leading * is literal
      {"regexp", "a - b$", {"a - b"}},
      {"regexp", "^ねこ\\|^いぬ", {"ねこ", "ねこぜ", "いぬ", "ねこ・いぬ"}},
      {"regexp", "i.c.e.", {"i.c.e."}},
      {"regexp", "[\\]", {}},  // backslash inside brackets is itself
  };
  for (const auto& [strategy, pattern, matching] : rows) {
    const auto found = matchHeadWords(_dics, strategy, fromUtf8(pattern), kNoMatchLimit, &error);
    ASSERT_TRUE(found) << pattern << ": " << error;
    std::set<std::string> got;
    for (const auto& list : *found) {
      for (const UString& word : list)
        EXPECT_TRUE(got.insert(toUtf8(word)).second) << "twice: " << toUtf8(word);
    }
    std::set<std::string> expected;  // of the words this kind of dictionary can hold
    for (const auto& list : _models)
      std::ranges::copy_if(list, std::inserter(expected, expected.end()),
                           [&](const std::string& word) { return matching.contains(word); });
    EXPECT_EQ(got, expected) << strategy << " " << pattern;
  }
}

TEST_P(MatchStrategies, InvalidPatternsAndStrategiesAreErrors) {
  // The engine's own refusals (a bad group, a count past its bound), the basic syntax's, and
  // strategies that do not exist.
  const std::pair<const char*, const char*> rows[] = {
      {"re", "("},        {"re", "x{1001}"},  {"regexp", "\\(a"}, {"regexp", "\\(a\\)\\1"},
      {"regexp", "[abc"}, {"regexp", "ab\\"}, {"soundex", "ice"}, {"", "ice"},
  };
  for (const auto& [strategy, pattern] : rows) {
    std::string why;  // each refusal gives its own reason
    EXPECT_EQ(matchHeadWords(_dics, strategy, fromUtf8(pattern), kNoMatchLimit, &why), std::nullopt)
        << strategy << " " << pattern;
    EXPECT_NE(why, "") << strategy << " " << pattern;
    EXPECT_FALSE(matchEntries(_dics, strategy, fromUtf8(pattern), kNoMatchLimit, &why));
  }
}

TEST_P(MatchStrategies, LimitCountsWordsAcrossDictionariesAndEntriesKeepDuplicates) {
  EXPECT_EQ(matchHeadWords(_dics, "lev", u"ice", 3, &error),
            (std::vector<std::vector<UString>>{{u"ICE", u"Ice", u"ace"}, {}, {}}));

  // Both entries of the duplicated head word, each with its own translation.
  const auto entries = matchEntries(_dics, "exact", u"PEEK", kNoMatchLimit, &error);
  ASSERT_TRUE(entries && entries->size() == 3u);
  std::vector<UString> found;
  for (const Record& r : entries->at(0))
    found.push_back(r.eword.value_or(u"") + u" " + r.jword.value_or(u""));
  EXPECT_EQ(found, (std::vector<UString>{u"peek t18", u"peek t19"}));
}

TEST_P(MatchStrategies, HeadWordTableIsSharedByOpensOfTheSameFile) {
  const auto again = Lexor::initWithFilePath(fromUtf8(_dir.file("fr.dic")));
  EXPECT_EQ(HeadWordTable::of(*again), HeadWordTable::of(*_dics.front()));
}

INSTANTIATE_TEST_SUITE_P(Kinds, MatchStrategies,
                         ::testing::Values(Kind{"CodePageSmallBlocks", false, 256},
                                           Kind{"Bocu", true, 1024}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(TextFold, ComposesThenFoldsCase) {
  const std::pair<const char*, const char*> rows[] = {
      {"Straße", "strasse"}, {"A\xCC\x88PFEL", "äpfel"}, {"ΣΊΣΥΦΟΣ", "σίσυφοσ"},
      {"ﬁne", "fine"},       {"ねこ", "ねこ"},           {"MiXeD 42", "mixed 42"},
  };
  for (const auto& [text, folded] : rows) EXPECT_EQ(foldText(fromUtf8(text)), folded) << text;
}

// A file cut short loses the blocks past the cut, as the query walk does, and nothing else: every
// entry left reads back with the head word the table holds.
TEST(HeadWordTable, SkipsTheBlocksThatDoNotLoad) {
  TempDir dir;
  std::vector<writer::Entry> entries;
  for (int i = 0; i < 200; ++i) entries.push_back(entry("w" + std::to_string(1000 + i), "t"));
  const std::string path = dir.file("fr.dic");
  ASSERT_EQ(writer::writeDictionary(path, entries, {.blockBytes = 256})->written, entries.size());
  std::filesystem::resize_file(path, std::filesystem::file_size(path) * 2 / 3);
  CapturingLogSink log;
  auto dic = Lexor::initWithFilePath(fromUtf8(path));
  ASSERT_TRUE(dic);
  const auto table = HeadWordTable::of(*dic);
  ASSERT_GT(table->size(), 0u);
  ASSERT_LT(table->size(), entries.size());

  std::vector<size_t> all(table->size());
  std::iota(all.begin(), all.end(), 0);
  const std::vector<Record> records = recordsOfEntries(*dic, *table, all);
  ASSERT_EQ(records.size(), all.size());
  for (size_t i = 0; i < all.size(); ++i) EXPECT_EQ(toUtf8(*records[i].eword), table->stored(i));

  // The query walk finds exactly the entries the table holds.
  auto rs = LexorRecordset::initWithDic(Lexor::initWithFilePath(fromUtf8(path)));
  size_t walked = 0;
  for (bool found = rs->queryWithWord(u"w"); found; found = rs->moveNext()) ++walked;
  EXPECT_EQ(walked, table->size());
}

}  // namespace
}  // namespace lexor::testing
