// The head-word table of one dictionary: every entry's head word, folded (search/text_fold.h) and
// as stored, both UTF-8, with where the entry lives. The match strategies scan it instead of the
// file. It is built on first use by walking every data block once, and shared by every open of
// the same unchanged file; the plain prefix look-up never needs it.
//
// Layout: one byte arena and one 16-byte record an entry, in dictionary order (index entries in
// turn, entries of a block in turn).
//   arena    for each entry: folded word, NUL, [stored word, NUL when it differs from the folded]
//   entry    text: offset of the folded word; stored: offset of the stored word, 0 when it is the
//            folded word; indexEntry and offset: the block (by index entry) and the entry's offset
//            in it
// A sentinel entry after the last gives the end of the last word.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/lexor.h"

namespace lexor {

struct EntryLocation {
  uint32_t indexEntry = 0;  // the index entry whose block holds the entry
  uint32_t offset = 0;      // offset of the entry in that block
};

class HeadWordTable {
 public:
  // The table of the dictionary's file: shared when an open of the same unchanged file has built
  // it, else built now (and kept for the next opens while it is among the most recently used).
  static std::shared_ptr<const HeadWordTable> of(Lexor& dic);
  // Always builds afresh and keeps nothing (benchmarks, tests).
  static std::shared_ptr<const HeadWordTable> build(Lexor& dic);

  size_t size() const { return _entries.empty() ? 0 : _entries.size() - 1; }
  std::string_view folded(size_t i) const;
  std::string_view stored(size_t i) const;
  EntryLocation location(size_t i) const { return {_entries[i].indexEntry, _entries[i].offset}; }

  // Every word as laid out above, for scans that search the whole table at once.
  std::string_view arena() const { return {_arena.data(), _arena.size()}; }
  // The entry whose words hold arena offset `at` (at < arena().size()).
  size_t entryAt(size_t at) const;
  size_t foldedBegin(size_t i) const { return _entries[i].text; }

  // The entries in ascending byte order of their folded words (equal words in dictionary order);
  // sorted on the first call, which only exact and prefix matches make.
  std::span<const uint32_t> foldedOrder() const;

  // Bytes held, and the UTF-8 bytes of the stored head words (for the memory budget).
  size_t memoryBytes() const;
  size_t storedUtf8Bytes() const { return _storedUtf8Bytes; }
  // Entries whose head word did not decode and so cannot be matched.
  size_t undecodable() const { return _undecodable; }

 private:
  struct Entry {
    uint32_t text;
    uint32_t stored;
    uint32_t indexEntry;
    uint32_t offset;
  };
  class Builder;

  std::string _arena;
  std::vector<Entry> _entries;
  size_t _storedUtf8Bytes = 0;
  size_t _undecodable = 0;
  mutable std::once_flag _sortOnce;
  mutable std::vector<uint32_t> _foldedOrder;
};

// The shared tables (for tests and for hosts that want memory back).
void clearHeadWordTableCache();
size_t headWordTableCacheSize();

}  // namespace lexor
