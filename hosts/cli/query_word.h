// The WORD of a query command as the user meant it: --romaji converts romaji to kana first.
#pragma once

#include <string>

#include "platform/command_args.h"

namespace lexor::cli {

inline constexpr OptionSpec kRomajiOption{"--romaji", false};

// What --romaji does, for a command's --help.
extern const char* const kRomajiHelp;

// The one positional WORD, converted when --romaji is given.
std::string queryWord(const ParsedArgs& args);

}  // namespace lexor::cli
