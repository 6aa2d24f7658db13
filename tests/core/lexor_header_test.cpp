#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/lexor.h"
#include "platform/log.h"
#include "tests/core/lexor_file_builder.h"

namespace lexor {
namespace {

using testing::headerBlock;
using testing::HeaderFields;

// Distinct values in every field, so that a read from the wrong offset shows.
HeaderFields distinctFields(uint16_t version) {
  HeaderFields f;
  f.version = version;
  f.blockSize = 0x20;
  f.indexBlocks = 3;
  f.headerSize = 300;
  f.indexSize = 0x123;
  f.emptyBlockAt = 0x45;
  f.indexEntries = 7;
  f.dataBlocks = 9;
  f.extheaderSize = 0x11;
  f.blockbyteFlag = 1;
  return f;
}

struct VersionCase {
  uint16_t version;
  uint32_t indexSize, extheaderSize, dataSize;
  int32_t blockbyte;
};

TEST(LexorHeader, EachVersionReadsItsOwnLayout) {
  const VersionCase cases[] = {
      {0x0200, 0x123, 0, 0x20 * 9, 2},
      {0x0300, 0x123, 0, 0x20 * 16 * 9, 2},  // version 3 counts the block size in 16s
      {0x03FF, 0x123, 0, 0x20 * 16 * 9, 2},  // the minor version plays no part
      {0x0400, 0x20 * 3, 0x11, 0x20 * 9, 4},
      {0x0501, 0x20 * 3, 0x11, 0x20 * 9, 4},
      {0x8500, 0x20 * 3, 0x11, 0x20 * 9, 4},  // nor does bit 15
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.version);
    auto dic = Lexor::withHeaderBlock(headerBlock(distinctFields(c.version)), false);
    EXPECT_EQ(dic->version(), static_cast<int16_t>(c.version));
    EXPECT_EQ(dic->headerSize(), 300u);
    EXPECT_EQ(dic->indexSize(), c.indexSize);
    EXPECT_EQ(dic->extheaderSize(), c.extheaderSize);
    EXPECT_EQ(dic->nIndexEntry(), 7);
    EXPECT_EQ(dic->indexBlocks(), 3);
    EXPECT_EQ(dic->dataBlocks(), 9);
    EXPECT_EQ(dic->dataSize(), c.dataSize);
    EXPECT_EQ(dic->emptyBlockAt(), 0x45u);
    EXPECT_EQ(dic->blockbyte(), c.blockbyte);
  }
}

TEST(LexorHeader, UnsupportedVersionsLeaveEverythingZeroAndLogNothing) {
  for (uint16_t version : {0x0000, 0x0100, 0x01FF, 0x0600, 0x7F00}) {
    SCOPED_TRACE(version);
    HeaderFields f = distinctFields(0x0400);
    f.dictype = 0x08;
    f.os = 0x20;
    auto block = headerBlock(f);
    block[140] = static_cast<uint8_t>(version);
    block[141] = static_cast<uint8_t>(version >> 8);
    CapturingLogSink log;
    auto dic = Lexor::withHeaderBlock(block, true);
    EXPECT_TRUE(log.lines().empty());
    EXPECT_EQ(dic->version(), static_cast<int16_t>(version));
    EXPECT_EQ(dic->headerSize(), 300u);
    EXPECT_EQ(dic->extheaderSize(), 0u);
    EXPECT_EQ(dic->indexSize(), 0u);
    EXPECT_EQ(dic->nIndexEntry(), 0);
    EXPECT_EQ(dic->dataBlocks(), 0);
    EXPECT_EQ(dic->blockbyte(), 0);
    EXPECT_FALSE(dic->isBOCU());
  }
}

TEST(LexorHeader, BlockbyteFlagOnlyOneMeansFourBytes) {
  const struct {
    uint16_t version;
    uint8_t flag;
    int32_t blockbyte;
  } cases[] = {
      {0x0400, 0, 2}, {0x0400, 1, 4}, {0x0400, 2, 2}, {0x0400, 255, 2},
      {0x0500, 0, 2}, {0x0500, 1, 4}, {0x0500, 2, 2}, {0x0500, 255, 2},
      {0x0200, 1, 2}, {0x0300, 1, 2},  // the flag does not exist before version 4
  };
  for (const auto& c : cases) {
    HeaderFields f;
    f.version = c.version;
    f.blockbyteFlag = c.flag;
    auto block = headerBlock(f);
    block[198] = block[182] = c.flag;  // also where other versions would have it
    EXPECT_EQ(Lexor::withHeaderBlock(block, false)->blockbyte(), c.blockbyte)
        << std::hex << c.version << " flag " << int{c.flag};
  }
}

TEST(LexorHeader, BocuNeedsBothBits) {
  const struct {
    uint8_t dictype, os;
    bool bocu;
  } bits[] = {
      {0x08, 0x20, true}, {0x08, 0x00, false}, {0x00, 0x20, false},
      {0x18, 0x60, true}, {0xF7, 0xFF, false}, {0xFF, 0xDF, false},
  };
  for (uint16_t version : {0x0300, 0x0400, 0x0500}) {
    for (const auto& b : bits) {
      HeaderFields f;
      f.version = version;
      f.dictype = b.dictype;
      f.os = b.os;
      EXPECT_EQ(Lexor::withHeaderBlock(headerBlock(f), false)->isBOCU(), b.bocu)
          << std::hex << version << " dictype " << int{b.dictype} << " os " << int{b.os};
    }
  }
  // Version 2 has no os byte: even with the bit at both places other versions keep os, it is not
  // BOCU-1.
  HeaderFields f;
  f.version = 0x0200;
  f.dictype = 0x08;
  auto block = headerBlock(f);
  block[167] = block[171] = 0x20;
  EXPECT_FALSE(Lexor::withHeaderBlock(block, false)->isBOCU());
}

TEST(LexorHeader, VerboseLogOfVersion4) {
  HeaderFields f;
  f.version = 0x0401;
  f.lword = 12;
  f.ljapa = 34;
  f.blockSize = 256;
  f.indexBlocks = 2;
  f.headerSize = 256;
  f.nword = 1000;
  f.dicorder = 1;
  f.dictype = 0x08;
  f.attrlen = 2;
  f.olenumber = 0x12345678;
  f.os = 0x20;
  f.extheaderSize = 64;
  f.emptyBlockAt = 0x7a;
  f.indexEntries = 30;
  f.dataBlocks = 40;
  f.blockbyteFlag = 1;
  CapturingLogSink log;
  Lexor::withHeaderBlock(headerBlock(f), true);
  const std::vector<std::string> expected = {
      ": version      = 0x401\n",
      ": lword        = 12\n",
      ": ljapa        = 34\n",
      ": block_size   = 256\n",
      "/ header         = 256 bytes\n",
      "/ ext. header    = 64 bytes\n",
      "/ index          = 512 bytes (2 blocks), 30 entries\n",
      "/ data           = 10240 bytes (40 blocks), 1000 words\n",
      ": empty_block_at = # 7a\n",
      ": nword        = 1000\n",
      ": dicorder     = 1\n",
      ": dictype      = 0x8\n",
      ": attrlen      = 2\n",
      ": os           = 0x20\n",
      ": isBOCU       = TRUE\n",
      ": olenumber    = 305419896\n",
      ": blockbyte    = 4\n",
  };
  EXPECT_EQ(log.lines(), expected);
}

TEST(LexorHeader, VerboseLogLinesDependOnVersion) {
  const struct {
    uint16_t version;
    size_t lines;
    bool extHeader, olenumber, blockbyte;
  } cases[] = {
      {0x0200, 14, false, false, false},
      {0x0300, 15, false, true, false},
      {0x0400, 17, true, true, true},
      {0x0500, 17, true, true, true},
  };
  auto has = [](const std::vector<std::string>& lines, const std::string& prefix) {
    for (const auto& l : lines)
      if (l.rfind(prefix, 0) == 0) return true;
    return false;
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.version);
    HeaderFields f;
    f.version = c.version;
    f.os = 0x44;
    CapturingLogSink log;
    Lexor::withHeaderBlock(headerBlock(f), true);
    EXPECT_EQ(log.lines().size(), c.lines);
    EXPECT_EQ(has(log.lines(), "/ ext. header"), c.extHeader);
    EXPECT_EQ(has(log.lines(), ": olenumber"), c.olenumber);
    EXPECT_EQ(has(log.lines(), ": blockbyte"), c.blockbyte);
    EXPECT_TRUE(has(log.lines(),
                    c.version == 0x0200 ? ": os           = 0x0\n" : ": os           = 0x44\n"));
  }
}

TEST(LexorHeader, SignedFieldsAndWrappingProducts) {
  // Bit 15 makes the version negative; the log shows it sign-extended.
  {
    HeaderFields f;
    f.version = 0x8500;
    CapturingLogSink log;
    Lexor::withHeaderBlock(headerBlock(f), true);
    ASSERT_FALSE(log.lines().empty());
    EXPECT_EQ(log.lines()[0], ": version      = 0xffff8500\n");
  }
  // 16-bit fields are read signed: 0xFFFF is -1, huge in the unsigned members.
  for (uint16_t version : {0x0200, 0x0300}) {
    HeaderFields f;
    f.version = version;
    f.emptyBlockAt = 0xFFFF;
    f.headerSize = 0xFFFF;
    f.indexSize = 0xFFFE;
    f.indexEntries = 0x8000;
    f.lword = 0xFFFF;
    CapturingLogSink log;
    auto dic = Lexor::withHeaderBlock(headerBlock(f), true);
    EXPECT_EQ(dic->emptyBlockAt(), 0xFFFFFFFFu);
    EXPECT_EQ(dic->headerSize(), 0xFFFFFFFFu);
    EXPECT_EQ(dic->indexSize(), 0xFFFFFFFEu);
    EXPECT_EQ(dic->nIndexEntry(), -32768);
    ASSERT_GE(log.lines().size(), 9u);
    EXPECT_EQ(log.lines()[1], ": lword        = -1\n");
    EXPECT_EQ(log.lines()[4], "/ header         = -1 bytes\n");
    EXPECT_EQ(log.lines()[7], ": empty_block_at = # ffffffff\n");  // no ext. header line
  }
  // Version 3: a stored block size of 16 is 256 bytes; the index size still comes from its field.
  {
    HeaderFields f;
    f.version = 0x0300;
    f.blockSize = 16;
    f.indexBlocks = 5;
    f.indexSize = 77;
    CapturingLogSink log;
    auto dic = Lexor::withHeaderBlock(headerBlock(f), true);
    EXPECT_EQ(dic->indexSize(), 77u);
    ASSERT_GE(log.lines().size(), 4u);
    EXPECT_EQ(log.lines()[3], ": block_size   = 256\n");
  }
  // Sizes are 32-bit products that wrap.
  {
    HeaderFields f;
    f.version = 0x0400;
    f.blockSize = 0x4000;
    f.dataBlocks = 0x40000;  // 2^14 x 2^18 = 2^32
    f.indexBlocks = 0xFFFF;  // -1
    auto dic = Lexor::withHeaderBlock(headerBlock(f), false);
    EXPECT_EQ(dic->dataSize(), 0u);
    EXPECT_EQ(dic->indexSize(), 0xFFFFC000u);
  }
}

}  // namespace
}  // namespace lexor
