// Plain text helpers of record decoding: the phonetic byte table, line-break rewriting and
// tone-numbered pinyin.
#pragma once

#include <cstdint>
#include <optional>

#include "platform/ustring.h"

namespace lexor {

extern const char16_t sil_unicode_table[256];

// One UTF-16 unit per byte up to the NUL; std::nullopt for a null argument.
std::optional<UString> sil2NSString(const uint8_t* bytes);
// The first `length` bytes (not reading past them) through the table.
UString sil2NSString(const uint8_t* bytes, size_t length);
// CR LF pairs become "<>" in place; the length does not change.
void escape0A(uint8_t* buffer, int32_t length);
// Removes every LF from the first length bytes; a NUL follows the kept bytes when any was removed.
int32_t omit0A(uint8_t* buffer, int32_t length);
char16_t accentuer(char16_t vowel, unsigned tone);
UString buildPinyinStr(const char16_t* units, int32_t length);

}  // namespace lexor
