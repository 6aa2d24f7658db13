// `lexorpeek`: the command-line host of the plug-in object.
#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include "hosts/cli/commands.h"
#include "hosts/cli/terminal_safe.h"
#include "platform/log.h"
#include "platform/version.h"

namespace lexor::cli {
namespace {

constexpr const char* kUsage = R"(usage: lexorpeek [--quiet] COMMAND [ARGS]

Looks words up in the dictionaries of ~/Library/Lexor.

commands:
  list      the dictionaries of the folder, and whether the Ambora suite is there
  lookup    every entry whose head word begins with a word
  consult   every match as an HTML fragment, as the page's "consult" gives them
  match     the head words that match a word by a strategy (exact, substring, lev, re, ...)
  search    every entry whose translation or example holds the query's words
  deinflect the dictionary forms of a conjugated Japanese word (食べました → 食べる)
  repl      script calls: one JSON request a line in, one JSON response a line out
  serve     serve the widget page on loopback
  dict-server  serve the dictionaries to DICT clients (the `dict` command and others)
  window    the widget in a desktop window (runs lexorpeek-window: `lexorpeek window --help`)

options:
  --quiet   silence the system log (otherwise on standard error)
  --help    this text; `lexorpeek COMMAND --help` tells about one command
  --version the program's version

exit status: 0 something found (or the command succeeded); 1 nothing found, or
the server cannot start; 2 usage error, an invalid pattern, or a dictionary that cannot be read or
is not a Lexor dictionary
)";

// --quiet may stand anywhere before a "--", so it is taken out before the command sees its words.
std::vector<std::string> takeQuiet(std::vector<std::string> words, bool* quiet) {
  std::vector<std::string> kept;
  bool optionsEnded = false;
  for (std::string& word : words) {
    if (!optionsEnded && word == "--quiet") {
      *quiet = true;
      continue;
    }
    if (word == "--") optionsEnded = true;
    kept.push_back(std::move(word));
  }
  return kept;
}

}  // namespace

void printError(std::string_view message) {
  std::cerr << terminalSafe("lexorpeek: " + std::string(message) + "\n");
}

int usageError(std::string_view command, std::string_view message) {
  printError(message);
  std::cerr << "(see `lexorpeek " << command << (command.empty() ? "" : " ") << "--help`)\n";
  return kExitUsage;
}

std::optional<int> startCommand(const std::vector<std::string>& words,
                                std::span<const OptionSpec> specs, std::string_view command,
                                std::string_view usage, ParsedArgs* args) {
  std::string error;
  std::optional<ParsedArgs> parsed = parseArgs(words, specs, &error);
  if (!parsed) return usageError(command, error);
  if (parsed->help) {
    std::cout << usage;
    return kExitSuccess;
  }
  *args = std::move(*parsed);
  return std::nullopt;
}

std::optional<int> startWordlessCommand(const std::vector<std::string>& words,
                                        std::span<const OptionSpec> specs, std::string_view command,
                                        std::string_view usage, ParsedArgs* args) {
  if (std::optional<int> status = startCommand(words, specs, command, usage, args)) return status;
  if (!args->positionals.empty()) {
    return usageError(command, std::string(command) + " takes no words");
  }
  return std::nullopt;
}

int run(int argc, char** argv) {
  bool quiet = false;
  std::vector<std::string> words =
      takeQuiet(std::vector<std::string>(argv + 1, argv + argc), &quiet);
  if (quiet) {
    silenceLog();
  } else {
    // The log names files and quotes words it could not read: the same rule as every other line.
    setLogSink([](const std::string& line) {
      std::string safe = terminalSafe(line);
      if (safe.empty() || safe.back() != '\n') safe += '\n';
      std::fwrite(safe.data(), 1, safe.size(), stderr);
    });
  }

  if (words.empty()) {
    std::cerr << kUsage;
    return kExitUsage;
  }
  const std::string command = words.front();
  const std::vector<std::string> rest(words.begin() + 1, words.end());
  if (command == "--help" || command == "-h" || command == "help") {
    std::cout << kUsage;
    return kExitSuccess;
  }
  if (command == "--version") {
    std::cout << "lexorpeek " << programVersion() << '\n';
    return kExitSuccess;
  }
  if (command == "list") return runList(rest);
  if (command == "repl") return runRepl(rest);
  if (command == "lookup") return runLookup(rest);
  if (command == "consult") return runConsult(rest);
  if (command == "match") return runMatch(rest);
  if (command == "search") return runSearch(rest);
  if (command == "deinflect") return runDeinflect(rest);
  if (command == "serve") return runServe(rest);
  if (command == "dict-server") return runDictServer(rest);
  if (command == "window") return runWindow(rest);
  return usageError("", "unknown command '" + command + "'");
}

}  // namespace lexor::cli

int main(int argc, char** argv) { return lexor::cli::run(argc, argv); }
