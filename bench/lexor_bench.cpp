// The dictionary file: header decoding, opening with the first look-up (the index read) against
// reading the index bytes alone, and the index look-up against the single pass that defines it.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <memory>
#include <string>
#include <vector>

#include "bench/bench_data.h"
#include "bench/bench_words.h"
#include "core/index_scan.h"
#include "core/lexor.h"
#include "core/lexor_index.h"

namespace lexor::bench {
namespace {

std::shared_ptr<Lexor> openLarge() {
  auto dic = Lexor::initWithFilePath(fromUtf8(benchData().sjisPath));
  if (!dic) throw std::runtime_error("cannot open " + benchData().sjisPath);
  return dic;
}

void BM_HeaderDecode(benchmark::State& state) {
  auto dic = openLarge();
  for (auto _ : state) {
    dic->loadHeader(false);
    benchmark::DoNotOptimize(dic->nIndexEntry());
  }
}
BENCHMARK(BM_HeaderDecode);

// Opening a file not read before in this process (the shared index is dropped first) and its
// first look-up, which reads and walks the whole index.
void BM_OpenAndFirstLookup(benchmark::State& state) {
  const UString path = fromUtf8(benchData().sjisPath);
  const Needles needles = shiftJisNeedles(benchData().sjisWords, 3);
  size_t i = 0;
  for (auto _ : state) {
    clearLexorIndexCache();
    auto dic = Lexor::initWithFilePath(path);
    const Needle& n = needles[i++ % needles.size()];
    benchmark::DoNotOptimize(dic->lookupIndex(n.word.data(), n.until.data()));
  }
  state.counters["index_bytes"] = static_cast<double>(openLarge()->indexSize());
}
BENCHMARK(BM_OpenAndFirstLookup)->Unit(benchmark::kMicrosecond);

// Opening an unchanged file again, as suite mode does on every query: the index is shared.
void BM_ReopenAndLookup(benchmark::State& state) {
  const UString path = fromUtf8(benchData().sjisPath);
  const Needles needles = shiftJisNeedles(benchData().sjisWords, 3);
  auto held = openLarge();
  held->loadIndex(false);
  size_t i = 0;
  for (auto _ : state) {
    auto dic = Lexor::initWithFilePath(path);
    const Needle& n = needles[i++ % needles.size()];
    benchmark::DoNotOptimize(dic->lookupIndex(n.word.data(), n.until.data()));
  }
}
BENCHMARK(BM_ReopenAndLookup)->Unit(benchmark::kMicrosecond);

// What the first look-up cannot do without: open the file, read the index bytes into a new
// buffer of their size, close. The buffer is not zeroed first, as the index's own is not.
void BM_IndexBytesRead(benchmark::State& state) {
  auto dic = openLarge();
  const uint64_t start = uint64_t{dic->headerSize()} + dic->extheaderSize();
  const size_t size = dic->indexSize();
  const std::string& path = benchData().sjisPath;
  for (auto _ : state) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    std::unique_ptr<uint8_t[]> bytes(new uint8_t[size]);
    const ssize_t got = ::pread(fd, bytes.get(), size, static_cast<off_t>(start));
    ::close(fd);
    if (got != static_cast<ssize_t>(size)) state.SkipWithError("short read of the index");
    benchmark::DoNotOptimize(bytes.get());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * size));
}
BENCHMARK(BM_IndexBytesRead)->Unit(benchmark::kMicrosecond);

void BM_LookupIndex(benchmark::State& state) {
  auto dic = openLarge();
  dic->loadIndex(false);
  const Needles needles = shiftJisNeedles(benchData().sjisWords, 0);
  size_t i = 0;
  for (auto _ : state) {
    const Needle& n = needles[i++ % needles.size()];
    benchmark::DoNotOptimize(dic->lookupIndex(n.word.data(), n.until.data()));
  }
  state.counters["entries"] = dic->usableIndexEntries();
}
BENCHMARK(BM_LookupIndex);

// The single pass over every entry, the look-up's own fallback for words out of order: the baseline
// of the search.
void BM_LookupIndexLinear(benchmark::State& state) {
  auto dic = openLarge();
  dic->loadIndex(false);
  const auto index = dic->sharedIndex();
  const Needles needles = shiftJisNeedles(benchData().sjisWords, 0);
  // The two must agree before either is timed.
  for (const Needle& n : needles) {
    if (!(scanIndex(*index, n.word.data(), n.until.data()) ==
          dic->lookupIndex(n.word.data(), n.until.data()))) {
      state.SkipWithError("search and single pass disagree");
      return;
    }
  }
  size_t i = 0;
  for (auto _ : state) {
    const Needle& n = needles[i++ % needles.size()];
    benchmark::DoNotOptimize(scanIndex(*index, n.word.data(), n.until.data()));
  }
}
BENCHMARK(BM_LookupIndexLinear)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace lexor::bench
