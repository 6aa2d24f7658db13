// Which dictionary a file holds, from its file name alone: its signature (a four-character code),
// its display name and the code pages of its head words and translations.
#pragma once

#include <cstdint>
#include <optional>

#include "platform/code_page.h"
#include "platform/ustring.h"

namespace lexor {

using Signature = uint32_t;

constexpr Signature fourCharCode(const char (&code)[5]) {
  return (static_cast<uint32_t>(static_cast<uint8_t>(code[0])) << 24) |
         (static_cast<uint32_t>(static_cast<uint8_t>(code[1])) << 16) |
         (static_cast<uint32_t>(static_cast<uint8_t>(code[2])) << 8) |
         static_cast<uint32_t>(static_cast<uint8_t>(code[3]));
}

inline constexpr Signature kNoSignature = 0;
inline constexpr Signature kUnknownSignature = fourCharCode("????");
inline constexpr Signature kAmboraSignature = fourCharCode("EJam");
inline constexpr Signature kRevoraSignature = fourCharCode("JErv");
inline constexpr Signature kAbboraSignature = fourCharCode("EJab");
inline constexpr Signature kExoraSignature = fourCharCode("EJex");
inline constexpr Signature kChineseSyllableSignature = fourCharCode("CJcj");

// 0 for an absent path or a file name shorter than 5 characters; '????' for an unknown name.
Signature getDicSignatureFromPath(std::optional<UStringView> path);
// The display name, or std::nullopt when the signature has no row.
std::optional<UString> getDicNameFromSignature(Signature signature);
// Head-word and translation code pages; Shift_JIS for a signature without a row.
CodePage getEWordEncodingFromSignature(Signature signature);
CodePage getJWordEncodingFromSignature(Signature signature);

}  // namespace lexor
