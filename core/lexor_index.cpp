// The index area (its entry layout in core/lexor_format.h): one entry per data block, in ascending
// order of the blocks' leading words; a leading word sorts at or before every word of its block
// and after every word of the blocks before it.
//
// The index ends after the header's count of entries, or earlier at an entry whose word is empty
// (its NUL stands right after the block number), or, in a damaged file, where the bytes read end.
#include "core/lexor_index.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <mutex>

#include "core/data_util.h"
#include "core/index_scan.h"
#include "platform/digest.h"
#include "platform/log.h"
#include "platform/recent_list.h"

namespace lexor {
namespace {

constexpr size_t kIndexCacheCapacity = 16;
const uint8_t kEmptyWord[1] = {0};

int32_t blockNumberWidth(int32_t blockbyte) {
  return blockbyte == kWideBlockNumberBytes ? kWideBlockNumberBytes : kNarrowBlockNumberBytes;
}

// What makes a cached index the right one: the same file, unchanged, read with the same header.
struct IndexCacheKey {
  UString path;
  FileIdentity identity;
  uint64_t start = 0;
  uint32_t size = 0;
  int32_t entries = 0;
  int32_t blockbyte = 0;
  bool operator==(const IndexCacheKey&) const = default;
};

// The most recently read indexes, newest first. Bounded, so that a process that opens many
// dictionaries holds no more than a few indexes it no longer uses.
class IndexCache {
 public:
  using Entry = std::pair<IndexCacheKey, std::shared_ptr<const SharedIndex>>;

  std::shared_ptr<const SharedIndex> find(const IndexCacheKey& key) {
    return _entries
        .find([&](const Entry& entry) { return entry.first == key; },
              [](const Entry& entry) { return entry.second; })
        .value_or(nullptr);
  }

  void insert(IndexCacheKey key, std::shared_ptr<const SharedIndex> index) {
    const UString path = key.path;
    // An older index of the same path belongs to a file that has changed since.
    _entries.add(Entry(std::move(key), std::move(index)),
                 [&](const Entry& entry) { return entry.first.path == path; });
  }

  void clear() { _entries.clear(); }
  size_t size() { return _entries.size(); }

 private:
  RecentList<Entry> _entries{kIndexCacheCapacity};
};

IndexCache& indexCache() {
  static IndexCache* cache = new IndexCache();  // never destroyed: usable during static teardown
  return *cache;
}

}  // namespace

namespace {

// Finds the entries of index.bytes[0, limit) and judges their order (the bytes are padded past
// `limit` already).
void fillEntryTable(LexorIndex& index, size_t limit, int32_t nIndexEntry) {
  const size_t width = static_cast<size_t>(index.blockbyte);
  // The smallest entry is a block number, one word byte and a NUL; a count that the bytes cannot
  // hold is not believed when reserving.
  const size_t possible = limit / (width + 2);
  const size_t claimed = nIndexEntry > 0 ? static_cast<size_t>(nIndexEntry) : 0;
  index.wordOffsets.reserve(std::min(claimed, possible));

  // Hot path of opening a dictionary: one walk over tens of thousands of entries. The order
  // check compares the words' leading bytes as numbers and calls strcmp only on a tie.
  const uint8_t* base = index.bytes.data();
  const uint8_t* previous = nullptr;
  uint64_t previousKey = 0;
  size_t previousLength = 0;
  size_t p = 0;
  for (size_t i = 0; i < claimed; ++i) {
    if (limit - p < width + 1) break;  // no room for a block number and a word byte
    const size_t w = p + width;
    if (base[w] == 0) break;  // an empty word ends the index
    const size_t nul = findNul(base, w, limit);
    if (nul == limit) break;  // the word runs past the bytes read
    const uint8_t* word = base + w;
    const size_t length = nul - w;
    const uint64_t key = leadingKey(word, length, limit - w >= 8);
    if (previous != nullptr) {
      const bool before = key != previousKey ? key < previousKey
                                             : (length > 8 || previousLength > 8) &&
                                                   compareWords(previous, word) > 0;
      if (before) index.sorted = false;
    }
    previous = word;
    previousKey = key;
    previousLength = length;
    index.wordOffsets.push_back(static_cast<uint32_t>(w));
    p = nul + 1;
  }
}

}  // namespace

std::shared_ptr<const LexorIndex> buildLexorIndex(std::vector<uint8_t> bytes, int32_t nIndexEntry,
                                                  int32_t blockbyte) {
  auto index = std::make_shared<LexorIndex>();
  index->blockbyte = blockNumberWidth(blockbyte);
  const size_t limit = bytes.size();
  // The pad keeps every word NUL-terminated inside the buffer, whatever the walk finds.
  bytes.push_back(0);
  index->bytes.assign(bytes.begin(), bytes.end());
  fillEntryTable(*index, limit, nIndexEntry);
  return index;
}

SharedIndex::SharedIndex(IndexBytes bytes, int32_t nIndexEntry, int32_t blockbyte)
    : _size(bytes.size()), _claimed(nIndexEntry) {
  _index.blockbyte = blockNumberWidth(blockbyte);
  bytes.push_back(0);
  _index.bytes = std::move(bytes);
}

const LexorIndex& SharedIndex::table() const {
  std::call_once(_once, [this] {
    fillEntryTable(_index, _size, _claimed);
    _built.store(true, std::memory_order_release);
  });
  return _index;
}

IndexRange lookupIndexRange(const LexorIndex& index, const uint8_t* word, const uint8_t* until) {
  if (word == nullptr) word = kEmptyWord;
  if (until == nullptr) until = kEmptyWord;
  if (!index.sorted) return scanIndex(index, word, until);

  // Two binary searches give what the single pass gives on sorted words: `first` is the number of
  // entries at or before the word, `end` the first entry from there on that is not before the
  // bound. An `until` that sorts before the word (its last byte wrapped) leaves end == first.
  const uint8_t* base = index.bytes.data();
  const auto& offsets = index.wordOffsets;
  const auto after = std::partition_point(offsets.begin(), offsets.end(), [&](uint32_t offset) {
    return compareWords(base + offset, word) <= 0;
  });
  const auto end = std::partition_point(after, offsets.end(), [&](uint32_t offset) {
    return compareWords(base + offset, until) < 0;
  });
  const auto first = static_cast<uint32_t>(after - offsets.begin());
  const auto following = static_cast<uint32_t>(end - after);
  // Location first - 1 wraps to 0xFFFFFFFF when the word sorts before every entry.
  return {first - 1, following + 1};
}

void clearLexorIndexCache() { indexCache().clear(); }

size_t lexorIndexCacheSize() { return indexCache().size(); }

void Lexor::loadIndex(bool /*unused*/) {
  if (_index) return;  // read at most once per object
  if (!_hasFile) {
    _index = std::make_shared<SharedIndex>(IndexBytes(), 0, _blockbyte);
    logFormat("loadIndex: fh = nil.\n");
    return;
  }
  IndexCacheKey key{_dict_path, _identity, indexStart(), _indexSize, _nIndexEntry, _blockbyte};
  if ((_index = indexCache().find(key))) return;
  LexorStatus status = LexorStatus::kOk;
  const std::shared_ptr<const FileHandle> fh = file(&status);
  if (!fh) {  // changed since the header was read: its blocks cannot be trusted either
    _index = std::make_shared<SharedIndex>(IndexBytes(), 0, _blockbyte);
    return;
  }

  // Never more than the file can fill, whatever size the header claims.
  const uint64_t start = indexStart();
  const uint64_t fileSize = fh->size();
  const uint64_t available = start < fileSize ? fileSize - start : 0;
  const auto want = static_cast<size_t>(std::min<uint64_t>(_indexSize, available));
  IndexBytes bytes;
  bytes.reserve(want + 1);  // room for the pad, so the buffer is allocated once
  bytes.resize(want);
  if (want > 0) bytes.resize(fh->readAt(start, bytes.data(), want));
  _index = std::make_shared<SharedIndex>(std::move(bytes), _nIndexEntry, _blockbyte);
  indexCache().insert(std::move(key), _index);
}

uint64_t Lexor::contentDigest() {
  if (!_index) loadIndex(false);
  const uint64_t header = digestBytes(_headerblock.data(), _headerblock.size());
  return digestBytes(_index->bytes(), _index->size(), header);
}

IndexRange Lexor::lookupIndex(const uint8_t* word, const uint8_t* until) {
  if (!_index) loadIndex(false);
  if (!_index->hasTable() && _index->takeFirstLookup()) return walkIndex(word, until);
  return lookupIndexRange(_index->table(), word, until);
}

// The single pass gives what the search gives on sorted words, and on words out of order what
// the search's fallback gives, so it serves either. It stops where the range ends, and notes the
// word offsets of the entries in the range, which are all the walk of the blocks asks for.
IndexRange Lexor::walkIndex(const uint8_t* word, const uint8_t* until) {
  if (word == nullptr) word = kEmptyWord;
  if (until == nullptr) until = kEmptyWord;
  const uint8_t* base = _index->bytes();
  const size_t limit = _index->size();
  const size_t width = static_cast<size_t>(_index->blockbyte());
  const size_t claimed =
      _index->claimedEntries() > 0 ? static_cast<size_t>(_index->claimedEntries()) : 0;
  const size_t wordLength = std::strlen(reinterpret_cast<const char*>(word));
  const size_t untilLength = std::strlen(reinterpret_cast<const char*>(until));
  const uint64_t wordKey = leadingKey(word, wordLength, false);
  const uint64_t untilKey = leadingKey(until, untilLength, false);
  // Entry against needle: by the first byte, which nearly always decides; then by the first 8
  // bytes as one number; by strcmp only when those tie too.
  const auto compare = [limit, base](const uint8_t* entry, size_t length, const uint8_t* needle,
                                     size_t needleLength, uint64_t needleKey) {
    if (entry[0] != needle[0]) return entry[0] < needle[0] ? -1 : 1;
    const uint64_t key = leadingKey(entry, length, limit - static_cast<size_t>(entry - base) >= 8);
    if (key != needleKey) return key < needleKey ? -1 : 1;
    if (length < 8 && needleLength < 8) return 0;
    return compareWords(entry, needle);
  };

  _windowOffsets.clear();
  _walkedToEnd = true;
  int64_t first = -1, last = -1;
  uint32_t firstOffset = 0;
  bool firstFound = false;
  size_t p = 0;
  size_t i = 0;
  if (word[0] != 0) {
    const LeadingRun run = leadingRun(base, limit, width, word, claimed);
    p = run.position;
    i = run.entries;
    if (i > 0) {
      first = static_cast<int64_t>(i) - 1;
      firstOffset = run.lastOffset;
    }
  }
  NulScanner nuls(base, limit);
  for (; i < claimed; ++i) {
    if (limit - p < width + 1) break;  // the same ends of the index as the entry table's
    const size_t w = p + width;
    const uint8_t* entry = base + w;
    // Hot path: the entries before the word, half the index on average. Their first byte is
    // below the word's, which settles them without their length.
    if (!firstFound && entry[0] != 0 && entry[0] < word[0]) {
      const size_t nul = nuls.next(w + 1);
      if (nul == limit) break;
      first = static_cast<int64_t>(i);
      firstOffset = static_cast<uint32_t>(w);
      p = nul + 1;
      continue;
    }
    if (entry[0] == 0) break;
    const size_t nul = nuls.next(w + 1);
    if (nul == limit) break;
    const size_t length = nul - w;
    p = nul + 1;
    if (!firstFound) {
      if (compare(entry, length, word, wordLength, wordKey) <= 0) {
        first = static_cast<int64_t>(i);
        firstOffset = static_cast<uint32_t>(w);
        continue;
      }
      firstFound = true;
      _windowFirst = first < 0 ? 0 : static_cast<uint32_t>(first);
      if (first >= 0) _windowOffsets.push_back(firstOffset);
    }
    if (compare(entry, length, until, untilLength, untilKey) >= 0) {
      _walkedToEnd = false;
      ++i;  // this entry was seen too
      break;
    }
    last = static_cast<int64_t>(i);
    _windowOffsets.push_back(static_cast<uint32_t>(w));
  }
  if (!firstFound) {  // every entry sorts at or before the word
    _windowFirst = first < 0 ? 0 : static_cast<uint32_t>(first);
    if (first >= 0) _windowOffsets.push_back(firstOffset);
  }
  _walkedEntries = static_cast<uint32_t>(i);
  if (last == -1) last = first;
  return {static_cast<uint32_t>(first), static_cast<uint32_t>(last - first + 1)};
}

uint32_t Lexor::usableIndexEntries() {
  if (!_index) loadIndex(false);
  return static_cast<uint32_t>(_index->table().wordOffsets.size());
}

bool Lexor::hasIndexEntry(uint32_t n) {
  if (!_index) loadIndex(false);
  if (!_index->hasTable()) {
    if (n < _walkedEntries) return true;
    if (_walkedToEnd) return false;
  }
  return n < _index->table().wordOffsets.size();
}

const uint8_t* Lexor::indexWord(uint32_t i) const {
  if (!_index) return nullptr;
  if (!_index->hasTable() && i >= _windowFirst && i - _windowFirst < _windowOffsets.size())
    return _index->bytes() + _windowOffsets[i - _windowFirst];
  const LexorIndex& table = _index->table();
  if (i >= table.wordOffsets.size()) return nullptr;
  return table.bytes.data() + table.wordOffsets[i];
}

uint32_t Lexor::indexBlockNumber(uint32_t i) const {
  const uint8_t* word = indexWord(i);
  if (word == nullptr) return 0;
  return getUIntOfWidth(word - _index->blockbyte(), _index->blockbyte());
}

}  // namespace lexor
