// Text folding for matching: canonical composition (NFC), then full Unicode case folding, so
// that "Straße", "STRASSE" and a decomposed "straße" all compare equal. ICU does the work.
#pragma once

#include <string>

#include "platform/ustring.h"

namespace lexor {

// The folded text as UTF-8; unpaired surrogates become U+FFFD.
std::string foldText(UStringView text);

// As foldText, appended to *out: the form the head-word table uses to fold hundreds of thousands
// of words without a temporary string each.
void appendFoldedText(UStringView text, std::string* out);

}  // namespace lexor
