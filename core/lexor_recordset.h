// A forward-only cursor over the entries, in an ordered list of dictionaries, whose head words
// begin with a query word.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "core/block_cursor.h"
#include "core/lexor.h"
#include "core/record.h"
#include "platform/code_page.h"
#include "platform/ustring.h"

namespace lexor {

inline constexpr size_t kNeedleSize = 256;  // 255 bytes and a NUL
inline constexpr size_t kEwordSize = kHeadWordBufferSize;

using LexorList = std::vector<std::shared_ptr<Lexor>>;

class LexorRecordset {
 public:
  static std::shared_ptr<LexorRecordset> init();
  static std::shared_ptr<LexorRecordset> initWithDic(std::shared_ptr<Lexor> dic);
  // Shares the caller's list (no copy).
  static std::shared_ptr<LexorRecordset> initWithDics(std::shared_ptr<LexorList> dics);
  ~LexorRecordset();

  void addDic(std::shared_ptr<Lexor> dic);
  void removeDics();
  void clear();
  void clear_();
  bool isEOF() const { return _isEOF; }

  bool queryWithWord(const UString& word);
  bool moveNext();
  std::optional<Record> getRecordAsDictionary();

  // For tests and the hosts: what the recordset holds.
  size_t dicCount() const { return _dics ? _dics->size() : 0; }
  std::shared_ptr<Lexor> dicAt(size_t i) const {
    return _dics && i < _dics->size() ? (*_dics)[i] : nullptr;
  }
  int32_t currentDicPosition() const { return _curr_dic; }
  const uint8_t* needle() const { return _needle.data(); }
  const uint8_t* upperBound() const { return _needlf.data(); }

 private:
  LexorRecordset() = default;

  std::shared_ptr<LexorList> _dics;
  int32_t _curr_dic = 0;
  std::optional<UString> _needle_nsstr;
  std::array<uint8_t, kNeedleSize> _needle{};
  std::array<uint8_t, kNeedleSize> _needlf{};
  IndexRange _index_range;
  int32_t _curr_index_no = 0;  // the index entry whose block is walked
  BlockCursor _cursor;
  bool _isEOF = false;

  // The encoding a needle is built in: BOCU-1, or a head-word code page.
  struct NeedleEncoding {
    bool bocu = false;
    CodePage page = kCodePageNone;
    bool operator==(const NeedleEncoding&) const = default;
  };
  enum class NeedleResult { kBuilt, kUnencodable, kEmpty };

  Lexor* currentDic() const;
  NeedleResult buildNeedle(const Lexor& dic, UStringView word);
  bool needleFits(const Lexor& dic);
  bool enterDictionary(Lexor& dic);
  bool findInRange(Lexor& dic);
  bool nextBlock(Lexor& dic);
  bool nextDictionary();
  bool endWalk();

  // The query word as the walk needs it: unlike _needle_nsstr it outlives clear_, because every
  // dictionary whose head words use another encoding gets the needle rebuilt from it.
  std::optional<UString> _walk_word;
  std::optional<NeedleEncoding> _needle_encoding;  // none: no word, the needle is empty
  size_t _needle_len = 0;
  bool _range_looked_up = false;  // the current dictionary's range has been looked up
  int64_t _range_end = 0;         // one past the last index entry of the range to walk
  WalkedBlocks _walked;           // the blocks walked in this dictionary for this query
};

}  // namespace lexor
