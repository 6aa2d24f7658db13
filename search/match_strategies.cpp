#include "search/match_strategies.h"

#include <re2/re2.h>
#include <string.h>  // memmem
#include <unicode/uchar.h>
#include <unicode/utf8.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <optional>
#include <unordered_set>

#include "core/entry_layout.h"
#include "core/record_decoder.h"
#include "search/text_fold.h"

namespace lexor {
namespace {

constexpr std::array<MatchStrategyInfo, 10> kStrategies = {{
    {MatchStrategy::kExact, "exact", "the head word equals the word"},
    {MatchStrategy::kPrefix, "prefix", "the head word begins with the word"},
    {MatchStrategy::kSubstring, "substring", "the head word contains the word"},
    {MatchStrategy::kSuffix, "suffix", "the head word ends with the word"},
    {MatchStrategy::kWord, "word", "one of the head word's words equals the word"},
    {MatchStrategy::kFirst, "first", "the head word's first word equals the word"},
    {MatchStrategy::kLast, "last", "the head word's last word equals the word"},
    {MatchStrategy::kRe, "re", "POSIX extended regular expression, anywhere in the head word"},
    {MatchStrategy::kRegexp, "regexp", "POSIX basic regular expression, anywhere in the head word"},
    {MatchStrategy::kLev, "lev", "the head word is at most one edit from the word"},
}};

// A regular expression's compiled program is bounded, so that no pattern takes unbounded memory.
constexpr int64_t kPatternMemory = 8 << 20;
// Longest UTF-8 sequence: two words whose lengths differ by more are more than one edit apart.
constexpr size_t kMaxSequenceBytes = 4;

bool isTrailByte(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

// The punctuation that separates a head word's words, besides white space.
bool isWordSeparator(UChar32 c) {
  if (c < 0x80)
    return std::strchr(" \t\n\v\f\r-,.;:'\"()/!?", static_cast<int>(c)) != nullptr && c != 0;
  return u_isUWhiteSpace(c);
}

// Calls visit with each word of a folded head word, in order, until it answers false.
template <typename Visit>
void forEachWord(std::string_view text, Visit visit) {
  const auto* bytes = reinterpret_cast<const uint8_t*>(text.data());
  const auto length = static_cast<int32_t>(text.size());
  int32_t i = 0;
  int32_t start = -1;
  while (i < length) {
    const int32_t at = i;
    UChar32 c;
    U8_NEXT(bytes, i, length, c);
    if (isWordSeparator(c)) {
      if (start >= 0 &&
          !visit(text.substr(static_cast<size_t>(start), static_cast<size_t>(at - start))))
        return;
      start = -1;
    } else if (start < 0) {
      start = at;
    }
  }
  if (start >= 0) visit(text.substr(static_cast<size_t>(start)));
}

bool containsSeparator(std::string_view text) {
  bool found = false;
  size_t words = 0;
  size_t covered = 0;
  forEachWord(text, [&](std::string_view word) {
    ++words;
    covered += word.size();
    return true;
  });
  found = words != 1 || covered != text.size();
  return found;
}

size_t codePoints(std::string_view text) {
  return static_cast<size_t>(
      std::count_if(text.begin(), text.end(), [](char c) { return !isTrailByte(c); }));
}

// Levenshtein distance at most 1, in code points, of two valid UTF-8 strings: after their common
// prefix and suffix (whole characters, not overlapping), at most one character may remain of each.
bool withinOneEdit(std::string_view a, std::string_view b) {
  const size_t longer = std::max(a.size(), b.size());
  const size_t shorter = std::min(a.size(), b.size());
  if (longer - shorter > kMaxSequenceBytes) return false;
  size_t prefix = static_cast<size_t>(
      std::mismatch(a.begin(), a.begin() + static_cast<ptrdiff_t>(shorter), b.begin()).first -
      a.begin());
  if (prefix == longer) return true;  // equal
  while (prefix > 0 && ((prefix < a.size() && isTrailByte(a[prefix])) ||
                        (prefix < b.size() && isTrailByte(b[prefix]))))
    --prefix;
  size_t suffix = 0;
  // A suffix that begins inside a character leaves only trail bytes of it in the rests, which
  // codePoints does not count.
  while (suffix < shorter - prefix && a[a.size() - 1 - suffix] == b[b.size() - 1 - suffix])
    ++suffix;
  const std::string_view restA = a.substr(prefix, a.size() - prefix - suffix);
  const std::string_view restB = b.substr(prefix, b.size() - prefix - suffix);
  return codePoints(restA) <= 1 && codePoints(restB) <= 1;
}

// Entries in the table whose folded word holds `needle`, in dictionary order: one search through
// the whole arena, which is much faster than a search a word. The NUL after each word keeps a
// hit from spanning two words; hits in a stored word are passed.
template <typename Visit>
void forEachContaining(const HeadWordTable& table, std::string_view needle, Visit visit) {
  const std::string_view arena = table.arena();
  if (needle.empty()) {
    for (size_t i = 0; i < table.size(); ++i) {
      if (!visit(i)) return;
    }
    return;
  }
  size_t from = 0;
  while (from < arena.size()) {
    const void* hit =
        memmem(arena.data() + from, arena.size() - from, needle.data(), needle.size());
    if (hit == nullptr) return;
    const size_t at = static_cast<size_t>(static_cast<const char*>(hit) - arena.data());
    const size_t entry = table.entryAt(at);
    const size_t foldedEnd = table.foldedBegin(entry) + table.folded(entry).size();
    if (at + needle.size() <= foldedEnd && !visit(entry)) return;
    // Onwards from the next entry's words; a damaged table never sends the search back.
    from = std::max(at + 1, entry + 1 < table.size() ? table.foldedBegin(entry + 1) : arena.size());
  }
}

constexpr char32_t kNoCharacter = 0xFFFFFFFF;

// The grams a word holding `needle` must hold: its neighbouring characters, and the word's start
// before its first or end after its last when the needle is anchored there.
template <typename Visit>
void forEachNeedleGram(std::string_view needle, bool atStart, bool atEnd, Visit visit) {
  const auto* bytes = reinterpret_cast<const uint8_t*>(needle.data());
  const auto length = static_cast<int32_t>(needle.size());
  char32_t previous = atStart ? kGramStart : kNoCharacter;
  for (int32_t i = 0; i < length;) {
    UChar32 c;
    U8_NEXT(bytes, i, length, c);
    const char32_t now = c < 0 ? char32_t{0xFFFD} : static_cast<char32_t>(c);
    if (previous != kNoCharacter) visit(gramKey(previous, now));
    previous = now;
  }
  if (atEnd && previous != kNoCharacter) visit(gramKey(previous, kGramEnd));
}

// The shortest posting list among the needle's grams: a superset of the entries that hold it, in
// dictionary order. std::nullopt when the needle has no gram (one character, unanchored), and the
// entries must be scanned.
std::optional<std::span<const uint32_t>> candidatesFor(const HeadWordTable& table,
                                                       std::string_view needle, bool atStart,
                                                       bool atEnd) {
  std::optional<std::span<const uint32_t>> best;
  forEachNeedleGram(needle, atStart, atEnd, [&](uint64_t gram) {
    const std::span<const uint32_t> list = table.postings(gram);
    if (!best || list.size() < best->size()) best = list;
  });
  return best;
}

class WordMatcher final : public HeadWordMatcher {
 public:
  WordMatcher(MatchStrategy strategy, std::string folded)
      : _strategy(strategy), _word(std::move(folded)) {
    // A word with a separator in it can never be one of a head word's words.
    _impossible = _word.find('\0') != std::string::npos ||
                  (isWordwise() && (_word.empty() || containsSeparator(_word)));
  }

  bool matches(std::string_view folded, std::string_view /*stored*/) const override {
    if (_impossible) return false;
    switch (_strategy) {
      case MatchStrategy::kExact:
        return folded == _word;
      case MatchStrategy::kPrefix:
        return folded.starts_with(_word);
      case MatchStrategy::kSubstring:
        return folded.find(_word) != std::string_view::npos;
      case MatchStrategy::kSuffix:
        return folded.ends_with(_word);
      case MatchStrategy::kWord: {
        bool found = false;
        forEachWord(folded, [&](std::string_view word) { return !(found = word == _word); });
        return found;
      }
      case MatchStrategy::kFirst: {
        bool found = false;
        forEachWord(folded, [&](std::string_view word) {
          found = word == _word;
          return false;
        });
        return found;
      }
      case MatchStrategy::kLast: {
        std::string_view last;
        forEachWord(folded, [&](std::string_view word) {
          last = word;
          return true;
        });
        return !last.empty() && last == _word;
      }
      case MatchStrategy::kLev:
        return withinOneEdit(folded, _word);
      case MatchStrategy::kRe:
      case MatchStrategy::kRegexp:
        break;
    }
    return false;
  }

  void forEachMatch(const HeadWordTable& table,
                    const std::function<bool(size_t)>& visit) const override {
    if (_impossible) return;
    switch (_strategy) {
      case MatchStrategy::kExact:
      case MatchStrategy::kPrefix:
        return fromFoldedOrder(table, visit);
      case MatchStrategy::kSubstring:
      case MatchStrategy::kWord:
      case MatchStrategy::kFirst:
      case MatchStrategy::kLast:
      case MatchStrategy::kSuffix: {
        const auto checked = [&](size_t i) { return !matches(table.folded(i), {}) || visit(i); };
        const bool atEnd = _strategy == MatchStrategy::kSuffix;
        if (const auto candidates = candidatesFor(table, _word, false, atEnd)) {
          for (uint32_t i : *candidates) {
            if (!checked(i)) return;
          }
          return;
        }
        if (atEnd) return HeadWordMatcher::forEachMatch(table, visit);
        return forEachContaining(table, _word, checked);
      }
      case MatchStrategy::kLev:
        return withinOneEditOf(table, visit);
      default:
        return HeadWordMatcher::forEachMatch(table, visit);
    }
  }

 private:
  bool isWordwise() const {
    return _strategy == MatchStrategy::kWord || _strategy == MatchStrategy::kFirst ||
           _strategy == MatchStrategy::kLast;
  }

  // The entries whose folded word begins with `prefix`: a range of the folded order.
  template <typename Each>
  static void forEachWithPrefix(const HeadWordTable& table, std::string_view prefix, Each each) {
    const std::span<const uint32_t> order = table.foldedOrder();
    auto it = std::partition_point(order.begin(), order.end(),
                                   [&](uint32_t i) { return table.folded(i) < prefix; });
    for (; it != order.end() && table.folded(*it).starts_with(prefix); ++it) each(*it);
  }

  static void visitInOrder(std::vector<size_t>& found, const std::function<bool(size_t)>& visit) {
    std::sort(found.begin(), found.end());
    found.erase(std::unique(found.begin(), found.end()), found.end());
    for (size_t i : found) {
      if (!visit(i)) return;
    }
  }

  // Exact and prefix matches are a range of the folded order, then put back in dictionary order.
  void fromFoldedOrder(const HeadWordTable& table, const std::function<bool(size_t)>& visit) const {
    std::vector<size_t> found;
    forEachWithPrefix(table, _word, [&](uint32_t i) {
      if (matches(table.folded(i), {})) found.push_back(i);
    });
    visitInOrder(found, visit);
  }

  // A word one edit from the word leaves one of its halves whole: it begins with the first half
  // (the edit fell in the second) or ends with the second (the edit fell in the first). So the
  // candidates are a range of the folded order and a posting list, not the whole table.
  void withinOneEditOf(const HeadWordTable& table, const std::function<bool(size_t)>& visit) const {
    const size_t length = codePoints(_word);
    if (length < 2) return HeadWordMatcher::forEachMatch(table, visit);
    size_t split = 0;  // where character length / 2 begins
    for (size_t seen = 0; split < _word.size(); ++split) {
      if (!isTrailByte(_word[split]) && seen++ == length / 2) break;
    }
    const std::string_view head = std::string_view(_word).substr(0, split);
    const std::string_view tail = std::string_view(_word).substr(split);
    std::vector<size_t> found;
    const auto keep = [&](uint32_t i) {
      if (withinOneEdit(table.folded(i), _word)) found.push_back(i);
    };
    forEachWithPrefix(table, head, keep);
    if (const auto candidates = candidatesFor(table, tail, false, true)) {
      for (uint32_t i : *candidates) keep(i);
    }
    visitInOrder(found, visit);
  }

  MatchStrategy _strategy;
  std::string _word;
  bool _impossible = false;
};

class PatternMatcher final : public HeadWordMatcher {
 public:
  explicit PatternMatcher(std::unique_ptr<RE2> pattern) : _pattern(std::move(pattern)) {}

  bool matches(std::string_view folded, std::string_view stored) const override {
    return RE2::PartialMatch(folded, *_pattern) ||
           (stored.data() != folded.data() && !stored.empty() &&
            RE2::PartialMatch(stored, *_pattern));
  }

 private:
  std::unique_ptr<RE2> _pattern;
};

std::unique_ptr<RE2> compilePattern(const std::string& pattern, std::string* error) {
  RE2::Options options;
  options.set_posix_syntax(true);
  options.set_perl_classes(true);
  options.set_word_boundary(true);
  options.set_one_line(true);
  options.set_case_sensitive(false);
  options.set_log_errors(false);
  options.set_max_mem(kPatternMemory);
  auto compiled = std::make_unique<RE2>(pattern, options);
  if (!compiled->ok()) {
    *error = "invalid regular expression: " + compiled->error();
    return nullptr;
  }
  return compiled;
}

// Copies a bracket expression starting at pattern[i] == '[' to *out with its backslashes made
// literal; the index after its ']', or npos when it is not closed.
size_t copyBracket(std::string_view pattern, size_t i, std::string* out) {
  size_t j = i + 1;
  if (j < pattern.size() && pattern[j] == '^') ++j;
  if (j < pattern.size() && pattern[j] == ']') ++j;  // a leading ']' is a member
  while (j < pattern.size() && pattern[j] != ']') {
    if (pattern[j] == '[' && j + 1 < pattern.size() &&
        std::strchr(":.=", pattern[j + 1]) != nullptr && pattern[j + 1] != '\0') {
      const char kind = pattern[j + 1];
      const size_t close = pattern.find(std::string{kind, ']'}, j + 2);
      if (close == std::string_view::npos) return std::string_view::npos;
      j = close + 2;
    } else {
      ++j;
    }
  }
  if (j >= pattern.size()) return std::string_view::npos;
  for (size_t k = i; k <= j; ++k) {
    if (pattern[k] == '\\') out->push_back('\\');
    out->push_back(pattern[k]);
  }
  return j + 1;
}

}  // namespace

std::span<const MatchStrategyInfo> matchStrategies() { return kStrategies; }

std::optional<MatchStrategy> matchStrategyNamed(std::string_view name) {
  for (const MatchStrategyInfo& info : kStrategies) {
    if (info.name == name) return info.strategy;
  }
  return std::nullopt;
}

std::optional<std::string> basicToExtendedPattern(std::string_view pattern, std::string* error) {
  std::string out;
  out.reserve(pattern.size() * 2);
  bool atStart = true;  // where '*' is literal and '^' anchors
  size_t i = 0;
  while (i < pattern.size()) {
    const char c = pattern[i];
    if (c == '\\') {
      if (i + 1 == pattern.size()) {
        *error = "invalid regular expression: trailing backslash";
        return std::nullopt;
      }
      const char d = pattern[i + 1];
      i += 2;
      if (d >= '1' && d <= '9') {
        *error = "invalid regular expression: back-references are not supported";
        return std::nullopt;
      }
      if (d == '(' || d == '|') {
        out.push_back(d);
        atStart = true;
        continue;
      }
      if (std::strchr("){}+?", d) != nullptr && d != '\0') {
        out.push_back(d);
      } else if (d == '<' || d == '>') {
        out += "\\b";
      } else {
        out.push_back('\\');
        out.push_back(d);
      }
      atStart = false;
      continue;
    }
    if (c == '[') {
      const size_t next = copyBracket(pattern, i, &out);
      if (next == std::string_view::npos) {
        *error = "invalid regular expression: unclosed [";
        return std::nullopt;
      }
      i = next;
      atStart = false;
      continue;
    }
    ++i;
    if (c == '^') {
      if (atStart) {
        out.push_back('^');
        continue;  // a '*' right after the anchor is still literal
      }
      out += "\\^";
    } else if (c == '$') {
      const std::string_view rest = pattern.substr(i);
      const bool atEnd = rest.empty() || rest.starts_with("\\)") || rest.starts_with("\\|");
      out += atEnd ? "$" : "\\$";
    } else if (c == '*' && atStart) {
      out += "\\*";
    } else if (std::strchr("+?|(){}", c) != nullptr && c != '\0') {
      out.push_back('\\');
      out.push_back(c);
    } else {
      out.push_back(c);
    }
    atStart = false;
  }
  return out;
}

void HeadWordMatcher::forEachMatch(const HeadWordTable& table,
                                   const std::function<bool(size_t)>& visit) const {
  for (size_t i = 0; i < table.size(); ++i) {
    if (matches(table.folded(i), table.stored(i)) && !visit(i)) return;
  }
}

std::unique_ptr<HeadWordMatcher> HeadWordMatcher::create(MatchStrategy strategy, UStringView word,
                                                         std::string* error) {
  if (strategy != MatchStrategy::kRe && strategy != MatchStrategy::kRegexp) {
    return std::make_unique<WordMatcher>(strategy, foldText(word));
  }
  std::string pattern = toUtf8(word);
  if (strategy == MatchStrategy::kRegexp) {
    std::optional<std::string> extended = basicToExtendedPattern(pattern, error);
    if (!extended) return nullptr;
    pattern = std::move(*extended);
  }
  std::unique_ptr<RE2> compiled = compilePattern(pattern, error);
  if (!compiled) return nullptr;
  return std::make_unique<PatternMatcher>(std::move(compiled));
}

std::unique_ptr<HeadWordMatcher> HeadWordMatcher::create(std::string_view strategy,
                                                         UStringView word, std::string* error) {
  const std::optional<MatchStrategy> known = matchStrategyNamed(strategy);
  if (!known) {
    *error = "unknown strategy: " + std::string(strategy);
    return nullptr;
  }
  return create(*known, word, error);
}

namespace {

// The matching entries of each dictionary, at most `limit` in all; a head word counts once when
// `distinct`. False, with the reason in *error, when the strategy or pattern cannot be used.
template <typename Take>
bool forEachDictionary(const LexorList& dics, std::string_view strategy, UStringView word,
                       size_t limit, bool distinct, std::string* error, Take take) {
  const std::unique_ptr<HeadWordMatcher> matcher = HeadWordMatcher::create(strategy, word, error);
  if (!matcher) return false;
  size_t taken = 0;
  for (size_t d = 0; d < dics.size(); ++d) {
    if (!dics[d] || taken >= limit) continue;
    const std::shared_ptr<const HeadWordTable> table = HeadWordTable::of(*dics[d]);
    std::unordered_set<std::string_view> seen;
    std::vector<size_t> entries;
    matcher->forEachMatch(*table, [&](size_t i) {
      if (distinct && !seen.insert(table->stored(i)).second) return true;
      entries.push_back(i);
      return ++taken < limit;
    });
    take(d, *dics[d], *table, entries);
  }
  return true;
}

}  // namespace

std::optional<std::vector<std::vector<UString>>> matchHeadWords(const LexorList& dics,
                                                                std::string_view strategy,
                                                                UStringView word, size_t limit,
                                                                std::string* error) {
  std::vector<std::vector<UString>> found(dics.size());
  if (!forEachDictionary(
          dics, strategy, word, limit, true, error,
          [&](size_t d, Lexor&, const HeadWordTable& table, const std::vector<size_t>& entries) {
            for (size_t i : entries) found[d].push_back(fromUtf8(table.stored(i)));
          }))
    return std::nullopt;
  return found;
}

std::optional<std::vector<std::vector<Record>>> matchEntries(const LexorList& dics,
                                                             std::string_view strategy,
                                                             UStringView word, size_t limit,
                                                             std::string* error) {
  std::vector<std::vector<Record>> found(dics.size());
  if (!forEachDictionary(dics, strategy, word, limit, false, error,
                         [&](size_t d, Lexor& dic, const HeadWordTable& table,
                             const std::vector<size_t>& entries) {
                           found[d] = recordsOfEntries(dic, table, entries);
                         }))
    return std::nullopt;
  return found;
}

std::vector<UString> suggestHeadWords(const LexorList& dics, UStringView word, size_t limit) {
  std::vector<UString> suggestions;
  auto gather = [&](std::string_view strategy, UStringView query) {
    // Each dictionary gives at most `limit`, so that the words left after dropping repeats still
    // fill the list.
    std::string error;  // never set: both strategies are known and take any word
    for (const std::shared_ptr<Lexor>& dic : dics) {
      std::optional<std::vector<std::vector<UString>>> matches =
          matchHeadWords({dic}, strategy, query, limit, &error);
      if (!matches) continue;
      for (UString& found : matches->front()) {
        if (suggestions.size() < limit &&
            std::find(suggestions.begin(), suggestions.end(), found) == suggestions.end())
          suggestions.push_back(std::move(found));
      }
    }
  };
  gather("lev", word);
  if (suggestions.empty() && !word.empty()) {
    size_t cut = word.size() - 1;
    if (cut > 0 && word[cut] >= 0xDC00 && word[cut] < 0xE000 && word[cut - 1] >= 0xD800 &&
        word[cut - 1] < 0xDC00)
      --cut;  // the whole last character
    if (cut > 0) gather("prefix", word.substr(0, cut));
  }
  return suggestions;
}

std::vector<Record> recordsOfEntries(Lexor& dic, const HeadWordTable& table,
                                     std::span<const size_t> entries) {
  std::vector<Record> records;
  records.reserve(entries.size());
  const DictionaryTexts texts = DictionaryTexts::of(dic.isBOCU(), dic.getDicSignature());
  EntryLayout layout;
  layout.bocu = dic.isBOCU();
  std::vector<uint8_t> block;
  std::optional<uint32_t> loaded;
  uint8_t word[kHeadWordBufferSize] = {};
  size_t wordLength = 0;
  size_t position = 0;
  for (size_t i : entries) {
    const EntryLocation where = table.location(i);
    // Head words are stored as differences from the one before, so the block is read from its
    // first entry (or from the last entry read, when it lies before this one).
    if (loaded != where.indexEntry || position > where.offset) {
      loaded.reset();
      if (!dic.loadDatablock(static_cast<int32_t>(where.indexEntry), block)) continue;
      loaded = where.indexEntry;
      layout.fieldWidth = fieldWidthOfBlock(block);
      position = kBlockEntriesOffset;
      wordLength = 0;
    }
    const size_t limit = usableBlockSize(block);
    for (;;) {
      EntryHead head;
      if (readEntryHead(block.data(), limit, position, layout, &head) != EntryStatus::kEntry ||
          !decompressHeadWord(block.data() + head.tail, head.tailLength, head.prefixCount, word,
                              &wordLength)) {
        loaded.reset();  // the block changed since the table was built
        break;
      }
      if (position == where.offset) {
        const EntryBody body =
            readEntryBody(block.data() + head.body, head.end - head.body,
                          (head.attribute & kExtendedEntryFlag) != 0, layout.fieldWidth);
        records.push_back(decodeRecord(texts, word, wordLength, head.attribute, body));
        position = head.end;
        break;
      }
      if (head.end > where.offset && position < where.offset) {
        loaded.reset();
        break;
      }
      position = head.end;
    }
  }
  return records;
}

}  // namespace lexor
