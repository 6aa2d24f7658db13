// `lexorpeek list`: the folder's dictionaries as the page sees them.
#include <iostream>

#include "hosts/cli/commands.h"
#include "hosts/cli/terminal_safe.h"
#include "platform/command_args.h"
#include "plugin/lexor_peek.h"

namespace lexor::cli {
namespace {

constexpr const char* kListUsage = R"(usage: lexorpeek list [--all]

Lists the dictionaries of ~/Library/Lexor as the page lists them (the suite's files and five
others), one a line: position (for `lookup --nth`), display name and path relative to the
folder, separated by tabs. A last line tells whether the Ambora suite is available, and its
version (the lower of its two main files').
  --all   every dictionary of the folder: the page's first, then the others, whose
          positions --nth takes too
)";

constexpr OptionSpec kListOptions[] = {{"--all", false}};

}  // namespace

int runList(const std::vector<std::string>& args) {
  ParsedArgs parsed;
  if (std::optional<int> status =
          startWordlessCommand(args, kListOptions, "list", kListUsage, &parsed))
    return *status;

  std::shared_ptr<LexorPeek> peek = LexorPeek::initWithWebView(nullptr);
  if (!peek->_getDicDir()) printError("no dictionary folder (~/Library/Lexor)");
  peek->setListsEveryDictionary(parsed.has("--all"));
  const std::vector<UString> paths = peek->_dicPathsInDir();
  const std::vector<UString> names = peek->_dicNamesInDir();
  for (size_t i = 0; i < paths.size() && i < names.size(); ++i) {
    std::cout << i << '\t' << terminalSafe(toUtf8(names[i])) << '\t'
              << terminalSafe(toUtf8(paths[i])) << '\n';
  }
  if (const int32_t version = peek->_isAmboraAvailable(); version > 0) {
    std::cout << "suite: available, version " << version << '\n';
  } else {
    std::cout << "suite: not available\n";
  }
  return kExitSuccess;
}

}  // namespace lexor::cli
