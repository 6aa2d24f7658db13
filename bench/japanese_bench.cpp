// Japanese look-up on the demo's Japanese-English dictionary (revora48.dic, 364,427 entries;
// made by scripts/demo): one "deinflect" call per word, warm (the index read, the blocks in the
// page cache), and romaji to kana. Target: one deinflect call <= 50 us.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>

#include "search/japanese/deinflector.h"
#include "search/japanese/romaji.h"

namespace lexor::bench {
namespace {

// A short and a long chain, ambiguous kana, an adjective, a noun with する.
const char16_t* const kWords[] = {u"食べました",   u"食べさせられなかった", u"かった",
                                  u"高くなかった", u"勉強しました",         u"行って"};

void BM_Deinflect(benchmark::State& state) {
  const char* override = std::getenv("LEXOR_SEARCH_BENCH_DICT");
  const std::string path = override ? override : LEXOR_DEMO_FOLDER "/revora48.dic";
  std::shared_ptr<Lexor> dic;
  if (std::filesystem::exists(path)) dic = Lexor::initWithFilePath(fromUtf8(path));
  if (!dic) {
    state.SkipWithError(("no " + path + ": run scripts/demo first").c_str());
    return;
  }
  const LexorList dics = {dic};
  const UString word = kWords[state.range(0)];
  size_t found = deinflect(dics, word).size();
  for (auto _ : state) {
    std::vector<Deinflection> result = deinflect(dics, word);
    benchmark::DoNotOptimize(result);
  }
  state.SetLabel(toUtf8(word));
  state.counters["candidates"] = static_cast<double>(found);
  state.counters["forms"] = static_cast<double>(deinflectionForms(word).size());
}
BENCHMARK(BM_Deinflect)->DenseRange(0, std::size(kWords) - 1)->Unit(benchmark::kMicrosecond);

void BM_RomajiToKana(benchmark::State& state) {
  const UString text = u"tabesaserarenakatta kon'nichiha TOUKYOU matcha";
  for (auto _ : state) benchmark::DoNotOptimize(romajiToKana(text));
}
BENCHMARK(BM_RomajiToKana);

}  // namespace
}  // namespace lexor::bench
