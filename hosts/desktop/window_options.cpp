#include "hosts/desktop/window_options.h"

namespace lexor::desktop {

const char* const kWindowUsage =
    R"(usage: lexorpeek-window [--word WORD | --selection] [--automation]

Shows the LexorPeek widget in a window: the dictionaries of ~/Library/Lexor, looked up as you
type. One window serves the user's session: started again, the program hands its words to the
window already open and exits.

options:
  --word WORD   look WORD up (in the open window, if there is one)
  --selection   look up the text last highlighted (the primary selection), for a key binding
  --automation  let a WebDriver (WebKitWebDriver) drive the window, for tests
  --help        this text
  --version     the program's version
)";

std::optional<WindowOptions> parseWindowOptions(const std::vector<std::string>& words,
                                                std::string* error) {
  WindowOptions options;
  for (size_t i = 0; i < words.size(); ++i) {
    const std::string& word = words[i];
    if (word == "--help" || word == "-h") {
      options.help = true;
    } else if (word == "--version") {
      options.version = true;
    } else if (word == "--selection") {
      options.selection = true;
    } else if (word == "--automation") {
      options.automation = true;
    } else if (word == "--word") {
      if (i + 1 == words.size()) {
        *error = "--word needs a word";
        return std::nullopt;
      }
      options.word = words[++i];
    } else if (word.starts_with("--word=")) {
      options.word = word.substr(7);
    } else {
      *error = "unknown argument '" + word + "'";
      return std::nullopt;
    }
  }
  if (options.word && options.selection) {
    *error = "--word and --selection cannot go together";
    return std::nullopt;
  }
  return options;
}

}  // namespace lexor::desktop
