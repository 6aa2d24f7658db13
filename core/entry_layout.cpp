#include "core/entry_layout.h"

#include <algorithm>
#include <cstring>

#include "core/data_util.h"

namespace lexor {

namespace {

// Offset of the NUL in data[from, to), or nullopt.
std::optional<size_t> findNul(const uint8_t* data, size_t from, size_t to) {
  if (from >= to) return std::nullopt;
  const void* nul = std::memchr(data + from, 0, to - from);
  if (!nul) return std::nullopt;
  return static_cast<size_t>(static_cast<const uint8_t*>(nul) - data);
}

}  // namespace

int fieldWidthOfBlock(const std::vector<uint8_t>& block) {
  if (block.size() < kBlockEntriesOffset) return 2;
  return (getUShortAt(block.data()) & kWideFieldLengthFlag) ? 4 : 2;
}

size_t usableBlockSize(const std::vector<uint8_t>& block) {
  if (block.size() < kBlockEntriesOffset) return 0;
  size_t announced = static_cast<size_t>(getUShortAt(block.data()) & kBlockUnitsMask) * kBlockUnit;
  return std::min(announced, block.size());
}

EntryStatus readEntryHead(const uint8_t* block, size_t limit, size_t offset, EntryLayout layout,
                          EntryHead* head) {
  const size_t w = static_cast<size_t>(layout.fieldWidth);
  if (offset > limit || limit - offset < w) return EntryStatus::kCorrupt;  // no end-of-block mark
  const uint32_t fieldLength = getUIntOfWidth(block + offset, layout.fieldWidth);
  if (fieldLength == 0) return EntryStatus::kEndOfBlock;

  // Prefix count, and in BOCU-1 dictionaries the attribute byte, precede the tail.
  const size_t headBytes = layout.bocu ? 2 : 1;
  if (limit - offset - w < headBytes) return EntryStatus::kCorrupt;
  const size_t tail = offset + w + headBytes;
  if (limit - tail < fieldLength) return EntryStatus::kCorrupt;
  const size_t end = tail + fieldLength;

  const std::optional<size_t> nul = findNul(block, tail, end);
  if (!nul) return EntryStatus::kCorrupt;
  size_t body = *nul + 1;
  uint8_t attribute;
  if (layout.bocu) {
    attribute = block[offset + w + 1];
  } else {
    if (body >= end) return EntryStatus::kCorrupt;  // no room for the attribute byte
    attribute = block[body];
    ++body;
  }

  head->prefixCount = block[offset + w];
  head->attribute = attribute;
  head->tail = tail;
  head->tailLength = *nul - tail;
  head->body = body;
  head->end = end;
  return EntryStatus::kEntry;
}

bool decompressHeadWord(const uint8_t* tail, size_t tailLength, uint32_t prefixCount, uint8_t* word,
                        size_t* wordLength) {
  if (prefixCount > *wordLength) return false;
  if (tailLength > kMaxHeadWordBytes - prefixCount) return false;
  std::memcpy(word + prefixCount, tail, tailLength);
  *wordLength = prefixCount + tailLength;
  word[*wordLength] = 0;
  return true;
}

EntryBody readEntryBody(uint8_t* body, size_t size, bool extended, int fieldWidth) {
  EntryBody result;
  if (!extended) {
    result.translation = std::span<uint8_t>(body, size);
    return result;
  }

  const std::optional<size_t> translationEnd = findNul(body, 0, size);
  if (!translationEnd) {
    result.complete = false;
    return result;
  }
  result.translation = std::span<uint8_t>(body, *translationEnd);

  const size_t w = static_cast<size_t>(fieldWidth);
  size_t q = *translationEnd + 1;
  for (;;) {
    if (q >= size) {  // the fields ran to the entry's end without their end tag
      result.complete = false;
      return result;
    }
    const uint8_t tag = body[q++];
    if (tag & kEndOfFieldsTag) return result;
    const uint8_t kind = tag & kTagKindMask;
    if (kind == kTextFieldKind) {
      const std::optional<size_t> textEnd = findNul(body, q, size);
      if (!textEnd) {
        result.complete = false;
        return result;
      }
      std::span<const uint8_t> text(body + q, *textEnd - q);
      switch (tag & kTextTypeMask) {
        case kExampleType:
          result.example = text;
          break;
        case kPronunciationType:
          result.pronunciation = text;
          break;
        default:
          break;
      }
      q = *textEnd + 1;
    } else if (kind == kBinaryFieldKind || kind == kBinaryFieldKindAlt) {
      if (size - q < w) {
        result.complete = false;
        return result;
      }
      const uint32_t length = getUIntOfWidth(body + q, fieldWidth);
      q += w;
      if (size - q < length) {
        result.complete = false;
        return result;
      }
      q += length;
    }
    // Any other kind is a tag with nothing after it.
  }
}

}  // namespace lexor
