#include "hosts/cli/selection.h"

#include "core/lexor.h"
#include "hosts/cli/commands.h"
#include "platform/path.h"

namespace lexor::cli {
namespace {

// A dictionary the command is about to search that cannot be read or is not a Lexor dictionary
// is an error of the input, told apart from a search that found nothing.
std::optional<int> checkDictionary(const UString& path) {
  LexorStatus status = LexorStatus::kOk;
  if (std::shared_ptr<Lexor> dic = Lexor::initWithFilePath(path, &status))
    status = dic->usability();
  if (status == LexorStatus::kOk) return std::nullopt;
  printError(toUtf8(path) + ": not a Lexor dictionary (" +
             std::string(describeLexorStatus(status)) + ")");
  return kExitUsage;
}

std::optional<int> checkListed(const LexorPeek& peek, std::span<const int32_t> positions) {
  const std::optional<UString> folder = peek._getDicDir();
  const std::vector<UString>& listed = peek.listedPaths();
  for (const int32_t position : positions) {
    if (position < 0 || static_cast<size_t>(position) >= listed.size()) continue;
    if (auto status = checkDictionary(
            joinPath(folder.value_or(UString()), listed[static_cast<size_t>(position)])))
      return status;
  }
  return std::nullopt;
}

std::optional<int> checkSuite(const LexorPeek& peek) {
  const int32_t members[] = {peek.amboraDicID(), peek.abboraDicID(), peek.exoraDicID(),
                             peek.revoraDicID()};
  return checkListed(peek, members);
}

}  // namespace

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
    const int32_t chosen[] = {*position};
    if (auto status = checkListed(peek, chosen)) return status;
    peek._useNthDic(*position);
  } else if (!paths.empty()) {
    peek._removeDics();
  } else if (suite) {
    if (peek._isAmboraAvailable() <= 0) {
      printError("the Ambora suite is not available");
      return kExitNoMatch;
    }
    if (auto status = checkSuite(peek)) return status;
    peek._useAmbora();
  } else if (peek._isAmboraAvailable() > 0) {
    if (auto status = checkSuite(peek)) return status;
    peek._useAmbora();
  } else if (!peek._dicNamesInDir().empty()) {
    const int32_t first[] = {0};
    if (auto status = checkListed(peek, first)) return status;
    peek._useNthDic(0);
  } else {
    printError("no dictionaries in ~/Library/Lexor; give one with --dict PATH");
    return kExitNoMatch;
  }
  for (const std::string& path : paths) {
    if (auto status = checkDictionary(fromUtf8(path))) return status;
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
  if (std::optional<int> status =
          startCommand(words, specs, command, std::string(usage) + kSelectionHelp, args))
    return status;
  if (args->positionals.size() != 1)
    return usageError(command, std::string(command) + " takes exactly one WORD");
  *peek = LexorPeek::initWithWebView(nullptr);
  // --nth reaches every dictionary of the folder, beyond the page's five places.
  (*peek)->setListsEveryDictionary(true);
  (*peek)->_dicCount();
  return selectDictionaries(**peek, *args, command);
}

}  // namespace lexor::cli
