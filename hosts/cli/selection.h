// The choice of dictionaries that the query commands share (--suite, --nth, --dict).
#pragma once

#include <optional>
#include <string_view>

#include "hosts/cli/cli_args.h"
#include "plugin/lexor_peek.h"

namespace lexor::cli {

// The help text of the three options.
extern const char* const kSelectionHelp;

// Chooses the dictionaries as the options say. Returns an exit status when the choice cannot be
// made.
std::optional<int> selectDictionaries(LexorPeek& peek, const ParsedArgs& args,
                                      std::string_view command);

}  // namespace lexor::cli
