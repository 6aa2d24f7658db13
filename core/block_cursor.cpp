#include "core/block_cursor.h"

namespace lexor {

BlockLoad BlockCursor::load(Lexor& dic, int32_t indexEntry, WalkedBlocks& walked) {
  release();
  const uint64_t first = dic.indexBlockNumber(static_cast<uint32_t>(indexEntry));
  // Blocks usually come in ascending order, past every block walked so far; only one that lies
  // before is checked against the others, first by its head word alone so that it is not read.
  // A head word that cannot be read is left to the load, which reports it.
  if (walked.liesBefore(first)) {
    const uint32_t units = dic.blockUnits(indexEntry);
    if (units != 0 && walked.overlaps(first, first + units)) return BlockLoad::kWalked;
  }
  if (!dic.loadDatablock(indexEntry, _datablock)) {
    _datablock.clear();
    return BlockLoad::kUnreadable;
  }
  const uint64_t end = first + _datablock.size() / kBlockUnit;
  if (walked.liesBefore(first) && walked.overlaps(first, end)) {
    _datablock.clear();  // the file changed between the two reads
    return BlockLoad::kWalked;
  }
  walked.note(first, end);
  _limit = usableBlockSize(_datablock);
  _fieldlength_byte = fieldWidthOfBlock(_datablock);
  _bocu = dic.isBOCU();
  _next_p = kBlockEntriesOffset;
  _eword[0] = 0;
  _eword_len = 0;
  return BlockLoad::kLoaded;
}

void BlockCursor::reset() {
  release();
  _eword[0] = 0;
  _eword_len = 0;
}

std::optional<EntryBody> BlockCursor::entryBody() {
  if (!_p || _datablock.empty()) return std::nullopt;
  EntryHead head;
  if (readEntryHead(_datablock.data(), _limit, *_p, {_fieldlength_byte, _bocu}, &head) !=
      EntryStatus::kEntry)
    return std::nullopt;
  return readEntryBody(_datablock.data() + head.body, head.end - head.body,
                       (_attrib & kExtendedEntryFlag) != 0, _fieldlength_byte);
}

}  // namespace lexor
