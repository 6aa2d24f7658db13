// `lexorpeek match`: the head words that match a word by one of the strategies.
#include <iostream>

#include "hosts/cli/commands.h"
#include "hosts/cli/query_word.h"
#include "hosts/cli/selection.h"
#include "hosts/cli/terminal_safe.h"
#include "platform/command_args.h"
#include "search/match_strategies.h"

namespace lexor::cli {
namespace {

constexpr const char* kMatchUsage =
    R"(usage: lexorpeek match [--strategy S] WORD [--romaji] [--dict PATH]... [--nth N] [--suite]
       lexorpeek match --strategies

Prints the head words that match WORD by strategy S, one a line: for each dictionary in
turn its distinct head words as stored, in dictionary order. Words are compared folded
(composed, then case-folded); patterns keep their case but match without it.
  --strategy S     -s S: one of the strategies (default lev)
  --strategies     lists the strategies, one a line
Exit status 2 also for an unknown strategy or an invalid pattern.
)";

constexpr const char* kDefaultStrategy = "lev";

constexpr OptionSpec kMatchOptions[] = {kDictOption,          kNthOption,   kSuiteOption,
                                        {"--strategy", true}, {"-s", true}, {"--strategies", false},
                                        kRomajiOption};

int listStrategies() {
  for (const MatchStrategyInfo& info : matchStrategies()) {
    std::cout << info.name << std::string(10 - info.name.size(), ' ') << info.description << '\n';
  }
  return kExitSuccess;
}

}  // namespace

int runMatch(const std::vector<std::string>& words) {
  std::string error;
  const std::optional<ParsedArgs> parsed = parseArgs(words, kMatchOptions, &error);
  if (parsed && !parsed->help && parsed->has("--strategies")) {
    if (!parsed->positionals.empty() || parsed->options.size() != 1) {
      return usageError("match", "--strategies takes no WORD and no other option");
    }
    return listStrategies();
  }
  ParsedArgs args;
  std::shared_ptr<LexorPeek> peek;
  const std::string usage = std::string(kMatchUsage) + kRomajiHelp;
  if (std::optional<int> status =
          prepareQuery(words, kMatchOptions, "match", usage.c_str(), &args, &peek)) {
    return *status;
  }
  const std::string strategy = strategyOption(args).value_or(kDefaultStrategy);
  const UString word = fromUtf8(queryWord(args));
  const std::optional<std::vector<std::vector<UString>>> found =
      matchHeadWords(peek->matchDictionaries(word), strategy, word, kNoMatchLimit, &error);
  if (!found) return usageError("match", error);
  size_t printed = 0;
  for (const std::vector<UString>& headWords : *found) {
    for (const UString& headWord : headWords) std::cout << terminalSafe(toUtf8(headWord)) << '\n';
    printed += headWords.size();
  }
  std::cout.flush();
  return printed > 0 ? kExitSuccess : kExitNoMatch;
}

}  // namespace lexor::cli
