// `lexorpeek search`: full-text search of the chosen dictionaries' translations and examples.
#include <unistd.h>

#include <iostream>

#include "hosts/cli/commands.h"
#include "hosts/cli/entry_format.h"
#include "hosts/cli/selection.h"
#include "hosts/cli/terminal_safe.h"
#include "search/fulltext_index.h"
#include "search/fulltext_text.h"

namespace lexor::cli {
namespace {

constexpr const char* kSearchUsage =
    R"(usage: lexorpeek search QUERY [--limit N] [--format FORMAT] [--dict PATH]... [--nth N] [--suite]

Prints the entries whose translation or example holds the query, best matches first, each
dictionary in turn, as `lookup` prints entries.
  QUERY            words (each found as a whole word), word* (a prefix) and "quoted
                   phrases" (words in a row); all must be found, letters compared without
                   case or accents. A query with any kana, kanji or hanzi is one substring.
  --limit N        at most N entries (default 100; 0: all)
  --format FORMAT  text (the default), html or json, as for `lookup`
The first search of a dictionary builds its index in ~/.cache/lexorpeek (or
$XDG_CACHE_HOME/lexorpeek); a progress bar shows on a terminal. In the Ambora suite a query
with Japanese characters searches the English-Japanese side, any other the Japanese-English
side.
)";

constexpr OptionSpec kSearchOptions[] = {
    kDictOption, kNthOption, kSuiteOption, {"--format", true}, {"--limit", true}};
constexpr size_t kDefaultLimit = 100;

// A progress bar on standard error, redrawn when the percentage changes.
class ProgressBar {
 public:
  explicit ProgressBar(std::string name) : _name(std::move(name)) {}
  ~ProgressBar() {
    if (_shown) std::cerr << "\r\033[K" << std::flush;
  }
  void update(uint64_t done, uint64_t all) {
    const int percent = all == 0 ? 100 : static_cast<int>(done * 100 / all);
    if (percent == _percent) return;
    _percent = percent;
    _shown = true;
    constexpr int kWidth = 30;
    const int filled = percent * kWidth / 100;
    std::cerr << "\rindexing " << _name << " [" << std::string(static_cast<size_t>(filled), '#')
              << std::string(static_cast<size_t>(kWidth - filled), ' ') << "] " << done << "/"
              << all << std::flush;
  }

 private:
  std::string _name;
  int _percent = -1;
  bool _shown = false;
};

std::vector<std::shared_ptr<Lexor>> dictionariesOf(LexorRecordset& rs) {
  std::vector<std::shared_ptr<Lexor>> dics;
  for (size_t i = 0; i < rs.dicCount(); ++i) {
    if (std::shared_ptr<Lexor> dic = rs.dicAt(i)) dics.push_back(std::move(dic));
  }
  return dics;
}

}  // namespace

int runSearch(const std::vector<std::string>& words) {
  ParsedArgs args;
  if (std::optional<int> status = startCommand(words, kSearchOptions, "search",
                                               std::string(kSearchUsage) + kSelectionHelp, &args))
    return *status;
  if (args.positionals.size() != 1) return usageError("search", "search takes exactly one QUERY");
  EntryFormat format = EntryFormat::kText;
  if (std::optional<std::string> name = args.value("--format")) {
    std::optional<EntryFormat> chosen = parseEntryFormat(*name);
    if (!chosen) return usageError("search", "--format is text, html or json, not '" + *name + "'");
    format = *chosen;
  }
  size_t limit = kDefaultLimit;
  if (std::optional<std::string> text = args.value("--limit")) {
    std::optional<int32_t> value = parseInt32(*text);
    if (!value || *value < 0)
      return usageError("search", "--limit wants a count (0: all), not '" + *text + "'");
    limit = static_cast<size_t>(*value);
  }
  std::string error;
  const UString queryText = fromUtf8(args.positionals.front());
  std::optional<search::FulltextQuery> query = search::parseQuery(queryText, &error);
  if (!query) return usageError("search", error);

  std::shared_ptr<LexorPeek> peek = LexorPeek::initWithWebView(nullptr);
  if (std::optional<int> status = selectDictionaries(*peek, args, "search")) return *status;
  // The suite's side is the one whose translations are in the query's script.
  const bool englishJapaneseSide = !peek->amboraMode() || search::holdsCjk(queryText);
  const std::vector<std::shared_ptr<Lexor>> dics =
      dictionariesOf(peek->recordset(englishJapaneseSide ? 0 : 1));

  const bool terminal = ::isatty(STDERR_FILENO) == 1;
  size_t printed = 0;
  for (const std::shared_ptr<Lexor>& dic : dics) {
    if (limit != 0 && printed >= limit) break;
    std::unique_ptr<search::FulltextIndex> index;
    {
      std::string name = toUtf8(dic->path());
      name = name.substr(name.find_last_of('/') + 1);
      ProgressBar bar(name);
      search::BuildProgress progress;
      if (terminal) progress = [&bar](uint64_t done, uint64_t all) { bar.update(done, all); };
      index = search::FulltextIndex::open(dic->path(), progress, &error);
    }
    if (!index) {
      printError(error);
      continue;
    }
    for (int64_t entry : index->search(*query, limit == 0 ? 0 : limit - printed)) {
      if (std::optional<Record> record = index->record(entry)) {
        // JSON escapes control characters itself; the other forms go through the terminal filter.
        const std::string entry = formatRecord(*record, format);
        std::cout << (format == EntryFormat::kJson ? entry : terminalSafe(entry));
        ++printed;
      }
    }
  }
  std::cout.flush();
  return printed > 0 ? kExitSuccess : kExitNoMatch;
}

}  // namespace lexor::cli
