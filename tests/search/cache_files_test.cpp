// The cache files of head-word tables and full-text indexes: a damaged or foreign file is built
// again, a dictionary rewritten in place is indexed again, planted links are never written
// through, an unwritable folder falls back to memory, and two processes building at once agree.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "platform/cache_folder.h"
#include "platform/digest.h"
#include "platform/log.h"
#include "search/fulltext_index.h"
#include "search/head_word_file.h"
#include "search/match_strategies.h"
#include "tests/support/entries.h"
#include "tests/support/temp_dir.h"
#include "tools/writer/lexor_writer.h"

namespace lexor {
namespace {

namespace fs = std::filesystem;
using testing::entry;
using testing::TempDir;

// The head word is in its own translation, so that an index of other words would not find it.
std::vector<writer::Entry> entriesWith(const char* word) {
  return {entry(word, "a " + std::string(word)), entry("zebra", "cat")};
}

class CacheFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("XDG_CACHE_HOME", dir.file("cache").c_str(), 1);
    clearHeadWordTableCache();
    closeCachedFiles();
  }
  void TearDown() override { clearHeadWordTableCache(); }

  void write(const char* word) {
    EXPECT_TRUE(writer::writeDictionary(path, entriesWith(word), {}));
  }
  std::vector<std::string> lev(const char* word) {
    const auto found =
        matchHeadWords({Lexor::initWithFilePath(u(path))}, "lev", u(word), 10, &error);
    std::vector<std::string> words;
    for (const UString& w : found.value().at(0)) words.push_back(toUtf8(w));
    return words;
  }
  HeadWordFileKey keyOf() {
    auto dic = Lexor::initWithFilePath(u(path));
    return {dic->fileIdentity(), dic->contentDigest(), digestBytes(path)};
  }
  std::string tableFile() { return cacheFolder() + "/" + digestHex(digestBytes(path)) + ".words"; }
  std::string indexFile() { return cacheFolder() + "/" + digestHex(digestBytes(path)) + ".fts"; }
  std::vector<std::string> cacheNames() {
    std::vector<std::string> names;
    for (const auto& item : fs::directory_iterator(cacheFolder()))
      names.push_back(item.path().filename());
    std::sort(names.begin(), names.end());
    return names;
  }

  TempDir dir;
  const std::string path = dir.file("fr.dic");
  std::string error;
};

TEST_F(CacheFiles, EachDamagedHeaderFieldRebuildsTheTable) {
  write("cat");
  ASSERT_EQ(lev("cot"), std::vector<std::string>{"cat"});
  const HeadWordFileKey key = keyOf();
  ASSERT_TRUE(mapHeadWordFile(tableFile(), key));
  std::ifstream in(tableFile(), std::ios::binary);
  const std::string good((std::istreambuf_iterator<char>(in)), {});

  // What, the field and the value put in it, and whether the header digest is made to agree (so
  // that the field's own check decides).
  const uint64_t size = good.size();
  const std::tuple<const char*, size_t, uint64_t, bool> rows[] = {
      {"foreign magic", kFieldMagic, 0x4c4c, true},
      {"other version", kFieldVersion, 99, true},
      {"header size", kFieldHeaderBytes, 128, true},
      {"another dictionary state", kFieldContentDigest, 1, true},
      {"another change time", kFieldChanged, 1, true},
      {"part past the end", kFieldParts + 10, size, true},
      {"part longer than the file", kFieldParts + 1, size, true},
      {"unaligned part", kFieldParts + 2, 259, true},
      {"entry count", kFieldEntries, 7, true},
      {"checksum", kFieldChecksum, 1, false},
      {"any field, checksum not agreeing", kFieldUndecodable, 5, false},
  };
  const auto expectBuiltAgain = [&](const std::string& bytes, const std::string& what) {
    dir.write(fs::relative(tableFile(), dir.path()).string(), bytes);
    EXPECT_FALSE(mapHeadWordFile(tableFile(), key)) << what;
    clearHeadWordTableCache();
    EXPECT_EQ(lev("cot"), std::vector<std::string>{"cat"}) << what;
    EXPECT_TRUE(mapHeadWordFile(tableFile(), key)) << what << ": written again";
  };
  for (const auto& [what, field, value, keepsChecksum] : rows) {
    std::string bytes = good;
    auto* header = reinterpret_cast<uint64_t*>(bytes.data());
    header[field] = value;
    if (keepsChecksum) header[kFieldChecksum] = headWordFileChecksum(header);
    expectBuiltAgain(bytes, what);
  }
  for (size_t cut : {size_t{0}, size_t{100}, good.size() - 8})
    expectBuiltAgain(good.substr(0, cut), "cut at " + std::to_string(cut));
}

// Parts damaged behind a sound header: every strategy answers something, reading nothing outside
// the mapping (the sanitizer build checks the reads).
TEST_F(CacheFiles, DamagedPartsBehindASoundHeaderReadNothingOutsideTheFile) {
  std::vector<writer::Entry> many;
  for (int i = 0; i < 300; ++i)
    many.push_back(entry("w" + std::to_string(1000 + i) + (i % 2 ? " cat" : ""), "t"));
  ASSERT_TRUE(writer::writeDictionary(path, many, {.blockBytes = 256}));
  ASSERT_EQ(lev("w1001 cot"), std::vector<std::string>{"w1001 cat"});
  std::ifstream in(tableFile(), std::ios::binary);
  const std::string good((std::istreambuf_iterator<char>(in)), {});
  uint64_t seed = 7;
  for (const bool zeros : {true, false}) {
    std::string bytes = good;
    for (size_t i = kHeadWordFileHeaderBytes; i < bytes.size(); ++i) {
      seed = seed * 6364136223846793005ULL + 1442695040888963407ULL;
      bytes[i] = zeros ? '\0' : static_cast<char>(seed >> 56);
    }
    const auto* header = reinterpret_cast<const uint64_t*>(good.data());
    // The sentinel entry in bounds, so that the table is taken as it is.
    const uint64_t sentinel = header[kFieldParts + 2] + header[kFieldParts + 3] - 16;
    std::memset(bytes.data() + sentinel, 0, 4);
    dir.write(fs::relative(tableFile(), dir.path()).string(), bytes);
    clearHeadWordTableCache();
    const auto dic = Lexor::initWithFilePath(u(path));
    ASSERT_TRUE(mapHeadWordFile(tableFile(), keyOf()));
    for (const MatchStrategyInfo& info : matchStrategies())
      for (const char* word : {"w1001 cot", "cat", "w", "1", "w10", "t"})
        EXPECT_LE(matchEntries({dic}, info.name, u(word), 50, &error).value().at(0).size(), 50u)
            << info.name;
  }
}

// Same size, same modification time, other words: the change time and the content digest tell.
TEST_F(CacheFiles, DictionaryRewrittenInPlaceWithItsTimeRestoredIsIndexedAgain) {
  write("cat");
  ASSERT_EQ(lev("cot"), std::vector<std::string>{"cat"});
  ASSERT_TRUE(search::FulltextIndex::open(u(path), nullptr, &error)) << error;
  const fs::file_time_type modified = fs::last_write_time(path);
  const std::string other = dir.file("new.dic");
  ASSERT_TRUE(writer::writeDictionary(other, entriesWith("dog"), {}));
  ASSERT_EQ(fs::file_size(other), fs::file_size(path));
  fs::copy_file(other, path, fs::copy_options::overwrite_existing);  // in place: same inode
  fs::last_write_time(path, modified);

  closeCachedFiles();
  EXPECT_EQ(lev("dig"), std::vector<std::string>{"dog"});
  auto index = search::FulltextIndex::open(u(path), nullptr, &error);
  ASSERT_TRUE(index) << error;
  const std::vector<int64_t> hits = index->search(*search::parseQuery(u("dog"), &error), 0);
  ASSERT_EQ(hits.size(), 1u);
  EXPECT_EQ(index->record(hits[0])->eword, u"dog");
}

// Links planted where the caches go (the final names, and the temporary name a build once used)
// are replaced or passed, never written through; the folder is made the user's alone.
TEST_F(CacheFiles, PlantedLinksAreNeverWrittenThroughAndTheFolderIsPrivate) {
  write("cat");
  const std::string victim = dir.write("victim", "untouched");
  ASSERT_TRUE(ensureCacheFolder(cacheFolder()));
  EXPECT_EQ(static_cast<int>(fs::status(cacheFolder()).permissions()), 0700);
  fs::create_symlink(victim, tableFile());
  fs::create_symlink(victim, indexFile() + ".tmp." + std::to_string(getpid()) + ".0");

  EXPECT_EQ(lev("cot"), std::vector<std::string>{"cat"});
  ASSERT_TRUE(search::FulltextIndex::open(u(path), nullptr, &error)) << error;
  std::ifstream in(victim);
  EXPECT_EQ(std::string((std::istreambuf_iterator<char>(in)), {}), "untouched");
  EXPECT_FALSE(fs::is_symlink(tableFile()));

  // Exclusive creation: two temporaries of one file never share a name, each new and private.
  auto first = CacheTemporary::create(tableFile());
  auto second = CacheTemporary::create(tableFile());
  ASSERT_TRUE(first && second);
  EXPECT_NE(first->path(), second->path());
  EXPECT_EQ(static_cast<int>(fs::status(first->path()).permissions()), 0600);
  EXPECT_EQ(fs::file_size(first->path()), 0u);
}

// A build that fails (a full disk) leaves neither its temporary nor a database journal; one a
// killed build left an hour ago is removed by the next build, a fresh one is not.
TEST_F(CacheFiles, FailedAndStaleTemporariesAreRemoved) {
  ASSERT_TRUE(ensureCacheFolder(cacheFolder()));
  const std::string stale = dir.write("cache/lexorpeek/x.words.tmp.0123", "old");
  dir.write("cache/lexorpeek/y.words.tmp.4567", "new");
  fs::last_write_time(stale, fs::file_time_type::clock::now() - std::chrono::hours(2));
  {
    auto failed = CacheTemporary::create(tableFile());
    ASSERT_TRUE(failed);
    dir.write(fs::relative(failed->path() + "-journal", dir.path()).string(), "journal");
  }
  write("cat");
  EXPECT_EQ(lev("cot"), std::vector<std::string>{"cat"});
  EXPECT_EQ(cacheNames(),
            (std::vector<std::string>{fs::path(tableFile()).filename(), "y.words.tmp.4567"}));
}

// Neither cache can be written: both are kept in memory, and each says so once.
TEST_F(CacheFiles, UnwritableFolderKeepsBothCachesInMemoryWithOneWarningEach) {
  write("cat");
  dir.write("blocked", "a file where the cache folder would be");
  setenv("XDG_CACHE_HOME", dir.file("blocked").c_str(), 1);
  CapturingLogSink log;
  for (int i = 0; i < 2; ++i) {
    clearHeadWordTableCache();
    EXPECT_EQ(lev("cot"), std::vector<std::string>{"cat"});
    const auto index = search::FulltextIndex::open(u(path), nullptr, &error);
    ASSERT_TRUE(index) << error;
    EXPECT_TRUE(index->inMemory());
    EXPECT_EQ(index->search(*search::parseQuery(u"cat", &error), 0).size(), 2u);
  }
  for (const char* warning : {"head-word table: cannot write", "indexes are kept in memory"}) {
    const auto saying = [&](const std::string& line) { return line.find(warning) != line.npos; };
    EXPECT_EQ(std::ranges::count_if(log.lines(), saying), 1) << warning;
  }
}

TEST_F(CacheFiles, TwoProcessesBuildingAtOnceBothAnswerAndOneFileRemains) {
  write("cat");
  pid_t children[2];
  for (pid_t& child : children) {
    child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) _exit(lev("cot") == std::vector<std::string>{"cat"} ? 0 : 1);
  }
  for (pid_t child : children) {
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  EXPECT_EQ(cacheNames(), std::vector<std::string>{fs::path(tableFile()).filename()});
  EXPECT_TRUE(mapHeadWordFile(tableFile(), keyOf()));
}

// An index file that is not a whole index (a crash mid-write, a stray file) is never used, and one
// that SQLite finds damaged while answering is built again and answers.
TEST_F(CacheFiles, DamagedFullTextIndexIsRebuiltAndAnswers) {
  std::vector<writer::Entry> many;
  for (int i = 0; i < 400; ++i)
    many.push_back(entry("w" + std::to_string(1000 + i), "a cat " + std::to_string(i)));
  ASSERT_TRUE(writer::writeDictionary(path, many, {}));
  ASSERT_TRUE(search::FulltextIndex::open(u(path), nullptr, &error)) << error;
  dir.write(fs::relative(indexFile(), dir.path()).string(),
            std::string_view("SQLite format 3\0 half", 21));
  EXPECT_FALSE(search::FulltextIndex::openCached(u(path)));
  const auto index = search::FulltextIndex::open(u(path), nullptr, &error);
  ASSERT_TRUE(index) << error;
  EXPECT_FALSE(index->inMemory());

  // Every page past the first few is overwritten under the open index: once before its word query
  // is prepared (the damage shows in the preparing), once after (it shows in a step).
  const auto damage = [&] {
    const int fd = open(indexFile().c_str(), O_WRONLY);
    ASSERT_GE(fd, 0);
    const std::string junk(fs::file_size(indexFile()) - 3 * 4096, '\xA5');
    ASSERT_EQ(pwrite(fd, junk.data(), junk.size(), 3 * 4096), static_cast<ssize_t>(junk.size()));
    close(fd);
  };
  CapturingLogSink log;
  damage();
  EXPECT_EQ(index->search(*search::parseQuery(u("cat"), &error), 0).size(), many.size());
  damage();
  EXPECT_EQ(index->search(*search::parseQuery(u("399"), &error), 0).size(), 1u);
}

}  // namespace
}  // namespace lexor
