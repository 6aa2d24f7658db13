// The layout of entries inside a data block, read with bounds checks.
//
// Data block (little-endian):
//   block head word  u16   bit 15: field lengths are 4 bytes wide, else 2; bits 0-14: size in
//                          256-byte units, the head word included
//   entries ...            one after another, no gaps
//   end-of-block mark      a field length of 0 (w bytes of 0x00)
//
// Entry of a code-page dictionary (w = field-length width of the block):
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
#include <optional>
#include <span>
#include <vector>

namespace lexor {

inline constexpr size_t kBlockEntriesOffset = 2;  // entries follow the block head word
inline constexpr size_t kMaxHeadWordBytes = 248;  // fits a 249-byte buffer with its NUL
inline constexpr uint32_t kWideFieldLengthFlag = 0x8000;
inline constexpr uint32_t kBlockUnitsMask = 0x7FFF;
inline constexpr uint8_t kLevelMask = 0x0F;
inline constexpr uint8_t kExtendedEntryFlag = 0x10;

struct EntryLayout {
  int fieldWidth = 2;  // 2 or 4
  bool bocu = false;
};

// The field-length width that a block's head word announces.
int fieldWidthOfBlock(const std::vector<uint8_t>& block);
// How many bytes of the block its entries may occupy: the head word's size, and never more than
// was loaded.
size_t usableBlockSize(const std::vector<uint8_t>& block);

// One entry's head, located inside the block.
struct EntryHead {
  uint32_t prefixCount = 0;
  uint8_t attribute = 0;
  size_t tail = 0;        // offset of the head-word tail
  size_t tailLength = 0;  // bytes before its NUL
  size_t body = 0;        // offset of the body
  size_t end = 0;         // offset one past the entry; the next entry starts here
};

enum class EntryStatus {
  kEntry,       // *head describes a whole entry that lies inside the block
  kEndOfBlock,  // the end-of-block mark
  kCorrupt,     // the bytes at this offset do not form an entry inside the block
};

// Reads the entry starting at `offset` of block[0, limit).
EntryStatus readEntryHead(const uint8_t* block, size_t limit, size_t offset, EntryLayout layout,
                          EntryHead* head);

// Rebuilds the head word in place: the first prefixCount bytes of `word` (the previous head word,
// of *wordLength bytes) followed by the tail, then a NUL. False, with `word` untouched, when the
// prefix count exceeds the previous head word or the result would not fit kMaxHeadWordBytes.
bool decompressHeadWord(const uint8_t* tail, size_t tailLength, uint32_t prefixCount, uint8_t* word,
                        size_t* wordLength);

// The fields of an entry's body. Spans point into the block; the translation is writable because
// code-page translations get their line breaks rewritten in place.
struct EntryBody {
  std::optional<std::span<uint8_t>> translation;
  std::optional<std::span<const uint8_t>> example;
  std::optional<std::span<const uint8_t>> pronunciation;
  bool complete = true;  // false when a field broke the layout and reading stopped there
};

// Reads body[0, size). Broken data never reads outside it: an extended translation without its
// NUL gives no translation and no fields; a text field without its NUL, or a binary field that
// runs past the entry, stops the reading there (fields before it are kept, the broken one is
// left out); a missing end tag keeps every whole field read.
EntryBody readEntryBody(uint8_t* body, size_t size, bool extended, int fieldWidth);

}  // namespace lexor
