// The choice of dictionaries that every query command shares: --suite, --nth N and --dict PATH,
// their help text, and the parsing of a command that takes one WORD on that choice.
#pragma once

#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/command_args.h"
#include "plugin/lexor_peek.h"

namespace lexor::cli {

// The selection options, for a command's option list (which adds its own after them).
inline constexpr OptionSpec kDictOption{"--dict", true};
inline constexpr OptionSpec kNthOption{"--nth", true};
inline constexpr OptionSpec kSuiteOption{"--suite", false};

// What the selection options do, for the end of a command's --help.
extern const char* const kSelectionHelp;

// Chooses the dictionaries as the options say (the suite, else the first listed dictionary,
// when none is chosen). An exit status when the choice cannot be made.
std::optional<int> selectDictionaries(LexorPeek& peek, const ParsedArgs& args,
                                      std::string_view command);

// The parts every one-word query command shares: its options, --help (usage, then
// kSelectionHelp), exactly one WORD and the choice of dictionaries. Leaves *args and *peek set,
// or returns an exit status.
std::optional<int> prepareQuery(const std::vector<std::string>& words,
                                std::span<const OptionSpec> specs, std::string_view command,
                                const char* usage, ParsedArgs* args,
                                std::shared_ptr<LexorPeek>* peek);

}  // namespace lexor::cli
