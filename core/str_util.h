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
// The bytes up to the first NUL through the table, never reading more than `length` bytes; empty
// for a null buffer.
UString sil2NSString(const uint8_t* bytes, size_t length);
// CR LF pairs become "<>" in place; the length does not change. Nothing for a null buffer or a
// length below 2.
void escape0A(uint8_t* buffer, int32_t length);
// Removes every LF from the first length bytes; a NUL follows the kept bytes when any was removed.
// 0 for a null buffer or a length of 0 or less.
int32_t omit0A(uint8_t* buffer, int32_t length);
// The vowel (a, e, i, o, u; v and u-umlaut both as u-umlaut) with the mark of tone 0 to 4; any
// other character, or a higher tone, unchanged.
char16_t accentuer(char16_t vowel, unsigned tone);
// Syllables with tone digits 1 to 4 ("zhong1guo2") to syllables with tone marks ("zhōng guó"):
// each tone digit becomes a space, v becomes u-umlaut and one trailing space is dropped. Empty
// for null units or a length of 0 or less.
UString buildPinyinStr(const char16_t* units, int32_t length);

}  // namespace lexor
