// What the DICT host asks of a strategy engine: the strategies it knows, the head words of one
// database that a word matches under one of them, and the entries a word defines.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "core/record.h"
#include "platform/ustring.h"

namespace lexor::dict {

struct StrategyInfo {
  std::string name;
  std::string description;
};

class WordMatcher {
 public:
  virtual ~WordMatcher() = default;

  // The strategies, in the order SHOW STRAT lists them.
  virtual const std::vector<StrategyInfo>& strategies() const = 0;

  // The distinct head words of the database at `database` (its position in DictLibrary's list)
  // that `word` matches under `strategy` (one of strategies(): the caller asks first), as the
  // dictionary stores them, at most `limit`. False, with the reason in *error, when the word is
  // not a valid pattern for the strategy (a regular expression).
  virtual bool match(size_t database, std::string_view strategy, const UString& word, size_t limit,
                     std::vector<UString>* headWords, std::string* error) = 0;

  // Every entry of the database whose head word equals `word` after NFC and full case folding,
  // in dictionary order, at most `limit`.
  virtual std::vector<Record> definitions(size_t database, const UString& word, size_t limit) = 0;
};

}  // namespace lexor::dict
