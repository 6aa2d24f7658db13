// The full-text index of one dictionary: a cached SQLite database (FTS5) built from every entry's
// translation and example, and the queries on it.
//
// Cache: the cache folder (platform/cache_folder.h), one file per dictionary named by a digest of
// its path, written under a new temporary name and renamed when complete, and opened read-only
// through a mapping. It records the dictionary's path and identity (size, modification and change
// times, device, inode, and a digest of its header and index): an index whose record does not
// match the file as it is now (or that cannot be read) is built afresh, and one that SQLite finds
// damaged while answering is built again and asked again. When the folder cannot be written the
// index is built in memory, with one warning in the log.
//
// Database layout (no table stores the dictionary's texts, which are read back from it):
//   meta(key, value)       format, path, identity, entries
//   blocks(first, number)  the first entry number of each block walked, and its block number
//   words                  contentless FTS5 over each entry's folded text, every run of kana,
//                          kanji and hanzi standing as one private-use placeholder
//   cjk                    contentless trigram FTS5 over the entry's runs of kana, kanji and
//                          hanzi, space-separated
//   cjk_short              contentless FTS5 without positions over each character of those runs
//                          and each pair of neighbours, one token each: one or two characters
// Entry numbers count from 1 in the order of a walk of the whole dictionary (index order, entry
// order inside each block), so they are dictionary order.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/lexor.h"
#include "core/record.h"
#include "search/fulltext_query.h"

struct sqlite3;

namespace lexor::search {

// Entries indexed so far and the entries of the dictionary (as its header counts them).
using BuildProgress = std::function<void(uint64_t done, uint64_t all)>;

// The cache folder as the environment names it (no check that it exists).
std::string fulltextCacheFolder();

class FulltextIndex {
 public:
  ~FulltextIndex();
  FulltextIndex(const FulltextIndex&) = delete;
  FulltextIndex& operator=(const FulltextIndex&) = delete;

  // The cached index of the dictionary at `path`, when one is there and matches the file;
  // nullptr otherwise.
  static std::unique_ptr<FulltextIndex> openCached(const UString& path);
  // The cached index, built first when missing or stale. nullptr (and *error) when the
  // dictionary cannot be opened or no index can be made.
  static std::unique_ptr<FulltextIndex> open(const UString& path, const BuildProgress& progress,
                                             std::string* error);

  // Entry numbers of the matches, best first (search/fulltext_rank.h, then dictionary order);
  // limit 0: all.
  std::vector<int64_t> search(const FulltextQuery& query, size_t limit);
  // The record of an entry number, read from the dictionary; std::nullopt when the dictionary
  // no longer holds it.
  std::optional<Record> record(int64_t entry);

  // Whether the dictionary file is still the one indexed.
  bool isCurrent() const;

  const UString& path() const { return _path; }
  uint64_t entries() const { return _entries; }
  bool inMemory() const { return _inMemory; }

 private:
  FulltextIndex() = default;
  struct Queries;
  static std::unique_ptr<FulltextIndex> adopt(sqlite3* db, std::shared_ptr<Lexor> dic,
                                              bool inMemory);
  // Takes the database over (closing the one before) and prepares its queries.
  bool attach(sqlite3* db, bool inMemory);
  std::vector<int64_t> searchOnce(const FulltextQuery& query, size_t limit, bool* damaged);

  UString _path;
  FileIdentity _file;  // the dictionary's file when opened
  std::string _identity;
  std::shared_ptr<Lexor> _dic;
  sqlite3* _db = nullptr;
  std::unique_ptr<Queries> _queries;
  bool _inMemory = false;
  uint64_t _entries = 0;
  std::vector<uint8_t> _block;  // the last block read back
  int64_t _blockNumber = -1;    // its block number
};

// The searchable text of a record: its translation and example, each made plain and folded,
// joined by a line feed.
UString searchableText(const Record& record);

}  // namespace lexor::search
