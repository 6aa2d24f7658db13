#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <random>
#include <string>
#include <vector>

#include "core/data_util.h"
#include "core/lexor.h"
#include "core/lexor_index.h"
#include "platform/log.h"
#include "tests/core/lexor_file_builder.h"
#include "tests/support/temp_dir.h"
#include "tools/writer/lexor_writer.h"

namespace lexor {
namespace {

using testing::dataBlock;
using testing::TestDictionary;

const uint8_t* bytes(const char* s) { return reinterpret_cast<const uint8_t*>(s); }

class LexorBlock : public ::testing::Test {
 protected:
  void SetUp() override { clearLexorIndexCache(); }
  std::shared_ptr<Lexor> open(const std::vector<uint8_t>& file) {
    auto dic = Lexor::initWithFilePath(u(dir.write("d" + std::to_string(++files) + ".dic", file)));
    if (dic) dic->lookupIndex(bytes("a"), bytes("b"));  // as the recordset does first
    return dic;
  }
  testing::TempDir dir;
  int files = 0;
};

// Block 0 (one unit), block 3 (three units, bit 15 set: 768 bytes into the data area) and block 6
// (one unit), each filled with its own byte; units 1 and 2 hold an unindexed block of filler.
TestDictionary threeBlocks(uint16_t version, int blockbyte) {
  TestDictionary d;
  d.version = version;
  d.blockbyte = blockbyte;
  d.extheaderSize = 100;  // versions 4 and 5 only; an odd size, so offsets are unaligned
  d.index = {{0, "b"}, {3, "d"}, {6, "f"}};
  for (const auto& part : {dataBlock(1, 0x0001, 0xB0), dataBlock(2, 0x0002, 0xEE),
                           dataBlock(3, 0x8003, 0xB3), dataBlock(1, 0x0001, 0xB6)}) {
    d.data.insert(d.data.end(), part.begin(), part.end());
  }
  return d;
}

TEST_F(LexorBlock, BlocksStandInWholeUnitsFromTheDataArea) {
  for (uint16_t version : {0x0200, 0x0300, 0x0400, 0x0500}) {
    for (int width : {2, 4}) {
      if (width == 4 && version < 0x0400) continue;
      SCOPED_TRACE(std::to_string(version) + " width " + std::to_string(width));
      auto dic = open(threeBlocks(version, width).build());
      ASSERT_TRUE(dic);
      std::vector<uint8_t> block;
      const struct {
        int32_t n;
        size_t size;
        uint8_t fill;
      } expected[] = {{0, 256, 0xB0}, {1, 768, 0xB3}, {2, 256, 0xB6}};
      for (const auto& e : expected) {
        ASSERT_TRUE(dic->loadDatablock(e.n, block)) << e.n;
        ASSERT_EQ(block.size(), e.size);
        EXPECT_EQ(block[2], e.fill);
        EXPECT_EQ(block.back(), e.fill);
      }
      EXPECT_EQ(getUShortAt(block.data()), 0x0001u);
    }
  }
}

TEST_F(LexorBlock, RefusedRequestsLeaveTheBlockEmpty) {
  TestDictionary d = threeBlocks(0x0500, 2);
  d.index.push_back({1, "h"});       // block 1: head word without length bits
  d.index.push_back({7, "j"});       // block 7: past the end of the file
  d.index.push_back({0xFFFF, "l"});  // far past the end
  d.index.push_back({0, ""});        // ends the index early
  d.index.push_back({0, "n"});       // counted in the header, but not usable
  d.data[256] = d.data[257] = 0;
  auto file = d.build();
  auto dic = open(file);
  ASSERT_EQ(dic->nIndexEntry(), 8);
  ASSERT_EQ(dic->usableIndexEntries(), 6u);
  CapturingLogSink log;
  std::vector<uint8_t> block;
  for (int32_t n : {-1, 3, 4, 5, 6, 7, 8, INT32_MIN, INT32_MAX}) {
    block.assign(10, 0xAA);
    EXPECT_FALSE(dic->loadDatablock(n, block)) << n;
    EXPECT_TRUE(block.empty()) << n;
  }
  EXPECT_TRUE(log.lines().empty());
}

TEST_F(LexorBlock, BlockReachingPastTheEndIsRefused) {
  TestDictionary d;
  d.index = {{0, "a"}, {1, "b"}};
  d.data = dataBlock(1, 0x0001, 0x11);
  const auto tail = dataBlock(2, 0x0002, 0x22);  // block 1 claims two units
  d.data.insert(d.data.end(), tail.begin(), tail.end());
  auto file = d.build();
  file.resize(file.size() - 1);  // one byte short
  auto dic = open(file);
  std::vector<uint8_t> block;
  EXPECT_TRUE(dic->loadDatablock(0, block));
  EXPECT_FALSE(dic->loadDatablock(1, block));

  // A head word claiming the largest size on a small file is refused before any allocation.
  testing::putLE(file, file.size() - 2 * 256 + 1, 0x7FFF, 2);
  dic = open(file);
  std::vector<uint8_t> big;
  EXPECT_FALSE(dic->loadDatablock(1, big));
  EXPECT_EQ(big.capacity(), 0u);
}

TEST_F(LexorBlock, OffsetsDoNotWrapAt4GiB) {
  // Block 0x01000000 lies 4 GiB into the data area. Offsets that wrapped at 32 bits would land
  // on block 0 and hand out its bytes as if they were that block.
  TestDictionary d;
  d.blockbyte = 4;
  d.index = {{0, "a"}, {0x01000000, "b"}};
  d.data = dataBlock(1, 0x0001, 0x11);
  auto dic = open(d.build());
  std::vector<uint8_t> block;
  EXPECT_TRUE(dic->loadDatablock(0, block));
  EXPECT_FALSE(dic->loadDatablock(1, block));
}

TEST_F(LexorBlock, StorageIsReused) {
  auto dic = open(threeBlocks(0x0500, 2).build());
  std::vector<uint8_t> block;
  ASSERT_TRUE(dic->loadDatablock(1, block));  // the largest first
  const uint8_t* storage = block.data();
  const size_t capacity = block.capacity();
  for (int32_t n : {0, 2, 1, 0}) {
    ASSERT_TRUE(dic->loadDatablock(n, block));
    EXPECT_EQ(block.data(), storage);
    EXPECT_EQ(block.capacity(), capacity);
  }
}

TEST(LexorBlockNoFile, LogsOnlyForEntriesTheHeaderCounts) {
  testing::HeaderFields f;
  f.indexEntries = 2;
  auto dic = Lexor::withHeaderBlock(testing::headerBlock(f), false);
  CapturingLogSink log;
  std::vector<uint8_t> block;
  EXPECT_FALSE(dic->loadDatablock(-1, block));
  EXPECT_FALSE(dic->loadDatablock(2, block));
  EXPECT_TRUE(log.lines().empty());
  EXPECT_FALSE(dic->loadDatablock(1, block));
  EXPECT_EQ(log.lines(), std::vector<std::string>{"loadDatablock: fh = nil.\n"});
}

// Cut a sound file at every length and flip bytes of its header and index: whatever survives, a
// block handed out is whole, as long as its head word says, and the bytes of the file.
TEST_F(LexorBlock, DamagedFilesHandOutOnlyWholeBlocks) {
  const auto good = threeBlocks(0x0400, 4).build();
  auto check = [&](const std::vector<uint8_t>& file) {
    auto dic = open(file);
    ASSERT_TRUE(dic);
    std::vector<uint8_t> block;
    for (int32_t n = -1; n <= 4; ++n) {
      if (!dic->loadDatablock(n, block)) continue;
      ASSERT_GE(block.size(), 2u);
      ASSERT_EQ(block.size(), (getUShortAt(block.data()) & 0x7FFF) * 256u);
      ASSERT_LE(block.size(), file.size());
      EXPECT_NE(std::search(file.begin(), file.end(), block.begin(), block.end()), file.end());
    }
  };
  for (size_t length = 0; length <= good.size(); length += 7) {
    SCOPED_TRACE(length);
    check({good.begin(), good.begin() + length});
  }
  std::mt19937 rng(7);
  const size_t dataStart = good.size() - 7 * 256;
  for (int round = 0; round < 200; ++round) {
    auto file = good;
    for (int flips = 0; flips < 3; ++flips) {
      const size_t at = std::uniform_int_distribution<size_t>(140, dataStart - 1)(rng);
      file[at] ^= static_cast<uint8_t>(1u << std::uniform_int_distribution<int>(0, 7)(rng));
    }
    SCOPED_TRACE(round);
    check(file);
  }
}

// A second reading of the layout: every index entry of a written dictionary names a whole block,
// and looking up an index word lands on its own entry, across versions and block-number widths.
TEST_F(LexorBlock, WrittenDictionariesReadBack) {
  std::vector<writer::Entry> entries;
  for (int i = 0; i < 400; ++i) {
    writer::Entry entry;
    entry.headWord = u("word" + std::to_string(1000 + i));
    entry.translation = u("translation " + std::to_string(i));
    entries.push_back(entry);
  }
  for (int version : {2, 3, 4, 5}) {
    for (int width : {2, 4}) {
      if (width == 4 && version < 4) continue;
      SCOPED_TRACE(std::to_string(version) + " width " + std::to_string(width));
      writer::Options options;
      options.version = version;
      options.blockBytes = 512;
      options.blockNumberWidth = width;
      writer::Report report;
      auto dic = open(writer::buildDictionary(entries, options, &report));
      ASSERT_TRUE(dic);
      ASSERT_EQ(dic->blockbyte(), width);
      const uint32_t usable = dic->usableIndexEntries();
      ASSERT_GT(usable, 2u);
      EXPECT_EQ(usable, static_cast<uint32_t>(dic->nIndexEntry()));
      std::vector<uint8_t> block;
      for (uint32_t n = 0; n < usable; ++n) {
        ASSERT_TRUE(dic->loadDatablock(static_cast<int32_t>(n), block)) << n;
        std::string word(reinterpret_cast<const char*>(dic->indexWord(n)));
        std::string until = word;
        until.back() = static_cast<char>(until.back() + 1);
        EXPECT_EQ(dic->lookupIndex(bytes(word.c_str()), bytes(until.c_str())), (IndexRange{n, 1}));
      }
    }
  }
}

}  // namespace
}  // namespace lexor
