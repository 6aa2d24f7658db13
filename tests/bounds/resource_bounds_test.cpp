// Bounds that hold whatever a dictionary file claims: memory never beyond what the file can
// fill, work on a query that grows with the file and not with its square, and words of any
// length. Work is counted in bytes read (the kernel's count for this process), never timed.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "core/lexor.h"
#include "core/lexor_index.h"
#include "core/lexor_recordset.h"
#include "platform/file_handle.h"
#include "platform/log.h"
#include "plugin/lexor_peek.h"
#include "tests/bounds/allocation_probe.h"
#include "tests/core/dictionary_bytes.h"

ALLOCATION_PROBE_DEFINE

namespace lexor {
namespace {

using testing::AllocationProbe;
using testing::Bytes;
using testing::putLE;
using testing::TestDictionary;

// Bytes this process has read through read(2) and pread(2) so far.
uint64_t bytesRead() {
  std::ifstream io("/proc/self/io");
  std::string key;
  uint64_t value = 0;
  while (io >> key >> value) {
    if (key == "rchar:") return value;
  }
  return 0;
}

// A data block of code-page entries whose head words are the given ASCII words.
Bytes blockOf(const std::vector<std::string>& words) {
  std::vector<writer::RawEntry> entries;
  for (const std::string& word : words) entries.push_back({word, 0x01, "translation of " + word});
  return writer::buildDataBlock(entries, false, 2).value();
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

// Header fields that claim far more than the file holds, each patched into a sound little file.
TEST(HeaderClaims, AllocateNoMoreThanTheFileCanFill) {
  struct Claim {
    uint16_t version;
    std::vector<std::pair<size_t, uint32_t>> patches;  // offset, value
    int width;
  };
  const Claim claims[] = {
      {0x0500, {{146, 0x7FFF}, {148, 0x7FFF}}, 2},  // index of block size x index blocks: 1 GiB
      {0x0500, {{192, 0x7FFFFFFF}, {196, 0x7FFFFFFF}}, 4},         // index entries, data blocks
      {0x0500, {{184, 0xFFFFFF00}}, 4},                            // extended header
      {0x0300, {{152, 0x7FFF}, {156, 0x7FFF}, {158, 0x7FFF}}, 2},  // index size and counts
      {0x0300, {{150, 0xFFFF}, {152, 0xFFFF}}, 2},                 // header and index size
  };
  for (const Claim& claim : claims) {
    TestDictionary dic;
    dic.version = claim.version;
    dic.add("apple", blockOf({"apple", "apply"}));
    Bytes file = dic.build();
    for (const auto& [offset, value] : claim.patches) putLE(file, offset, value, claim.width);
    const Walk walk = walkAll(file, u"ap");
    EXPECT_LE(walk.largestAllocation, file.size() + 1024) << claim.patches[0].first;
    EXPECT_LE(walk.bytesRead, 4 * file.size()) << claim.patches[0].first;
  }
}

TEST(BlockBounds, HeadWordOfAllUnitsAtTheEndOfASmallFile) {
  for (const uint16_t headWord : {0x7FFF, 0xFFFF}) {
    TestDictionary dic;
    dic.add("apple", blockOf({"apple", "apply"}))
        .add("apq", testing::fillerBlock(1, headWord, 0x41));
    const Bytes file = dic.build();
    // The last block would need 8 MiB; it is refused, and the good one still answers.
    const Walk walk = walkAll(file, u"ap");
    EXPECT_EQ(walk.matches, 2u) << std::hex << headWord;
    EXPECT_LE(walk.largestAllocation, file.size() + 1024) << std::hex << headWord;
  }
}

TEST(IndexBounds, TensOfThousandsOfOneByteWords) {
  constexpr size_t kEntries = 40000;
  std::mt19937 random(7);
  for (const bool sorted : {true, false}) {
    TestDictionary dic;
    dic.data = blockOf({"a", "ab", "b"});
    for (size_t i = 0; i < kEntries; ++i) {
      const char letter = sorted ? static_cast<char>('a' + i * 26 / kEntries)
                                 : static_cast<char>(1 + random() % 255);
      dic.index.push_back({0, std::string(1, letter)});
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

// An index that names the same block over and over, or blocks that each claim to run to the end
// of the data: without care each entry would load and walk the bytes again, reading (entries x
// block size) bytes and repeating matches. The fuzz target found the first.
TEST(IndexBounds, QueryWorkGrowsWithTheFileNotItsSquare) {
  for (const bool overlapping : {false, true}) {
    TestDictionary dic;
    size_t minMatches = 0, maxMatches = 0;
    if (overlapping) {  // entry i names block i of one unit, which claims every unit after it
      constexpr size_t kEntries = 2000;
      for (size_t i = 0; i < kEntries; ++i) {
        Bytes block = blockOf({"aa" + std::to_string(10000 + i)});
        ASSERT_EQ(block.size(), kBlockUnit);
        putLE(block, 0, kEntries - i, 2);
        dic.add("aa", block);
      }
      minMatches = 1, maxMatches = kEntries;
    } else {
      std::vector<std::string> words;
      for (int i = 0; i < 400; ++i) words.push_back("aa" + std::to_string(1000 + i));
      dic.data = blockOf(words);
      dic.index.assign(20000, {0, "aa"});
      minMatches = maxMatches = words.size();
    }
    const Bytes file = dic.build();
    const Walk walk = walkAll(file, u"a");
    EXPECT_GE(walk.matches, minMatches) << overlapping;
    EXPECT_LE(walk.matches, maxMatches) << overlapping;
    EXPECT_LE(walk.bytesRead, 2 * file.size()) << overlapping;
  }
}

// The guard above must not cost a sound file its matches: blocks need not lie in the data area in
// the order of their index words (a block rewritten later may sit after the others), and each is
// still walked once.
TEST(IndexBounds, BlocksStoredOutOfIndexOrderAreAllWalked) {
  const std::vector<std::vector<std::string>> blocks = {{"aa1", "aa2"}, {"aa3"}, {"aa4", "aa5"}};
  TestDictionary dic;
  for (size_t i = 0; i < blocks.size(); ++i) {
    const size_t stored = blocks.size() - 1 - i;  // the last block first
    dic.index.push_back({static_cast<uint32_t>(stored), blocks[i].front()});
  }
  for (auto it = blocks.rbegin(); it != blocks.rend(); ++it) {
    const Bytes block = blockOf(*it);
    ASSERT_EQ(block.size(), kBlockUnit);
    dic.data.insert(dic.data.end(), block.begin(), block.end());
  }
  EXPECT_EQ(walkAll(dic.build(), u"aa").matches, 5u);
}

TEST(QueryBounds, WordOf64KiB) {
  testing::TempDir dir;
  const std::vector<writer::Entry> entries = {{u"apple", u"りんご", {}, {}, 0},
                                              {u"アップル", u"apple", {}, {}, 0}};
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
// 0 when each answers once with no more than the cache's open files (and, for one file named
// again and again, one shared index).
int addUnderDescriptorLimit(const std::vector<std::string>& paths, const std::string& home) {
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
  const bool sharedWhenSame =
      paths[0] != paths[1] || rs.dicAt(0)->sharedIndex() == rs.dicAt(1)->sharedIndex();
  return rs.dicCount() == paths.size() && matches == paths.size() &&
                 cachedFileCount() <= kOpenFileLimit && sharedWhenSame
             ? 0
             : 1;
}

// A list of dictionaries of any length holds a bounded number of open files: 3,000 distinct files,
// or one file 3,000 times.
TEST(FileBounds, ThousandsOfDictionariesUnderSixtyFourDescriptors) {
  constexpr int kDictionaries = 3000;
  testing::TempDir dir;
  const Bytes file = TestDictionary().add("go", blockOf({"go", "gone"})).build();
  std::vector<std::string> distinct;
  for (int i = 0; i < kDictionaries; ++i)
    distinct.push_back(dir.write("d" + std::to_string(i) + ".dic", file));
  const std::vector<std::string> same(kDictionaries, distinct.front());
  EXPECT_EXIT(std::_Exit(addUnderDescriptorLimit(distinct, dir.path().string())),
              ::testing::ExitedWithCode(0), "");
  EXPECT_EXIT(std::_Exit(addUnderDescriptorLimit(same, dir.path().string())),
              ::testing::ExitedWithCode(0), "");
}

// A file rewritten or replaced after its dictionary was opened is not read any more: its blocks
// fail as damaged ones do, and only a new open reads the file as it is now.
TEST(FileBounds, AChangedFileIsNotReadUntilOpenedAgain) {
  testing::TempDir dir;
  const Bytes first = TestDictionary().add("go", blockOf({"go"})).build();
  const Bytes second = TestDictionary().add("ha", blockOf({"ha", "hb"})).build();
  for (const bool replace : {false, true}) {
    const std::string path = dir.write("c.dic", first);
    auto dic = Lexor::initWithFilePath(fromUtf8(path));
    std::vector<uint8_t> block;
    ASSERT_EQ(dic->readDatablock(0, block), LexorStatus::kOk);
    if (replace) std::filesystem::remove(path);
    {
      std::ofstream out(path, std::ios::binary | (replace ? std::ios::trunc : std::ios::app));
      out.write(reinterpret_cast<const char*>(second.data()),
                static_cast<std::streamsize>(second.size()));
    }
    EXPECT_EQ(dic->readDatablock(0, block), LexorStatus::kFileChanged) << replace;
    EXPECT_TRUE(block.empty());
    EXPECT_EQ(Lexor::initWithFilePath(fromUtf8(path))->readDatablock(0, block), LexorStatus::kOk);
  }
}

}  // namespace
}  // namespace lexor
