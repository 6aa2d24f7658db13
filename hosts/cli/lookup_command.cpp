// `lexorpeek lookup` and `lexorpeek consult`: one query on a chosen set of dictionaries.
#include <iostream>

#include "core/lexor.h"
#include "hosts/cli/commands.h"
#include "hosts/cli/entry_format.h"
#include "hosts/cli/query_word.h"
#include "hosts/cli/selection.h"
#include "hosts/cli/terminal_safe.h"
#include "platform/command_args.h"
#include "plugin/lexor_peek.h"
#include "search/japanese/deinflector.h"
#include "search/japanese/head_word_probe.h"
#include "search/match_strategies.h"

namespace lexor::cli {
namespace {

constexpr const char* kLookupUsage =
    R"(usage: lexorpeek lookup WORD [--romaji] [--strategy S] [--dict PATH]... [--nth N] [--suite] [--format FORMAT]

Prints every entry whose head word begins with WORD (a prefix search, case-sensitive).
A Japanese WORD that is not itself a head word but a conjugated form of one (食べました)
shows the entries of its dictionary form first, with one line on standard error
("食べました: polite past of 食べる"), then the entries that begin with WORD.
When nothing matches, near head words are suggested on standard error.
  --strategy S     -s S: the entries whose head words match WORD by strategy S instead
                   (`lexorpeek match --strategies` lists them), in dictionary order
  --format FORMAT  text (the default): head word [pronunciation], then the translation
                   and the example, indented; html: the page's HTML fragment of each
                   entry, one a line; json: each entry as an array of its five values
                   (head word, pronunciation, level, translation, example; null where
                   absent), one a line
)";

constexpr const char* kConsultUsage =
    R"(usage: lexorpeek consult WORD [--dict PATH]... [--nth N] [--suite]

Prints the HTML fragment of every entry whose head word begins with WORD, one a line, as
the page's "consult" gives them. After --suite (or the suite chosen by default) all the
suite's English-side dictionaries are searched together, for any word.
)";

constexpr size_t kSuggestions = 10;

constexpr OptionSpec kLookupOptions[] = {kDictOption,        kNthOption,           kSuiteOption,
                                         {"--format", true}, {"--strategy", true}, {"-s", true},
                                         kRomajiOption};
constexpr OptionSpec kConsultOptions[] = {kDictOption, kNthOption, kSuiteOption};

// JSON escapes control characters itself; every other form goes through the terminal filter.
std::string outputFor(const std::string& entry, EntryFormat format) {
  return format == EntryFormat::kJson ? entry : terminalSafe(entry);
}

// What lookup says on standard error when nothing matched, with near words when there are any.
void reportNoMatch(LexorPeek& peek, const std::string& word,
                   const std::optional<std::string>& strategy) {
  const UString text = fromUtf8(word);
  std::string line =
      "no entries " + std::string(strategy ? "match" : "begin with") + " \"" + word + "\"";
  if (strategy) line += " by " + *strategy;
  const std::vector<UString> near =
      suggestHeadWords(peek.matchDictionaries(text), text, kSuggestions);
  for (size_t i = 0; i < near.size(); ++i)
    line += (i == 0 ? "; did you mean: " : ", ") + toUtf8(near[i]);
  if (!near.empty()) line += "?";
  printError(line);
}

// For a Japanese word that is no head word but deinflects to one: the entries of its best
// dictionary form, after a line on standard error that says how the word was reached. Returns
// the entries printed.
size_t printDictionaryForm(LexorPeek& peek, const UString& word, EntryFormat format) {
  if (!isJapaneseWord(word)) return 0;
  const LexorList dics = peek.matchDictionaries(word);
  if (HeadWordProbe(dics).find(word)) return 0;
  const std::vector<Deinflection> found = deinflect(dics, word);
  if (found.empty()) return 0;
  const Deinflection& best = found.front();
  std::cerr << terminalSafe(toUtf8(word) + ": " + describeInflection(best.rules, " ") + " of " +
                            toUtf8(best.word) + "\n");
  size_t printed = 0;
  bool more = peek._queryWithWord(best.word);
  while (more && !peek._isEOF()) {
    const std::optional<ScriptList> record = peek._getRecord();
    if (!record || record->empty() || !(*record)[0].isString() ||
        (*record)[0].asString() != best.word)
      break;
    if (std::optional<std::string> entry = formatCurrentEntry(peek, format)) {
      std::cout << outputFor(*entry, format);
      ++printed;
    }
    more = peek._moveNext();
  }
  return printed;
}

}  // namespace

std::optional<std::string> strategyOption(const ParsedArgs& args) {
  std::optional<std::string> strategy;
  for (const auto& [option, value] : args.options) {
    if (option == "--strategy" || option == "-s") strategy = value;
  }
  return strategy;
}

int runLookup(const std::vector<std::string>& words) {
  ParsedArgs args;
  std::shared_ptr<LexorPeek> peek;
  const std::string usage = std::string(kLookupUsage) + kRomajiHelp;
  if (std::optional<int> status =
          prepareQuery(words, kLookupOptions, "lookup", usage.c_str(), &args, &peek)) {
    return *status;
  }
  EntryFormat format = EntryFormat::kText;
  if (std::optional<std::string> name = args.value("--format")) {
    std::optional<EntryFormat> chosen = parseEntryFormat(*name);
    if (!chosen) return usageError("lookup", "--format is text, html or json, not '" + *name + "'");
    format = *chosen;
  }
  const std::string word = queryWord(args);
  const std::optional<std::string> strategy = strategyOption(args);

  size_t printed = 0;
  if (strategy) {
    std::string error;
    const std::optional<std::vector<std::vector<Record>>> found = matchEntries(
        peek->matchDictionaries(fromUtf8(word)), *strategy, fromUtf8(word), kNoMatchLimit, &error);
    if (!found) return usageError("lookup", error);
    for (const std::vector<Record>& records : *found) {
      for (const Record& record : records) {
        std::cout << outputFor(formatRecord(record, format), format);
        ++printed;
      }
    }
  } else {
    printed += printDictionaryForm(*peek, fromUtf8(word), format);
    bool more = peek->_queryWithWord(fromUtf8(word));
    while (more && !peek->_isEOF()) {
      if (std::optional<std::string> entry = formatCurrentEntry(*peek, format)) {
        std::cout << outputFor(*entry, format);
        ++printed;
      }
      more = peek->_moveNext();
    }
  }
  std::cout.flush();
  if (printed > 0) return kExitSuccess;
  reportNoMatch(*peek, word, strategy);
  return kExitNoMatch;
}

int runConsult(const std::vector<std::string>& words) {
  ParsedArgs args;
  std::shared_ptr<LexorPeek> peek;
  if (std::optional<int> status =
          prepareQuery(words, kConsultOptions, "consult", kConsultUsage, &args, &peek)) {
    return *status;
  }
  std::optional<std::vector<UString>> fragments =
      peek->_consult(fromUtf8(args.positionals.front()));
  if (!fragments || fragments->empty()) return kExitNoMatch;
  for (const UString& html : *fragments) std::cout << terminalSafe(toUtf8(html)) << '\n';
  std::cout.flush();
  return kExitSuccess;
}

}  // namespace lexor::cli
