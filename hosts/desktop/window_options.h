// The command line of `lexorpeek-window`, read the same way by the process started and by the
// running window it hands its words to.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace lexor::desktop {

struct WindowOptions {
  std::optional<std::string> word;  // --word WORD: show WORD's entries
  bool selection = false;           // --selection: look up the primary selection's text
  bool automation = false;          // --automation: accept control by a WebDriver
  bool help = false;
  bool version = false;
};

// The words after the program's name; std::nullopt, with the usage error in *error, when they
// are not good.
std::optional<WindowOptions> parseWindowOptions(const std::vector<std::string>& words,
                                                std::string* error);

extern const char* const kWindowUsage;

}  // namespace lexor::desktop
