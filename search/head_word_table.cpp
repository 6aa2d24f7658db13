#include "search/head_word_table.h"

#include <unicode/ustring.h>

#include <algorithm>
#include <cstring>
#include <limits>
#include <mutex>
#include <optional>

#include "core/block_cursor.h"
#include "core/bocu1.h"
#include "core/record_decoder.h"
#include "platform/recent_list.h"
#include "search/text_fold.h"

namespace lexor {
namespace {

constexpr size_t kTableCacheCapacity = 8;
constexpr size_t kMaxReservedEntries = size_t{1} << 20;
constexpr uint32_t kMaxArenaBytes = std::numeric_limits<uint32_t>::max() - 1;

}  // namespace

// Walks the blocks with the query walk's cursor: a block that cannot be loaded is passed, an entry
// that breaks the layout ends its block, and a block that overlaps one already walked (a crafted
// index naming it twice) is passed, so that no entry is counted twice.
class HeadWordTable::Builder {
 public:
  Builder(Lexor& dic, HeadWordTable& table)
      : _dic(dic),
        _table(table),
        _texts(DictionaryTexts::of(dic.isBOCU(), dic.getDicSignature())) {}

  void run() {
    const uint32_t blocks = _dic.usableIndexEntries();
    // A guess from the blocks actually indexed, capped: a crafted index of many tiny entries
    // must not reserve memory that the data never fills.
    _table._entries.reserve(std::min<size_t>(size_t{blocks} * 8 + 1, kMaxReservedEntries));
    BlockCursor cursor;
    WalkedBlocks walked;
    for (uint32_t i = 0; i < blocks && !_full; ++i) {
      if (cursor.load(_dic, static_cast<int32_t>(i), walked) != BlockLoad::kLoaded) continue;
      while (!_full && cursor.nextEntry())
        add(i, static_cast<uint32_t>(cursor.entryOffset()), cursor.headWord(),
            cursor.headWordLength());
    }
    _table._entries.push_back({static_cast<uint32_t>(_table._arena.size()), 0, 0, 0});
    _table._entries.shrink_to_fit();
    _table._arena.shrink_to_fit();
  }

 private:
  bool decode(const uint8_t* word, size_t length) {
    if (_texts.bocu) {
      _units.resize(2 * length + 1);
      const int32_t n = bocu1_decode_to16(_units.data(), word);  // word ends in its NUL
      if (n < 0) return false;
      _text = UStringView(_units.data(), static_cast<size_t>(n));
      return true;
    }
    _decoded = decodeCodePage(_texts.headWordPage, word, length);
    if (!_decoded) return false;
    _text = *_decoded;
    return true;
  }

  void add(uint32_t indexEntry, uint32_t offset, const uint8_t* word, size_t length) {
    if (!decode(word, length)) {
      ++_table._undecodable;
      return;
    }
    std::string& arena = _table._arena;
    const size_t text = arena.size();
    appendFoldedText(_text, &arena);
    const size_t foldedLength = arena.size() - text;
    arena.push_back('\0');
    const size_t storedAt = arena.size();
    storedUtf8();
    _table._storedUtf8Bytes += _stored.size();
    uint32_t stored = 0;
    if (_stored != std::string_view(arena).substr(text, foldedLength)) {
      arena += _stored;
      arena.push_back('\0');
      stored = static_cast<uint32_t>(storedAt);
    }
    if (arena.size() > kMaxArenaBytes) {  // no real dictionary comes near; the rest is left out
      arena.resize(text);
      _full = true;
      return;
    }
    _table._entries.push_back({static_cast<uint32_t>(text), stored, indexEntry, offset});
  }

  // The decoded head word as UTF-8 in _stored, whose storage serves every entry.
  void storedUtf8() {
    _stored.resize(_text.size() * 3);  // a UTF-16 unit never needs more
    UErrorCode status = U_ZERO_ERROR;
    int32_t written = 0;
    u_strToUTF8WithSub(_stored.data(), static_cast<int32_t>(_stored.size()), &written,
                       reinterpret_cast<const UChar*>(_text.data()),
                       static_cast<int32_t>(_text.size()), 0xFFFD, nullptr, &status);
    _stored.resize(U_SUCCESS(status) ? static_cast<size_t>(written) : 0);
  }

  Lexor& _dic;
  HeadWordTable& _table;
  DictionaryTexts _texts;
  std::vector<char16_t> _units;
  std::optional<UString> _decoded;
  UStringView _text;
  std::string _stored;
  bool _full = false;
};

std::string_view HeadWordTable::folded(size_t i) const {
  const Entry& entry = _entries[i];
  const size_t end = (entry.stored != 0 ? entry.stored : _entries[i + 1].text) - 1;
  return std::string_view(_arena).substr(entry.text, end - entry.text);
}

std::string_view HeadWordTable::stored(size_t i) const {
  const Entry& entry = _entries[i];
  if (entry.stored == 0) return folded(i);
  const size_t end = _entries[i + 1].text - 1;
  return std::string_view(_arena).substr(entry.stored, end - entry.stored);
}

size_t HeadWordTable::entryAt(size_t at) const {
  const auto after =
      std::upper_bound(_entries.begin(), _entries.end() - 1, at,
                       [](size_t offset, const Entry& entry) { return offset < entry.text; });
  return static_cast<size_t>(after - _entries.begin()) - 1;
}

std::span<const uint32_t> HeadWordTable::foldedOrder() const {
  std::call_once(_sortOnce, [this] {
    _foldedOrder.resize(size());
    for (uint32_t i = 0; i < _foldedOrder.size(); ++i) _foldedOrder[i] = i;
    std::stable_sort(_foldedOrder.begin(), _foldedOrder.end(),
                     [this](uint32_t a, uint32_t b) { return folded(a) < folded(b); });
  });
  return _foldedOrder;
}

size_t HeadWordTable::memoryBytes() const {
  return sizeof(*this) + _arena.capacity() + _entries.capacity() * sizeof(Entry) +
         _foldedOrder.capacity() * sizeof(uint32_t);
}

std::shared_ptr<const HeadWordTable> HeadWordTable::build(Lexor& dic) {
  auto table = std::make_shared<HeadWordTable>();
  Builder(dic, *table).run();
  return table;
}

namespace {

// A table is the right one for a dictionary when it was built from the same index object: opens
// of one unchanged file share their index, and a changed file gets a new one.
struct CachedTable {
  std::weak_ptr<const LexorIndex> index;
  std::once_flag built;
  std::shared_ptr<const HeadWordTable> table;
};

class TableCache {
 public:
  using Slot = std::shared_ptr<CachedTable>;

  Slot slotFor(const std::shared_ptr<const LexorIndex>& index) {
    return _slots.findOrAdd([](const Slot& slot) { return slot->index.expired(); },
                            [&](const Slot& slot) {
                              return !slot->index.owner_before(index) &&
                                     !index.owner_before(slot->index);
                            },
                            [&] {
                              auto slot = std::make_shared<CachedTable>();
                              slot->index = index;
                              return slot;
                            });
  }

  void clear() { _slots.clear(); }
  size_t size() { return _slots.size(); }

 private:
  RecentList<Slot> _slots{kTableCacheCapacity};
};

TableCache& tableCache() {
  static TableCache* cache = new TableCache();  // never destroyed: usable during static teardown
  return *cache;
}

}  // namespace

std::shared_ptr<const HeadWordTable> HeadWordTable::of(Lexor& dic) {
  dic.loadIndex(false);
  const std::shared_ptr<const LexorIndex> index = dic.sharedIndex();
  if (!index) return build(dic);
  // The slot is held while building, so that sessions asking at once wait for one build.
  const std::shared_ptr<CachedTable> slot = tableCache().slotFor(index);
  std::call_once(slot->built, [&] { slot->table = build(dic); });
  return slot->table;
}

void clearHeadWordTableCache() { tableCache().clear(); }
size_t headWordTableCacheSize() { return tableCache().size(); }

}  // namespace lexor
