// Romaji to kana, as a user without a Japanese input method types it: Hepburn (shi, chi, tsu,
// fu, ji, sha), Kunrei (si, ti, tu, hu, zi, sya) and the keyboard spellings (jya, dzu, x and l
// before a small kana, nn, n', tch, - for ー, vu for ゔ). Lower case becomes hiragana, upper case
// katakana; whatever is not romaji stays as typed.
#pragma once

#include "platform/ustring.h"

namespace lexor {

UString romajiToKana(UStringView text);

}  // namespace lexor
