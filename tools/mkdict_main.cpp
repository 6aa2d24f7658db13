// lexor-mkdict: builds a Lexor dictionary from a tab-separated text file or a dictd dictionary.
#include <charconv>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>

#include "platform/version.h"
#include "tools/writer/lexor_writer.h"

namespace {

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

int usageError(const std::string& message) {
  std::fprintf(stderr, "lexor-mkdict: %s\n", message.c_str());
  std::fputs("try 'lexor-mkdict --help'\n", stderr);
  return kExitUsage;
}

bool parseNumber(std::string_view text, uint64_t* value) {
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), *value);
  return ec == std::errc() && end == text.data() + text.size();
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  options.blockNumberWidth = 0;
  std::string from;
  std::optional<uint64_t> limit;
  lexor::writer::DictdText dictdText = lexor::writer::DictdText::kMarkup;
  std::vector<std::string> positional;

  for (int i = 1; i < argc; ++i) {
    std::string_view arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      printUsage(stdout);
      return 0;
    }
    if (arg == "--version") {
      std::printf("lexor-mkdict %.*s\n", static_cast<int>(lexor::programVersion().size()),
                  lexor::programVersion().data());
      return 0;
    }
    if (arg == "--bocu") {
      options.bocu = true;
      continue;
    }
    if (arg == "--plain") {
      dictdText = lexor::writer::DictdText::kPlain;
      continue;
    }
    if (arg.starts_with("--")) {
      if (i + 1 >= argc) return usageError(std::string(arg) + " needs a value");
      std::string_view value = argv[++i];
      uint64_t number = 0;
      if (arg == "--from") {
        if (value != "tsv" && value != "dictd") return usageError("--from is tsv or dictd");
        from = value;
      } else if (arg == "--format-version") {
        if (!parseNumber(value, &number) || number < 2 || number > 5) {
          return usageError("--format-version is 2, 3, 4 or 5");
        }
        options.version = static_cast<int>(number);
      } else if (arg == "--block-bytes") {
        if (!parseNumber(value, &number) || number == 0 || number > lexor::kMaxBlockBytes) {
          return usageError("--block-bytes is a number from 1 to 8388352");
        }
        options.blockBytes = static_cast<uint32_t>(number);
      } else if (arg == "--field-width") {
        if (value == "2")
          options.fieldWidths = FieldWidths::kTwo;
        else if (value == "4")
          options.fieldWidths = FieldWidths::kFour;
        else if (value == "mixed")
          options.fieldWidths = FieldWidths::kMixed;
        else
          return usageError("--field-width is 2, 4 or mixed");
      } else if (arg == "--block-number-width") {
        if (value != "2" && value != "4") return usageError("--block-number-width is 2 or 4");
        options.blockNumberWidth = value == "2" ? 2 : 4;
      } else if (arg == "--limit") {
        if (!parseNumber(value, &number)) return usageError("--limit is a number");
        limit = number;
      } else {
        return usageError("unknown option " + std::string(arg));
      }
      continue;
    }
    positional.emplace_back(arg);
  }
  if (positional.size() != 2) return usageError("expected OUTPUT.dic and INPUT");
  const std::string& output = positional[0];
  const std::string& input = positional[1];
  if (options.bocu && options.version == 2) return usageError("--bocu needs version 3, 4 or 5");
  if (options.blockNumberWidth == 4 && options.version < 4) {
    return usageError("--block-number-width 4 needs version 4 or 5");
  }
  if (from.empty()) from = std::string_view(input).ends_with(".index") ? "dictd" : "tsv";

  std::string error;
  std::optional<std::vector<Entry>> entries =
      from == "dictd" ? lexor::writer::readDictd(input, dictdText, &error)
                      : lexor::writer::readTabSeparated(input, &error);
  if (!entries) {
    std::fprintf(stderr, "lexor-mkdict: %s\n", error.c_str());
    return kExitFailure;
  }
  size_t read = entries->size();
  if (limit && *limit < entries->size()) entries->resize(static_cast<size_t>(*limit));

  lexor::writer::Report report = lexor::writer::writeDictionary(output, *entries, options);
  if (!report.error.empty()) {
    std::fprintf(stderr, "lexor-mkdict: %s: %s\n", output.c_str(), report.error.c_str());
    return kExitFailure;
  }
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
  return 0;
}
