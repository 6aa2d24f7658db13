// The search layer on the demo's Japanese-English dictionary (revora48.dic, 364,427 entries; made
// by scripts/demo): building its head-word table, and each strategy warm (the table built).
// Targets: build <= 150 ms; table memory <= 2 x the head words' UTF-8 bytes + 16 bytes an entry;
// exact <= 10 us; lev, substring, suffix and word <= 15 ms; re <= 50 ms.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>

#include "search/head_word_table.h"
#include "search/match_strategies.h"

namespace lexor::bench {
namespace {

std::string demoDictionaryPath() {
  if (const char* path = std::getenv("LEXOR_SEARCH_BENCH_DICT")) return path;
  return LEXOR_DEMO_FOLDER "/revora48.dic";
}

std::shared_ptr<Lexor> demoDictionary(benchmark::State& state) {
  const std::string path = demoDictionaryPath();
  std::shared_ptr<Lexor> dic;
  if (std::filesystem::exists(path)) dic = Lexor::initWithFilePath(fromUtf8(path));
  if (!dic) state.SkipWithError(("no " + path + ": run scripts/demo first").c_str());
  return dic;
}

void BM_HeadWordTableBuild(benchmark::State& state) {
  std::shared_ptr<Lexor> dic = demoDictionary(state);
  if (!dic) return;
  dic->loadIndex(false);
  std::shared_ptr<const HeadWordTable> table;
  for (auto _ : state) {
    table = HeadWordTable::build(*dic);
    benchmark::DoNotOptimize(table);
  }
  const double budget = 2.0 * static_cast<double>(table->storedUtf8Bytes()) +
                        16.0 * static_cast<double>(table->size());
  state.counters["entries"] = static_cast<double>(table->size());
  state.counters["memory_MB"] = static_cast<double>(table->memoryBytes()) / 1e6;
  state.counters["budget_MB"] = budget / 1e6;
  table->foldedOrder();
  state.counters["memory_sorted_MB"] = static_cast<double>(table->memoryBytes()) / 1e6;
}
BENCHMARK(BM_HeadWordTableBuild)->Unit(benchmark::kMillisecond);

// Words taken from the dictionary itself, so that every kind of head word is met.
std::vector<UString> sampleWords(const HeadWordTable& table, size_t count) {
  std::vector<UString> words;
  const size_t step = table.size() / count + 1;
  for (size_t i = step / 2; i < table.size() && words.size() < count; i += step) {
    words.push_back(fromUtf8(table.stored(i)));
  }
  return words;
}

void runStrategy(benchmark::State& state, const LexorList& dics, MatchStrategy strategy,
                 const std::vector<UString>& words) {
  const std::string_view name = matchStrategies()[static_cast<size_t>(strategy)].name;
  size_t matched = 0;
  size_t n = 0;
  for (auto _ : state) {
    std::string error;
    std::optional<std::vector<std::vector<UString>>> found =
        matchHeadWords(dics, name, words[n++ % words.size()], kNoMatchLimit, &error);
    if (found) matched += found->front().size();
    benchmark::DoNotOptimize(found);
  }
  state.counters["matches_per_call"] =
      static_cast<double>(matched) / static_cast<double>(state.iterations());
}

// The strategies' words: a sample of head words (a Japanese head word stands for itself), and for
// the patterns a few of each kind.
void BM_Strategy(benchmark::State& state) {
  const auto strategy = static_cast<MatchStrategy>(state.range(0));
  std::shared_ptr<Lexor> dic = demoDictionary(state);
  if (!dic) return;
  std::shared_ptr<const HeadWordTable> table = HeadWordTable::of(*dic);
  table->foldedOrder();  // warm: the first exact or prefix match sorts once
  std::vector<UString> words = sampleWords(*table, 64);
  if (strategy == MatchStrategy::kSubstring || strategy == MatchStrategy::kSuffix) {
    for (UString& word : words) word = word.substr(word.size() / 2, 2);
  } else if (strategy == MatchStrategy::kRe) {
    words = {u"^ねこ", u"ん$", u"^[あい].*う$", u"(ka|ki)ku", u"\\d+", u"^.{2}ちゃ"};
  }
  runStrategy(state, {dic}, strategy, words);
  state.SetLabel(std::string(matchStrategies()[static_cast<size_t>(strategy)].name));
}
BENCHMARK(BM_Strategy)
    ->DenseRange(static_cast<int>(MatchStrategy::kExact), static_cast<int>(MatchStrategy::kLev))
    ->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace lexor::bench
