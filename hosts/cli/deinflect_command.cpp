// `lexorpeek deinflect`: the dictionary forms of a conjugated Japanese word.
#include <iostream>
#include <nlohmann/json.hpp>

#include "hosts/cli/commands.h"
#include "hosts/cli/query_word.h"
#include "hosts/cli/selection.h"
#include "hosts/cli/terminal_safe.h"
#include "platform/command_args.h"
#include "search/japanese/deinflector.h"

namespace lexor::cli {
namespace {

constexpr const char* kDeinflectUsage =
    R"(usage: lexorpeek deinflect WORD [--romaji] [--dict PATH]... [--nth N] [--suite] [--format FORMAT]

Prints the dictionary forms that the conjugated Japanese WORD can come from (食べました →
食べる), best first, one a line: the form, a tab, and what was undone, base first
("polite past"). Only forms that are head words of the chosen dictionaries count, and
WORD itself is left out. Forms whose entries name a word class that agrees come first,
then those reached in fewer steps.
  --format FORMAT  text (the default) as above; json: one array of
                   {"word": FORM, "rules": [NAME, ...]}, as the protocol's "deinflect"
)";

constexpr OptionSpec kDeinflectOptions[] = {
    kDictOption, kNthOption, kSuiteOption, kRomajiOption, {"--format", true}};

// The rule names, wrapped as the rest of the help text, and the exit status.
std::string ruleNamesHelp() {
  std::string text = "The rule names:";
  size_t column = text.size();
  for (std::string_view name : inflectionNames()) {
    if (column + 1 + name.size() > 88) {
      text += "\n ";
      column = 1;
    }
    text += " " + std::string(name);
    column += 1 + name.size();
  }
  return text +
         "\nExit status 0 when a dictionary form is found, 1 when none is, 2 for a usage error.\n";
}

}  // namespace

int runDeinflect(const std::vector<std::string>& words) {
  ParsedArgs args;
  std::shared_ptr<LexorPeek> peek;
  const std::string usage = std::string(kDeinflectUsage) + kRomajiHelp + ruleNamesHelp();
  if (std::optional<int> status =
          prepareQuery(words, kDeinflectOptions, "deinflect", usage.c_str(), &args, &peek)) {
    return *status;
  }
  const std::string format = args.value("--format").value_or("text");
  if (format != "text" && format != "json") {
    return usageError("deinflect", "--format is text or json, not '" + format + "'");
  }
  const UString word = fromUtf8(queryWord(args));
  const std::vector<Deinflection> found = deinflect(peek->matchDictionaries(word), word);
  if (format == "json") {
    nlohmann::json list = nlohmann::json::array();
    for (const Deinflection& d : found) {
      nlohmann::json rules = nlohmann::json::array();
      for (InflectionName name : d.rules) rules.push_back(inflectionName(name));
      list.push_back({{"word", toUtf8(d.word)}, {"rules", rules}});
    }
    std::cout << list.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) << '\n';
  } else {
    for (const Deinflection& d : found) {
      std::cout << terminalSafe(toUtf8(d.word) + '\t' + describeInflection(d.rules, " ")) << '\n';
    }
  }
  std::cout.flush();
  return found.empty() ? kExitNoMatch : kExitSuccess;
}

}  // namespace lexor::cli
