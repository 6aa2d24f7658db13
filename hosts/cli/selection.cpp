#include "hosts/cli/selection.h"

#include <iostream>

#include "hosts/cli/commands.h"

namespace lexor::cli {

const char* const kSelectionHelp = R"(
Without a choice of dictionaries: the Ambora suite when it is available, else the first
dictionary that `lexorpeek list` shows.
  --suite          the Ambora suite: a word with Japanese characters searches its
                   Japanese-English side, any other word its English-Japanese side
  --nth N          the dictionary at position N of `lexorpeek list`
  --dict PATH      a dictionary file; may be given more than once; searched after the
                   dictionary of --nth, or on its own
)";

std::optional<int> selectDictionaries(LexorPeek& peek, const ParsedArgs& args,
                                      std::string_view command) {
  const std::vector<std::string> paths = args.values("--dict");
  const std::optional<std::string> nth = args.value("--nth");
  const bool suite = args.has("--suite");
  if (suite && (nth || !paths.empty())) {
    return usageError(command, "--suite searches the suite alone; leave out --nth and --dict");
  }
  if (nth) {
    const std::optional<int32_t> position = parseInt32(*nth);
    const int32_t count = static_cast<int32_t>(peek._dicNamesInDir().size());
    if (count == 0) return usageError(command, "--nth: no dictionaries are listed");
    if (!position || *position < 0 || *position >= count) {
      return usageError(command, "--nth wants a position from `lexorpeek list` (0 to " +
                                     std::to_string(count - 1) + "), not '" + *nth + "'");
    }
    peek._useNthDic(*position);
  } else if (!paths.empty()) {
    peek._removeDics();
  } else if (suite) {
    if (peek._isAmboraAvailable() <= 0) {
      std::cerr << "lexorpeek: the Ambora suite is not available\n";
      return kExitNoMatch;
    }
    peek._useAmbora();
  } else if (peek._isAmboraAvailable() > 0) {
    peek._useAmbora();
  } else if (!peek._dicNamesInDir().empty()) {
    peek._useNthDic(0);
  } else {
    std::cerr << "lexorpeek: no dictionaries in ~/Library/Lexor; give one with --dict PATH\n";
    return kExitNoMatch;
  }
  for (const std::string& path : paths) {
    LexorRecordset& first = peek.recordset(0);
    const size_t before = first.dicCount();
    peek._addDictionary(fromUtf8(path));
    if (first.dicCount() == before)
      return usageError(command, "cannot open dictionary '" + path + "'");
  }
  return std::nullopt;
}

std::optional<int> prepareQuery(const std::vector<std::string>& words,
                                std::span<const OptionSpec> specs, std::string_view command,
                                const char* usage, ParsedArgs* args,
                                std::shared_ptr<LexorPeek>* peek) {
  std::string error;
  std::optional<ParsedArgs> parsed = parseArgs(words, specs, &error);
  if (!parsed) return usageError(command, error);
  if (parsed->help) {
    std::cout << usage << kSelectionHelp;
    return kExitSuccess;
  }
  if (parsed->positionals.size() != 1)
    return usageError(command, std::string(command) + " takes exactly one WORD");
  *args = std::move(*parsed);
  *peek = LexorPeek::initWithWebView(nullptr);
  return selectDictionaries(**peek, *args, command);
}

}  // namespace lexor::cli
