#include "search/fulltext_index.h"

#include <sqlite3.h>
#include <unicode/utf16.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdlib>
#include <map>

#include "core/entry_layout.h"
#include "core/record_decoder.h"
#include "platform/cache_folder.h"
#include "platform/digest.h"
#include "platform/log.h"
#include "search/fulltext_rank.h"
#include "search/fulltext_text.h"

namespace lexor::search {
namespace {

// Bumped whenever what the index holds or how texts are folded changes: older files are rebuilt.
constexpr const char* kFormat = "lexorpeek-fulltext 3";
// Reads of an index go through a mapping of the file instead of copies into SQLite's page cache.
constexpr const char* kMapIndex = "PRAGMA mmap_size = 1073741824";
// Runs of kana, kanji and hanzi this long or longer are found by trigrams; shorter ones by the
// table of single characters and pairs.
constexpr int64_t kTrigram = 3;
constexpr auto kCjkPlaceholder = static_cast<char16_t>(kIndexPlaceholder);
constexpr int64_t kAllRows = -1;

// RAII for one prepared statement.
class Statement {
 public:
  Statement(sqlite3* db, const char* sql) {
    if (sqlite3_prepare_v2(db, sql, -1, &_stmt, nullptr) != SQLITE_OK) _stmt = nullptr;
  }
  ~Statement() { sqlite3_finalize(_stmt); }
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;
  explicit operator bool() const { return _stmt != nullptr; }
  sqlite3_stmt* get() const { return _stmt; }
  void bind(int i, const std::string& text) {
    sqlite3_bind_text(_stmt, i, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
  }
  void bind(int i, int64_t value) { sqlite3_bind_int64(_stmt, i, value); }

  bool step() {
    _status = sqlite3_step(_stmt);
    return _status == SQLITE_ROW;
  }
  // Whether the last step found the database damaged.
  bool damaged() const {
    const int primary = _status & 0xFF;
    return primary == SQLITE_CORRUPT || primary == SQLITE_NOTADB;
  }
  void reset() {
    sqlite3_reset(_stmt);
    sqlite3_clear_bindings(_stmt);
    _status = SQLITE_OK;
  }
  bool run() {
    const int status = sqlite3_step(_stmt);
    sqlite3_reset(_stmt);
    sqlite3_clear_bindings(_stmt);
    return status == SQLITE_DONE;
  }
  int64_t integer(int column) { return sqlite3_column_int64(_stmt, column); }
  std::string text(int column) {
    const auto* bytes = sqlite3_column_text(_stmt, column);
    return bytes ? std::string(reinterpret_cast<const char*>(bytes),
                               static_cast<size_t>(sqlite3_column_bytes(_stmt, column)))
                 : std::string();
  }

 private:
  sqlite3_stmt* _stmt = nullptr;
  int _status = SQLITE_OK;
};

bool exec(sqlite3* db, const char* sql) {
  char* message = nullptr;
  if (sqlite3_exec(db, sql, nullptr, nullptr, &message) == SQLITE_OK) return true;
  logFormat("full-text index: %s\n", message ? message : "error");
  sqlite3_free(message);
  return false;
}

struct DictionaryState {
  std::string path;      // UTF-8
  std::string identity;  // size, modification and change times, device, inode, content digest
};

DictionaryState stateOf(Lexor& dic) {
  DictionaryState state;
  state.path = toUtf8(dic.path());
  const FileIdentity& file = dic.fileIdentity();
  state.identity = std::to_string(file.size) + ":" + std::to_string(file.mtimeNanoseconds) + ":" +
                   std::to_string(file.ctimeNanoseconds) + ":" + std::to_string(file.device) + ":" +
                   std::to_string(file.inode) + ":" + digestHex(dic.contentDigest());
  return state;
}

std::string indexFileOf(const DictionaryState& state) {
  return fulltextCacheFolder() + "/" + digestHex(digestBytes(state.path)) + ".fts";
}

// The dictionary at `path`, its index read.
std::shared_ptr<Lexor> openDictionary(const UString& path) {
  std::shared_ptr<Lexor> dic = Lexor::initWithFilePath(path);
  if (dic) dic->loadIndex(false);
  return dic;
}

// Every row of the meta table, read by one statement (a handful of rows).
std::map<std::string, std::string> metaOf(sqlite3* db) {
  std::map<std::string, std::string> meta;
  Statement select(db, "SELECT key, value FROM meta");
  while (select && select.step()) meta[select.text(0)] = select.text(1);
  return meta;
}

std::optional<std::string> metaValue(const std::map<std::string, std::string>& meta,
                                     const char* key) {
  const auto found = meta.find(key);
  if (found == meta.end()) return std::nullopt;
  return found->second;
}

bool matches(sqlite3* db, const DictionaryState& state) {
  const std::map<std::string, std::string> meta = metaOf(db);
  return metaValue(meta, "format") == kFormat && metaValue(meta, "path") == state.path &&
         metaValue(meta, "identity") == state.identity;
}

// Walks every entry of a dictionary as the query walk meets them: blocks in index order, a
// block that overlaps one already walked or cannot be loaded passed, an entry that breaks the
// layout ending its block.
class EntryWalk {
 public:
  explicit EntryWalk(Lexor& dic)
      : _dic(dic), _texts(DictionaryTexts::of(dic.isBOCU(), dic.getDicSignature())) {}

  // Loads index entry n's block; false when it is passed.
  bool loadBlock(int32_t n, std::vector<uint8_t>& block) {
    const uint64_t first = _dic.indexBlockNumber(static_cast<uint32_t>(n));
    if (!_dic.loadDatablock(n, block)) return false;
    const uint64_t end = first + block.size() / kBlockUnit;
    auto next = _walked.lower_bound(first);
    if ((next != _walked.end() && next->first < end) ||
        (next != _walked.begin() && std::prev(next)->second > first))
      return false;
    _walked.emplace(first, end);
    return true;
  }

  // Calls each(n, record) for the entries of a loaded block in order, n counting from 0; stops
  // after `count` entries (-1: all). When `lastOnly`, only entry count - 1 is decoded.
  template <typename Each>
  static void entries(const Lexor& dic, const DictionaryTexts& texts, std::vector<uint8_t>& block,
                      int64_t count, bool lastOnly, Each each) {
    EntryLayout layout;
    layout.bocu = dic.isBOCU();
    layout.fieldWidth = fieldWidthOfBlock(block);
    const size_t limit = usableBlockSize(block);
    std::array<uint8_t, kMaxHeadWordBytes + 1> word{};
    size_t wordLength = 0;
    size_t position = kBlockEntriesOffset;
    for (int64_t n = 0; n != count; ++n) {
      EntryHead head;
      if (readEntryHead(block.data(), limit, position, layout, &head) != EntryStatus::kEntry)
        return;
      if (!decompressHeadWord(block.data() + head.tail, head.tailLength, head.prefixCount,
                              word.data(), &wordLength))
        return;
      position = head.end;
      if (lastOnly && n + 1 != count) continue;
      const EntryBody body =
          readEntryBody(block.data() + head.body, head.end - head.body,
                        (head.attribute & kExtendedEntryFlag) != 0, layout.fieldWidth);
      each(n, decodeRecord(texts, word.data(), wordLength, head.attribute, body));
    }
  }

  const DictionaryTexts& texts() const { return _texts; }

 private:
  Lexor& _dic;
  DictionaryTexts _texts;
  std::map<uint64_t, uint64_t> _walked;  // [first unit, end unit) of the blocks walked
};

// The single characters and the pairs of neighbouring characters of each run (runs separated by
// one space), each a token of their own for the index's simple tokenizer.
void shortGrams(const UString& runs, UString* grams) {
  grams->clear();
  size_t previous = UString::npos;  // where the run's previous character begins
  for (size_t i = 0; i < runs.size();) {
    const size_t first = i;
    char32_t c = 0;
    U16_NEXT(runs.data(), i, runs.size(), c);
    if (c == u' ') {
      previous = UString::npos;
      continue;
    }
    if (!grams->empty()) grams->push_back(u' ');
    grams->append(runs, first, i - first);
    if (previous != UString::npos) {
      grams->push_back(u' ');
      grams->append(runs, previous, i - previous);
    }
    previous = first;
  }
}

// The words text (each run of kana, kanji and hanzi one placeholder) and the runs themselves.
void splitCjk(const UString& folded, UString* words, UString* runs) {
  words->clear();
  runs->clear();
  bool inRun = false;
  for (size_t i = 0; i < folded.size();) {
    const size_t first = i;
    char32_t c = 0;
    U16_NEXT(folded.data(), i, folded.size(), c);
    if (isCjk(c)) {
      if (!inRun) {
        words->push_back(kCjkPlaceholder);
        if (!runs->empty()) runs->push_back(u' ');
      }
      runs->append(folded, first, i - first);
      inRun = true;
    } else {
      words->append(folded, first, i - first);
      inRun = false;
    }
  }
}

bool createTables(sqlite3* db) {
  return exec(db,
              "CREATE TABLE meta(key TEXT PRIMARY KEY, value TEXT) WITHOUT ROWID;"
              "CREATE TABLE blocks(first INTEGER PRIMARY KEY, number INTEGER);"
              "CREATE VIRTUAL TABLE words USING fts5(t, content='', "
              "  tokenize=\"unicode61 remove_diacritics 0 categories 'L* N* M* Co'\");"
              "CREATE VIRTUAL TABLE cjk USING fts5(t, content='', "
              "  tokenize='trigram case_sensitive 1');"
              "CREATE VIRTUAL TABLE cjk_short USING fts5(t, content='', detail='none', "
              "  columnsize=0, tokenize='ascii');");
}

// Fills a fresh database with the dictionary's entries; false when the database fails.
bool fill(sqlite3* db, Lexor& dic, const DictionaryState& state, const BuildProgress& progress) {
  if (!createTables(db) || !exec(db, "BEGIN")) return false;
  Statement addWords(db, "INSERT INTO words(rowid, t) VALUES(?1, ?2)");
  Statement addBlock(db, "INSERT INTO blocks(first, number) VALUES(?1, ?2)");
  Statement addTrigrams(db, "INSERT INTO cjk(rowid, t) VALUES(?1, ?2)");
  Statement addShort(db, "INSERT INTO cjk_short(rowid, t) VALUES(?1, ?2)");
  Statement addMeta(db, "INSERT INTO meta(key, value) VALUES(?1, ?2)");
  if (!addBlock || !addWords || !addShort || !addTrigrams || !addMeta) return false;

  EntryWalk walk(dic);
  const uint64_t all = static_cast<uint64_t>(std::max(dic.nWord(), 0));
  int64_t next = 1;
  std::vector<uint8_t> block;
  UString words;
  UString runs;
  UString grams;
  bool ok = true;
  const uint32_t blocks = dic.usableIndexEntries();
  for (uint32_t n = 0; n < blocks && ok; ++n) {
    if (!walk.loadBlock(static_cast<int32_t>(n), block)) continue;
    addBlock.bind(1, next);
    addBlock.bind(2, static_cast<int64_t>(dic.indexBlockNumber(n)));
    ok = addBlock.run();
    EntryWalk::entries(dic, walk.texts(), block, -1, false, [&](int64_t, const Record& record) {
      const int64_t id = next++;
      splitCjk(searchableText(record), &words, &runs);
      addWords.bind(1, id);
      addWords.bind(2, toUtf8(words));
      ok = ok && addWords.run();
      if (!runs.empty()) {
        shortGrams(runs, &grams);
        addTrigrams.bind(1, id);
        addTrigrams.bind(2, toUtf8(runs));
        addShort.bind(1, id);
        addShort.bind(2, toUtf8(grams));
        ok = ok && addTrigrams.run() && addShort.run();
      }
    });
    if (progress)
      progress(static_cast<uint64_t>(next - 1), std::max(all, static_cast<uint64_t>(next - 1)));
  }
  if (!ok) return false;
  const std::pair<const char*, std::string> meta[] = {{"format", kFormat},
                                                      {"path", state.path},
                                                      {"identity", state.identity},
                                                      {"entries", std::to_string(next - 1)}};
  for (const auto& [key, value] : meta) {
    addMeta.bind(1, std::string(key));
    addMeta.bind(2, value);
    if (!addMeta.run()) return false;
  }

  return exec(db,
              "INSERT INTO words(words) VALUES('optimize'); INSERT INTO cjk(cjk) "
              "VALUES('optimize'); INSERT INTO cjk_short(cjk_short) VALUES('optimize');") &&
         exec(db, "COMMIT");
}

sqlite3* openDatabase(const std::string& file, int flags) {
  sqlite3* db = nullptr;
  if (sqlite3_open_v2(file.c_str(), &db, flags, nullptr) != SQLITE_OK ||
      !registerRankFunction(db)) {
    sqlite3_close(db);
    return nullptr;
  }
  return db;
}

void warnInMemoryOnce(const std::string& folder) {
  static std::atomic<bool> warned{false};
  if (!warned.exchange(true)) {
    logFormat("full-text index: cannot write %s; indexes are kept in memory\n", folder.c_str());
  }
}

}  // namespace

std::string fulltextCacheFolder() { return cacheFolder(); }

UString searchableText(const Record& record) {
  UString text;
  if (record.jword) text = foldText(plainText(*record.jword));
  if (record.example) {
    text.push_back(u'\n');
    text += foldText(plainText(*record.example));
  }
  return text;
}

// The statements of the queries, each prepared on its first use and then kept for the index's
// life: a one-shot search parses only the two it runs.
struct FulltextIndex::Queries {
  enum Kind { kWords, kTrigrams, kPairs, kBlock, kKinds };
  explicit Queries(sqlite3* db) : db(db) {}
  Statement& operator[](Kind kind) {
    static constexpr const char* kSql[kKinds] = {
        "SELECT rowid FROM words WHERE words MATCH ?1 ORDER BY lexor_rank(words), rowid LIMIT ?2",
        "SELECT rowid FROM cjk WHERE cjk MATCH ?1 ORDER BY lexor_rank(cjk), rowid LIMIT ?2",
        // single characters and pairs
        "SELECT rowid FROM cjk_short WHERE cjk_short MATCH ?1 ORDER BY rowid LIMIT ?2",
        // the block of an entry number
        "SELECT first, number FROM blocks WHERE first <= ?1 ORDER BY first DESC LIMIT 1",
    };
    if (!statements[kind]) statements[kind] = std::make_unique<Statement>(db, kSql[kind]);
    return *statements[kind];
  }
  sqlite3* db;
  std::unique_ptr<Statement> statements[kKinds];
};

FulltextIndex::~FulltextIndex() {
  _queries.reset();
  sqlite3_close(_db);
}

namespace {

// An index file opened for reading through a mapping, as immutable: a cache file is only ever
// replaced by a rename, never changed in place, so SQLite need not lock it nor look for changes
// before each statement.
sqlite3* openIndexFile(const std::string& file) {
  std::string uri = "file:";
  for (const char c : file) {
    if (c == '%' || c == '?' || c == '#') {
      static const char kHex[] = "0123456789ABCDEF";
      uri += {'%', kHex[static_cast<unsigned char>(c) >> 4], kHex[c & 0xF]};
    } else {
      uri.push_back(c);
    }
  }
  uri += "?immutable=1";
  sqlite3* db = openDatabase(uri, SQLITE_OPEN_READONLY | SQLITE_OPEN_URI | SQLITE_OPEN_NOMUTEX);
  if (db) sqlite3_exec(db, kMapIndex, nullptr, nullptr, nullptr);
  return db;
}

// Builds the dictionary's index and writes it to the cache folder: the database then opened from
// the cache file, or the one in memory (*inMemory) when the file cannot be written; nullptr when
// the build fails. The file is written into a new temporary, synced and renamed into place, so
// that no reader ever opens a half-written index.
sqlite3* buildIndex(Lexor& dic, const DictionaryState& state, const BuildProgress& progress,
                    bool* inMemory) {
  sqlite3* db = openDatabase(":memory:", SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
  if (!db || !fill(db, dic, state, progress)) {
    sqlite3_close(db);
    return nullptr;
  }
  const std::string folder = fulltextCacheFolder();
  const std::string file = indexFileOf(state);
  if (ensureCacheFolder(folder)) {
    removeStaleTemporaries(folder);
    if (std::unique_ptr<CacheTemporary> temporary = CacheTemporary::create(file)) {
      bool written = false;
      {
        Statement vacuum(db, "VACUUM INTO ?1");  // into the empty file just made
        if (vacuum) {
          vacuum.bind(1, temporary->path());
          written = vacuum.run();
        }
      }
      if (written && temporary->commit()) {
        if (sqlite3* saved = openIndexFile(file)) {
          sqlite3_close(db);
          *inMemory = false;
          return saved;
        }
      }
    }
  }
  warnInMemoryOnce(folder);
  *inMemory = true;
  return db;
}

}  // namespace

std::unique_ptr<FulltextIndex> FulltextIndex::adopt(sqlite3* db, std::shared_ptr<Lexor> dic,
                                                    bool inMemory) {
  std::unique_ptr<FulltextIndex> index(new FulltextIndex());
  index->_dic = std::move(dic);
  index->_path = index->_dic->path();
  index->_file = index->_dic->fileIdentity();
  if (!index->attach(db, inMemory)) return nullptr;
  return index;
}

bool FulltextIndex::attach(sqlite3* db, bool inMemory) {
  _queries.reset();
  sqlite3_close(_db);
  _db = db;
  _inMemory = inMemory;
  const std::map<std::string, std::string> meta = metaOf(db);
  _identity = metaValue(meta, "identity").value_or("");
  _entries = 0;
  if (std::optional<std::string> entries = metaValue(meta, "entries"))
    _entries = std::strtoull(entries->c_str(), nullptr, 10);
  _blockNumber = -1;
  _queries = std::make_unique<Queries>(db);
  return static_cast<bool>((*_queries)[Queries::kBlock]);
}

bool FulltextIndex::isCurrent() const { return identityOfFile(toUtf8(_path)) == _file; }

std::unique_ptr<FulltextIndex> FulltextIndex::openCached(const UString& path) {
  std::shared_ptr<Lexor> dic = openDictionary(path);
  if (!dic) return nullptr;
  const DictionaryState state = stateOf(*dic);
  sqlite3* db = openIndexFile(indexFileOf(state));
  if (!db) return nullptr;
  if (!matches(db, state)) {
    sqlite3_close(db);
    return nullptr;
  }
  return adopt(db, std::move(dic), false);
}

std::unique_ptr<FulltextIndex> FulltextIndex::open(const UString& path,
                                                   const BuildProgress& progress,
                                                   std::string* error) {
  if (std::unique_ptr<FulltextIndex> cached = openCached(path)) return cached;
  std::shared_ptr<Lexor> dic = openDictionary(path);
  if (!dic) {
    *error = "cannot open dictionary '" + toUtf8(path) + "'";
    return nullptr;
  }
  bool inMemory = false;
  sqlite3* db = buildIndex(*dic, stateOf(*dic), progress, &inMemory);
  if (!db) {
    *error = "cannot build the full-text index of '" + toUtf8(path) + "'";
    return nullptr;
  }
  return adopt(db, std::move(dic), inMemory);
}

std::vector<int64_t> FulltextIndex::search(const FulltextQuery& query, size_t limit) {
  bool damaged = false;
  std::vector<int64_t> found = searchOnce(query, limit, &damaged);
  if (!damaged) return found;
  // A damaged index is built again, and the query answered from the new one.
  logFormat("full-text index of %s is damaged; building it again\n", toUtf8(_path).c_str());
  bool inMemory = false;
  sqlite3* db = buildIndex(*_dic, stateOf(*_dic), nullptr, &inMemory);
  if (!db || !attach(db, inMemory)) return {};
  return searchOnce(query, limit, &damaged);
}

std::vector<int64_t> FulltextIndex::searchOnce(const FulltextQuery& query, size_t limit,
                                               bool* damaged) {
  std::vector<int64_t> found;
  if (query.empty()) return found;
  const int64_t wanted = limit == 0 ? kAllRows : static_cast<int64_t>(limit);

  if (!query.substring) {
    Statement& select = (*_queries)[Queries::kWords];
    if (!select) {
      *damaged = true;
      return found;
    }
    select.bind(1, indexExpression(query));
    select.bind(2, wanted);
    while (select.step()) found.push_back(select.integer(0));
    *damaged = select.damaged();
    select.reset();
    return found;
  }

  // A substring query narrows by its longest run of kana, kanji and hanzi: trigrams for three
  // characters or more, the table of single characters and pairs below that. Unless the query is
  // that run alone, each candidate's text is then read back and searched for the whole substring.
  const UString run = longestCjkRun(query.text);
  const bool wholeRun = run == query.text;
  int64_t runLength = 0;
  for (size_t i = 0; i < run.size(); ++i) runLength += U16_IS_TRAIL(run[i]) ? 0 : 1;
  Statement& select = (*_queries)[runLength >= kTrigram ? Queries::kTrigrams : Queries::kPairs];
  if (!select) {
    *damaged = true;
    return found;
  }
  // Either way a quoted string: one phrase of trigrams, or one token (the run holds no quote).
  select.bind(1, "\"" + toUtf8(run) + "\"");
  select.bind(2, wholeRun ? wanted : kAllRows);
  while (select.step()) {
    const int64_t entry = select.integer(0);
    if (!wholeRun) {
      const std::optional<Record> text = record(entry);
      if (!text || !matchesText(searchableText(*text), query)) continue;
    }
    found.push_back(entry);
    if (wanted != kAllRows && static_cast<int64_t>(found.size()) >= wanted) break;
  }
  *damaged = select.damaged();
  select.reset();
  return found;
}

std::optional<Record> FulltextIndex::record(int64_t entry) {
  // The block is looked up for each record (a few B-tree pages): a one-shot search reads a
  // hundred records, far fewer than the tens of thousands of blocks a list would hold.
  Statement& block = (*_queries)[Queries::kBlock];
  block.bind(1, entry);
  const bool known = entry >= 1 && block.step();
  const int64_t first = known ? block.integer(0) : 0;
  const int64_t number = known ? block.integer(1) : -1;
  block.reset();
  if (!known || number < 0 || number > UINT32_MAX) return std::nullopt;
  if (_blockNumber != number) {
    _blockNumber = -1;
    if (_dic->readBlockAt(static_cast<uint32_t>(number), _block) != LexorStatus::kOk)
      return std::nullopt;
    _blockNumber = number;
  }
  // Decoding rewrites code-page translations in place, which a second decoding leaves as it is.
  std::optional<Record> found;
  const DictionaryTexts texts = DictionaryTexts::of(_dic->isBOCU(), _dic->getDicSignature());
  const int64_t wanted = entry - first;
  EntryWalk::entries(*_dic, texts, _block, wanted + 1, true, [&](int64_t n, Record record) {
    if (n == wanted) found = std::move(record);
  });
  return found;
}

}  // namespace lexor::search
