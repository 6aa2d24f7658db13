#include "hosts/dict/engine_matcher.h"

#include "search/japanese/deinflector.h"
#include "search/match_strategies.h"

namespace lexor::dict {
namespace {

// Beside the engine's ten: the dictionary forms of a conjugated Japanese word, best first.
constexpr std::string_view kDeinflect = "deinflect";
constexpr std::string_view kDeinflectDescription = "Dictionary forms of a conjugated Japanese word";

class EngineMatcher : public WordMatcher {
 public:
  explicit EngineMatcher(const DictLibrary& library) {
    for (const DictDatabase& db : library.databases()) _lists.push_back(LexorList{db.dic});
    for (const MatchStrategyInfo& info : matchStrategies()) {
      _strategies.push_back(StrategyInfo{std::string(info.name), std::string(info.description)});
    }
    _strategies.push_back(
        StrategyInfo{std::string(kDeinflect), std::string(kDeinflectDescription)});
  }

  const std::vector<StrategyInfo>& strategies() const override { return _strategies; }

  bool match(size_t database, std::string_view strategy, const UString& word, size_t limit,
             std::vector<UString>* headWords, std::string* error) override {
    if (strategy == kDeinflect) {
      for (Deinflection& found : deinflect(_lists.at(database), word)) {
        if (headWords->size() >= limit) break;
        headWords->push_back(std::move(found.word));
      }
      return true;
    }
    std::optional<std::vector<std::vector<UString>>> found =
        matchHeadWords(_lists.at(database), strategy, word, limit, error);
    if (!found) return false;
    if (!found->empty()) *headWords = std::move(found->front());
    return true;
  }

  std::vector<Record> definitions(size_t database, const UString& word, size_t limit) override {
    std::string error;
    std::optional<std::vector<std::vector<Record>>> found =
        matchEntries(_lists.at(database), "exact", word, limit, &error);
    if (!found || found->empty()) return {};
    return std::move(found->front());
  }

 private:
  std::vector<LexorList> _lists;  // each database alone, as the engine takes dictionaries
  std::vector<StrategyInfo> _strategies;
};

}  // namespace

std::unique_ptr<WordMatcher> makeEngineMatcher(const DictLibrary& library) {
  return std::make_unique<EngineMatcher>(library);
}

}  // namespace lexor::dict
