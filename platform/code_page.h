// Code pages of dictionary texts and the conversions between their bytes and UTF-16 strings.
//
// A code page is named by the platform's string-encoding number, as dictionaries' signatures
// choose them. Shift_JIS is 8; the others are the numbers that the Core Foundation constants
// convert to (Mac Roman 30, Windows code pages 12 to 15, the rest 0x80000000 + the constant).
// 0 means "no code page": the texts are BOCU-1, and every conversion with it fails.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "platform/ustring.h"

namespace lexor {

using CodePage = uint32_t;

inline constexpr CodePage kCodePageNone = 0;
inline constexpr CodePage kCodePageShiftJIS = 8;  // as Windows code page 932
inline constexpr CodePage kCodePageMacRoman = 30;
inline constexpr CodePage kCodePageWindowsLatin1 = 12;           // cp1252
inline constexpr CodePage kCodePageWindowsLatin2 = 15;           // cp1250
inline constexpr CodePage kCodePageWindowsGreek = 13;            // cp1253
inline constexpr CodePage kCodePageWindowsLatin5 = 14;           // cp1254
inline constexpr CodePage kCodePageWindowsArabic = 0x80000506;   // cp1256
inline constexpr CodePage kCodePageMacChineseTrad = 0x80000002;  // through Big5 (cp950)
inline constexpr CodePage kCodePageMacKorean = 0x80000003;       // through EUC-KR (cp949)
inline constexpr CodePage kCodePageMacThai = 0x80000015;         // through TIS-620 (cp874)
inline constexpr CodePage kCodePageMacChineseSimp = 0x80000019;  // through GB 2312 (GBK)

// Bytes in the code page to text; std::nullopt when a byte sequence is invalid in it, or for
// kCodePageNone or an unknown code page. The single-byte Windows tables give almost every byte a
// character (their gaps map to the C1 controls), so invalid input there is rare.
std::optional<UString> decodeCodePage(CodePage page, const uint8_t* bytes, size_t length);

// Text to bytes in the code page; std::nullopt when a character cannot be represented.
std::optional<std::string> encodeCodePage(CodePage page, UStringView text);

// Length in bytes of the longest prefix of `bytes` (of `length`) that ends on a whole character
// of the code page and is at most `limit` bytes long; used to cut a needle without splitting a
// character. The prefix also ends before the first invalid byte sequence; 0 for kCodePageNone
// or an unknown code page.
size_t wholeCharacterPrefix(CodePage page, const uint8_t* bytes, size_t length, size_t limit);

}  // namespace lexor
