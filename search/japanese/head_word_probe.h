// Whether words are head words of a list of dictionaries, and what their entries say: for each
// word an exact look-up of the index, then the blocks it names, each block read once for all the
// words that may stand in it. No head-word table is ever built for it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <unordered_map>
#include <utility>
#include <vector>

#include "core/lexor_recordset.h"
#include "platform/ustring.h"

namespace lexor {

class HeadWordProbe {
 public:
  explicit HeadWordProbe(LexorList dics) : _dics(std::move(dics)) {}

  struct Found {
    size_t dictionary = 0;              // the first of the list that holds the word
    std::vector<UString> translations;  // of its entries there, in dictionary order
  };
  // The word's entries in the first dictionary that has it as a head word; std::nullopt when
  // none has.
  std::optional<Found> find(const UString& word) const;
  // The same for several words at once, keyed by word; the words found nowhere are left out.
  std::unordered_map<UString, Found> findAll(const std::vector<UString>& words) const;

 private:
  LexorList _dics;
};

// The word classes (WordClass bits) that a translation names in the demo data's words
// ("Ichidan verb", "Godan verb with `ku' ending", "adjective (keiyoushi)", ...); 0 for none.
uint16_t namedWordClasses(UStringView translation);

}  // namespace lexor
