#include "core/lexor_recordset.h"

#include <algorithm>
#include <cstring>

#include "core/entry_layout.h"
#include "core/record_decoder.h"
#include "core/string_bridge.h"
#include "platform/log.h"

namespace lexor {

namespace {

// lookupIndex's location when the needle sorts before the dictionary's first index word.
constexpr uint32_t kBeforeFirstIndexEntry = 0xFFFFFFFF;
constexpr size_t kNeedleMaxBytes = kNeedleSize - 1;

}  // namespace

std::shared_ptr<LexorRecordset> LexorRecordset::init() {
  return std::shared_ptr<LexorRecordset>(new LexorRecordset());
}

std::shared_ptr<LexorRecordset> LexorRecordset::initWithDic(std::shared_ptr<Lexor> dic) {
  auto recordset = init();
  recordset->_dics = std::make_shared<LexorList>();
  recordset->_dics->push_back(std::move(dic));
  return recordset;
}

std::shared_ptr<LexorRecordset> LexorRecordset::initWithDics(std::shared_ptr<LexorList> dics) {
  auto recordset = init();
  recordset->_dics = std::move(dics);
  return recordset;
}

LexorRecordset::~LexorRecordset() { clear(); }

void LexorRecordset::addDic(std::shared_ptr<Lexor> dic) {
  if (!_dics) _dics = std::make_shared<LexorList>();
  _dics->push_back(std::move(dic));
  clear();
}

void LexorRecordset::removeDics() {
  _dics.reset();
  clear();
}

void LexorRecordset::clear() {
  _curr_dic = 0;
  clear_();
  _isEOF = true;
}

void LexorRecordset::clear_() {
  _needle_nsstr.reset();
  _index_range = {};
  _curr_index_no = -1;
  _range_looked_up = false;
  _range_end = 0;
  _walked_until = 0;
  _walked_blocks.clear();  // keeps its storage for the next dictionary
  _walked_out_of_order.clear();
  releaseBlock();
  _eword[0] = 0;
  _eword_len = 0;
}

void LexorRecordset::releaseBlock() {
  _datablock.clear();  // keeps its storage for the next block
  _p.reset();
}

Lexor* LexorRecordset::currentDic() const { return dicAt(static_cast<size_t>(_curr_dic)).get(); }

LexorRecordset::NeedleResult LexorRecordset::buildNeedle(const Lexor& dic, UStringView word) {
  NeedleEncoding encoding;
  encoding.bocu = dic.isBOCU();
  if (!encoding.bocu) encoding.page = getEWordEncodingFromSignature(dic.getDicSignature());

  _needle_encoding.reset();
  _needle_len = 0;
  _needle.fill(0);
  _needlf.fill(0);

  if (encoding.bocu) {
    if (!CreateBOCU1StringWithNSString(word, _needle.data(), static_cast<int32_t>(kNeedleSize))) {
      _needle.fill(0);
      return NeedleResult::kUnencodable;
    }
    _needle[kNeedleMaxBytes] = 0;
  } else {
    const std::optional<std::string> bytes = encodeCodePage(encoding.page, word);
    if (!bytes) return NeedleResult::kUnencodable;
    const auto* data = reinterpret_cast<const uint8_t*>(bytes->data());
    const size_t kept = wholeCharacterPrefix(encoding.page, data, bytes->size(), kNeedleMaxBytes);
    std::memcpy(_needle.data(), data, std::min(kept, kNeedleMaxBytes));
  }
  // The needle is a C string: an encoded NUL would end it.
  const void* nul = std::memchr(_needle.data(), 0, kNeedleSize);
  const size_t length = static_cast<size_t>(static_cast<const uint8_t*>(nul) - _needle.data());
  if (length == 0) return NeedleResult::kEmpty;

  _needle_len = length;
  _needle_encoding = encoding;
  // The exclusive upper bound of the words that begin with the needle, as the index look-up
  // needs it.
  _needlf = _needle;
  _needlf[length - 1] = static_cast<uint8_t>(_needle[length - 1] + 1);
  return NeedleResult::kBuilt;
}

bool LexorRecordset::queryWithWord(const UString& word) {
  clear();
  if (dicCount() == 0) {
    logFormat("queryWithWord : dic count = 0\n");
    _isEOF = true;
    return false;
  }
  _needle_nsstr = word;
  _curr_dic = 0;
  Lexor* first = currentDic();
  if (!first) {
    logFormat("queryWithWord : dic not available.\n");
    _isEOF = true;
    return false;
  }

  const NeedleResult built = buildNeedle(*first, word);
  if (built != NeedleResult::kBuilt) {
    logFormat(built == NeedleResult::kEmpty ? "invalid needle.\n" : "needle too long, maybe.\n");
    _walk_word.reset();
    _isEOF = true;
    return false;
  }
  if (_walk_word) {
    _walk_word->assign(word);  // reuses the storage of the last query's word
  } else {
    _walk_word.emplace(word);
  }
  return moveNext();
}

bool LexorRecordset::needleFits(const Lexor& dic) {
  if (!_walk_word) return true;  // no query yet: the empty needle reads the same in every encoding
  NeedleEncoding wanted;
  wanted.bocu = dic.isBOCU();
  if (!wanted.bocu) wanted.page = getEWordEncodingFromSignature(dic.getDicSignature());
  if (_needle_encoding == wanted) return true;
  return buildNeedle(dic, *_walk_word) == NeedleResult::kBuilt;
}

bool LexorRecordset::enterDictionary(Lexor& dic) {
  if (!needleFits(dic)) return false;
  _index_range = dic.lookupIndex(_needle.data(), _needlf.data());
  _range_looked_up = true;

  // A range that begins before the first index word names an entry that has no block; the words
  // that can begin with the needle start in block 0, and the range still ends where it ends.
  int64_t first;
  int64_t end;
  if (_index_range.location == kBeforeFirstIndexEntry) {
    first = 0;
    end = static_cast<int64_t>(_index_range.length) - 1;
  } else {
    first = _index_range.location;
    end = first + static_cast<int64_t>(_index_range.length);
  }
  // Never try more blocks than the index holds: each failed load would cost a log line.
  if (end > 0 && !dic.hasIndexEntry(static_cast<uint32_t>(end - 1)))
    end = std::min<int64_t>(end, dic.usableIndexEntries());
  first = std::min<int64_t>(first, std::max<int64_t>(end, 0));
  _curr_index_no = static_cast<int32_t>(first);
  _range_end = end;
  return true;
}

bool LexorRecordset::findInRange(Lexor& dic) {
  EntryLayout layout;
  layout.bocu = dic.isBOCU();
  size_t position = 0;
  if (!_datablock.empty()) {
    position = _next_p;  // step over the current entry
    _p.reset();
  }

  for (;;) {
    if (_datablock.empty()) {
      if (_curr_index_no >= _range_end) return false;
      // A sound index names each block once. A crafted one may name a block again, or blocks
      // that overlap: walking those would repeat matches and make the work of one query grow
      // with the square of the file's size, so a block that overlaps one already walked in this
      // dictionary is passed. Blocks usually come in ascending order, past every block walked so
      // far; only one that lies before is checked against the others, by its head word alone.
      const int32_t entry = _curr_index_no;
      const uint64_t blockNumber = dic.indexBlockNumber(static_cast<uint32_t>(entry));
      if (blockNumber < _walked_until) {
        // A head word that cannot be read is left to the load below, which reports it.
        const uint32_t units = dic.blockUnits(entry);
        if (units != 0 && overlapsWalkedBlock(blockNumber, blockNumber + units)) {
          ++_curr_index_no;
          continue;
        }
      }
      if (!dic.loadDatablock(entry, _datablock)) {
        // One unreadable block does not hide the matches of the blocks and dictionaries after it.
        logFormat("cannot allocate datablock\n");
        _datablock.clear();
        ++_curr_index_no;
        continue;
      }
      const uint64_t blockEnd = blockNumber + _datablock.size() / kBlockUnit;
      if (blockNumber < _walked_until && overlapsWalkedBlock(blockNumber, blockEnd)) {
        _datablock.clear();  // the file changed between the two reads
        ++_curr_index_no;
        continue;
      }
      noteWalkedBlock(blockNumber, blockEnd);
      _fieldlength_byte = fieldWidthOfBlock(_datablock);
      _eword[0] = 0;
      _eword_len = 0;
      position = kBlockEntriesOffset;
    }

    // Hot path: every head word of the block is rebuilt in place and compared as bytes; nothing
    // is allocated per entry. An entry that breaks the layout ends the walk of its block.
    layout.fieldWidth = _fieldlength_byte;
    const size_t limit = usableBlockSize(_datablock);
    for (;;) {
      EntryHead head;
      if (readEntryHead(_datablock.data(), limit, position, layout, &head) != EntryStatus::kEntry)
        break;
      size_t length = static_cast<size_t>(_eword_len);
      if (!decompressHeadWord(_datablock.data() + head.tail, head.tailLength, head.prefixCount,
                              _eword.data(), &length))
        break;
      _eword_len = static_cast<int32_t>(length);
      _attrib = head.attribute;
      if (length >= _needle_len && std::memcmp(_eword.data(), _needle.data(), _needle_len) == 0) {
        _p = position;
        _next_p = head.end;
        return true;
      }
      position = head.end;
    }
    releaseBlock();
    ++_curr_index_no;
  }
}

namespace {

using UnitRange = std::pair<uint64_t, uint64_t>;

// Whether [first, end) meets one of the disjoint ranges, given the first range that begins at or
// after `first` (`next`) in their sorted order.
template <typename Iterator>
bool meets(Iterator begin, Iterator next, Iterator finish, uint64_t first, uint64_t end) {
  if (next != finish && next->first < end) return true;
  return next != begin && std::prev(next)->second > first;
}

}  // namespace

bool LexorRecordset::overlapsWalkedBlock(uint64_t first, uint64_t end) const {
  const UnitRange key(first, 0);
  const auto& inOrder = _walked_blocks;
  if (meets(inOrder.begin(), std::lower_bound(inOrder.begin(), inOrder.end(), key), inOrder.end(),
            first, end))
    return true;
  const auto& others = _walked_out_of_order;
  return meets(others.begin(), others.lower_bound(key), others.end(), first, end);
}

void LexorRecordset::noteWalkedBlock(uint64_t first, uint64_t end) {
  if (first >= _walked_until) {
    _walked_blocks.emplace_back(first, end);
    _walked_until = end;
  } else {
    _walked_out_of_order.emplace(first, end);
  }
}

bool LexorRecordset::nextDictionary() {
  if (!_dics || static_cast<size_t>(_curr_dic) + 1 >= _dics->size()) return false;
  ++_curr_dic;
  clear_();
  return true;
}

bool LexorRecordset::endWalk() {
  releaseBlock();
  _range_looked_up = true;  // further steps answer false until the next query or reset
  _isEOF = true;
  return false;
}

bool LexorRecordset::moveNext() {
  if (_isEOF && _range_looked_up) return false;  // the walk has already ended

  for (;;) {
    if (static_cast<size_t>(_curr_dic) >= dicCount()) return endWalk();
    Lexor* dic = currentDic();
    if (dic && !_range_looked_up && !enterDictionary(*dic)) dic = nullptr;  // word not encodable
    if (dic && findInRange(*dic)) {
      _isEOF = false;
      return true;
    }
    if (!nextDictionary()) return endWalk();
  }
}

std::optional<Record> LexorRecordset::getRecordAsDictionary() {
  if (_isEOF || !_p || _datablock.empty()) return std::nullopt;
  Lexor* dic = currentDic();
  if (!dic) return std::nullopt;

  EntryLayout layout;
  layout.fieldWidth = _fieldlength_byte;
  layout.bocu = dic->isBOCU();
  EntryHead head;
  if (readEntryHead(_datablock.data(), usableBlockSize(_datablock), *_p, layout, &head) !=
      EntryStatus::kEntry)
    return std::nullopt;

  const uint8_t attribute = static_cast<uint8_t>(_attrib);
  const EntryBody body = readEntryBody(_datablock.data() + head.body, head.end - head.body,
                                       (attribute & kExtendedEntryFlag) != 0, _fieldlength_byte);
  return decodeRecord(DictionaryTexts::of(dic->isBOCU(), dic->getDicSignature()), _eword.data(),
                      static_cast<size_t>(_eword_len), attribute, body);
}

}  // namespace lexor
