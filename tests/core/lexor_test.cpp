// One dictionary file: its header by version, the index walk and look-up, the guard of walked
// blocks, and the loading of blocks, sound and damaged.
#include "core/lexor.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <random>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "core/data_util.h"
#include "core/lexor_index.h"
#include "core/walked_blocks.h"
#include "platform/log.h"
#include "tests/core/dictionary_bytes.h"

namespace lexor {
namespace {

using testing::Bytes;
using testing::fillerBlock;
using testing::headerBlock;
using testing::HeaderFields;
using testing::TestDictionary;
using Lines = std::vector<std::string>;

constexpr uint32_t kBefore = 0xFFFFFFFF;

const uint8_t* bytes(const std::string& s) { return reinterpret_cast<const uint8_t*>(s.c_str()); }

// Distinct values in every field, in HeaderFields' order: a read from the wrong offset shows.
HeaderFields distinctFields(uint16_t version, uint8_t blockbyteFlag) {
  return {version, 12,   34,         0x20, 3,    300, 0x123, 0x45, 7,
          9,       1000, 0x12345678, 1,    0x08, 2,   0x20,  0x11, blockbyteFlag};
}

TEST(LexorHeader, EachVersionReadsItsOwnLayout) {
  const std::tuple<uint16_t, uint8_t, uint32_t, uint32_t, uint32_t, int32_t> cases[] = {
      {0x0200, 1, 0x123, 0, 0x20 * 9, 2},       // no block-number flag before version 4
      {0x03FF, 1, 0x123, 0, 0x20 * 16 * 9, 2},  // version 3 counts the block size in 16s
      {0x0400, 1, 0x20 * 3, 0x11, 0x20 * 9, 4},
      {0x0500, 2, 0x20 * 3, 0x11, 0x20 * 9, 2},  // only a flag of 1 means 4 bytes
      {0x8500, 1, 0x20 * 3, 0x11, 0x20 * 9, 4},  // neither bit 15 nor the minor version counts
  };
  for (const auto& [version, flag, indexSize, extheaderSize, dataSize, blockbyte] : cases) {
    SCOPED_TRACE(version);
    const HeaderFields f = distinctFields(version, flag);
    auto dic = Lexor::withHeaderBlock(headerBlock(f), false);
    EXPECT_EQ(
        std::tuple(dic->headerSize(), dic->indexSize(), dic->extheaderSize(), dic->nIndexEntry(),
                   dic->dataBlocks(), dic->dataSize(), dic->emptyBlockAt(), dic->blockbyte()),
        std::tuple(300u, indexSize, extheaderSize, 7, 9, dataSize, 0x45u, blockbyte));
    // Other versions leave every size zero, and log nothing even when verbose.
    for (uint8_t major : {0x01, 0x06}) {
      auto block = headerBlock(f);
      block[141] = major;
      CapturingLogSink log;
      auto other = Lexor::withHeaderBlock(block, true);
      EXPECT_TRUE(log.lines().empty());
      EXPECT_EQ(other->indexSize() + other->extheaderSize() + other->dataSize(), 0u);
      EXPECT_EQ(other->nIndexEntry() + other->blockbyte(), 0);
    }
  }
  // BOCU-1 texts need dictype bit 0x08 and os bit 0x20; version 2 has no os byte.
  const std::tuple<uint16_t, uint8_t, uint8_t, bool> bits[] = {
      {0x0400, 0x18, 0x60, true},  {0x0500, 0x08, 0x20, true},  {0x0500, 0xF7, 0xFF, false},
      {0x0400, 0xFF, 0xDF, false}, {0x0200, 0x08, 0x20, false},
  };
  for (const auto& [version, dictype, os, bocu] : bits) {
    auto block = headerBlock({.version = version, .dictype = dictype});
    block[167] = block[171] = os;
    EXPECT_EQ(Lexor::withHeaderBlock(block, false)->isBOCU(), bocu) << std::hex << version;
  }
}

TEST(LexorHeader, VerboseLogNamesEveryField) {
  CapturingLogSink log;
  Lexor::withHeaderBlock(headerBlock(distinctFields(0x0401, 1)), true);
  EXPECT_EQ(
      log.lines(),
      (Lines{": version      = 0x401\n", ": lword        = 12\n", ": ljapa        = 34\n",
             ": block_size   = 32\n", "/ header         = 300 bytes\n",
             "/ ext. header    = 17 bytes\n", "/ index          = 96 bytes (3 blocks), 7 entries\n",
             "/ data           = 288 bytes (9 blocks), 1000 words\n", ": empty_block_at = # 45\n",
             ": nword        = 1000\n", ": dicorder     = 1\n", ": dictype      = 0x8\n",
             ": attrlen      = 2\n", ": os           = 0x20\n", ": isBOCU       = TRUE\n",
             ": olenumber    = 305419896\n", ": blockbyte    = 4\n"}));
}

// Versions 2 and 3 have no ext. header, blockbyte or (version 2) olenumber line; their 16-bit
// fields, and bit 15 of the version, are signed; version 3 counts the block size in 16s.
TEST(LexorHeader, VerboseLogOfOldVersions) {
  CapturingLogSink log;
  for (uint16_t version : {0x0200, 0x8300}) {
    log.clear();
    Lexor::withHeaderBlock(
        headerBlock({.version = version, .lword = 0xFFFF, .blockSize = 16, .headerSize = 0xFFFF}),
        true);
    const bool v2 = version == 0x0200;
    ASSERT_EQ(log.lines().size(), v2 ? 14u : 15u);
    EXPECT_EQ(Lines(log.lines().begin(), log.lines().begin() + 5),
              (Lines{v2 ? ": version      = 0x200\n" : ": version      = 0xffff8300\n",
                     ": lword        = -1\n", ": ljapa        = 0\n",
                     v2 ? ": block_size   = 16\n" : ": block_size   = 256\n",
                     "/ header         = -1 bytes\n"}));
  }
}

// The look-up exactly as defined: one pass over the entries in order, settling the first bound
// (the last of the leading entries up to s) and then the last (the last after it below u).
IndexRange linearLookup(const std::vector<std::string>& words, const std::string& s,
                        const std::string& u) {
  const auto n = static_cast<int64_t>(words.size());
  int64_t first = -1, i = 0;
  for (; i < n && std::strcmp(words[i].c_str(), s.c_str()) <= 0; ++i) first = i;
  int64_t last = first;
  for (; i < n && std::strcmp(words[i].c_str(), u.c_str()) < 0; ++i) last = i;
  return {static_cast<uint32_t>(first), static_cast<uint32_t>(last - first + 1)};
}

// Short words over an alphabet with the extreme bytes, so that prefixes, duplicates and bounds
// whose last byte wrapped are common.
std::string randomWord(std::mt19937& rng, size_t maxLength) {
  static const char alphabet[] = {'\x01', 'a', 'b', '\x7F', '\x80', '\xFF'};
  std::string w(std::uniform_int_distribution<size_t>(0, maxLength)(rng), ' ');
  for (char& c : w) c = alphabet[rng() % sizeof alphabet];
  return w;
}

bool byBytes(const std::string& a, const std::string& b) {
  return std::strcmp(a.c_str(), b.c_str()) < 0;
}

// Whether the words are in order chooses between search and single pass; long words that tie on
// their first 8 bytes, and words of 7 to 9 bytes, are where a shortcut in that decision errs.
TEST(LexorIndex, OrderIsJudgedAsStrcmpJudgesIt) {
  std::mt19937 rng(7);
  for (int round = 0; round < 1000; ++round) {
    std::vector<std::string> words(2 + rng() % 5);
    for (auto& w : words) {
      w = "abcdefg" + randomWord(rng, 6);
      if (round % 3 == 0) w.resize(7 + rng() % 3, 'a');
    }
    if (round % 2) std::sort(words.begin(), words.end(), byBytes);
    TestDictionary d;
    for (const std::string& w : words) d.index.push_back({0, w});
    ASSERT_EQ(buildLexorIndex(d.indexBytes(), static_cast<int32_t>(words.size()), 2)->sorted,
              std::is_sorted(words.begin(), words.end(), byBytes))
        << "round " << round;
  }
}

// The guard that passes blocks already walked: ranges noted in ascending order and before an
// earlier one, and ranges that touch without overlapping.
using Range = std::pair<uint64_t, uint64_t>;

TEST(WalkedBlocks, OverlapsExactlyTheUnitsNoted) {
  const std::tuple<std::vector<Range>, Range, bool> cases[] = {
      {{}, {0, 1}, false},
      {{{2, 4}, {4, 6}}, {4, 5}, true},   // the same start
      {{{2, 4}, {4, 6}}, {3, 4}, true},   // begins inside an earlier block
      {{{2, 4}, {4, 6}}, {0, 3}, true},   // ends inside one
      {{{2, 4}, {4, 6}}, {0, 2}, false},  // touches
      {{{2, 4}, {4, 6}}, {6, 9}, false},
      {{{2, 4}, {4, 6}}, {1, 9}, true},    // holds both
      {{{10, 12}, {0, 2}}, {1, 2}, true},  // the second came out of order
      {{{10, 12}, {0, 2}}, {1, 3}, true},
      {{{10, 12}, {0, 2}}, {2, 10}, false},  // between the two
      {{{10, 12}, {0, 2}, {5, 7}}, {6, 8}, true},
  };
  for (const auto& [noted, asked, overlaps] : cases) {
    WalkedBlocks walked;
    for (const auto& [first, end] : noted) walked.note(first, end);
    EXPECT_EQ(walked.overlaps(asked.first, asked.second), overlaps)
        << noted.size() << " noted, asked " << asked.first << ".." << asked.second;
  }
}

TEST(WalkedBlocks, OnlyABlockBeforeTheFurthestCanOverlapAndClearForgetsAll) {
  WalkedBlocks walked;
  EXPECT_FALSE(walked.liesBefore(0));
  walked.note(4, 6);
  walked.note(0, 2);  // out of order: the furthest stays 6
  EXPECT_TRUE(walked.liesBefore(5));
  EXPECT_FALSE(walked.liesBefore(6));
  walked.clear();
  EXPECT_FALSE(walked.liesBefore(0));
  EXPECT_FALSE(walked.overlaps(0, 9));
  walked.note(1, 3);  // noted in order again after the clear
  EXPECT_FALSE(walked.liesBefore(3));
}

class LexorFile : public ::testing::Test {
 protected:
  void SetUp() override { clearLexorIndexCache(); }
  std::shared_ptr<Lexor> open(const Bytes& file) {
    auto dic = testing::openDictionary(dir, "d" + std::to_string(++files) + ".dic", file);
    if (dic) dic->lookupIndex(bytes("a"), bytes("b"));  // as the recordset does first
    return dic;
  }
  testing::TempDir dir;
  int files = 0;
};

TEST_F(LexorFile, LyingHeadersReadNoMoreThanTheFileHolds) {
  TestDictionary d;
  d.version = 0x0300;
  d.index = {{0, "b"}, {1, "d"}, {2, "f"}};
  const Bytes good = d.build();
  auto with = [&](size_t at, uint16_t value) {
    Bytes file = good;
    testing::putLE(file, at, value, 2);
    return file;
  };
  const std::tuple<const char*, Bytes, uint32_t> cases[] = {
      {"huge index size", with(152, 0x7FFF), 3},
      {"negative index size", with(152, 0xFFFF), 3},
      {"huge entry count", with(156, 0x7FFF), 3},
      {"negative entry count", with(156, 0x8000), 0},
      {"index past the end", with(150, 0x7FFF), 0},
      {"negative header size", with(150, 0xFFFF), 0},
      {"cut before the last NUL", {good.begin(), good.end() - 1}, 2},
      {"cut in the header", {good.begin(), good.begin() + 100}, 0},
  };
  for (const auto& [what, file, usable] : cases) {
    SCOPED_TRACE(what);
    auto dic = open(file);
    ASSERT_TRUE(dic);
    EXPECT_EQ(dic->usableIndexEntries(), usable);
    EXPECT_LE(dic->sharedIndex()->wordOffsets.capacity(), file.size());
    const IndexRange expected = usable == 0 ? IndexRange{kBefore, 1} : IndexRange{0, usable};
    EXPECT_EQ(dic->lookupIndex(bytes("c"), bytes("g")), expected);
    EXPECT_EQ(dic->indexWord(usable), nullptr);
  }
}

// A file's first look-up is one pass over its index bytes, later ones search the entry table: on
// sorted and unsorted indexes, and in the blocks each names, the two agree, and give what the
// look-up as defined gives.
TEST_F(LexorFile, FirstLookUpByOnePassAgreesWithTheSearch) {
  std::mt19937 rng(11);
  for (int round = 0; round < 300; ++round) {
    // Long enough for the pass's 64-byte steps, and in some rounds for its chains that start
    // at guessed entries; block numbers with NUL bytes (below 256) in half the rounds, where
    // those steps must give way.
    std::vector<std::string> words(rng() % (round % 5 == 0 ? 600 : 40));
    const uint32_t firstBlock = round % 2 ? 0 : 257;
    for (auto& w : words) {
      do w = randomWord(rng, round % 10 == 5 ? 70 : 10);  // long words: one a 64-byte step
      while (w.empty());
    }
    if (round % 4 != 0) std::sort(words.begin(), words.end(), byBytes);
    // An empty word ends the index early.
    if (round % 3 == 0 && !words.empty()) words[rng() % words.size()].clear();
    auto usable = static_cast<uint32_t>(std::find(words.begin(), words.end(), "") - words.begin());
    TestDictionary d;
    // Wide block numbers (two NUL bytes in each) in some rounds; a header that claims fewer
    // entries than the index holds in others.
    d.blockbyte = round % 7 < 3 ? 4 : 2;
    if (round % 11 == 5 && !words.empty())
      d.claimedEntries = static_cast<uint32_t>(rng() % words.size());
    for (size_t i = 0; i < words.size(); ++i)
      d.index.push_back({firstBlock + static_cast<uint32_t>(i) * 3, words[i]});
    if (d.claimedEntries) usable = std::min(usable, *d.claimedEntries);
    const Bytes file = d.build();
    // Half the words looked up, and some bounds, are index words, where equality settles a bound.
    const std::string word =
        words.empty() || rng() % 2 ? randomWord(rng, 3) : words[rng() % words.size()];
    std::string until = word.empty() ? randomWord(rng, 3) : word;
    if (!until.empty()) until.back() = static_cast<char>(until.back() + 1);
    until.resize(std::strlen(until.c_str()));
    if (!words.empty() && rng() % 4 == 0) until = words[rng() % words.size()];
    clearLexorIndexCache();
    allowWideIndexMasks(round / 5 % 2 == 0);  // and the path of processors without them
    auto walked = testing::openDictionary(dir, "walk.dic", file);
    const IndexRange range = walked->lookupIndex(bytes(word), bytes(until));
    const auto searched = testing::openDictionary(dir, "walk.dic", file);
    searched->loadIndex(false);
    ASSERT_EQ(range, lookupIndexRange(*searched->sharedIndex(), bytes(word), bytes(until)))
        << "round " << round;
    const std::vector<std::string> kept(words.begin(), words.begin() + usable);
    ASSERT_EQ(range, linearLookup(kept, word, until)) << "round " << round;
    const uint32_t from = range.location == kBefore ? 0 : range.location;
    const uint32_t end =
        range.location == kBefore ? range.length - 1 : range.location + range.length;
    for (uint32_t e = from; e < end; ++e)
      ASSERT_EQ(walked->indexBlockNumber(e), firstBlock + e * 3) << "round " << round;
    ASSERT_FALSE(walked->hasIndexEntry(usable)) << "round " << round;
  }
  allowWideIndexMasks(true);
}

TEST_F(LexorFile, UsabilityNamesWhatIsWrong) {
  TestDictionary d;
  d.index = {{0, "b"}};
  d.data = testing::fillerBlock(1, 1, 0);
  const Bytes good = d.build();
  Bytes noEntry = good;
  noEntry[kHeaderBlockSize + 2] = 0;  // the first word empty
  const std::pair<Bytes, LexorStatus> cases[] = {
      {good, LexorStatus::kOk},
      {{}, LexorStatus::kEmptyFile},
      {{good.begin(), good.begin() + 200}, LexorStatus::kShortHeader},
      {Bytes(300, 'x'), LexorStatus::kUnknownVersion},
      {{good.begin(), good.begin() + kHeaderBlockSize}, LexorStatus::kIndexPastEnd},
      {{good.begin(), good.end() - static_cast<ptrdiff_t>(d.data.size())},
       LexorStatus::kDataPastEnd},
      {noEntry, LexorStatus::kNoIndexEntry},
  };
  for (const auto& [file, status] : cases) {
    auto dic = testing::openDictionary(dir, "u" + std::to_string(++files) + ".dic", file);
    ASSERT_TRUE(dic);
    EXPECT_EQ(dic->usability(), status) << describeLexorStatus(status);
  }
}

TEST_F(LexorFile, LogLinesWithoutAFile) {
  CapturingLogSink log;
  const std::string path = dir.file("missing.dic");
  LexorStatus status = LexorStatus::kOk;
  EXPECT_EQ(Lexor::initWithFilePath(u(path), &status), nullptr);
  EXPECT_EQ(status, LexorStatus::kCannotOpen);
  EXPECT_EQ(log.lines(), Lines{"cannot get filehandle for path " + path + "\n"});

  // A header without its file: the index is missing once, and each block the header counts.
  auto dic = Lexor::withHeaderBlock(headerBlock({.indexEntries = 2}), false);
  log.clear();
  Bytes block;
  EXPECT_EQ(dic->lookupIndex(bytes("a"), bytes("b")), (IndexRange{kBefore, 1}));
  EXPECT_EQ(dic->lookupIndex(bytes("a"), bytes("b")), (IndexRange{kBefore, 1}));
  for (int32_t n : {-1, 2, 1}) EXPECT_FALSE(dic->loadDatablock(n, block)) << n;
  EXPECT_EQ(log.lines(), (Lines{"loadIndex: fh = nil.\n", "loadDatablock: fh = nil.\n"}));
}

TEST_F(LexorFile, AChangedFileHasItsIndexReadAgain) {
  TestDictionary d;
  d.index = {{0, "b"}, {1, "d"}, {2, "f"}};
  auto held = open(d.build());
  // Same index size and count; another word, and a new file size whatever the clock's resolution.
  d.index[0].word = "c";
  d.data = fillerBlock(1, 1, 0);
  dir.write("d1.dic", d.build());
  auto lookUpB = [](Lexor& dic) { return dic.lookupIndex(bytes("b"), bytes("c")); };
  EXPECT_EQ(lookUpB(*Lexor::initWithFilePath(u(dir.file("d1.dic")))), (IndexRange{kBefore, 1}));
  EXPECT_EQ(lookUpB(*held), (IndexRange{0, 1})) << "a held index stays as it was";
}

// Block 0 (one unit), block 3 (three units, bit 15 set) and block 6 (one unit), each filled with
// its own byte; units 1 and 2 hold an unindexed block of filler.
TestDictionary threeBlocks(uint16_t version) {
  TestDictionary d;
  d.version = version;
  d.blockbyte = 4;
  d.extheaderSize = 100;  // an odd size, so offsets are unaligned
  d.index = {{0, "b"}, {3, "d"}, {6, "f"}};
  for (const Bytes& part : {fillerBlock(1, 0x0001, 0xB0), fillerBlock(2, 0x0002, 0xEE),
                            fillerBlock(3, 0x8003, 0xB3), fillerBlock(1, 0x0001, 0xB6)}) {
    d.data.insert(d.data.end(), part.begin(), part.end());
  }
  return d;
}

TEST_F(LexorFile, RefusedBlocksLeaveTheBlockEmpty) {
  TestDictionary d = threeBlocks(0x0500);
  d.index.push_back({1, "h"});           // block 1: head word without length bits
  d.index.push_back({7, "j"});           // just past the end of the file
  d.index.push_back({0x01000000, "l"});  // 4 GiB in: a 32-bit offset would wrap to block 0
  d.index.push_back({0, ""});            // ends the index early
  d.index.push_back({0, "n"});           // counted in the header, but not usable
  d.data[256] = d.data[257] = 0;
  auto dic = open(d.build());
  ASSERT_EQ(dic->usableIndexEntries(), 6u);
  EXPECT_EQ(dic->indexBlockNumber(5), 0x01000000u);
  CapturingLogSink log;
  Bytes block;
  // The sound blocks first: whole units from the data area, past an unaligned extended header.
  const std::tuple<int32_t, size_t, uint8_t> sound[] = {
      {0, 256, 0xB0}, {1, 768, 0xB3}, {2, 256, 0xB6}};
  for (const auto& [n, size, fill] : sound) {
    ASSERT_TRUE(dic->loadDatablock(n, block)) << n;
    EXPECT_EQ(std::tuple(block.size(), block[2], block.back()), std::tuple(size, fill, fill));
  }
  for (int32_t n : {-1, 3, 4, 5, 6, 7, INT32_MIN, INT32_MAX}) {
    block.assign(10, 0xAA);
    EXPECT_FALSE(dic->loadDatablock(n, block)) << n;
    EXPECT_TRUE(block.empty()) << n;
  }
  EXPECT_TRUE(log.lines().empty());
}

// Cut a sound file at every length and flip bytes of its header and index: whatever survives, a
// block handed out is whole, as long as its head word says, and bytes of the file.
TEST_F(LexorFile, DamagedFilesHandOutOnlyWholeBlocks) {
  const Bytes good = threeBlocks(0x0400).build();
  auto check = [&](const Bytes& file) {
    auto dic = open(file);
    ASSERT_TRUE(dic);
    Bytes block;
    for (int32_t n = -1; n <= 4; ++n) {
      if (!dic->loadDatablock(n, block)) continue;
      ASSERT_EQ(block.size(), (getUShortAt(block.data()) & 0x7FFF) * 256u);
      ASSERT_GE(block.size(), 2u);
      EXPECT_NE(std::search(file.begin(), file.end(), block.begin(), block.end()), file.end());
    }
  };
  for (size_t length = 0; length <= good.size(); length += 13) {
    SCOPED_TRACE(length);
    check({good.begin(), good.begin() + length});
  }
  std::mt19937 rng(7);
  const size_t dataStart = good.size() - 7 * 256;
  for (int round = 0; round < 100; ++round) {
    Bytes file = good;
    for (int flips = 0; flips < 3; ++flips)
      file[140 + rng() % (dataStart - 140)] ^= static_cast<uint8_t>(1u << (rng() % 8));
    SCOPED_TRACE(round);
    check(file);
  }
}

}  // namespace
}  // namespace lexor
