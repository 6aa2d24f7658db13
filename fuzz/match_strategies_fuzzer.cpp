// The match strategies: a strategy, one of the seed dictionaries, then the word or pattern as
// UTF-8 bytes. Every answer is checked against asking each head word on its own, and every
// matched entry's record is read back.
//
//   input := strategy-choice u8, dictionary-choice u8, word bytes
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "fuzz/seed_dictionaries.h"
#include "platform/log.h"
#include "search/match_strategies.h"

namespace {

struct Seed {
  std::shared_ptr<lexor::Lexor> dic;
  std::shared_ptr<const lexor::HeadWordTable> table;
};

std::vector<Seed>& seeds() {
  static std::vector<Seed> instance;
  return instance;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  lexor::silenceLog();
  for (std::shared_ptr<lexor::Lexor>& dic : lexor::fuzz::openSeedDictionaries())
    seeds().push_back({dic, lexor::HeadWordTable::of(*dic)});
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2 || seeds().empty()) return 0;
  const auto strategies = lexor::matchStrategies();
  const lexor::MatchStrategyInfo& info = strategies[data[0] % strategies.size()];
  const Seed& seed = seeds()[data[1] % seeds().size()];
  const lexor::UString word =
      lexor::fromUtf8(std::string_view(reinterpret_cast<const char*>(data + 2), size - 2));

  std::string error;
  const std::unique_ptr<lexor::HeadWordMatcher> matcher =
      lexor::HeadWordMatcher::create(info.strategy, word, &error);
  std::string matchError;
  const std::optional<std::vector<std::vector<lexor::UString>>> found =
      lexor::matchHeadWords({seed.dic}, info.name, word, 50, &matchError);
  if (!matcher) {
    // Only a pattern can be invalid, and then nothing matches, for the same reason.
    if (info.strategy != lexor::MatchStrategy::kRe &&
        info.strategy != lexor::MatchStrategy::kRegexp)
      __builtin_trap();
    if (error.empty() || found || matchError != error) __builtin_trap();
    return 0;
  }
  if (!found || !matchError.empty() || found->front().size() > 50) __builtin_trap();

  // The fast scan and the word-by-word question agree, entry for entry.
  const lexor::HeadWordTable& table = *seed.table;
  std::vector<size_t> scanned;
  matcher->forEachMatch(table, [&](size_t i) {
    scanned.push_back(i);
    return true;
  });
  std::vector<size_t> asked;
  for (size_t i = 0; i < table.size(); ++i) {
    if (matcher->matches(table.folded(i), table.stored(i))) asked.push_back(i);
  }
  if (scanned != asked) __builtin_trap();

  const std::vector<lexor::Record> records = lexor::recordsOfEntries(*seed.dic, table, scanned);
  if (records.size() != scanned.size()) __builtin_trap();
  return 0;
}
