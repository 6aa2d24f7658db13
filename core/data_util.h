// Little-endian, alignment-free reads and writes of Lexor data, as pairs. Every reader of
// dictionary bytes, and the dictionary writer, goes through these; nothing else assembles numbers
// from bytes or splits them into bytes by hand.
//
// "Short" is 16 bits and "Long" 32 bits, the widths of the file's fields, whatever the host's
// `long`: getULongAt reads 4 bytes, never 8.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace lexor {

inline uint32_t getByteAt(const uint8_t* p) { return p[0]; }
inline void putByteAt(uint8_t* p, uint32_t value) { p[0] = static_cast<uint8_t>(value); }

inline int32_t getShortAt(const uint8_t* p) {
  return static_cast<int16_t>(static_cast<uint16_t>(p[0] | (p[1] << 8)));
}
inline uint32_t getUShortAt(const uint8_t* p) { return static_cast<uint32_t>(p[0] | (p[1] << 8)); }
// The low 16 bits of value; signed fields are written through the same bits.
inline void putUShortAt(uint8_t* p, uint32_t value) {
  p[0] = static_cast<uint8_t>(value);
  p[1] = static_cast<uint8_t>(value >> 8);
}

// 32 bits, despite the name.
inline uint32_t getULongAt(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
inline int32_t getLongAt(const uint8_t* p) { return static_cast<int32_t>(getULongAt(p)); }
inline void putULongAt(uint8_t* p, uint32_t value) {
  p[0] = static_cast<uint8_t>(value);
  p[1] = static_cast<uint8_t>(value >> 8);
  p[2] = static_cast<uint8_t>(value >> 16);
  p[3] = static_cast<uint8_t>(value >> 24);
}

// Unsigned little-endian number of `width` bytes (2 or 4), as field lengths and block numbers are.
inline uint32_t getUIntOfWidth(const uint8_t* p, int width) {
  return width == 4 ? getULongAt(p) : getUShortAt(p);
}
inline void putUIntOfWidth(uint8_t* p, uint32_t value, int width) {
  if (width == 4) {
    putULongAt(p, value);
  } else {
    putUShortAt(p, value);
  }
}
// The same number appended to `out`.
inline void appendUIntOfWidth(std::vector<uint8_t>& out, uint32_t value, int width) {
  const size_t at = out.size();
  out.resize(at + (width == 4 ? 4 : 2));
  putUIntOfWidth(out.data() + at, value, width);
}

// A new buffer of n + 1 bytes: the n bytes at p and a NUL. The caller owns it; null when memory
// runs out.
std::unique_ptr<uint8_t[]> getStringAt(const uint8_t* p, size_t n);

}  // namespace lexor
