// The Lexor file format: its grammar, written down once, and a named constant for every number in
// it. The reader (core/) and the dictionary writer (tools/writer/) both take their numbers from
// here; each keeps its own logic, so that the writer stays a second, independent reading. All
// numbers are little-endian and unaligned; core/data_util.h reads and writes them.
//
// File, from its first byte:
//   header block   256 bytes at 0 (the header area is `header size` bytes long)
//   ext. header    `ext. header size` bytes (versions 4 and 5; none before)
//   index          `index size` bytes at header size + ext. header size
//   data           the rest, in 256-byte units; block number b starts b x 256 bytes into it
//
// Header block. "s16" fields are read signed, so stored values from 0x8000 up come out negative
// (and huge in the unsigned members).
//   offset  size  field              versions  use
//   140     s16   version            all       major = version & 0x7F00; 0x0200..0x0500 accepted
//   142     s16   lword              all       log only
//   144     s16   ljapa              all       log only
//   146     s16   block size         all       x16 in version 3; index size (4, 5) and data size
//   148     s16   index blocks       all
//   150     s16   header size        all       the index starts at header size + ext. header size
//   152     s16   index size         2, 3      (4, 5: block size x index blocks)
//   154     s16   empty_block_at     2, 3      log only
//   156     s16   index entries      2, 3
//   158     s16   data blocks        2, 3
//   160     u32   nword              all       log only
//   164     u8    dicorder           all       log only
//   165     u8    dictype            all       bit 0x08: one half of the BOCU-1 test
//   166     u8    attrlen            all       log only
//   167     s32   olenumber          3, 4      log only
//   171     u8    os                 3, 4      bit 0x20: the other half of the BOCU-1 test
//   167     u8    os                 5
//   168     s32   olenumber          5
//   182     u32   ext. header size   4         (5: at 184)
//   186     s32   empty_block_at     4         (5: at 188)
//   190     u32   index entries      4         (5: at 192)
//   194     u32   data blocks        4         (5: at 196)
//   198     u8    blockbyte_flag     4         (5: at 182); 1: 4-byte block numbers, else 2
// Version 2 has no os byte; it is taken as 0, so a version 2 dictionary is never BOCU-1.
//
// Index entry, one per data block, in ascending order of the blocks' first head words:
//   block number   2 or 4 bytes   unsigned; 4 when blockbyte_flag is 1
//   word           n+1 bytes      the block's first head word, then a NUL
// The entries follow one another from the index's first byte; 0x00 bytes pad the area.
//
// Data block:
//   block head word  u16      bits 0-14: the block's length in 256-byte units, this word
//                             included; bit 15: field lengths are 4 bytes wide, else 2
//   entries          ...      one after another, no gaps
//   end-of-block     w bytes  a field length of 0; 0x00 padding to the unit follows
//
// Entry of a code-page dictionary (w = the block's field-length width):
//   L        w bytes   bytes from the head-word tail to the end of the entry
//   c        1 byte    prefix count: leading bytes shared with the previous head word
//   tail     n+1       head-word bytes after the first c, then a NUL
//   attrib   1 byte    bits 0-3 level, bit 4 extended entry
//   body     L-n-2
//
// Entry of a BOCU-1 dictionary:
//   L        w bytes   bytes from the head-word tail to the end of the entry
//   c        1 byte    prefix count
//   attrib   1 byte
//   tail     n+1       head-word tail, then a NUL
//   body     L-n-1
//
// In both, the next entry starts at tail + L. The first entry of a block has c = 0, c never
// exceeds the previous head word's length, and a head word holds at most 248 bytes.
//
// Body of a simple entry (attrib bit 4 clear): the translation, to the end of the entry, no NUL.
// Body of an extended entry (bit 4 set): the translation and a NUL, then extension fields, each
// starting with a tag byte:
//   tag & 0x80                 end of the fields
//   tag & 0x70 == 0x00         text field: bytes, then a NUL; type tag & 0x0F: 1 example,
//                              2 pronunciation, others skipped
//   tag & 0x70 == 0x10, 0x50   binary field: a w-byte length, then that many bytes
//   any other tag & 0x70       the tag alone
#pragma once

#include <cstddef>
#include <cstdint>

namespace lexor {

// ---- File areas

inline constexpr size_t kHeaderBlockSize = 256;
// The data area's unit: blocks start and end on it. 64-bit, so that offsets computed from block
// numbers never wrap.
inline constexpr uint64_t kBlockUnit = 256;

// ---- Header block

inline constexpr int32_t kMajorMask = 0x7F00;
inline constexpr int32_t kVersion2 = 0x0200;
inline constexpr int32_t kVersion3 = 0x0300;
inline constexpr int32_t kVersion4 = 0x0400;
inline constexpr int32_t kVersion5 = 0x0500;
inline constexpr int32_t kVersion3BlockSizeUnit = 16;  // version 3 stores block size / 16

inline constexpr uint32_t kDictypeBocuBit = 0x08;
inline constexpr uint32_t kOsBocuBit = 0x20;
inline constexpr uint32_t kFourByteBlockNumbers = 1;  // blockbyte_flag

// ---- Index entry

inline constexpr int32_t kWideBlockNumberBytes = 4;    // blockbyte_flag 1
inline constexpr int32_t kNarrowBlockNumberBytes = 2;  // any other flag, and versions 2 and 3
// The longest first entry worth reading at once to test that an index has one.
inline constexpr size_t kMaxIndexEntryProbe = kWideBlockNumberBytes + 256;

// Offsets of the fields every version has.
inline constexpr size_t kVersionAt = 140;
inline constexpr size_t kLwordAt = 142;
inline constexpr size_t kLjapaAt = 144;
inline constexpr size_t kBlockSizeAt = 146;
inline constexpr size_t kIndexBlocksAt = 148;
inline constexpr size_t kHeaderSizeAt = 150;
inline constexpr size_t kNwordAt = 160;
inline constexpr size_t kDicorderAt = 164;
inline constexpr size_t kDictypeAt = 165;
inline constexpr size_t kAttrlenAt = 166;

// Versions 2 and 3 count in 16 bits.
struct ShortCountOffsets {
  size_t indexSize, emptyBlockAt, indexEntries, dataBlocks;
};
inline constexpr ShortCountOffsets kShortCountOffsets{152, 154, 156, 158};
inline constexpr size_t kVersion3OlenumberAt = 167;
inline constexpr size_t kVersion3OsAt = 171;

// Versions 4 and 5 count in 32 bits, at offsets of their own.
struct LongCountOffsets {
  size_t olenumber, os, extheaderSize, emptyBlockAt, indexEntries, dataBlocks, blockbyteFlag;
};
inline constexpr LongCountOffsets kVersion4Offsets{167, 171, 182, 186, 190, 194, 198};
inline constexpr LongCountOffsets kVersion5Offsets{168, 167, 184, 188, 192, 196, 182};

// ---- Data block

inline constexpr size_t kBlockHeadWordSize = 2;
inline constexpr size_t kBlockEntriesOffset = kBlockHeadWordSize;  // entries follow the head word
inline constexpr uint32_t kBlockUnitsMask = 0x7FFF;
inline constexpr uint32_t kWideFieldLengthFlag = 0x8000;
inline constexpr uint64_t kMaxBlockBytes = kBlockUnitsMask * kBlockUnit;

// ---- Entry

inline constexpr size_t kMaxHeadWordBytes = 248;
inline constexpr size_t kHeadWordBufferSize = kMaxHeadWordBytes + 1;  // with its NUL
inline constexpr size_t kMaxPrefixCount = 255;                        // a one-byte field

inline constexpr uint8_t kLevelMask = 0x0F;
inline constexpr uint8_t kExtendedEntryFlag = 0x10;

// Tag bytes of an extended entry's fields.
inline constexpr uint8_t kEndOfFieldsTag = 0x80;
inline constexpr uint8_t kTagKindMask = 0x70;
inline constexpr uint8_t kTextFieldKind = 0x00;
inline constexpr uint8_t kBinaryFieldKind = 0x10;
inline constexpr uint8_t kBinaryFieldKindAlt = 0x50;
inline constexpr uint8_t kTextTypeMask = 0x0F;
inline constexpr uint8_t kExampleType = 1;
inline constexpr uint8_t kPronunciationType = 2;

}  // namespace lexor
