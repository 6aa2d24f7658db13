// What a full-text query means, apart from any index: its terms, whether an entry's text matches
// it, where its hits lie, and the expression that asks the index for it.
//
// Query grammar (whitespace separates terms):
//   word       every word of it, in a row, as whole words ("well-known" is "well" "known")
//   word*      the same, the last word as a prefix
//   "a b c"    the words in a row; a "*" right after the closing quote makes the last a prefix
// Nothing else is syntax: "-", ":", "+", "(" are ordinary characters. An unclosed quote is the
// only syntax error; a query past the bounds below is refused too. A query holding any kana, kanji
// or hanzi is instead one substring of the text, spaces included (outer quotes dropped).
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/ustring.h"

namespace lexor::search {

// Bounds on the work one query may ask for: repeated terms are dropped, and beyond these a query
// is refused rather than left to run for seconds on a large dictionary.
inline constexpr size_t kMaxTerms = 32;
inline constexpr size_t kMaxWords = 64;
inline constexpr size_t kMaxSubstringUnits = 256;

struct QueryTerm {
  std::vector<UString> words;  // folded, in a row
  bool prefix = false;         // the last word is a prefix
  bool operator==(const QueryTerm&) const = default;
};

struct FulltextQuery {
  bool substring = false;        // a kana, kanji or hanzi query
  UString text;                  // the folded substring
  std::vector<QueryTerm> terms;  // the words of any other query; all must match
  // A query that can match nothing (no word in it).
  bool empty() const { return substring ? text.empty() : terms.empty(); }
};

// std::nullopt, with the reason in *error, for an unclosed quote.
std::optional<FulltextQuery> parseQuery(UStringView query, std::string* error);

// The index expression for a word query: each term a quoted phrase, all of them required. Empty
// for a substring query.
std::string indexExpression(const FulltextQuery& query);

// The longest run of kana, kanji and hanzi in a substring query: what the index narrows by.
UString longestCjkRun(UStringView folded);

// Where the query's hits lie in a folded text, as sorted disjoint unit ranges: each whole word of
// a matching word or phrase term, each occurrence of a substring.
std::vector<std::pair<uint32_t, uint32_t>> hitsIn(UStringView folded, const FulltextQuery& query);

// Whether a folded text matches: every term somewhere, or the substring.
bool matchesText(UStringView folded, const FulltextQuery& query);

// The entry's markup with each hit wrapped in <mark>; a hit never straddles a tag.
UString markHits(UStringView markup, const FulltextQuery& query);

}  // namespace lexor::search
