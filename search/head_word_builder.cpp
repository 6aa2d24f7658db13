// Building a head-word table in memory: one walk over the blocks, then the two indexes.
#include <unicode/ustring.h>

#include <algorithm>
#include <limits>
#include <optional>
#include <unordered_map>

#include "core/block_cursor.h"
#include "core/bocu1.h"
#include "core/record_decoder.h"
#include "search/head_word_table.h"
#include "search/text_fold.h"

namespace lexor {
namespace {

constexpr size_t kMaxReservedEntries = size_t{1} << 20;
constexpr uint32_t kMaxArenaBytes = std::numeric_limits<uint32_t>::max() - 1;

// What a built table owns.
struct Storage {
  std::string arena;
  std::vector<HeadWordTable::Entry> entries;
  std::vector<uint32_t> order;
  std::vector<uint64_t> gramKeys;
  std::vector<uint32_t> gramStarts;
  std::vector<uint32_t> postings;
  uint64_t storedUtf8Bytes = 0;
  uint64_t undecodable = 0;

  size_t bytes() const {
    return arena.capacity() + entries.capacity() * sizeof(entries[0]) +
           (order.capacity() + gramStarts.capacity() + postings.capacity()) * sizeof(uint32_t) +
           gramKeys.capacity() * sizeof(uint64_t);
  }
};

std::string_view foldedOf(const Storage& storage, size_t i) {
  const HeadWordTable::Entry& entry = storage.entries[i];
  const size_t end = entry.stored != 0 ? entry.stored : storage.entries[i + 1].text;
  return std::string_view(storage.arena).substr(entry.text, end - 1 - entry.text);
}

// The folded order: stable, so that equal words keep dictionary order.
void sortOrder(Storage& storage) {
  const size_t n = storage.entries.size() - 1;
  std::vector<std::string_view> words(n);
  for (size_t i = 0; i < n; ++i) words[i] = foldedOf(storage, i);
  storage.order.resize(n);
  for (uint32_t i = 0; i < n; ++i) storage.order[i] = i;
  std::stable_sort(storage.order.begin(), storage.order.end(),
                   [&](uint32_t a, uint32_t b) { return words[a] < words[b]; });
}

// The gram postings in two passes (count, then fill), so that no list of every (gram, entry)
// pair is ever held: each entry's grams are listed once, in entry order, so each list comes out
// ascending.
void indexGrams(Storage& storage) {
  const size_t n = storage.entries.size() - 1;
  std::unordered_map<uint64_t, uint32_t> counts;
  std::vector<uint64_t> grams;
  for (size_t i = 0; i < n; ++i) {
    gramsOf(foldedOf(storage, i), &grams);
    for (uint64_t gram : grams) ++counts[gram];
  }
  storage.gramKeys.reserve(counts.size());
  for (const auto& [gram, count] : counts) storage.gramKeys.push_back(gram);
  std::sort(storage.gramKeys.begin(), storage.gramKeys.end());
  storage.gramStarts.resize(storage.gramKeys.size() + 1);
  std::unordered_map<uint64_t, uint32_t> next;  // where the gram's next entry goes
  next.reserve(counts.size());
  uint32_t total = 0;
  for (size_t k = 0; k < storage.gramKeys.size(); ++k) {
    storage.gramStarts[k] = total;
    next[storage.gramKeys[k]] = total;
    total += counts[storage.gramKeys[k]];
  }
  storage.gramStarts.back() = total;
  storage.postings.resize(total);
  for (size_t i = 0; i < n; ++i) {
    gramsOf(foldedOf(storage, i), &grams);
    for (uint64_t gram : grams) storage.postings[next[gram]++] = static_cast<uint32_t>(i);
  }
}

// Walks the blocks with the query walk's cursor: a block that cannot be loaded is passed, an entry
// that breaks the layout ends its block, and a block that overlaps one already walked (a crafted
// index naming it twice) is passed, so that no entry is counted twice.
class TableBuilder {
 public:
  TableBuilder(Lexor& dic, Storage& storage)
      : _dic(dic),
        _storage(storage),
        _texts(DictionaryTexts::of(dic.isBOCU(), dic.getDicSignature())) {}

  void run() {
    const uint32_t blocks = _dic.usableIndexEntries();
    // A guess from the blocks actually indexed, capped: a crafted index of many tiny entries
    // must not reserve memory that the data never fills.
    _storage.entries.reserve(std::min<size_t>(size_t{blocks} * 8 + 1, kMaxReservedEntries));
    BlockCursor cursor;
    WalkedBlocks walked;
    for (uint32_t i = 0; i < blocks && !_full; ++i) {
      if (cursor.load(_dic, static_cast<int32_t>(i), walked) != BlockLoad::kLoaded) continue;
      while (!_full && cursor.nextEntry())
        add(i, static_cast<uint32_t>(cursor.entryOffset()), cursor.headWord(),
            cursor.headWordLength());
    }
    _storage.entries.push_back({static_cast<uint32_t>(_storage.arena.size()), 0, 0, 0});
    _storage.entries.shrink_to_fit();
    _storage.arena.shrink_to_fit();
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
      ++_storage.undecodable;
      return;
    }
    std::string& arena = _storage.arena;
    const size_t text = arena.size();
    appendFoldedText(_text, &arena);
    const size_t foldedLength = arena.size() - text;
    arena.push_back('\0');
    const size_t storedAt = arena.size();
    storedUtf8();
    _storage.storedUtf8Bytes += _stored.size();
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
    _storage.entries.push_back({static_cast<uint32_t>(text), stored, indexEntry, offset});
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
  Storage& _storage;
  DictionaryTexts _texts;
  std::vector<char16_t> _units;
  std::optional<UString> _decoded;
  UStringView _text;
  std::string _stored;
  bool _full = false;
};

}  // namespace

std::shared_ptr<const HeadWordTable> HeadWordTable::build(Lexor& dic) {
  auto storage = std::make_shared<Storage>();
  TableBuilder(dic, *storage).run();
  sortOrder(*storage);
  indexGrams(*storage);
  Parts parts;
  parts.arena = storage->arena;
  parts.entries = storage->entries;
  parts.order = storage->order;
  parts.gramKeys = storage->gramKeys;
  parts.gramStarts = storage->gramStarts;
  parts.postings = storage->postings;
  parts.storedUtf8Bytes = storage->storedUtf8Bytes;
  parts.undecodable = storage->undecodable;
  const size_t bytes = storage->bytes();
  return over(parts, std::move(storage), bytes);
}

}  // namespace lexor
