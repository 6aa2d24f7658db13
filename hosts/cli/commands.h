// The subcommands of `lexorpeek`. Each takes the words after its name and returns the exit
// status, one rule for every command: 0 something found (or the command did what it was asked),
// 1 nothing found, or a server that cannot start; 2 a usage error or input that cannot be used,
// such as a dictionary file that is not one.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/command_args.h"

namespace lexor::cli {

inline constexpr int kExitSuccess = 0;
inline constexpr int kExitNoMatch = 1;
inline constexpr int kExitUsage = 2;

int runList(const std::vector<std::string>& args);
int runRepl(const std::vector<std::string>& args);
int runLookup(const std::vector<std::string>& args);
int runConsult(const std::vector<std::string>& args);
int runMatch(const std::vector<std::string>& args);
int runSearch(const std::vector<std::string>& args);
int runDeinflect(const std::vector<std::string>& args);
int runServe(const std::vector<std::string>& args);
int runDictServer(const std::vector<std::string>& args);
int runWindow(const std::vector<std::string>& args);

// The strategy that --strategy or -s names (the last given), if any.
std::optional<std::string> strategyOption(const ParsedArgs& args);

// How a command begins: its options, then --help, which shows the usage and ends the command.
// Leaves *args set, or returns the exit status to end with.
std::optional<int> startCommand(const std::vector<std::string>& words,
                                std::span<const OptionSpec> specs, std::string_view command,
                                std::string_view usage, ParsedArgs* args);
// The same, for a command that takes no words.
std::optional<int> startWordlessCommand(const std::vector<std::string>& words,
                                        std::span<const OptionSpec> specs, std::string_view command,
                                        std::string_view usage, ParsedArgs* args);

// "lexorpeek: MESSAGE" on standard error, then the hint to ask for help; returns kExitUsage.
int usageError(std::string_view command, std::string_view message);
// "lexorpeek: MESSAGE" on standard error, made safe for a terminal.
void printError(std::string_view message);

}  // namespace lexor::cli
