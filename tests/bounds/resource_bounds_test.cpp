// Bounds that hold whatever a dictionary file claims: memory never beyond what the file can
// fill, work on a query that grows with the file and not with its square, and words of any
// length. Work is counted in bytes read (the kernel's count for this process), never timed.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <random>
#include <sstream>
#include <string>

#include "core/lexor.h"
#include "core/lexor_index.h"
#include "core/lexor_recordset.h"
#include "core/string_bridge.h"
#include "platform/log.h"
#include "tests/bounds/allocation_probe.h"
#include "tests/core/lexor_file_builder.h"
#include "tests/support/temp_dir.h"
#include "tools/writer/lexor_writer.h"

ALLOCATION_PROBE_DEFINE

namespace lexor {
namespace {

using testing::AllocationProbe;
using testing::IndexEntrySpec;
using testing::putLE;
using testing::TempDir;
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
std::vector<uint8_t> blockOf(const std::vector<std::string>& words) {
  std::vector<writer::RawEntry> entries;
  for (const std::string& word : words) entries.push_back({word, 0x01, "translation of " + word});
  return writer::buildDataBlock(entries, false, 2);
}

struct Walk {
  size_t matches = 0;
  uint64_t bytesRead = 0;
  size_t largestAllocation = 0;
};

// Opens the file afresh (no shared index), queries the word and walks every match to its end.
Walk walkAll(const std::string& path, const std::u16string& word) {
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
struct Claim {
  const char* name;
  uint16_t version;
  std::vector<std::pair<size_t, uint64_t>> patches;  // offset, 4-byte value (2 where noted)
  int width;
};

class HeaderClaimTest : public ::testing::TestWithParam<Claim> {};

TEST_P(HeaderClaimTest, AllocatesNoMoreThanTheFileCanFill) {
  const Claim& claim = GetParam();
  TestDictionary dic;
  dic.version = claim.version;
  dic.index = {{0, "apple"}};
  dic.data = blockOf({"apple", "apply"});
  std::vector<uint8_t> file = dic.build();
  for (const auto& [offset, value] : claim.patches) putLE(file, offset, value, claim.width);
  TempDir dir;
  const std::string path = dir.write("claims.dic", file);

  const Walk walk = walkAll(path, u"ap");
  EXPECT_LE(walk.largestAllocation, file.size() + 1024) << claim.name;
  EXPECT_LE(walk.bytesRead, 4 * file.size()) << claim.name;
}

INSTANTIATE_TEST_SUITE_P(
    Claims, HeaderClaimTest,
    ::testing::Values(
        // Version 5: index size is block size x index blocks, both 0x7FFF (about 1 GiB).
        Claim{"huge_index_v5", 0x0500, {{146, 0x7FFF}, {148, 0x7FFF}}, 2},
        Claim{"index_entries_v5", 0x0500, {{192, 0x7FFFFFFF}, {196, 0x7FFFFFFF}}, 4},
        Claim{"ext_header_v5", 0x0500, {{184, 0xFFFFFF00}}, 4},
        Claim{"index_entries_v3", 0x0300, {{152, 0x7FFF}, {156, 0x7FFF}, {158, 0x7FFF}}, 2},
        Claim{"negative_sizes_v3", 0x0300, {{150, 0xFFFF}, {152, 0xFFFF}}, 2}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(BlockBounds, HeadWordOfAllUnitsAtTheEndOfASmallFile) {
  for (const uint16_t headWord : {0x7FFF, 0xFFFF}) {
    TestDictionary dic;
    dic.index = {{0, "apple"}, {1, "apq"}};
    dic.data = blockOf({"apple", "apply"});
    const std::vector<uint8_t> last = testing::dataBlock(1, headWord, 0x41);
    dic.data.insert(dic.data.end(), last.begin(), last.end());
    const std::vector<uint8_t> file = dic.build();
    TempDir dir;
    const std::string path = dir.write("tail.dic", file);

    // The last block would need 8 MiB; it is refused, and the good one still answers.
    const Walk walk = walkAll(path, u"ap");
    EXPECT_EQ(walk.matches, 2u) << std::hex << headWord;
    EXPECT_LE(walk.largestAllocation, file.size() + 1024) << std::hex << headWord;

    auto dic2 = Lexor::initWithFilePath(fromUtf8(path));
    std::vector<uint8_t> block;
    EXPECT_FALSE(dic2->loadDatablock(1, block));
    EXPECT_TRUE(block.empty());
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
    const std::vector<uint8_t> file = dic.build();
    TempDir dir;
    const std::string path = dir.write("one-byte.dic", file);

    auto lexor = Lexor::initWithFilePath(fromUtf8(path));
    EXPECT_EQ(lexor->usableIndexEntries(), kEntries);
    EXPECT_EQ(lexor->sharedIndex()->sorted, sorted);
    for (const char16_t* word : {u"a", u"b", u"m", u"z", u"\u00ff"}) {
      const Walk walk = walkAll(path, word);
      // Every entry names block 0: it is walked once, so no entry is found twice.
      EXPECT_LE(walk.matches, 2u) << sorted;
      EXPECT_LE(walk.bytesRead, 2 * file.size()) << sorted;
      EXPECT_LE(walk.largestAllocation, file.size() + 1024) << sorted;
    }
  }
}

// An index that names the same block over and over, or blocks that each claim to run to the end
// of the data: without care each entry would load and walk the bytes again, reading (entries x
// block size) bytes and repeating matches.
struct Crafted {
  const char* name;
  size_t indexEntries;
  bool overlapping;  // entry i names block i of one unit, which claims every unit after it
};

class CraftedIndexTest : public ::testing::TestWithParam<Crafted> {};

TEST_P(CraftedIndexTest, QueryWorkGrowsWithTheFileNotItsSquare) {
  const Crafted& crafted = GetParam();
  TestDictionary dic;
  size_t firstBlockWords = 0;
  if (crafted.overlapping) {
    for (size_t i = 0; i < crafted.indexEntries; ++i) {
      std::vector<uint8_t> block = blockOf({"aa" + std::to_string(10000 + i)});
      ASSERT_EQ(block.size(), kBlockUnit);
      putLE(block, 0, crafted.indexEntries - i, 2);
      dic.data.insert(dic.data.end(), block.begin(), block.end());
      dic.index.push_back({static_cast<uint32_t>(i), "aa"});
    }
    firstBlockWords = 1;
  } else {
    std::vector<std::string> words;
    for (int i = 0; i < 400; ++i) words.push_back("aa" + std::to_string(1000 + i));
    dic.data = blockOf(words);
    firstBlockWords = words.size();
    for (size_t i = 0; i < crafted.indexEntries; ++i) dic.index.push_back({0, "aa"});
  }
  const std::vector<uint8_t> file = dic.build();
  TempDir dir;
  const std::string path = dir.write("crafted.dic", file);

  const Walk walk = walkAll(path, u"a");
  // Each block is walked once: its entries are found once, never once per index entry.
  EXPECT_GE(walk.matches, firstBlockWords);
  EXPECT_LE(walk.matches, crafted.overlapping ? crafted.indexEntries : firstBlockWords);
  EXPECT_LE(walk.bytesRead, 2 * file.size());
}

INSTANTIATE_TEST_SUITE_P(Indexes, CraftedIndexTest,
                         ::testing::Values(Crafted{"same_block_1000", 1000, false},
                                           Crafted{"same_block_20000", 20000, false},
                                           Crafted{"overlapping_blocks", 2000, true}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(QueryBounds, WordOf64KiB) {
  TempDir dir;
  writer::Options codePage;
  writer::Options bocu;
  bocu.bocu = true;
  const std::vector<writer::Entry> entries = {
      {u"apple", u"りんご", std::nullopt, std::nullopt, 0},
      {u"アップル", u"apple", std::nullopt, std::nullopt, 0}};
  const std::string paths[] = {dir.file("ambora52.dic"), dir.file("unknown.dic")};
  ASSERT_TRUE(writer::writeDictionary(paths[0], entries, codePage).error.empty());
  ASSERT_TRUE(writer::writeDictionary(paths[1], entries, bocu).error.empty());

  constexpr size_t kUnits = 64 * 1024;
  for (const std::string& path : paths) {
    for (const char16_t unit : {u'a', u'ア', u'\xD83D'}) {
      const std::u16string word(kUnits, unit);
      CapturingLogSink quiet;
      AllocationProbe probe;
      auto recordset = LexorRecordset::initWithDic(Lexor::initWithFilePath(fromUtf8(path)));
      EXPECT_FALSE(recordset->queryWithWord(word)) << path;
      EXPECT_LT(std::strlen(reinterpret_cast<const char*>(recordset->needle())), kNeedleSize);
      // The word itself and a few copies of it; nothing in proportion to its square.
      EXPECT_LE(probe.largest(), 8 * kUnits * sizeof(char16_t)) << path;
      // The same walk still answers a real word afterwards.
      EXPECT_TRUE(recordset->queryWithWord(u"app")) << path;
    }
  }
}

}  // namespace
}  // namespace lexor
