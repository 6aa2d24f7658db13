// A cursor over the entries of one data block: the block's bytes and field width, and the entry it
// stands on with that entry's head word, rebuilt from the prefix-compressed tails of the entries
// before it (core/entry_layout.h has the layout).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "core/entry_layout.h"
#include "core/lexor.h"
#include "core/walked_blocks.h"

namespace lexor {

enum class BlockLoad {
  kLoaded,      // the cursor stands before the block's first entry
  kWalked,      // the block overlaps one already walked: passed, nothing held
  kUnreadable,  // there is no such block, or it cannot be read: nothing held
};

class BlockCursor {
 public:
  // Loads the block of the dictionary's index entry `indexEntry`, unless it overlaps a block in
  // `walked`; a block loaded is noted there.
  BlockLoad load(Lexor& dic, int32_t indexEntry, WalkedBlocks& walked);
  bool holdsBlock() const { return !_datablock.empty(); }
  // Drops the block (its storage is kept for the next one); the cursor stands on no entry.
  void release() {
    _datablock.clear();
    _p.reset();
  }
  // release(), and forgets the head word too.
  void reset();

  // Steps to the next entry of the block. False at the end-of-block mark, and at an entry that
  // breaks the layout, which ends the walk of its block; the cursor then stands on no entry.
  // Inline: the prefix walk calls it once for every entry it passes.
  bool nextEntry() {
    _p.reset();
    EntryHead head;
    if (readEntryHead(_datablock.data(), _limit, _next_p, {_fieldlength_byte, _bocu}, &head) !=
        EntryStatus::kEntry)
      return false;
    size_t length = _eword_len;
    if (!decompressHeadWord(_datablock.data() + head.tail, head.tailLength, head.prefixCount,
                            _eword.data(), &length))
      return false;
    _eword_len = length;
    _attrib = head.attribute;
    _p = _next_p;
    _next_p = head.end;
    return true;
  }

  // The entry the cursor stands on.
  bool atEntry() const { return _p.has_value(); }
  size_t entryOffset() const { return *_p; }
  // Its head word, NUL-terminated, and the bytes before the NUL.
  const uint8_t* headWord() const { return _eword.data(); }
  size_t headWordLength() const { return _eword_len; }
  uint8_t attribute() const { return _attrib; }
  // Its body, read afresh from the block; none when the cursor stands on no entry. A code-page
  // translation is writable: its line breaks get rewritten in place.
  std::optional<EntryBody> entryBody();

 private:
  std::vector<uint8_t> _datablock;  // empty: no block held
  size_t _limit = 0;                // bytes of the block that its entries may occupy
  int _fieldlength_byte = 2;
  bool _bocu = false;
  std::optional<size_t> _p;  // offset of the current entry
  size_t _next_p = 0;        // where the next entry begins
  std::array<uint8_t, kHeadWordBufferSize> _eword{};
  size_t _eword_len = 0;
  uint8_t _attrib = 0;
};

}  // namespace lexor
