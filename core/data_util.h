// Little-endian, alignment-free reads of Lexor data. Every reader of dictionary bytes goes through
// these; nothing else assembles multi-byte numbers by hand.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

namespace lexor {

inline uint32_t getByteAt(const uint8_t* p) { return p[0]; }
inline int32_t getShortAt(const uint8_t* p) {
  return static_cast<int16_t>(static_cast<uint16_t>(p[0] | (p[1] << 8)));
}
inline uint32_t getUShortAt(const uint8_t* p) { return static_cast<uint32_t>(p[0] | (p[1] << 8)); }
inline uint32_t getULongAt(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
inline int32_t getLongAt(const uint8_t* p) { return static_cast<int32_t>(getULongAt(p)); }

// Unsigned little-endian number of `width` bytes (2 or 4), as field lengths and block numbers are.
inline uint32_t getUIntOfWidth(const uint8_t* p, int width) {
  return width == 4 ? getULongAt(p) : getUShortAt(p);
}

// A new buffer of n + 1 bytes: the n bytes at p and a NUL. The caller owns it; null when memory
// runs out.
std::unique_ptr<uint8_t[]> getStringAt(const uint8_t* p, size_t n);

}  // namespace lexor
