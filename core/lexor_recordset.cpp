#include "core/lexor_recordset.h"

#include <algorithm>
#include <cstring>

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
  _walked.clear();
  _cursor.reset();
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

// The walk of the range: next block, next entry, until an entry's head word begins with the
// needle. The cursor stays on that entry; the next step goes on from there.
bool LexorRecordset::findInRange(Lexor& dic) {
  for (;;) {
    if (!_cursor.holdsBlock() && !nextBlock(dic)) return false;
    // Hot path: every head word of the block is rebuilt in place and compared as bytes; nothing
    // is allocated per entry.
    while (_cursor.nextEntry()) {
      if (_cursor.headWordLength() >= _needle_len &&
          std::memcmp(_cursor.headWord(), _needle.data(), _needle_len) == 0)
        return true;
    }
    _cursor.release();
    ++_curr_index_no;
  }
}

// Loads the first block from _curr_index_no on that is readable and not walked yet in this
// dictionary; false when the range holds none.
bool LexorRecordset::nextBlock(Lexor& dic) {
  for (; _curr_index_no < _range_end; ++_curr_index_no) {
    switch (_cursor.load(dic, _curr_index_no, _walked)) {
      case BlockLoad::kLoaded:
        return true;
      case BlockLoad::kUnreadable:
        // One unreadable block does not hide the matches of the blocks and dictionaries after it.
        logFormat("cannot allocate datablock\n");
        break;
      case BlockLoad::kWalked:
        break;
    }
  }
  return false;
}

bool LexorRecordset::nextDictionary() {
  if (!_dics || static_cast<size_t>(_curr_dic) + 1 >= _dics->size()) return false;
  ++_curr_dic;
  clear_();
  return true;
}

bool LexorRecordset::endWalk() {
  _cursor.release();
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
  if (_isEOF || !_cursor.atEntry()) return std::nullopt;
  Lexor* dic = currentDic();
  if (!dic) return std::nullopt;
  const std::optional<EntryBody> body = _cursor.entryBody();
  if (!body) return std::nullopt;
  return decodeRecord(DictionaryTexts::of(dic->isBOCU(), dic->getDicSignature()),
                      _cursor.headWord(), _cursor.headWordLength(), _cursor.attribute(), *body);
}

}  // namespace lexor
