// The layout of entries inside a data block, read with bounds checks.
// The layout itself: core/lexor_format.h.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "core/lexor_format.h"

namespace lexor {

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
