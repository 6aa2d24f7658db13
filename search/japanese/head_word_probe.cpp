#include "search/japanese/head_word_probe.h"

#include <string_view>

#include "search/japanese/deinflect_rules.h"

namespace lexor {
namespace {

// Entries of one head word read at most: enough for any real dictionary, and a bound for one
// that repeats a word without end.
constexpr size_t kMaxEntriesOfWord = 64;

struct ClassPhrase {
  std::u16string_view phrase;
  uint16_t wordClass;
};

constexpr ClassPhrase kClassPhrases[] = {
    {u"Ichidan verb", kIchidanVerb},
    {u"Godan verb", kGodanVerb},
    {u"Kuru verb", kKuruVerb},
    {u"suru verb", kSuruVerb},
    {u"adjective (keiyoushi)", kIAdjective},
    {u"takes the aux. verb suru", kSuruNoun},
};

}  // namespace

HeadWordProbe::HeadWordProbe(const LexorList& dics) {
  _recordsets.reserve(dics.size());
  for (const std::shared_ptr<Lexor>& dic : dics) {
    _recordsets.push_back(dic ? LexorRecordset::initWithDic(dic) : nullptr);
  }
}

std::optional<HeadWordProbe::Found> HeadWordProbe::find(const UString& word) {
  if (word.empty()) return std::nullopt;
  for (size_t i = 0; i < _recordsets.size(); ++i) {
    LexorRecordset* rs = _recordsets[i].get();
    if (!rs || !rs->queryWithWord(word)) continue;
    // The word sorts before every longer word it begins, so its own entries come first.
    Found found{i, {}};
    do {
      std::optional<Record> record = rs->getRecordAsDictionary();
      if (!record || record->eword != word) break;
      found.translations.push_back(record->jword.value_or(UString()));
    } while (found.translations.size() < kMaxEntriesOfWord && rs->moveNext());
    if (!found.translations.empty()) return found;
  }
  return std::nullopt;
}

uint16_t namedWordClasses(UStringView translation) {
  uint16_t classes = 0;
  for (const ClassPhrase& c : kClassPhrases) {
    if (translation.find(c.phrase) != UStringView::npos) classes |= c.wordClass;
  }
  return classes;
}

}  // namespace lexor
