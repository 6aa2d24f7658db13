// Turns the texts of one entry into a record, each in its dictionary's encoding.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/dic_identity.h"
#include "core/entry_layout.h"
#include "core/record.h"
#include "platform/code_page.h"

namespace lexor {

// How a dictionary's texts are stored.
struct DictionaryTexts {
  bool bocu = false;
  CodePage headWordPage = kCodePageNone;  // also the example field's code page
  CodePage translationPage = kCodePageNone;
  bool syllableMode = false;  // Chinese syllables lead the translation

  static DictionaryTexts of(bool bocu, Signature signature);
};

// Builds the record of an entry. `headWord` holds headWordLength bytes; the body's translation is
// rewritten in place (CR LF to "<>") in code-page dictionaries, which a later decoding of the same
// bytes leaves unchanged. A text that does not decode is left out.
Record decodeRecord(const DictionaryTexts& texts, const uint8_t* headWord, size_t headWordLength,
                    uint8_t attribute, const EntryBody& body);

}  // namespace lexor
