// UTF-16 strings, the system's text type, and the few text operations the rest of the system
// needs: UTF-8 conversion, Unicode lower-casing, the three character sets, integer reading and
// the suffix test. ICU does the Unicode work.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace lexor {

using UString = std::u16string;
using UStringView = std::u16string_view;

// UTF-16 to UTF-8. Unpaired surrogates become U+FFFD so the result is always valid UTF-8.
std::string toUtf8(UStringView text);
// UTF-8 to UTF-16. Malformed sequences become U+FFFD.
UString fromUtf8(std::string_view text);
// Convenience for literals and ASCII text in code and tests.
inline UString u(std::string_view utf8) { return fromUtf8(utf8); }

// Full Unicode lower-casing (root locale): one character may become several.
UString lowercase(UStringView text);

enum class CharacterSet {
  kDecimalDigit,          // general category Nd
  kWhitespace,            // general category Zs and U+0009
  kWhitespaceAndNewline,  // general category Z (Zs, Zl, Zp), U+000A to U+000D and U+0085
                          // (so not the tab, which only kWhitespace holds)
};

bool isMember(CharacterSet set, char32_t c);

// Position (in UTF-16 units) of the first character of the set, or npos. Surrogate pairs are
// tested as the character they form.
size_t findFirstOf(UStringView text, CharacterSet set);

// The decimal integer at the start of the text: leading white space (kWhitespaceAndNewline and
// the tab) skipped, an optional sign, then ASCII digits up to the first other character; 0 when
// there is none. Values beyond the 32-bit range saturate.
int32_t intValue(UStringView text);

bool hasSuffix(UStringView text, UStringView suffix);

}  // namespace lexor
