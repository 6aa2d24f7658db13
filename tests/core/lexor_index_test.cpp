#include "core/lexor_index.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "core/lexor.h"
#include "platform/log.h"
#include "tests/core/lexor_file_builder.h"
#include "tests/support/temp_dir.h"

namespace lexor {
namespace {

using testing::IndexEntrySpec;
using testing::TestDictionary;

const uint8_t* bytes(const std::string& s) { return reinterpret_cast<const uint8_t*>(s.c_str()); }

// The look-up exactly as defined: one pass over the entries in order, settling the first bound
// and then the last.
IndexRange linearLookup(const std::vector<std::string>& words, const std::string& s,
                        const std::string& u) {
  int64_t first = -1, last = -1;
  bool firstFound = false, lastFound = false;
  for (size_t i = 0; i < words.size(); ++i) {
    const std::string& e = words[i];
    if (!firstFound) {
      if (std::strcmp(e.c_str(), s.c_str()) <= 0) {
        first = static_cast<int64_t>(i);
        continue;
      }
      firstFound = true;
    }
    if (!lastFound) {
      if (std::strcmp(e.c_str(), u.c_str()) < 0) {
        last = static_cast<int64_t>(i);
      } else {
        lastFound = true;
      }
    }
  }
  if (last == -1) last = first;
  return {static_cast<uint32_t>(first), static_cast<uint32_t>(last - first + 1)};
}

std::shared_ptr<const LexorIndex> indexOf(const std::vector<std::string>& words,
                                          int blockbyte = 2) {
  std::vector<IndexEntrySpec> entries;
  for (size_t i = 0; i < words.size(); ++i) entries.push_back({static_cast<uint32_t>(i), words[i]});
  return buildLexorIndex(testing::indexBytes(entries, blockbyte),
                         static_cast<int32_t>(words.size()), blockbyte);
}

constexpr uint32_t kBefore = 0xFFFFFFFF;

struct LookupCase {
  std::vector<std::string> index;
  std::string word, until;
  IndexRange expected;
};

TEST(LexorIndex, LookUpTable) {
  const std::vector<std::string> bdf = {"b", "d", "f"};
  const LookupCase cases[] = {
      {bdf, "d", "e", {1, 1}},
      {bdf, "c", "d", {0, 1}},
      {bdf, "c", "g", {0, 3}},
      {bdf, "z", "{", {2, 1}},
      {bdf, "a", "b", {kBefore, 1}},
      {bdf, "a", "c", {kBefore, 2}},
      {bdf, "", "", {kBefore, 1}},
      {bdf, "b", "c", {0, 1}},                     // a word equal to an entry stands in its block
      {{"ab", "d", "f"}, "a", "b", {kBefore, 2}},  // a proper prefix sorts before the entry
      {{}, "a", "b", {kBefore, 1}},
      {{}, "", "", {kBefore, 1}},
      // A bound whose last byte wrapped to 0x00 is shorter than the word and sorts before it.
      {bdf, "d\xFF", "d", {1, 1}},
      {bdf, "\xFF", "", {2, 1}},
      // Equal leading words in neighbouring blocks: the word stands in the last of them.
      {{"b", "d", "d", "f"}, "d", "e", {2, 1}},
      {{"b", "d", "d", "f"}, "c", "e", {0, 3}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.word + " until " + c.until);
    EXPECT_EQ(lookupIndexRange(*indexOf(c.index), bytes(c.word), bytes(c.until)), c.expected);
    EXPECT_EQ(linearLookup(c.index, c.word, c.until), c.expected);
  }
}

// Random short words over a small alphabet that holds the extreme bytes, so that prefixes,
// duplicates and wrapped bounds are common.
std::string randomWord(std::mt19937& rng, size_t maxLength) {
  static const char alphabet[] = {'\x01', 'a', 'b', '\x7F', '\x80', '\xFF'};
  std::uniform_int_distribution<size_t> length(0, maxLength);
  std::uniform_int_distribution<size_t> letter(0, sizeof alphabet - 1);
  std::string w(length(rng), ' ');
  for (char& c : w) c = alphabet[letter(rng)];
  return w;
}

std::string withLastByteIncreased(std::string w) {
  if (w.empty()) return w;
  w.back() = static_cast<char>(static_cast<uint8_t>(w.back()) + 1);
  return w.substr(0, std::strlen(w.c_str()));  // a wrapped 0x00 ends the string there
}

TEST(LexorIndex, SearchAgreesWithTheSinglePass) {
  std::mt19937 rng(20240601);
  auto byBytes = [](const std::string& a, const std::string& b) {
    return std::strcmp(a.c_str(), b.c_str()) < 0;
  };
  for (int round = 0; round < 3000; ++round) {
    std::vector<std::string> words(std::uniform_int_distribution<size_t>(0, 12)(rng));
    for (auto& w : words) {
      do w = randomWord(rng, 4);
      while (w.empty());
    }
    // Most indexes are sorted as a sound file has them; some are not, as a damaged one may be.
    if (round % 5 != 0) std::sort(words.begin(), words.end(), byBytes);
    const auto index = indexOf(words);
    ASSERT_EQ(index->wordOffsets.size(), words.size());
    for (int q = 0; q < 20; ++q) {
      const std::string word = randomWord(rng, 5);
      const std::string until = q % 2 ? withLastByteIncreased(word) : randomWord(rng, 5);
      ASSERT_EQ(lookupIndexRange(*index, bytes(word), bytes(until)),
                linearLookup(words, word, until))
          << "round " << round << " query " << q;
    }
  }
}

// The walk decides whether the words are in order, which chooses between search and single pass;
// long words that tie on their first 8 bytes, and words of exactly 8 bytes, are where a shortcut
// in that decision could go wrong.
TEST(LexorIndex, OrderOfLongWordsIsJudgedAsStrcmpJudgesIt) {
  std::mt19937 rng(7);
  auto byBytes = [](const std::string& a, const std::string& b) {
    return std::strcmp(a.c_str(), b.c_str()) < 0;
  };
  for (int round = 0; round < 2000; ++round) {
    std::vector<std::string> words(std::uniform_int_distribution<size_t>(2, 6)(rng));
    for (auto& w : words) {
      w = "abcdefg" + randomWord(rng, 6);
      if (round % 3 == 0) w.resize(std::uniform_int_distribution<size_t>(7, 9)(rng), 'a');
    }
    if (round % 2) std::sort(words.begin(), words.end(), byBytes);
    const bool sorted = std::is_sorted(words.begin(), words.end(), byBytes);
    ASSERT_EQ(indexOf(words)->sorted, sorted) << "round " << round;
  }
}

TEST(LexorIndex, WalkStopsWithinTheBytesAndAtAnEmptyWord) {
  const std::vector<IndexEntrySpec> entries = {{10, "b"}, {11, "d"}, {12, "f"}};
  const auto full = testing::indexBytes(entries, 2);  // 0A 00 'b' 00 | 0B 00 'd' 00 | 0C 00 'f' 00
  const struct {
    std::vector<uint8_t> bytes;
    int32_t count;
    size_t usable;
  } cases[] = {
      {full, 3, 3},
      {full, 2, 2},                            // the count ends the walk
      {full, 100000, 3},                       // a count larger than the bytes can hold
      {full, -5, 0},                           // a negative count (a sign-extended 16-bit field)
      {{full.begin(), full.end() - 1}, 3, 2},  // last word without its NUL
      {{full.begin(), full.end() - 2}, 3, 2},  // last word missing
      {{full.begin(), full.end() - 3}, 3, 2},  // half a block number
      {{}, 3, 0},
      {testing::indexBytes({{10, "b"}, {11, ""}, {12, "f"}}, 2), 3, 1},  // ended by an empty word
  };
  for (const auto& c : cases) {
    const auto index = buildLexorIndex(c.bytes, c.count, 2);
    EXPECT_EQ(index->wordOffsets.size(), c.usable) << c.bytes.size() << " bytes, count " << c.count;
    EXPECT_LE(index->wordOffsets.capacity(), c.bytes.size());
  }
}

class LexorIndexFile : public ::testing::Test {
 protected:
  void SetUp() override { clearLexorIndexCache(); }
  std::shared_ptr<Lexor> open(const std::string& name, const std::vector<uint8_t>& file) {
    return Lexor::initWithFilePath(u(dir.write(name, file)));
  }
  testing::TempDir dir;
};

TEST_F(LexorIndexFile, BlockNumbersOfTwoAndFourBytes) {
  for (int width : {2, 4}) {
    TestDictionary d;
    d.version = 0x0500;
    d.blockbyte = width;
    d.index = {{0, "b"}, {0x1234, "d"}, {width == 4 ? 0x00ABCDEFu : 0xFFFFu, "f"}};
    auto dic = open("w" + std::to_string(width) + ".dic", d.build());
    ASSERT_TRUE(dic);
    ASSERT_EQ(dic->usableIndexEntries(), 3u);
    EXPECT_EQ(dic->indexBlockNumber(1), 0x1234u);
    EXPECT_EQ(dic->indexBlockNumber(2), width == 4 ? 0x00ABCDEFu : 0xFFFFu);
    EXPECT_STREQ(reinterpret_cast<const char*>(dic->indexWord(2)), "f");
    EXPECT_EQ(dic->lookupIndex(bytes("c"), bytes("g")), (IndexRange{0, 3}));
  }
}

TEST_F(LexorIndexFile, LyingHeadersReadNoMoreThanTheFileHolds) {
  TestDictionary d;
  d.version = 0x0300;
  d.index = {{0, "b"}, {1, "d"}, {2, "f"}};
  const auto good = d.build();
  auto withShort = [&](size_t at, uint16_t value) {
    auto file = good;
    testing::putLE(file, at, value, 2);
    return file;
  };
  const struct {
    const char* what;
    std::vector<uint8_t> file;
    uint32_t usable;
  } cases[] = {
      {"sound", good, 3},
      {"huge index size", withShort(152, 0x7FFF), 3},
      {"negative index size", withShort(152, 0xFFFF), 3},
      {"huge entry count", withShort(156, 0x7FFF), 3},
      {"negative entry count", withShort(156, 0x8000), 0},
      {"index past the end", withShort(150, 0x7FFF), 0},
      {"negative header size", withShort(150, 0xFFFF), 0},
      {"cut in the last word", {good.begin(), good.end() - 2}, 2},
      {"cut in the header", {good.begin(), good.begin() + 100}, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    auto dic = open(std::string(c.what) + ".dic", c.file);
    ASSERT_TRUE(dic);
    EXPECT_EQ(dic->usableIndexEntries(), c.usable);
    EXPECT_LE(dic->sharedIndex()->bytes.capacity(), c.file.size() + 1);
    const IndexRange range = dic->lookupIndex(bytes("c"), bytes("g"));
    const IndexRange expected = c.usable == 0 ? IndexRange{kBefore, 1} : IndexRange{0, c.usable};
    EXPECT_EQ(range, expected);
    EXPECT_EQ(dic->indexWord(c.usable), nullptr);
  }
}

TEST_F(LexorIndexFile, UnsupportedVersionHasAnEmptyIndex) {
  TestDictionary d;
  d.version = 0x0600;
  d.index = {{0, "b"}};
  auto dic = open("v6.dic", d.build());
  ASSERT_TRUE(dic);
  EXPECT_EQ(dic->lookupIndex(bytes("b"), bytes("c")), (IndexRange{kBefore, 1}));
  EXPECT_EQ(dic->usableIndexEntries(), 0u);
}

TEST_F(LexorIndexFile, OpeningFailsWithALogLine) {
  CapturingLogSink log;
  const std::string path = dir.file("missing.dic");
  EXPECT_EQ(Lexor::initWithFilePath(u(path)), nullptr);
  EXPECT_EQ(log.lines(), std::vector<std::string>{"cannot get filehandle for path " + path + "\n"});
}

TEST(LexorIndexNoFile, LogsOnceAndFindsNothing) {
  testing::HeaderFields f;
  f.indexEntries = 3;
  auto dic = Lexor::withHeaderBlock(testing::headerBlock(f), false);
  CapturingLogSink log;
  EXPECT_EQ(dic->lookupIndex(bytes("a"), bytes("b")), (IndexRange{kBefore, 1}));
  EXPECT_EQ(dic->lookupIndex(bytes("a"), bytes("b")), (IndexRange{kBefore, 1}));
  EXPECT_EQ(log.lines(), std::vector<std::string>{"loadIndex: fh = nil.\n"});
}

TEST_F(LexorIndexFile, UnchangedFileSharesItsIndexAndAChangedOneIsReadAgain) {
  TestDictionary d;
  d.index = {{0, "b"}, {1, "d"}, {2, "f"}};
  const std::string path = dir.write("shared.dic", d.build());
  auto first = Lexor::initWithFilePath(u(path));
  auto second = Lexor::initWithFilePath(u(path));
  EXPECT_EQ(first->lookupIndex(bytes("d"), bytes("e")), (IndexRange{1, 1}));
  EXPECT_EQ(second->usableIndexEntries(), 3u);
  EXPECT_EQ(first->sharedIndex(), second->sharedIndex());

  // Still shared after every holder has let it go: a fresh open of the file costs no read.
  const LexorIndex* read = first->sharedIndex().get();
  first.reset();
  second.reset();
  auto third = Lexor::initWithFilePath(u(path));
  third->usableIndexEntries();
  EXPECT_EQ(third->sharedIndex().get(), read);

  // A changed file is read afresh (the held index stays as it was for its holder).
  d.index = {{0, "a"}, {1, "c"}};
  d.data = testing::dataBlock(1, 1, 0);  // a different size, whatever the clock's resolution
  dir.write("shared.dic", d.build());
  auto changed = Lexor::initWithFilePath(u(path));
  EXPECT_EQ(changed->usableIndexEntries(), 2u);
  EXPECT_NE(changed->sharedIndex(), third->sharedIndex());
  EXPECT_EQ(changed->lookupIndex(bytes("b"), bytes("c")), (IndexRange{0, 1}));
  EXPECT_EQ(third->usableIndexEntries(), 3u);
}

}  // namespace
}  // namespace lexor
