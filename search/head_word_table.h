// The head-word table of one dictionary: every entry's head word, folded (search/text_fold.h) and
// as stored, both UTF-8, with where the entry lives, and two indexes over the folded words. The
// match strategies read it instead of the file; the plain prefix look-up never needs it.
//
// It is built once per dictionary by walking every data block, written to the user's cache
// folder (search/head_word_file.h) and from then on used in place from a mapping of that file by
// every process; in a process it is shared by every open of the same unchanged file.
//
// Parts, each an array in dictionary order unless said otherwise:
//   arena      for each entry: folded word, NUL, [stored word, NUL when it differs from the folded]
//   entries    16 bytes an entry. text: offset of the folded word; stored: offset of the stored
//              word, 0 when it is the folded word; indexEntry and offset: the block (by index
//              entry) and the entry's offset in it. A sentinel after the last gives the end of the
//              last word.
//   order      the entries in ascending byte order of their folded words (equal words in
//              dictionary order): exact and prefix matches are a range of it
//   gramKeys   ascending: every pair of neighbouring characters of a folded word, the word's
//              start and end counting as characters (gramKey below)
//   gramStarts for gram key i, where its entries begin in postings (one more: the end)
//   postings   for each gram key, the entries whose folded word holds it, ascending
// Every offset and entry number read from the parts is checked before use, so a damaged cache
// file gives wrong matches at worst, never a read outside it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
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

// The characters that stand before the first and after the last character of a word in a gram.
inline constexpr char32_t kGramStart = 0x110000;
inline constexpr char32_t kGramEnd = 0x110001;
constexpr uint64_t gramKey(char32_t first, char32_t second) {
  return (uint64_t{first} << 32) | second;
}
// The distinct gram keys of a folded word, ascending.
void gramsOf(std::string_view folded, std::vector<uint64_t>* grams);

class HeadWordTable {
 public:
  struct Entry {
    uint32_t text;
    uint32_t stored;
    uint32_t indexEntry;
    uint32_t offset;
  };
  struct Parts {
    std::string_view arena;
    std::span<const Entry> entries;
    std::span<const uint32_t> order;
    std::span<const uint64_t> gramKeys;
    std::span<const uint32_t> gramStarts;
    std::span<const uint32_t> postings;
    uint64_t storedUtf8Bytes = 0;
    uint64_t undecodable = 0;
  };

  // The table of the dictionary's file: shared when an open of the same unchanged file has it,
  // else mapped from the cache file, else built now and written there.
  static std::shared_ptr<const HeadWordTable> of(Lexor& dic);
  // Always builds afresh in memory and keeps nothing (benchmarks, tests).
  static std::shared_ptr<const HeadWordTable> build(Lexor& dic);
  // A table over parts whose storage `owner` keeps; nullptr when the parts' sizes disagree.
  static std::shared_ptr<const HeadWordTable> over(const Parts& parts,
                                                   std::shared_ptr<const void> owner,
                                                   size_t heapBytes);

  size_t size() const { return _parts.entries.size() - 1; }
  // Empty for an entry outside the table or whose offsets are damaged.
  std::string_view folded(size_t i) const;
  std::string_view stored(size_t i) const;
  EntryLocation location(size_t i) const;

  // Every word as laid out above, for scans that search the whole table at once.
  std::string_view arena() const { return _parts.arena; }
  // The entry whose words hold arena offset `at` (at < arena().size()).
  size_t entryAt(size_t at) const;
  size_t foldedBegin(size_t i) const { return i < size() ? _parts.entries[i].text : 0; }

  std::span<const uint32_t> foldedOrder() const { return _parts.order; }
  // The entries whose folded word holds the gram, ascending.
  std::span<const uint32_t> postings(uint64_t gram) const;

  const Parts& parts() const { return _parts; }
  // Bytes of this process's memory the table holds (a mapped file's pages are the system's).
  size_t memoryBytes() const { return sizeof(*this) + _heapBytes; }
  size_t storedUtf8Bytes() const { return _parts.storedUtf8Bytes; }
  // Entries whose head word did not decode and so cannot be matched.
  size_t undecodable() const { return _parts.undecodable; }

 private:
  HeadWordTable() = default;

  Parts _parts;
  std::shared_ptr<const void> _owner;
  size_t _heapBytes = 0;
};

// The shared tables (for tests and for hosts that want memory back).
void clearHeadWordTableCache();
size_t headWordTableCacheSize();

}  // namespace lexor
