// Whether a word is a head word of a list of dictionaries, and what its entries say: one prefix
// look-up per word and dictionary, stopped at the first entry that is not the word itself, so
// that no head-word table is ever built for it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "core/lexor_recordset.h"
#include "platform/ustring.h"

namespace lexor {

class HeadWordProbe {
 public:
  explicit HeadWordProbe(const LexorList& dics);

  struct Found {
    size_t dictionary = 0;              // the first of the list that holds the word
    std::vector<UString> translations;  // of its entries there, in dictionary order
  };
  // The word's entries in the first dictionary that has it as a head word; std::nullopt when
  // none has.
  std::optional<Found> find(const UString& word);

 private:
  std::vector<std::shared_ptr<LexorRecordset>> _recordsets;  // one a dictionary
};

// The word classes (WordClass bits) that a translation names in the demo data's words
// ("Ichidan verb", "Godan verb with `ku' ending", "adjective (keiyoushi)", ...); 0 for none.
uint16_t namedWordClasses(UStringView translation);

}  // namespace lexor
