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

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#endif

#include "core/data_util.h"
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

// Words compare as the stored bytes in unsigned order, as strcmp defines it.
int compareWords(const uint8_t* a, const uint8_t* b) {
  return std::strcmp(reinterpret_cast<const char*>(a), reinterpret_cast<const char*>(b));
}

// Offset of the first NUL at or after `from` in data[0, limit), or `limit` when there is none.
// Index words are short (nearly all under 32 bytes), so one test of 32 bytes at once usually
// settles it, without a branch on the word's length that the processor would mispredict.
#if defined(__SSE2__)
constexpr size_t kNulSpan = 32;

// Bit i set where at[i] is NUL, for the 32 bytes from `at`.
inline uint32_t nulMask32(const uint8_t* at) {
  const __m128i zero = _mm_setzero_si128();
  const auto* words = reinterpret_cast<const __m128i*>(at);
  const auto low =
      static_cast<uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(_mm_loadu_si128(words), zero)));
  const auto high =
      static_cast<uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(_mm_loadu_si128(words + 1), zero)));
  return low | high << 16;
}
#endif

size_t findNul(const uint8_t* data, size_t from, size_t limit) {
#if defined(__SSE2__)
  while (limit - from >= kNulSpan) {
    const uint32_t mask = nulMask32(data + from);
    if (mask != 0) return from + static_cast<size_t>(__builtin_ctz(mask));
    from += kNulSpan;
  }
#endif
  const void* nul = std::memchr(data + from, 0, limit - from);
  return nul ? static_cast<size_t>(static_cast<const uint8_t*>(nul) - data) : limit;
}

// Finds NULs in bytes [0, limit) for a walk that moves forward through them: one test of 64
// bytes at once gives a mask that usually serves the next few words too, where findNul would
// test each word's bytes on their own.
class NulScanner {
 public:
  NulScanner(const uint8_t* data, size_t limit) : _data(data), _limit(limit) { load(0); }

  // Offset of the first NUL at or after `from` (>= every earlier `from`), or `limit` if none.
  size_t next(size_t from) {
    for (;;) {
      if (from >= _limit) return _limit;
      if (from - _chunk >= kSpan) load(from - from % kSpan);
      // No bit is set at or past `limit`.
      const uint64_t m = _mask >> (from - _chunk);
      if (m != 0) return from + static_cast<size_t>(__builtin_ctzll(m));
      from = _chunk + kSpan;
    }
  }

 private:
  static constexpr size_t kSpan = 64;

  void load(size_t chunk) {
    _chunk = chunk;
    _mask = 0;
    if (chunk >= _limit) return;
#if defined(__SSE2__)
    if (_limit - chunk >= kSpan) {
      const __m128i zero = _mm_setzero_si128();
      const auto* at = reinterpret_cast<const __m128i*>(_data + chunk);
      for (int i = 0; i < 4; ++i) {
        const auto bits =
            static_cast<uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(_mm_loadu_si128(at + i), zero)));
        _mask |= uint64_t{bits} << (16 * i);
      }
      return;
    }
#endif
    const size_t n = std::min(kSpan, _limit - chunk);
    for (size_t i = 0; i < n; ++i) _mask |= uint64_t{_data[chunk + i] == 0} << i;
  }

  const uint8_t* _data;
  size_t _limit;
  size_t _chunk = 0;
  uint64_t _mask = 0;
};

// The first 8 bytes of a word of `length` bytes, zero-padded past its end, as a big-endian
// number: two such keys that differ order their words as strcmp does. Without a loop whose length
// varies from word to word, so that the walk below mispredicts no branch on it; `word` must have
// 8 readable bytes when `readable` is true.
uint64_t leadingKey(const uint8_t* word, size_t length, bool readable) {
  uint64_t key = 0;
  if (readable) {
    uint8_t raw[8];
    std::memcpy(raw, word, sizeof raw);
    for (size_t i = 0; i < sizeof raw; ++i) key = key << 8 | raw[i];
    if (length < 8) key &= ~(~uint64_t{0} >> (8 * length));
    return key;
  }
  const size_t n = std::min<size_t>(length, 8);
  for (size_t i = 0; i < n; ++i) key |= uint64_t{word[i]} << (56 - 8 * i);
  return key;
}

// Where a run of entries before a word ends (at the latest where the single pass first meets an
// entry whose word does not begin with a byte below the word's first byte, or stops): the state
// of the pass there.
struct LeadingRun {
  size_t position = 0;      // start of the entry the pass meets then
  size_t entries = 0;       // entries before it
  uint32_t lastOffset = 0;  // word offset of the entry before it (when entries > 0)
};

// Offset of the first NUL at or after `from` in data[0, limit), or `limit` when there is none; one
// test of 32 bytes settles nearly every index word, with no branch that depends on its length.
inline size_t nulFrom(const uint8_t* data, size_t from, size_t limit) {
#if defined(__SSE2__)
  if (limit - from >= kNulSpan) {
    const uint32_t mask = nulMask32(data + from);
    if (mask != 0) return from + static_cast<size_t>(__builtin_ctz(mask));
  }
#endif
  return findNul(data, from, limit);
}

// The leading run of entries that begin below `below`, found by several chains at once: the
// first from the index's start, the others from guessed entry starts further on (just after
// some NUL). A chain is one dependent load after another; running four side by side keeps the
// processor busy while each waits. A guessed chain counts only where the true chain, coming from
// before, lands on one of its entry starts: from there on both are the same walk. Where it does
// not, the true chain's state is returned and the caller's pass walks on from it.
LeadingRun walkLeadingRun(const uint8_t* base, size_t limit, size_t width, uint8_t below,
                          size_t maxEntries) {
  constexpr size_t kWalkers = 4;
  constexpr size_t kRecorded = 8;
  constexpr size_t kSplitMinBytes = 1024;
  // Where the run probably ends, if the words are in order: a byte search on guessed entries.
  size_t lo = 0, hi = limit;
  while (hi - lo > 256) {
    const size_t mid = lo + (hi - lo) / 2;
    // A NUL found at random may be a block number's; two steps from it nearly always land on
    // the chain of true entries.
    size_t nul = findNul(base, mid, limit);
    for (int n = 0; n < 2 && nul < limit && limit - nul > width + 1; ++n)
      nul = nulFrom(base, nul + 1 + width + 1, limit);
    const size_t w = nul + 1 + width;
    if (nul < limit && w < limit && base[w] != 0 && base[w] < below) {
      lo = mid;
    } else {
      hi = mid;
    }
  }
  // Chain k starts at start[k] and walks until it reaches end[k] (the next chain's start).
  size_t start[kWalkers + 1] = {};
  size_t walkers = 1;
  if (lo >= kSplitMinBytes) {
    for (size_t k = 1; k < kWalkers; ++k) {
      const size_t nul = findNul(base, lo / kWalkers * k, limit);
      if (nul >= limit || nul + 1 <= start[walkers - 1]) break;
      start[walkers++] = nul + 1;
    }
  }
  size_t pos[kWalkers], end[kWalkers], entries[kWalkers] = {}, recorded[kWalkers] = {};
  uint32_t last[kWalkers] = {};
  bool stopped[kWalkers] = {}, reachedEnd[kWalkers] = {};
  size_t starts[kWalkers][kRecorded];
  for (size_t k = 0; k < kWalkers; ++k) {
    pos[k] = start[k];
    end[k] = k + 1 < walkers ? start[k + 1] : limit + 1;  // the last runs until its run ends
    stopped[k] = k >= walkers;
  }
  // One entry of chain k; false once the chain has stopped.
  const auto step = [&](size_t k) {
    const size_t p = pos[k];
    if (recorded[k] < kRecorded) starts[k][recorded[k]++] = p;
    if (entries[k] >= maxEntries || limit - p < width + 1) return false;
    const size_t w = p + width;
    const uint8_t c = base[w];
    if (c == 0 || c >= below) return false;
    const size_t nul = nulFrom(base, w + 1, limit);
    if (nul == limit) return false;
    ++entries[k];
    last[k] = static_cast<uint32_t>(w);
    pos[k] = nul + 1;
    if (nul + 1 >= end[k]) {
      reachedEnd[k] = true;
      return false;
    }
    return true;
  };
  if (walkers == kWalkers) {
    // All four in step while none has stopped: no per-chain test of whether it still walks.
    for (;;) {
      const bool a = step(0), b = step(1), c = step(2), d = step(3);
      if (!(a && b && c && d)) {
        stopped[0] = !a, stopped[1] = !b, stopped[2] = !c, stopped[3] = !d;
        break;
      }
    }
  }
  for (bool any = true; any;) {
    any = false;
    for (size_t k = 0; k < kWalkers; ++k) {
      if (stopped[k]) continue;
      stopped[k] = !step(k);
      any = true;
    }
  }

  LeadingRun run{pos[0], entries[0], last[0]};
  for (size_t k = 1; k < walkers; ++k) {
    if (!reachedEnd[k - 1]) break;  // the true chain ended before this one's guess
    size_t j = 0;
    while (j < recorded[k] && starts[k][j] != run.position) ++j;
    if (j == recorded[k]) break;  // never met: the caller walks on from here
    const size_t more = entries[k] - j;
    if (run.entries + more > maxEntries) break;
    run.entries += more;
    run.position = pos[k];
    if (more > 0) run.lastOffset = last[k];
    if (!reachedEnd[k]) break;
  }
  return run;
}

#if defined(__x86_64__) && defined(__GNUC__)
#define LEXOR_WIDE_MASKS 1
// The entries before a word, found without walking them one by one, 64 bytes at a time: those
// whose first two bytes (a NUL standing for the word's end) sort below the word's first two, a
// run that reaches past the one of the single pass above, which the first byte alone decides.
// Within the run a NUL ends an entry exactly when no entry ended in the `width` bytes before it
// (the NULs there are block-number bytes), and a NUL with no NUL at all in the `width` bytes before
// it certainly ends one. Those certain ends nearly always settle a window: every other NUL of the
// window lies in the block number after one of them, or after the last end of the window before. A
// window where that does not hold is settled by going through its NULs one by one. A window is
// taken only whole: the word starts in it all begin with a byte in [1, below), every entry lies
// within the bytes, and the count stays within `maxEntries`; otherwise the state before it is
// returned and the caller's pass walks on from there, as it would from the end of the shorter run.
// Bits: bit i of a window's mask is its byte i; `word` has at least two readable bytes.
template <size_t W>
__attribute__((target("avx512f,avx512bw,bmi,bmi2,popcnt,lzcnt"))) LeadingRun settleLeadingRunWide(
    const uint8_t* base, size_t limit, const uint8_t* word, size_t maxEntries) {
  // The bits of `now` moved up by `k` places, the top bits of `before` filling in below.
  const auto up = [](uint64_t now, uint64_t before, unsigned k) {
    return now << k | before >> (64 - k);
  };
  // Positions with a set bit among the `W` places before them.
  const auto spread = [](uint64_t now, uint64_t before) {
    uint64_t m = now | now << 1;
    if constexpr (W == 4) m |= m << 2;
    // Bit j below W is set when `before` has a bit at 64 - W + j or higher.
    uint64_t carry = before >> (64 - W);
    carry |= carry >> 1;
    if constexpr (W == 4) carry |= carry >> 2;
    return m << 1 | carry;
  };
  // The position of the highest set bit of a window's mask.
  const auto top = [](int64_t at, uint64_t mask) {
    return at + 63 - static_cast<int64_t>(__builtin_clzll(mask));
  };
  const __m512i zero = _mm512_setzero_si512();
  const __m512i one = _mm512_set1_epi8(1);
  const __m512i span = _mm512_set1_epi8(static_cast<char>(word[0] - 1));
  const __m512i lead = _mm512_set1_epi8(static_cast<char>(word[0]));
  const __m512i second = _mm512_set1_epi8(static_cast<char>(word[1]));
  // A virtual end just before the first entry: byte -1.
  uint64_t zPrev = uint64_t{1} << 63, tPrev = uint64_t{1} << 63;
  // The last two windows taken that hold entry ends, and their ends.
  int64_t newestAt = -64, olderAt = -64;
  uint64_t newest = tPrev, older = tPrev;
  size_t entries = 0;
  for (size_t at = 0; limit - at > 64; at += 64) {
    const __m512i bytes = _mm512_loadu_si512(base + at);
    const uint64_t z = _mm512_cmpeq_epi8_mask(bytes, zero);
    // A word start is fine where its byte is in [1, word[0]) (byte - 1 wraps 0 to 255), or is
    // word[0] with a byte below word[1] after it.
    const uint64_t fine = _mm512_cmplt_epu8_mask(_mm512_sub_epi8(bytes, one), span) |
                          (_mm512_cmpeq_epi8_mask(bytes, lead) &
                           _mm512_cmplt_epu8_mask(_mm512_loadu_si512(base + at + 1), second));
    const uint64_t certain = z & ~spread(z, zPrev);
    uint64_t t = certain;
    if ((z & ~certain & ~spread(certain, tPrev)) != 0) {
      t = 0;
      int64_t last = top(newestAt, newest);
      for (uint64_t m = z; m != 0; m &= m - 1) {
        const auto n = static_cast<int64_t>(at) + __builtin_ctzll(m);
        if (n - last > static_cast<int64_t>(W)) {
          t |= m & -m;
          last = n;
        }
      }
    }
    const uint64_t starts = up(t, tPrev, W + 1);
    const auto count = static_cast<size_t>(__builtin_popcountll(t));
    if ((starts & ~fine) != 0 || entries + count > maxEntries) break;
    entries += count;
    if (t != 0) {
      older = newest, olderAt = newestAt;
      newest = t, newestAt = static_cast<int64_t>(at);
    }
    zPrev = z;
    tPrev = t;
  }
  LeadingRun run;
  run.position = static_cast<size_t>(top(newestAt, newest) + 1);
  run.entries = entries;
  if (entries > 0) {
    const uint64_t rest = newest & ~(uint64_t{1} << (top(0, newest)));
    const int64_t before = rest != 0 ? top(newestAt, rest) : top(olderAt, older);
    run.lastOffset = static_cast<uint32_t>(before + 1 + static_cast<int64_t>(W));
  }
  return run;
}

std::atomic<bool> wideMasksAllowed{true};

bool hasWideMasks() {
  static const bool has = __builtin_cpu_supports("avx512bw") && __builtin_cpu_supports("bmi2") &&
                          __builtin_cpu_supports("popcnt");
  return has && wideMasksAllowed.load(std::memory_order_relaxed);
}
#endif

// The leading run by the widest means this processor has.
LeadingRun leadingRun(const uint8_t* base, size_t limit, size_t width, const uint8_t* word,
                      size_t maxEntries) {
#if defined(LEXOR_WIDE_MASKS)
  if (hasWideMasks()) {
    return width == 4 ? settleLeadingRunWide<4>(base, limit, word, maxEntries)
                      : settleLeadingRunWide<2>(base, limit, word, maxEntries);
  }
#endif
  return walkLeadingRun(base, limit, width, word[0], maxEntries);
}

// The look-up as a single pass over the entries; kept for an index whose words are out of order,
// where a search would not find what this pass finds.
IndexRange scanIndex(const LexorIndex& index, const uint8_t* word, const uint8_t* until) {
  const uint8_t* base = index.bytes.data();
  int64_t first = -1, last = -1;
  bool firstFound = false, lastFound = false;
  for (size_t i = 0; i < index.wordOffsets.size(); ++i) {
    const uint8_t* entry = base + index.wordOffsets[i];
    if (!firstFound) {
      if (compareWords(entry, word) <= 0) {
        first = static_cast<int64_t>(i);
        continue;
      }
      firstFound = true;
    }
    if (!lastFound) {
      if (compareWords(entry, until) < 0) {
        last = static_cast<int64_t>(i);
      } else {
        lastFound = true;
      }
    }
  }
  if (last == -1) last = first;
  return {static_cast<uint32_t>(first), static_cast<uint32_t>(last - first + 1)};
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

void allowWideIndexMasks([[maybe_unused]] bool allowed) {
#if defined(LEXOR_WIDE_MASKS)
  wideMasksAllowed.store(allowed, std::memory_order_relaxed);
#endif
}
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
