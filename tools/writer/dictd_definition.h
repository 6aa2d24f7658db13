// How one dictd definition becomes an entry's translation and pronunciation.
#pragma once

#include <string>
#include <string_view>

#include "tools/writer/lexor_writer.h"

namespace lexor::writer {

struct DefinitionParts {
  std::string translation;    // UTF-8, in the requested text form
  std::string pronunciation;  // empty when the definition gives none worth keeping
};

// Takes the definition of `headWord` (the index word) apart: its head-word line, when it has one,
// gives the pronunciation, the part of speech and the other written forms; the other lines are
// the translation.
DefinitionParts splitDefinition(std::string_view headWord, std::string_view definition,
                                DictdText text);

}  // namespace lexor::writer
