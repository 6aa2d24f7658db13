#include "platform/command_args.h"

#include <charconv>

namespace lexor {

bool ParsedArgs::has(std::string_view name) const {
  for (const auto& [option, value] : options) {
    if (option == name) return true;
  }
  return false;
}

std::vector<std::string> ParsedArgs::values(std::string_view name) const {
  std::vector<std::string> found;
  for (const auto& [option, value] : options) {
    if (option == name) found.push_back(value);
  }
  return found;
}

std::optional<std::string> ParsedArgs::value(std::string_view name) const {
  std::optional<std::string> last;
  for (const auto& [option, value] : options) {
    if (option == name) last = value;
  }
  return last;
}

std::optional<ParsedArgs> parseArgs(const std::vector<std::string>& args,
                                    std::span<const OptionSpec> specs, std::string* error) {
  ParsedArgs parsed;
  bool optionsEnded = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& word = args[i];
    if (optionsEnded || word.size() < 2 || word[0] != '-') {
      parsed.positionals.push_back(word);
      continue;
    }
    if (word == "--") {
      optionsEnded = true;
      continue;
    }
    if (word == "--help" || word == "-h") {
      parsed.help = true;
      continue;
    }
    const size_t equals = word.find('=');
    const std::string name = word.substr(0, equals);
    const OptionSpec* spec = nullptr;
    for (const OptionSpec& candidate : specs) {
      if (candidate.name == name) spec = &candidate;
    }
    if (spec == nullptr) {
      *error = "unknown option " + name;
      return std::nullopt;
    }
    if (!spec->takesValue) {
      if (equals != std::string::npos) {
        *error = name + " takes no value";
        return std::nullopt;
      }
      parsed.options.emplace_back(name, std::string());
      continue;
    }
    if (equals != std::string::npos) {
      parsed.options.emplace_back(name, word.substr(equals + 1));
    } else if (i + 1 < args.size()) {
      parsed.options.emplace_back(name, args[++i]);
    } else {
      *error = name + " needs a value";
      return std::nullopt;
    }
  }
  return parsed;
}

std::optional<int32_t> parseInt32(std::string_view text) {
  int32_t value = 0;
  const char* end = text.data() + text.size();
  const auto [ptr, ec] = std::from_chars(text.data(), end, value);
  if (ec != std::errc() || ptr != end || text.empty()) return std::nullopt;
  return value;
}

}  // namespace lexor
