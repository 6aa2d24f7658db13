#include "search/head_word_table.h"

#include <unicode/utf8.h>

#include <algorithm>
#include <atomic>
#include <mutex>

#include "platform/cache_folder.h"
#include "platform/digest.h"
#include "platform/log.h"
#include "platform/recent_list.h"
#include "search/head_word_file.h"

namespace lexor {
namespace {

constexpr size_t kTableCacheCapacity = 8;

}  // namespace

void gramsOf(std::string_view folded, std::vector<uint64_t>* grams) {
  grams->clear();
  const auto* bytes = reinterpret_cast<const uint8_t*>(folded.data());
  const auto length = static_cast<int32_t>(folded.size());
  char32_t previous = kGramStart;
  for (int32_t i = 0; i < length;) {
    UChar32 c;
    U8_NEXT(bytes, i, length, c);
    const char32_t now = c < 0 ? char32_t{0xFFFD} : static_cast<char32_t>(c);
    grams->push_back(gramKey(previous, now));
    previous = now;
  }
  grams->push_back(gramKey(previous, kGramEnd));
  std::sort(grams->begin(), grams->end());
  grams->erase(std::unique(grams->begin(), grams->end()), grams->end());
}

std::shared_ptr<const HeadWordTable> HeadWordTable::over(const Parts& parts,
                                                         std::shared_ptr<const void> owner,
                                                         size_t heapBytes) {
  if (parts.entries.empty() || parts.order.size() != parts.entries.size() - 1 ||
      parts.gramStarts.size() != parts.gramKeys.size() + 1 ||
      parts.entries.back().text > parts.arena.size())
    return nullptr;
  std::shared_ptr<HeadWordTable> table(new HeadWordTable());
  table->_parts = parts;
  table->_owner = std::move(owner);
  table->_heapBytes = heapBytes;
  return table;
}

std::string_view HeadWordTable::folded(size_t i) const {
  if (i >= size()) return {};
  const Entry& entry = _parts.entries[i];
  const size_t end = entry.stored != 0 ? entry.stored : _parts.entries[i + 1].text;
  if (entry.text >= end || end > _parts.arena.size()) return {};
  return _parts.arena.substr(entry.text, end - 1 - entry.text);
}

std::string_view HeadWordTable::stored(size_t i) const {
  if (i >= size()) return {};
  const Entry& entry = _parts.entries[i];
  if (entry.stored == 0) return folded(i);
  const size_t end = _parts.entries[i + 1].text;
  if (entry.stored >= end || end > _parts.arena.size()) return {};
  return _parts.arena.substr(entry.stored, end - 1 - entry.stored);
}

EntryLocation HeadWordTable::location(size_t i) const {
  if (i >= size()) return {UINT32_MAX, 0};
  return {_parts.entries[i].indexEntry, _parts.entries[i].offset};
}

size_t HeadWordTable::entryAt(size_t at) const {
  const auto entries = _parts.entries.first(size());
  const auto after =
      std::upper_bound(entries.begin(), entries.end(), at,
                       [](size_t offset, const Entry& entry) { return offset < entry.text; });
  return after == entries.begin() ? 0 : static_cast<size_t>(after - entries.begin()) - 1;
}

std::span<const uint32_t> HeadWordTable::postings(uint64_t gram) const {
  const auto keys = _parts.gramKeys;
  const auto at = std::lower_bound(keys.begin(), keys.end(), gram);
  if (at == keys.end() || *at != gram) return {};
  const auto k = static_cast<size_t>(at - keys.begin());
  const uint32_t first = _parts.gramStarts[k];
  const uint32_t end = _parts.gramStarts[k + 1];
  if (first > end || end > _parts.postings.size()) return {};
  return _parts.postings.subspan(first, end - first);
}

namespace {

// A table is the right one for a dictionary when it was made for the same index object: opens
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

void warnNotWrittenOnce(const std::string& folder) {
  static std::atomic<bool> warned{false};
  if (!warned.exchange(true))
    logFormat("head-word table: cannot write %s; tables are built in memory\n", folder.c_str());
}

// The cache file when it holds this file's table, else a table built now and written there.
std::shared_ptr<const HeadWordTable> mappedOrBuilt(Lexor& dic) {
  const std::string path = toUtf8(dic.path());
  if (path.empty()) return HeadWordTable::build(dic);
  HeadWordFileKey key;
  key.identity = dic.fileIdentity();
  key.contentDigest = dic.contentDigest();
  key.pathDigest = digestBytes(path);
  const std::string folder = cacheFolder();
  const std::string file = folder + "/" + digestHex(key.pathDigest) + ".words";
  if (std::shared_ptr<const HeadWordTable> mapped = mapHeadWordFile(file, key)) return mapped;
  std::shared_ptr<const HeadWordTable> built = HeadWordTable::build(dic);
  if (!ensureCacheFolder(folder) || !writeHeadWordFile(file, key, *built))
    warnNotWrittenOnce(folder);
  return built;
}

}  // namespace

std::shared_ptr<const HeadWordTable> HeadWordTable::of(Lexor& dic) {
  dic.loadIndex(false);
  const std::shared_ptr<const LexorIndex> index = dic.sharedIndex();
  if (!index) return build(dic);
  // The slot is held while building, so that sessions asking at once wait for one build.
  const std::shared_ptr<CachedTable> slot = tableCache().slotFor(index);
  std::call_once(slot->built, [&] { slot->table = mappedOrBuilt(dic); });
  return slot->table;
}

void clearHeadWordTableCache() { tableCache().clear(); }
size_t headWordTableCacheSize() { return tableCache().size(); }

}  // namespace lexor
