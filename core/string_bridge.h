// Conversions between BOCU-1 byte strings and the system's UTF-16 strings.
#pragma once

#include <cstdint>
#include <optional>

#include "platform/ustring.h"

namespace lexor {

// BOCU-1 bytes up to their NUL to text; `length` is the byte count before the NUL, or <= 0 to
// have it measured. Decoding always runs to the NUL and the work buffer is sized from the
// measured count, so a wrong `length` cannot overrun it. std::nullopt on an illegal sequence, a
// null pointer or when memory runs out.
std::optional<UString> CreateNSStringWithBOCU1(const uint8_t* bytes, int32_t length);
// The first `length` bytes (all up to the NUL when 0) to text; logs "erroneus bocu string
// (len = %d)" when they do not decode.
std::optional<UString> CreateNSStringWithBOCU1_omit0A(const uint8_t* bytes, uint32_t length);
// Text to NUL-terminated BOCU-1 in out (size bytes, >= 1), cut after the last whole character
// that fits. Returns 1, or 0 (out untouched) for a null out or a size below 1.
int CreateBOCU1StringWithNSString(UStringView text, uint8_t* out, int32_t size);
// As above, with a line feed inserted after every carriage return while room lasts (never a part
// of a character); out[size - 1] is always 0.
int CreateBOCU1StringWithNSString_insert0A(UStringView text, uint8_t* out, int32_t size);

}  // namespace lexor
