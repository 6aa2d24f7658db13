// The ways of matching head words beyond the plug-in's prefix walk, over each dictionary's
// head-word table: equality, prefix, substring and suffix of the folded word, its words split at
// white space and punctuation, two regular-expression syntaxes and edit distance one.
//
// A match set is, for each dictionary of the list in turn, its distinct head words as stored, in
// dictionary order. Matching reads the dictionaries' tables only; it moves no query cursor.
#pragma once

#include <cstddef>
#include <functional>
#include <limits>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/lexor_recordset.h"
#include "core/record.h"
#include "search/head_word_table.h"

namespace lexor {

enum class MatchStrategy {
  kExact,
  kPrefix,
  kSubstring,
  kSuffix,
  kWord,
  kFirst,
  kLast,
  kRe,
  kRegexp,
  kLev
};

struct MatchStrategyInfo {
  MatchStrategy strategy;
  std::string_view name;
  std::string_view description;  // one line
};

// The ten strategies, in the order they are listed.
std::span<const MatchStrategyInfo> matchStrategies();
std::optional<MatchStrategy> matchStrategyNamed(std::string_view name);

inline constexpr size_t kNoMatchLimit = std::numeric_limits<size_t>::max();

// A word made ready for one strategy: folded for the word strategies, compiled for the pattern
// strategies (which keep the pattern as given and match case-insensitively, both the folded and
// the stored head word, so that "ß" finds "Straße").
class HeadWordMatcher {
 public:
  // nullptr, with the reason in *error, for an unknown strategy or an invalid pattern.
  static std::unique_ptr<HeadWordMatcher> create(std::string_view strategy, UStringView word,
                                                 std::string* error);
  static std::unique_ptr<HeadWordMatcher> create(MatchStrategy strategy, UStringView word,
                                                 std::string* error);
  virtual ~HeadWordMatcher() = default;

  // Whether one head word matches, given folded and as stored (both UTF-8).
  virtual bool matches(std::string_view folded, std::string_view stored) const = 0;
  // Calls visit with every matching entry of the table, in dictionary order, until it answers
  // false. Faster than asking matches() of each entry.
  virtual void forEachMatch(const HeadWordTable& table,
                            const std::function<bool(size_t)>& visit) const;

 protected:
  HeadWordMatcher() = default;
};

// Basic regular-expression syntax rewritten in the extended syntax that the engine reads: \( \)
// \{ \} group and count, a bare + ? | ( ) { } is literal, ^ and $ anchor only at the ends (of the
// pattern or a group), a leading * is literal, and a backslash inside brackets is itself.
// std::nullopt, with the reason in *error, for a back-reference or an unclosed bracket.
std::optional<std::string> basicToExtendedPattern(std::string_view pattern, std::string* error);

// Head words of the matching entries, per dictionary of the list (an empty list for a dictionary
// that is missing), at most `limit` words in all. std::nullopt, with the reason in *error, for an
// unknown strategy or an invalid pattern.
std::optional<std::vector<std::vector<UString>>> matchHeadWords(const LexorList& dics,
                                                                std::string_view strategy,
                                                                UStringView word, size_t limit,
                                                                std::string* error);

// The records of every entry whose head word matches, per dictionary, at most `limit` in all;
// std::nullopt, with the reason in *error, as for matchHeadWords.
std::optional<std::vector<std::vector<Record>>> matchEntries(const LexorList& dics,
                                                             std::string_view strategy,
                                                             UStringView word, size_t limit,
                                                             std::string* error);

// Near head words for a word that found nothing: those one edit away (lev), else those that
// begin with the word less its last character; at most `limit`, each once, in dictionary order.
std::vector<UString> suggestHeadWords(const LexorList& dics, UStringView word, size_t limit);

// The records of the given table entries (ascending, as forEachMatch gives them), read from the
// dictionary's blocks; an entry whose block no longer reads is left out.
std::vector<Record> recordsOfEntries(Lexor& dic, const HeadWordTable& table,
                                     std::span<const size_t> entries);

}  // namespace lexor
