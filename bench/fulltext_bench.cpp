// Full-text search on a real dictionary (LEXOR_FULLTEXT_DIC, which bench/fulltext.sh points at
// the demo's Japanese-English dictionary): the build of its index, the index's size against its
// texts', and a warm query of one word to its first 100 results, records read back.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "search/fulltext_index.h"

namespace lexor::bench {
namespace {

constexpr size_t kFirstResults = 100;

// The dictionary, or nullptr when it is not given or the cache folder is not a scratch one named
// by XDG_CACHE_HOME (the build benchmark empties the cache folder).
const char* fulltextDictionary() {
  const char* path = std::getenv("LEXOR_FULLTEXT_DIC");
  const char* cache = std::getenv("XDG_CACHE_HOME");
  return path && *path && cache && *cache ? path : nullptr;
}

void removeCachedIndexes() {
  std::error_code ignored;
  for (const auto& file :
       std::filesystem::directory_iterator(search::fulltextCacheFolder(), ignored)) {
    std::filesystem::remove(file.path(), ignored);
  }
}

void BM_FulltextBuild(benchmark::State& state) {
  const char* path = fulltextDictionary();
  if (!path) return state.SkipWithError("LEXOR_FULLTEXT_DIC and XDG_CACHE_HOME must be set");
  std::unique_ptr<search::FulltextIndex> index;
  for (auto _ : state) {
    state.PauseTiming();
    index.reset();
    removeCachedIndexes();
    state.ResumeTiming();
    std::string error;
    index = search::FulltextIndex::open(fromUtf8(path), nullptr, &error);
    if (!index) return state.SkipWithError(error.c_str());
  }
  // The texts that the index covers, as the dictionary stores them, in UTF-8.
  uint64_t textBytes = 0;
  for (uint64_t entry = 1; entry <= index->entries(); ++entry) {
    if (std::optional<Record> record = index->record(static_cast<int64_t>(entry))) {
      if (record->jword) textBytes += toUtf8(*record->jword).size();
      if (record->example) textBytes += toUtf8(*record->example).size();
    }
  }
  uint64_t indexBytes = 0;
  std::error_code ignored;
  for (const auto& file :
       std::filesystem::directory_iterator(search::fulltextCacheFolder(), ignored)) {
    indexBytes += file.file_size(ignored);
  }
  state.counters["entries"] = static_cast<double>(index->entries());
  state.counters["text_bytes"] = static_cast<double>(textBytes);
  state.counters["index_bytes"] = static_cast<double>(indexBytes);
  state.counters["index_per_text"] =
      textBytes ? static_cast<double>(indexBytes) / static_cast<double>(textBytes) : 0;
}
BENCHMARK(BM_FulltextBuild)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

void warmQuery(benchmark::State& state, const char* text) {
  const char* path = fulltextDictionary();
  if (!path) return state.SkipWithError("LEXOR_FULLTEXT_DIC and XDG_CACHE_HOME must be set");
  std::string error;
  std::unique_ptr<search::FulltextIndex> index =
      search::FulltextIndex::open(fromUtf8(path), nullptr, &error);
  if (!index) return state.SkipWithError(error.c_str());
  size_t found = 0;
  for (auto _ : state) {
    std::optional<search::FulltextQuery> query = search::parseQuery(fromUtf8(text), &error);
    const std::vector<int64_t> entries = index->search(*query, kFirstResults);
    for (int64_t entry : entries) benchmark::DoNotOptimize(index->record(entry));
    found = entries.size();
  }
  state.counters["results"] = static_cast<double>(found);
}
BENCHMARK_CAPTURE(warmQuery, cat, "cat")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(warmQuery, water, "water")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(warmQuery, phrase, "\"make a\"")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(warmQuery, kanji1, "猫")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(warmQuery, kana3, "ねこの")->Unit(benchmark::kMillisecond);

// Not a timing: every match of a few queries on the whole dictionary, against a scan of every
// entry's text with the plain matcher. "mismatches" must be 0.
void BM_FulltextAgreesWithModel(benchmark::State& state) {
  const char* path = fulltextDictionary();
  if (!path) return state.SkipWithError("LEXOR_FULLTEXT_DIC and XDG_CACHE_HOME must be set");
  std::string error;
  std::unique_ptr<search::FulltextIndex> index =
      search::FulltextIndex::open(fromUtf8(path), nullptr, &error);
  if (!index) return state.SkipWithError(error.c_str());
  const char* const kQueries[] = {"cat", "\"black cat\"", "strasse", "wat*",
                                  "猫",  "ねこ",          "日本語",  "tシャツ"};
  std::vector<UString> texts;
  for (uint64_t entry = 1; entry <= index->entries(); ++entry) {
    std::optional<Record> record = index->record(static_cast<int64_t>(entry));
    texts.push_back(record ? search::searchableText(*record) : UString());
  }
  double mismatches = 0;
  double matches = 0;
  for (auto _ : state) {
    for (const char* text : kQueries) {
      const std::optional<search::FulltextQuery> query = search::parseQuery(fromUtf8(text), &error);
      std::vector<int64_t> found = index->search(*query, 0);
      std::sort(found.begin(), found.end());
      std::vector<int64_t> model;
      for (size_t i = 0; i < texts.size(); ++i) {
        if (search::matchesText(texts[i], *query)) model.push_back(static_cast<int64_t>(i + 1));
      }
      if (found != model) ++mismatches;
      matches += static_cast<double>(model.size());
    }
  }
  state.counters["mismatches"] = mismatches;
  state.counters["matches"] = matches;
}
BENCHMARK(BM_FulltextAgreesWithModel)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace lexor::bench
