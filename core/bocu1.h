// BOCU-1 (Unicode Technical Note #6): the four primitives of the note and the system's two string
// routines. BOCU-1 byte strings sort like the code points they encode, which the index look-up
// and the prefix match rely on.
#pragma once

#include <cstddef>
#include <cstdint>

namespace lexor {

struct Bocu1DecodeState {
  int32_t prev = 0;   // reference code point; 0 = initial (read as 0x40)
  int32_t count = 0;  // trail bytes still expected
  int32_t diff = 0;   // difference gathered so far
};

extern const int8_t bocu1ByteToTrail[33];
extern const int8_t bocu1TrailToByte[20];

int32_t bocu1Prev(int32_t c);
int32_t packDiff(int32_t diff);
// Packed sequence for c, or 0 for a null state or c outside 0..0x10FFFF.
int32_t encodeBocu1(int32_t* pPrev, int32_t c);
// A code point when b completes one, -1 when b is taken in, -99 on an error.
int32_t decodeBocu1(Bocu1DecodeState* state, int32_t b);

// Number of bytes in a packed sequence.
inline int bocu1PackedLength(int32_t packed) {
  auto v = static_cast<uint32_t>(packed);
  return v < 0x04000000u ? static_cast<int>(v >> 24) : 4;
}

// Decodes the NUL-terminated src into dst and a terminating 0 unit; returns the number of units
// or -1 (illegal sequence, logged). dst must hold 2 * strlen(src) + 1 units.
int32_t bocu1_decode_to16(char16_t* dst, const uint8_t* src);
// Encodes the 0-terminated src into dst (size bytes, >= 1) with whole sequences only and a NUL;
// returns the number of bytes before the NUL, or -1 for a null argument.
int32_t bocu1_encode_from16(const char16_t* src, uint8_t* dst, int32_t size);
// The same for at most `count` units of src (still stopping at a 0 unit), so that a string need
// not be copied to be terminated. With lineFeedAfterCr a 0x0A follows each 0x0D while room lasts.
// Returns -1 for a null argument or a size below 1, writing nothing.
int32_t bocu1EncodeUnits(const char16_t* src, size_t count, uint8_t* dst, int32_t size,
                         bool lineFeedAfterCr);

}  // namespace lexor
