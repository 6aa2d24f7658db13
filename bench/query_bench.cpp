// What a keystroke costs the page: a query and its first 10 matches fetched as HTML, plainly, in
// suite mode and on a BOCU-1 dictionary; "consult"; and an SQLite range query over the same head
// words as the yardstick.
#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <cstdlib>
#include <stdexcept>

#include "bench/bench_data.h"
#include "bench/bench_words.h"
#include "plugin/lexor_peek.h"

namespace lexor::bench {
namespace {

constexpr int kFetched = 10;

// The plug-in object as a host makes it, with the benchmark's dictionary folder as
// ~/Library/Lexor.
std::shared_ptr<LexorPeek> peekAt(const std::string& home) {
  setenv("HOME", home.c_str(), 1);
  auto peek = LexorPeek::initWithWebView(nullptr);
  if (!peek) throw std::runtime_error("no plug-in object");
  return peek;
}

// The page's loop for one keystroke: query, then fetch and step up to 10 times.
int queryAndFetch(LexorPeek& peek, const UString& word) {
  int fetched = 0;
  if (!peek._queryWithWord(word)) return 0;
  for (; fetched < kFetched && !peek._isEOF(); ++fetched) {
    std::optional<UString> html = peek._getRecordAsHTML();
    benchmark::DoNotOptimize(html);
    if (fetched + 1 < kFetched) peek._moveNext();
  }
  return fetched;
}

void runQueries(benchmark::State& state, LexorPeek& peek, const std::vector<UString>& words) {
  if (words.empty()) {
    state.SkipWithError("no query words");
    return;
  }
  // Warm: every word has been asked once before timing starts.
  for (const UString& w : words) queryAndFetch(peek, w);
  size_t i = 0;
  int64_t records = 0;
  for (auto _ : state) records += queryAndFetch(peek, words[i++ % words.size()]);
  state.counters["records_per_query"] =
      benchmark::Counter(static_cast<double>(records) / static_cast<double>(state.iterations()));
}

// Argument: prefix length in characters, 1 to 6; 0 mixes them.
void BM_QueryFirst10Html(benchmark::State& state) {
  auto peek = peekAt(benchData().home);
  peek->_useNthDic(peek->amboraDicID());
  runQueries(state, *peek, prefixes(benchData().sjisWords, static_cast<size_t>(state.range(0))));
}
BENCHMARK(BM_QueryFirst10Html)->DenseRange(0, 6);

void BM_QueryNoMatch(benchmark::State& state) {
  auto peek = peekAt(benchData().home);
  peek->_useNthDic(peek->amboraDicID());
  runQueries(state, *peek, nonMatchingWords());
}
BENCHMARK(BM_QueryNoMatch);

void BM_QueryFirst10HtmlBocu(benchmark::State& state) {
  auto peek = peekAt(benchData().home);
  peek->_removeDics();
  peek->_addDictionary(fromUtf8(benchData().bocuPath));
  runQueries(state, *peek, prefixes(benchData().bocuWords, static_cast<size_t>(state.range(0))));
}
BENCHMARK(BM_QueryFirst10HtmlBocu)->Arg(0)->Arg(2);

// An English word and then a Japanese word, in suite mode (each query opens its side's main
// dictionary again) ...
void BM_SuiteQueryPair(benchmark::State& state) {
  auto peek = peekAt(benchData().home);
  if (peek->_isAmboraAvailable() <= 0) {
    state.SkipWithError("the suite is not available");
    return;
  }
  peek->_useAmbora();
  const auto english = prefixes(benchData().sjisWords, 0);
  const auto japanese = prefixes(benchData().japaneseWords, 0);
  for (size_t i = 0; i < english.size(); ++i) {
    queryAndFetch(*peek, english[i]);
    queryAndFetch(*peek, japanese[i % japanese.size()]);
  }
  size_t i = 0;
  for (auto _ : state) {
    queryAndFetch(*peek, english[i % english.size()]);
    queryAndFetch(*peek, japanese[i % japanese.size()]);
    ++i;
  }
}
BENCHMARK(BM_SuiteQueryPair);

// ... and the same two words on the same two dictionaries, each already chosen.
void BM_PlainQueryPair(benchmark::State& state) {
  auto englishSide = peekAt(benchData().home);
  englishSide->_useNthDic(englishSide->amboraDicID());
  auto japaneseSide = peekAt(benchData().home);
  japaneseSide->_useNthDic(japaneseSide->revoraDicID());
  const auto english = prefixes(benchData().sjisWords, 0);
  const auto japanese = prefixes(benchData().japaneseWords, 0);
  for (size_t i = 0; i < english.size(); ++i) {
    queryAndFetch(*englishSide, english[i]);
    queryAndFetch(*japaneseSide, japanese[i % japanese.size()]);
  }
  size_t i = 0;
  for (auto _ : state) {
    queryAndFetch(*englishSide, english[i % english.size()]);
    queryAndFetch(*japaneseSide, japanese[i % japanese.size()]);
    ++i;
  }
}
BENCHMARK(BM_PlainQueryPair);

// "consult" for a three-letter prefix: every match as HTML in one call.
void BM_Consult(benchmark::State& state) {
  auto peek = peekAt(benchData().home);
  peek->_useNthDic(peek->amboraDicID());
  const auto words = prefixes(benchData().sjisWords, 3);
  for (size_t i = 0; i < 50 && i < words.size(); ++i) peek->_consult(words[i]);
  size_t i = 0;
  int64_t fragments = 0;
  for (auto _ : state) {
    auto html = peek->_consult(words[i++ % words.size()]);
    fragments += html ? static_cast<int64_t>(html->size()) : 0;
  }
  state.counters["records_per_call"] =
      benchmark::Counter(static_cast<double>(fragments) / static_cast<double>(state.iterations()));
}
BENCHMARK(BM_Consult)->Unit(benchmark::kMicrosecond);

// The yardstick: the first 10 rows of an indexed range query over the same head words and
// translations, statement prepared once, database warm in SQLite's own cache.
void BM_SqliteRangeFirst10(benchmark::State& state) {
  sqlite3* db = nullptr;
  if (sqlite3_open_v2(benchData().sqlitePath.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) !=
      SQLITE_OK) {
    state.SkipWithError("cannot open the SQLite database");
    sqlite3_close(db);
    return;
  }
  sqlite3_exec(db, "PRAGMA cache_size=-262144;", nullptr, nullptr, nullptr);
  sqlite3_stmt* stmt = nullptr;
  sqlite3_prepare_v2(db,
                     "SELECT head_word, translation FROM entries "
                     "WHERE head_word >= ?1 AND head_word < ?2 ORDER BY head_word LIMIT 10",
                     -1, &stmt, nullptr);
  std::vector<std::pair<std::string, std::string>> bounds;
  for (const UString& w : prefixes(benchData().sjisWords, static_cast<size_t>(state.range(0)))) {
    std::string low = toUtf8(w);
    std::string high = low;
    high.back() = static_cast<char>(static_cast<uint8_t>(high.back()) + 1);
    bounds.emplace_back(std::move(low), std::move(high));
  }
  auto run = [&](const std::pair<std::string, std::string>& b) {
    sqlite3_bind_text(stmt, 1, b.first.data(), static_cast<int>(b.first.size()), SQLITE_STATIC);
    sqlite3_bind_text(stmt, 2, b.second.data(), static_cast<int>(b.second.size()), SQLITE_STATIC);
    int rows = 0;
    while (sqlite3_step(stmt) == SQLITE_ROW) {
      benchmark::DoNotOptimize(sqlite3_column_text(stmt, 0));
      benchmark::DoNotOptimize(sqlite3_column_text(stmt, 1));
      ++rows;
    }
    sqlite3_reset(stmt);
    return rows;
  };
  for (const auto& b : bounds) run(b);
  size_t i = 0;
  int64_t rows = 0;
  for (auto _ : state) rows += run(bounds[i++ % bounds.size()]);
  state.counters["records_per_query"] =
      benchmark::Counter(static_cast<double>(rows) / static_cast<double>(state.iterations()));
  sqlite3_finalize(stmt);
  sqlite3_close(db);
}
BENCHMARK(BM_SqliteRangeFirst10)->Arg(0)->Arg(2);

}  // namespace
}  // namespace lexor::bench
