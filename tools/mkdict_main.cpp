// lexor-mkdict: builds a Lexor dictionary from a tab-separated text file or a dictd dictionary.
#include <charconv>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/command_args.h"
#include "platform/version.h"
#include "tools/writer/lexor_writer.h"

namespace {

using lexor::writer::DictdText;
using lexor::writer::Entry;
using lexor::writer::FieldWidths;
using lexor::writer::Options;

constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

void printUsage(FILE* out) {
  std::fputs(
      "usage: lexor-mkdict [options] OUTPUT.dic INPUT\n"
      "\n"
      "Builds a Lexor dictionary. The output's file name chooses the code pages of its texts\n"
      "(unless --bocu); a name the system does not know gets Shift_JIS.\n"
      "\n"
      "options:\n"
      "  --from tsv|dictd        input format (default: dictd for INPUT ending in .index,\n"
      "                          else tsv)\n"
      "  --format-version N      file format version 2, 3, 4 or 5 (default 5)\n"
      "  --bocu                  store texts as BOCU-1 (versions 3 to 5)\n"
      "  --block-bytes N         target size of a data block in bytes (default 1024)\n"
      "  --field-width 2|4|mixed width of the entries' field lengths (default 2)\n"
      "  --block-number-width 2|4\n"
      "                          width of the index's block numbers (default: 2, or 4 when\n"
      "                          versions 4 and 5 need it)\n"
      "  --limit N               use only the first N entries of the input\n"
      "  --plain                 dictd input: texts as they are, lines joined with CR LF\n"
      "                          (default: &, < and > escaped, lines joined with <br>)\n"
      "  --help                  show this text\n"
      "  --version               show the program's version\n"
      "\n"
      "tsv input: UTF-8 lines of head word TAB translation [TAB pronunciation [TAB example\n"
      "[TAB level 0-15]]]; \\n in a translation or example is a line break.\n"
      "dictd input: NAME.index with NAME.dict.dz or NAME.dict beside it.\n"
      "\n"
      "Entries a code page cannot hold are skipped and counted. Exit status: 0 written,\n"
      "1 failed, 2 usage error.\n",
      out);
}

int usageError(std::string_view message) {
  std::fprintf(stderr, "lexor-mkdict: %.*s\n", static_cast<int>(message.size()), message.data());
  std::fputs("try 'lexor-mkdict --help'\n", stderr);
  return kExitUsage;
}

std::optional<uint64_t> parseNumber(std::string_view text) {
  uint64_t value = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

// What the options ask for, before the checks that look at more than one of them.
struct Settings {
  Options options{.blockNumberWidth = 0};
  std::string from;
  std::optional<uint64_t> limit;
  DictdText dictdText = DictdText::kMarkup;
};

// One option: how its value (empty for a flag) changes the settings, false when the value is not
// one it takes; then the usage error that says which values it takes.
struct OptionRule {
  lexor::OptionSpec spec;
  bool (*apply)(std::string_view value, Settings* settings);
  const char* refused;
};

constexpr OptionRule kOptionRules[] = {
    {{"--from", true},
     [](std::string_view value, Settings* s) {
       s->from = value;
       return value == "tsv" || value == "dictd";
     },
     "--from is tsv or dictd"},
    {{"--format-version", true},
     [](std::string_view value, Settings* s) {
       const std::optional<uint64_t> version = parseNumber(value);
       s->options.version = static_cast<int>(version.value_or(0));
       return version && *version >= 2 && *version <= 5;
     },
     "--format-version is 2, 3, 4 or 5"},
    {{"--bocu", false},
     [](std::string_view, Settings* s) {
       s->options.bocu = true;
       return true;
     },
     ""},
    {{"--block-bytes", true},
     [](std::string_view value, Settings* s) {
       const std::optional<uint64_t> bytes = parseNumber(value);
       s->options.blockBytes = static_cast<uint32_t>(bytes.value_or(0));
       return bytes && *bytes > 0 && *bytes <= lexor::kMaxBlockBytes;
     },
     "--block-bytes is a number from 1 to 8388352"},
    {{"--field-width", true},
     [](std::string_view value, Settings* s) {
       s->options.fieldWidths = value == "4"       ? FieldWidths::kFour
                                : value == "mixed" ? FieldWidths::kMixed
                                                   : FieldWidths::kTwo;
       return value == "2" || value == "4" || value == "mixed";
     },
     "--field-width is 2, 4 or mixed"},
    {{"--block-number-width", true},
     [](std::string_view value, Settings* s) {
       s->options.blockNumberWidth = value == "4" ? 4 : 2;
       return value == "2" || value == "4";
     },
     "--block-number-width is 2 or 4"},
    {{"--limit", true},
     [](std::string_view value, Settings* s) {
       s->limit = parseNumber(value);
       return s->limit.has_value();
     },
     "--limit is a number"},
    {{"--plain", false},
     [](std::string_view, Settings* s) {
       s->dictdText = DictdText::kPlain;
       return true;
     },
     ""},
    {{"--version", false}, [](std::string_view, Settings*) { return true; }, ""},
};

// Every option's value checked in the order given, so that the first bad one is the one named.
std::optional<int> applyOptions(const lexor::ParsedArgs& args, Settings* settings) {
  for (const auto& [name, value] : args.options) {
    for (const OptionRule& rule : kOptionRules) {
      if (rule.spec.name == name && !rule.apply(value, settings)) return usageError(rule.refused);
    }
  }
  return std::nullopt;
}

void printReport(const std::string& output, const lexor::writer::Report& report, size_t read) {
  std::fprintf(stderr,
               "lexor-mkdict: %s: %zu entries written, %zu skipped, %zu duplicates dropped "
               "(%zu read)\n",
               output.c_str(), report.written, report.skipped, report.duplicates, read);
  if (report.headWordsCut > 0) {
    std::fprintf(stderr, "lexor-mkdict: %zu head words cut to %zu bytes\n", report.headWordsCut,
                 lexor::kMaxHeadWordBytes);
  }
  if (report.pronunciationsDropped > 0) {
    std::fprintf(stderr,
                 "lexor-mkdict: %zu pronunciations the phonetic table cannot spell left out\n",
                 report.pronunciationsDropped);
  }
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<lexor::OptionSpec> specs;
  for (const OptionRule& rule : kOptionRules) specs.push_back(rule.spec);
  std::string error;
  const std::optional<lexor::ParsedArgs> args =
      lexor::parseArgs(std::vector<std::string>(argv + 1, argv + argc), specs, &error);
  if (!args) return usageError(error);
  if (args->help) {
    printUsage(stdout);
    return 0;
  }
  if (args->has("--version")) {
    std::printf("lexor-mkdict %.*s\n", static_cast<int>(lexor::programVersion().size()),
                lexor::programVersion().data());
    return 0;
  }
  Settings settings;
  if (std::optional<int> status = applyOptions(*args, &settings)) return *status;
  const Options& options = settings.options;
  if (args->positionals.size() != 2) return usageError("expected OUTPUT.dic and INPUT");
  const std::string& output = args->positionals[0];
  const std::string& input = args->positionals[1];
  if (options.bocu && options.version == 2) return usageError("--bocu needs version 3, 4 or 5");
  if (options.blockNumberWidth == 4 && options.version < 4) {
    return usageError("--block-number-width 4 needs version 4 or 5");
  }
  std::string from = settings.from;
  if (from.empty()) from = std::string_view(input).ends_with(".index") ? "dictd" : "tsv";

  std::optional<std::vector<Entry>> entries =
      from == "dictd" ? lexor::writer::readDictd(input, settings.dictdText, &error)
                      : lexor::writer::readTabSeparated(input, &error);
  if (!entries) {
    std::fprintf(stderr, "lexor-mkdict: %s\n", error.c_str());
    return kExitFailure;
  }
  const size_t read = entries->size();
  if (settings.limit && *settings.limit < read)
    entries->resize(static_cast<size_t>(*settings.limit));

  const std::optional<lexor::writer::Report> report =
      lexor::writer::writeDictionary(output, *entries, options, &error);
  if (!report) {
    std::fprintf(stderr, "lexor-mkdict: %s: %s\n", output.c_str(), error.c_str());
    return kExitFailure;
  }
  printReport(output, *report, read);
  return 0;
}
