// Bounds that hold whatever a dictionary file claims: memory never beyond what the file can
// fill, work on a query that grows with the file and not with its square, and words of any
// length. Work is counted in bytes read (the kernel's count for this process), never timed.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <new>
#include <random>
#include <string>

#include "core/lexor.h"
#include "core/lexor_index.h"
#include "core/lexor_recordset.h"
#include "platform/file_handle.h"
#include "platform/log.h"
#include "plugin/lexor_peek.h"
#include "tests/core/dictionary_bytes.h"
#include "tests/support/entries.h"

namespace {

// The largest single allocation made through operator new while a probe is active: the
// replacements below see every std::vector, std::string and make_shared of the code under test.
std::atomic<size_t> largestAllocation{0};
std::atomic<bool> probing{false};

void noteAllocation(size_t size) {
  if (!probing.load(std::memory_order_relaxed)) return;
  size_t seen = largestAllocation.load(std::memory_order_relaxed);
  while (size > seen && !largestAllocation.compare_exchange_weak(seen, size)) {
  }
}

class AllocationProbe {
 public:
  AllocationProbe() { largestAllocation = 0, probing = true; }
  ~AllocationProbe() { probing = false; }
  size_t largest() const { return largestAllocation.load(); }
};

}  // namespace

// The replacements pair malloc with free; GCC cannot see that they replace new and delete.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
#endif

void* operator new(std::size_t size) {
  noteAllocation(size);
  if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
  throw std::bad_alloc();
}
void* operator new[](std::size_t size) { return operator new(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  noteAllocation(size);
  return std::malloc(size == 0 ? 1 : size);
}
void* operator new[](std::size_t size, const std::nothrow_t& tag) noexcept {
  return operator new(size, tag);
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }

namespace lexor {
namespace {

using testing::Bytes;
using testing::putLE;
using testing::TestDictionary;
using testing::wordsBlock;

// Bytes this process has read through read(2) and pread(2) so far.
uint64_t bytesRead() {
  std::ifstream io("/proc/self/io");
  std::string key;
  uint64_t value = 0;
  while (io >> key >> value)
    if (key == "rchar:") return value;
  return 0;
}

struct Walk {
  size_t matches = 0;
  uint64_t bytesRead = 0;
  size_t largestAllocation = 0;
};

// Writes the file, opens it afresh (no shared index), queries the word and walks every match.
Walk walkAll(const Bytes& file, const std::u16string& word) {
  testing::TempDir dir;
  const std::string path = dir.write("bounds.dic", file);
  clearLexorIndexCache();
  CapturingLogSink quiet;
  Walk walk;
  const uint64_t before = bytesRead();  // outside the probe: reading the count allocates too
  {
    AllocationProbe probe;
    auto recordset = LexorRecordset::initWithDic(Lexor::initWithFilePath(fromUtf8(path)));
    for (bool found = recordset->queryWithWord(word); found; found = recordset->moveNext()) {
      ++walk.matches;
      recordset->getRecordAsDictionary();
    }
    walk.largestAllocation = probe.largest();
  }
  walk.bytesRead = bytesRead() - before;
  return walk;
}

// Header fields, and the head word of the last block, that claim far more than the file holds,
// each patched into a sound little file. A refused last block leaves the one before it answering.
TEST(HeaderClaims, AllocateNoMoreThanTheFileCanFill) {
  constexpr size_t kLastBlock = SIZE_MAX;  // the offset of the last block's head word
  struct Claim {
    uint16_t version;
    std::vector<std::pair<size_t, uint32_t>> patches;  // offset, value
    int width;
    int matches = -1;  // of "ap", where the claim must leave the file usable
  };
  const Claim claims[] = {
      {0x0500, {{146, 0x7FFF}, {148, 0x7FFF}}, 2},  // index of block size x index blocks: 1 GiB
      {0x0500, {{192, 0x7FFFFFFF}, {196, 0x7FFFFFFF}}, 4},         // index entries, data blocks
      {0x0500, {{184, 0xFFFFFF00}}, 4},                            // extended header
      {0x0300, {{152, 0x7FFF}, {156, 0x7FFF}, {158, 0x7FFF}}, 2},  // index size and counts
      {0x0300, {{150, 0xFFFF}, {152, 0xFFFF}}, 2},                 // header and index size
      {0x0500, {{kLastBlock, 0x7FFF}}, 2, 2},                      // a block of 8 MiB
      {0x0500, {{kLastBlock, 0xFFFF}}, 2, 2},                      // and of wide fields
  };
  for (const Claim& claim : claims) {
    TestDictionary dic;
    dic.version = claim.version;
    dic.add("apple", wordsBlock({"apple", "apply"})).add("apq", testing::fillerBlock(1, 1, 0));
    Bytes file = dic.build();
    for (const auto& [offset, value] : claim.patches)
      putLE(file, offset == kLastBlock ? file.size() - kBlockUnit : offset, value, claim.width);
    const Walk walk = walkAll(file, u"ap");
    EXPECT_LE(walk.largestAllocation, file.size() + 1024) << claim.patches[0].first;
    EXPECT_LE(walk.bytesRead, 4 * file.size()) << claim.patches[0].first;
    EXPECT_TRUE(claim.matches < 0 || walk.matches == static_cast<size_t>(claim.matches))
        << walk.matches << " matches";
  }
}

TEST(IndexBounds, TensOfThousandsOfOneByteWords) {
  constexpr size_t kEntries = 40000;
  std::mt19937 random(7);
  for (const bool sorted : {true, false}) {
    TestDictionary dic;
    dic.data = wordsBlock({"a", "ab", "b"});
    for (size_t i = 0; i < kEntries; ++i) {
      const auto letter = sorted ? 'a' + i * 26 / kEntries : 1 + random() % 255;
      dic.index.push_back({0, std::string(1, static_cast<char>(letter))});
    }
    const Bytes file = dic.build();
    testing::TempDir dir;
    auto lexor = testing::openDictionary(dir, "one-byte.dic", file);
    EXPECT_EQ(lexor->usableIndexEntries(), kEntries);
    EXPECT_EQ(lexor->sharedIndex()->sorted, sorted);
    for (const char16_t* word : {u"a", u"m", u"\u00ff"}) {
      const Walk walk = walkAll(file, word);
      // Every entry names block 0: it is walked once, so no entry is found twice.
      EXPECT_LE(walk.matches, 2u) << sorted;
      EXPECT_LE(walk.bytesRead, 2 * file.size()) << sorted;
      EXPECT_LE(walk.largestAllocation, file.size() + 1024) << sorted;
    }
  }
}

// Blocks that each claim to run to the end of the data: without care each index entry would load
// and walk the bytes again, reading (entries x data size) bytes and repeating matches. (An index
// that names one block over and over is the test above: every entry there names block 0.)
TEST(IndexBounds, QueryWorkGrowsWithTheFileNotItsSquare) {
  constexpr size_t kEntries = 2000;
  TestDictionary dic;
  for (size_t i = 0; i < kEntries; ++i) {  // block i of one unit claims every unit after it
    Bytes block = wordsBlock({"aa" + std::to_string(10000 + i)});
    ASSERT_EQ(block.size(), kBlockUnit);
    putLE(block, 0, kEntries - i, 2);
    dic.add("aa", block);
  }
  const Bytes file = dic.build();
  const Walk walk = walkAll(file, u"a");
  EXPECT_GE(walk.matches, 1u);
  EXPECT_LE(walk.matches, kEntries);
  EXPECT_LE(walk.bytesRead, 2 * file.size());
}

// The guard above must not cost a sound file its matches: blocks may lie out of the order of their
// index words (a block rewritten later sits after the others), and each is still walked once.
TEST(IndexBounds, BlocksStoredOutOfIndexOrderAreAllWalked) {
  TestDictionary dic;
  for (const Bytes& block :
       {wordsBlock({"aa4", "aa5"}), wordsBlock({"aa3"}), wordsBlock({"aa1", "aa2"})})
    dic.data.insert(dic.data.end(), block.begin(), block.end());
  ASSERT_EQ(dic.data.size(), 3 * kBlockUnit);
  dic.index = {{2, "aa1"}, {1, "aa3"}, {0, "aa4"}};  // in the order of the words: the last first
  EXPECT_EQ(walkAll(dic.build(), u"aa").matches, 5u);
}

TEST(QueryBounds, WordOf64KiB) {
  testing::TempDir dir;
  const std::vector<writer::Entry> entries = {testing::entry("apple", "りんご"),
                                              testing::entry("アップル", "apple")};
  for (const bool bocu : {false, true}) {
    const std::string path = dir.file(bocu ? "unknown.dic" : "ambora52.dic");
    ASSERT_TRUE(writer::writeDictionary(path, entries, {.bocu = bocu}));
    constexpr size_t kUnits = 64 * 1024;
    for (const char16_t unit : {u'a', u'ア', u'\xD83D'}) {
      CapturingLogSink quiet;
      AllocationProbe probe;
      auto recordset = LexorRecordset::initWithDic(Lexor::initWithFilePath(fromUtf8(path)));
      EXPECT_FALSE(recordset->queryWithWord(std::u16string(kUnits, unit))) << path;
      EXPECT_LT(std::strlen(reinterpret_cast<const char*>(recordset->needle())), kNeedleSize);
      // The word itself and a few copies of it; nothing in proportion to its square.
      EXPECT_LE(probe.largest(), 8 * kUnits * sizeof(char16_t)) << path;
      EXPECT_TRUE(recordset->queryWithWord(u"app")) << path;  // and it still answers
    }
  }
}

// Adds every path to a fresh plug-in object under a limit of 64 descriptors and queries them all;
// 0 when each answers once, no more than the cache's open files are held, and the file named again
// and again from position `again` on has one index.
int addUnderDescriptorLimit(const std::vector<std::string>& paths, size_t again,
                            const std::string& home) {
  const rlimit limit{64, 64};
  if (setrlimit(RLIMIT_NOFILE, &limit) != 0) return 3;
  silenceLog();
  setenv("HOME", home.c_str(), 1);
  auto peek = LexorPeek::initWithWebView(nullptr);
  for (const std::string& path : paths) peek->_addDictionary(fromUtf8(path));
  size_t matches = 0;
  for (bool more = peek->_queryWithWord(u"gon"); more && !peek->_isEOF(); more = peek->_moveNext())
    ++matches;
  const LexorRecordset& rs = peek->recordset(0);
  const bool shared = rs.dicAt(again)->sharedIndex() == rs.dicAt(paths.size() - 1)->sharedIndex();
  const bool held = cachedFileCount() <= kOpenFileLimit;
  return rs.dicCount() == paths.size() && matches == paths.size() && held && shared ? 0 : 1;
}

// A list of dictionaries of any length holds a bounded number of open files: 3,000 distinct files,
// then the first of them 3,000 times more.
TEST(FileBounds, ThousandsOfDictionariesUnderSixtyFourDescriptors) {
  constexpr size_t kDictionaries = 3000;
  testing::TempDir dir;
  const Bytes file = TestDictionary().add("go", wordsBlock({"go", "gone"})).build();
  std::vector<std::string> paths;
  for (size_t i = 0; i < kDictionaries; ++i)
    paths.push_back(dir.write("d" + std::to_string(i) + ".dic", file));
  paths.resize(2 * kDictionaries, paths.front());
  EXPECT_EXIT(std::_Exit(addUnderDescriptorLimit(paths, kDictionaries, dir.path().string())),
              ::testing::ExitedWithCode(0), "");
}

// A file rewritten or replaced after its dictionary was opened is not read any more: its blocks
// fail as damaged ones do, and only a new open reads the file as it is now.
TEST(FileBounds, AChangedFileIsNotReadUntilOpenedAgain) {
  testing::TempDir dir;
  const Bytes first = TestDictionary().add("go", wordsBlock({"go"})).build();
  const Bytes second = TestDictionary().add("ha", wordsBlock({"ha", "hb"})).build();
  for (const bool replace : {false, true}) {
    const std::string path = dir.write("c.dic", first);
    auto dic = Lexor::initWithFilePath(fromUtf8(path));
    std::vector<uint8_t> block;
    ASSERT_EQ(dic->readDatablock(0, block), LexorStatus::kOk);
    if (replace) std::filesystem::remove(path);
    dir.write("c.dic", second);  // in place (same inode, new size) or as a new file
    EXPECT_EQ(dic->readDatablock(0, block), LexorStatus::kFileChanged) << replace;
    EXPECT_TRUE(block.empty());
    EXPECT_EQ(Lexor::initWithFilePath(fromUtf8(path))->readDatablock(0, block), LexorStatus::kOk);
  }
}

}  // namespace
}  // namespace lexor
