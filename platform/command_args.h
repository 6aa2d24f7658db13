// Command-line words: options (with or without a value) and positional words.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace lexor {

struct OptionSpec {
  std::string_view name;  // with its dashes: "--nth"
  bool takesValue;
};

struct ParsedArgs {
  std::vector<std::string> positionals;
  std::vector<std::pair<std::string, std::string>> options;  // in the order given
  bool help = false;

  bool has(std::string_view name) const;
  // Every value of a repeatable option, in order.
  std::vector<std::string> values(std::string_view name) const;
  // The last value given, if any.
  std::optional<std::string> value(std::string_view name) const;
};

// "--name value" and "--name=value" both work; "--" ends the options, so that a word beginning
// with a dash can still be looked up. "--help" (or "-h") is always known. std::nullopt, with the
// reason in *error, for an unknown option or a missing value.
std::optional<ParsedArgs> parseArgs(const std::vector<std::string>& args,
                                    std::span<const OptionSpec> specs, std::string* error);

// Whole-string decimal integer within 32 bits.
std::optional<int32_t> parseInt32(std::string_view text);

}  // namespace lexor
