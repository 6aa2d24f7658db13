// The operations themselves: argument conversion is done by the dispatcher before a call runs, so
// each call may read its arguments as the kinds the table gives.
#include "plugin/script_operations.h"

#include <algorithm>
#include <limits>

#include "plugin/lexor_peek.h"
#include "search/japanese/deinflector.h"
#include "search/japanese/romaji.h"
#include "search/match_strategies.h"

namespace lexor {
namespace {

ScriptValue none() { return ScriptValue(ScriptNull{}); }

ScriptValue stringList(const std::vector<UString>& strings) {
  ScriptList list(strings.begin(), strings.end());
  return ScriptValue(std::move(list));
}

template <typename T>
ScriptValue orNone(std::optional<T> value) {
  return value ? ScriptValue(std::move(*value)) : none();
}

constexpr int32_t kMaxMatchLimit = 10'000;

// The head words that match on the current choice (the side the word chooses in suite mode),
// at most `limit`; the query and its cursor stay as they are.
std::optional<ScriptValue> matchWords(LexorPeek& peek, const std::vector<ScriptValue>& args,
                                      std::string* error) {
  const int32_t limit = args[2].asInt();
  if (limit < 1 || limit > kMaxMatchLimit) {
    *error = "matchWords: the limit must be from 1 to " + std::to_string(kMaxMatchLimit);
    return std::nullopt;
  }
  const std::string strategy = toUtf8(args[0].asString());
  const UString& word = args[1].asString();
  std::optional<std::vector<std::vector<UString>>> found = matchHeadWords(
      peek.matchDictionaries(word), strategy, word, static_cast<size_t>(limit), error);
  if (!found) {
    *error = "matchWords: " + *error;
    return std::nullopt;
  }
  ScriptList words;
  for (std::vector<UString>& list : *found) {
    for (UString& headWord : list) words.emplace_back(std::move(headWord));
  }
  return ScriptValue(std::move(words));
}

ScriptValue strategyList() {
  ScriptList list;
  for (const MatchStrategyInfo& info : matchStrategies()) {
    list.emplace_back(
        ScriptList{ScriptValue(fromUtf8(info.name)), ScriptValue(fromUtf8(info.description))});
  }
  return ScriptValue(std::move(list));
}

// Full-text search of the current choice: the matches' HTML fragments, hits in <mark>. While an
// index is missing the answer is the error "index building" (the call starts its build), which
// the page meets with "searchProgress" and a later call.
std::optional<ScriptValue> searchText(LexorPeek& peek, const std::vector<ScriptValue>& args,
                                      std::string* error) {
  std::optional<LexorPeek::TextSearchAnswer> answer =
      peek._searchText(args[0].asString(), args[1].asInt(), error);
  if (!answer) {
    *error = "searchText: " + *error;
    return std::nullopt;
  }
  if (answer->building) {
    *error = "index building";
    return std::nullopt;
  }
  return stringList(answer->fragments);
}

ScriptValue searchProgress(LexorPeek& peek) {
  const std::optional<std::pair<uint64_t, uint64_t>> progress = peek._searchProgress();
  if (!progress) return none();
  const auto count = [](uint64_t n) {
    return ScriptValue(
        static_cast<int32_t>(std::min<uint64_t>(n, std::numeric_limits<int32_t>::max())));
  };
  return ScriptValue(ScriptList{count(progress->first), count(progress->second)});
}

// The dictionary forms of a Japanese word on the current choice (the side the word chooses in
// suite mode), best first, each with the names of the rules that lead to it.
ScriptValue deinflectWord(LexorPeek& peek, const UString& word) {
  ScriptList list;
  for (const Deinflection& found : deinflect(peek.matchDictionaries(word), word)) {
    ScriptList rules;
    for (InflectionName name : found.rules) rules.emplace_back(fromUtf8(inflectionName(name)));
    list.emplace_back(
        ScriptMembers{{"word", "rules"}, {ScriptValue(found.word), ScriptValue(std::move(rules))}});
  }
  return ScriptValue(std::move(list));
}

}  // namespace

// Script names drop the leading underscore and any colon, except that _removeDics is known to
// the page as "removeDictionaries".
const std::vector<ScriptOperation>& scriptOperations() {
  using A = ArgumentKind;
  // The error slot of every call; only matchWords and searchText fill it.
  using E = std::string*;
  // One line per operation reads as the table it is.
  // clang-format off
  static const std::vector<ScriptOperation> kOperations = {
      {"_addDictionary:", "addDictionary", {A::kString},
       [](LexorPeek& p, const auto& a, E) { p._addDictionary(a[0].asString()); return none(); }},
      {"_removeDics", "removeDictionaries", {}, [](LexorPeek& p, const auto&, E) { p._removeDics(); return none(); }},
      {"_consult:", "consult", {A::kString},
       [](LexorPeek& p, const auto& a, E) {
         std::optional<std::vector<UString>> html = p._consult(a[0].asString());
         return html ? stringList(*html) : none();
       },
       [](LexorPeek& p, const auto& a, size_t maxBytes) -> std::optional<ScriptValue> {
         bool tooLarge = false;
         std::optional<std::vector<UString>> html = p._consult(a[0].asString(), maxBytes, &tooLarge);
         if (tooLarge) return std::nullopt;
         return html ? stringList(*html) : none();
       }},
      {"_queryWithWord:", "queryWithWord", {A::kString},
       [](LexorPeek& p, const auto& a, E) { return ScriptValue(p._queryWithWord(a[0].asString())); }},
      {"_moveNext", "moveNext", {}, [](LexorPeek& p, const auto&, E) { return ScriptValue(p._moveNext()); }},
      {"_isEOF", "isEOF", {}, [](LexorPeek& p, const auto&, E) { return ScriptValue(p._isEOF()); }},
      {"_getRecord", "getRecord", {}, [](LexorPeek& p, const auto&, E) { return orNone(p._getRecord()); }},
      {"_getRecordAsText", "getRecordAsText", {}, [](LexorPeek& p, const auto&, E) { return orNone(p._getRecordAsText()); }},
      {"_getRecordAsHTML", "getRecordAsHTML", {}, [](LexorPeek& p, const auto&, E) { return orNone(p._getRecordAsHTML()); }},
      {"_getDicDir", "getDicDir", {}, [](LexorPeek& p, const auto&, E) { return orNone(p._getDicDir()); }},
      {"_dicCount", "dicCount", {}, [](LexorPeek& p, const auto&, E) { return ScriptValue(p._dicCount()); }},
      {"_dicPathsInDir", "dicPathsInDir", {}, [](LexorPeek& p, const auto&, E) { return stringList(p._dicPathsInDir()); }},
      {"_dicNamesInDir", "dicNamesInDir", {}, [](LexorPeek& p, const auto&, E) { return stringList(p._dicNamesInDir()); }},
      {"_useNthDic:", "useNthDic", {A::kInteger},
       [](LexorPeek& p, const auto& a, E) { p._useNthDic(a[0].asInt()); return none(); }},
      {"_useAmbora", "useAmbora", {}, [](LexorPeek& p, const auto&, E) { p._useAmbora(); return none(); }},
      {"_isAmboraAvailable", "isAmboraAvailable", {},
       [](LexorPeek& p, const auto&, E) { return ScriptValue(p._isAmboraAvailable()); }},
      {"", "matchWords", {A::kString, A::kString, A::kInteger}, matchWords},
      {"", "matchStrategies", {}, [](LexorPeek&, const auto&, E) { return strategyList(); }},
      {"", "searchText", {A::kString, A::kInteger}, searchText},
      {"", "searchProgress", {}, [](LexorPeek& p, const auto&, E) { return searchProgress(p); }},
      {"", "deinflect", {A::kString}, [](LexorPeek& p, const auto& a, E) { return deinflectWord(p, a[0].asString()); }},
      {"", "toKana", {A::kString}, [](LexorPeek&, const auto& a, E) { return ScriptValue(romajiToKana(a[0].asString())); }},
  };
  // clang-format on
  return kOperations;
}

const ScriptOperation* findOperationBySelector(std::string_view selector) {
  if (selector.empty()) return nullptr;  // the additions' empty selector is no selector
  for (const ScriptOperation& op : scriptOperations()) {
    if (op.selector == selector) return &op;
  }
  return nullptr;
}

const ScriptOperation* findOperationByName(std::string_view name) {
  for (const ScriptOperation& op : scriptOperations()) {
    if (op.name == name) return &op;
  }
  return nullptr;
}

}  // namespace lexor
