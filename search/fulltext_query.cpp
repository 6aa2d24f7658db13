#include "search/fulltext_query.h"

#include <unicode/utf16.h>

#include <algorithm>

#include "search/fulltext_text.h"

namespace lexor::search {
namespace {

using Range = std::pair<uint32_t, uint32_t>;

bool isSpace(char16_t c) {
  return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r' || c == u'\f' || c == u'\v' ||
         c == 0x3000 || c == 0x00A0;
}

UStringView trimmed(UStringView text) {
  while (!text.empty() && isSpace(text.front())) text.remove_prefix(1);
  while (!text.empty() && isSpace(text.back())) text.remove_suffix(1);
  return text;
}

void addTerm(UStringView text, bool prefix, FulltextQuery* query) {
  const UString folded = foldText(text);
  QueryTerm term;
  term.prefix = prefix;
  for (const auto& [first, end] : wordsOf(folded))
    term.words.push_back(folded.substr(first, end - first));
  if (!term.words.empty()) query->terms.push_back(std::move(term));
}

// Whether the term's words stand in a row from word k on.
bool termAt(UStringView folded, const std::vector<Range>& words, size_t k, const QueryTerm& term) {
  const size_t n = term.words.size();
  if (k + n > words.size()) return false;
  for (size_t i = 0; i < n; ++i) {
    const UStringView word =
        folded.substr(words[k + i].first, words[k + i].second - words[k + i].first);
    const bool last = i + 1 == n;
    if (last && term.prefix ? !word.starts_with(term.words[i]) : word != term.words[i])
      return false;
  }
  return true;
}

std::vector<Range> merged(std::vector<Range> ranges) {
  std::sort(ranges.begin(), ranges.end());
  std::vector<Range> out;
  for (const Range& range : ranges) {
    if (!out.empty() && range.first <= out.back().second) {
      out.back().second = std::max(out.back().second, range.second);
    } else {
      out.push_back(range);
    }
  }
  return out;
}

}  // namespace

std::optional<FulltextQuery> parseQuery(UStringView query, std::string* error) {
  FulltextQuery parsed;
  if (std::count(query.begin(), query.end(), u'"') % 2 != 0) {
    *error = "unclosed quote in the query";
    return std::nullopt;
  }
  if (holdsCjk(query)) {
    UStringView text = trimmed(query);
    if (text.size() >= 2 && text.front() == u'"' && text.back() == u'"') {
      text = trimmed(text.substr(1, text.size() - 2));
    }
    parsed.substring = true;
    parsed.text = foldText(text);
    if (parsed.text.size() > kMaxSubstringUnits) {
      *error =
          "the query is too long (at most " + std::to_string(kMaxSubstringUnits) + " characters)";
      return std::nullopt;
    }
    return parsed;
  }
  size_t i = 0;
  while (i < query.size()) {
    if (isSpace(query[i])) {
      ++i;
    } else if (query[i] == u'"') {
      const size_t close = query.find(u'"', i + 1);  // present: the quotes are paired
      const UStringView phrase = query.substr(i + 1, close - i - 1);
      i = close + 1;
      const bool prefix = i < query.size() && query[i] == u'*';
      while (i < query.size() && query[i] == u'*') ++i;
      addTerm(phrase, prefix, &parsed);
    } else {
      size_t end = i;
      while (end < query.size() && !isSpace(query[end]) && query[end] != u'"') ++end;
      UStringView word = query.substr(i, end - i);
      const bool prefix = word.ends_with(u'*');
      while (word.ends_with(u'*')) word.remove_suffix(1);
      addTerm(word, prefix, &parsed);
      i = end;
    }
  }
  // Repeating a term changes nothing; past that, the work of a query grows with its terms.
  std::vector<QueryTerm> distinct;
  size_t words = 0;
  for (QueryTerm& term : parsed.terms) {
    if (std::find(distinct.begin(), distinct.end(), term) != distinct.end()) continue;
    words += term.words.size();
    distinct.push_back(std::move(term));
  }
  parsed.terms = std::move(distinct);
  if (parsed.terms.size() > kMaxTerms || words > kMaxWords) {
    *error = "the query has too many words (at most " + std::to_string(kMaxWords) +
             ", in at most " + std::to_string(kMaxTerms) + " terms)";
    return std::nullopt;
  }
  return parsed;
}

std::string indexExpression(const FulltextQuery& query) {
  std::string expression;
  if (query.substring) return expression;
  for (const QueryTerm& term : query.terms) {
    if (!expression.empty()) expression += " AND ";
    expression += '"';
    for (size_t i = 0; i < term.words.size(); ++i) {
      if (i > 0) expression += ' ';
      expression += toUtf8(term.words[i]);  // words hold no quote: it is no word character
    }
    expression += '"';
    if (term.prefix) expression += " *";
  }
  return expression;
}

UString longestCjkRun(UStringView folded) {
  UStringView best;
  size_t i = 0;
  while (i < folded.size()) {
    const size_t first = i;
    char32_t c = 0;
    U16_NEXT(folded.data(), i, folded.size(), c);
    if (!isCjk(c)) continue;
    size_t end = i;
    while (end < folded.size()) {
      size_t after = end;
      U16_NEXT(folded.data(), after, folded.size(), c);
      if (!isCjk(c)) break;
      end = after;
    }
    if (end - first > best.size()) best = folded.substr(first, end - first);
    i = end;
  }
  return UString(best);
}

std::vector<Range> hitsIn(UStringView folded, const FulltextQuery& query) {
  std::vector<Range> hits;
  if (query.empty()) return hits;
  if (query.substring) {
    for (size_t at = folded.find(query.text); at != UStringView::npos;
         at = folded.find(query.text, at + 1)) {
      hits.emplace_back(static_cast<uint32_t>(at), static_cast<uint32_t>(at + query.text.size()));
    }
    return merged(std::move(hits));
  }
  const std::vector<Range> words = wordsOf(folded);
  for (const QueryTerm& term : query.terms) {
    for (size_t k = 0; k < words.size(); ++k) {
      if (!termAt(folded, words, k, term)) continue;
      for (size_t i = 0; i < term.words.size(); ++i) hits.push_back(words[k + i]);
    }
  }
  return merged(std::move(hits));
}

bool matchesText(UStringView folded, const FulltextQuery& query) {
  if (query.empty()) return false;
  if (query.substring) return folded.find(query.text) != UStringView::npos;
  const std::vector<Range> words = wordsOf(folded);
  return std::all_of(query.terms.begin(), query.terms.end(), [&](const QueryTerm& term) {
    for (size_t k = 0; k < words.size(); ++k) {
      if (termAt(folded, words, k, term)) return true;
    }
    return false;
  });
}

UString markHits(UStringView markup, const FulltextQuery& query) {
  SourceSpans plainSpans;
  SourceSpans foldSpans;
  const UString plain = plainText(markup, &plainSpans);
  const UString folded = foldText(plain, &foldSpans);
  const std::vector<Range> hits = hitsIn(folded, query);
  if (hits.empty()) return UString(markup);

  // Each hit as markup ranges, cut where a tag lies inside it (a tag is the one plain unit that
  // stands for more than one markup unit beginning with "<").
  std::vector<Range> marks;
  for (const auto& [first, end] : hits) {
    const uint32_t plainFirst = foldSpans[first].first;
    const uint32_t plainEnd = foldSpans[end - 1].second;
    constexpr uint32_t kClosed = UINT32_MAX;
    uint32_t open = kClosed;
    for (uint32_t p = plainFirst; p < plainEnd; ++p) {
      const auto& [from, to] = plainSpans[p];
      const bool tag = to - from > 1 && markup[from] == u'<';
      if (tag && open != kClosed) {
        marks.emplace_back(open, from);
        open = kClosed;
      } else if (!tag && open == kClosed) {
        open = from;
      }
    }
    if (open != kClosed) marks.emplace_back(open, plainSpans[plainEnd - 1].second);
  }
  marks = merged(std::move(marks));

  UString out;
  out.reserve(markup.size() + marks.size() * 13);
  uint32_t at = 0;
  for (const auto& [from, to] : marks) {
    out.append(markup.substr(at, from - at));
    out += u"<mark>";
    out.append(markup.substr(from, to - from));
    out += u"</mark>";
    at = to;
  }
  out.append(markup.substr(at));
  return out;
}

}  // namespace lexor::search
