// The writer's exact block bytes, and what it skips, counts and refuses. Dictionaries of every
// layout read back by the reader are checked in tests/core/recordset_model_test.cpp.
#include <gtest/gtest.h>

#include <string_view>
#include <tuple>

#include "tests/support/entries.h"
#include "tools/writer/lexor_writer.h"

namespace lexor::writer {
namespace {

using Bytes = std::vector<uint8_t>;

TEST(DataBlockTest, LaysOutEntriesByteForByte) {
  const std::vector<RawEntry> entries = {{"app", 0x00, "\x58"}, {"apple", 0x01, "\x59"}};
  using namespace std::string_view_literals;
  // clang-format off
  const std::tuple<bool, int, std::string_view> cases[] = {
      {false, 2, "\x01\x00" "\x06\x00\x00" "app\0\0\x58" "\x05\x00\x03" "le\0\x01\x59" "\0\0"sv},
      // BOCU-1: the attribute comes before the tail, and L does not count it.
      {true, 2, "\x01\x00" "\x05\x00\x00" "\0app\0\x58" "\x04\x00\x03" "\x01le\0\x59" "\0\0"sv},
      {false, 4, "\x01\x80" "\x06\0\0\0\x00" "app\0\0\x58" "\x05\0\0\0\x03" "le\0\x01\x59" "\0\0\0\0"sv},
  };
  // clang-format on
  for (const auto& [bocu, width, bytes] : cases) {
    Bytes expected(bytes.begin(), bytes.end());
    expected.resize(256, 0);
    EXPECT_EQ(buildDataBlock(entries, bocu, width), expected) << bocu << width;
  }
  // A 300-byte entry takes two units; a 64 KiB one fits only 4-byte lengths.
  std::vector<RawEntry> big = {{"a", 0, std::string(300, 'x')}};
  EXPECT_EQ(buildDataBlock(big, false, 2).value().size(), 512u);
  big[0].body.assign(0x10000, 'x');
  EXPECT_FALSE(buildDataBlock(big, false, 2));
  EXPECT_TRUE(buildDataBlock(big, false, 4));
}

using testing::entry;

TEST(BuildDictionaryTest, SkipsAndCountsWhatTheCodePageCannotHold) {
  std::vector<Entry> entries = {
      entry("apple", "りんご"),     entry("emoji😀", "x"),                       // not in Shift_JIS
      entry("", "empty head word"), entry("pear", "梨"),  entry("pear", "梨"),  // exact copy
  };
  entries[3].pronunciation = entries[4].pronunciation = u("→pɛə");  // → has no phonetic byte
  Options options;
  options.signature = kAmboraSignature;
  Report report;
  EXPECT_TRUE(buildDictionary(entries, options, &report));
  EXPECT_EQ(report.written, 2u);
  EXPECT_EQ(report.skipped, 2u);
  EXPECT_EQ(report.duplicates, 1u);
  EXPECT_EQ(report.pronunciationsDropped, 2u);
}

TEST(BuildDictionaryTest, RefusesWhatTheHeaderCannotState) {
  Options options;
  options.version = 2;
  options.bocu = true;  // version 2 has no BOCU-1 flag
  std::string error;
  EXPECT_FALSE(buildDictionary({entry("a", "b")}, options, nullptr, &error));
  EXPECT_NE(error, "");

  // 170 long leading words make an index beyond the 16-bit size of versions 2 and 3.
  std::vector<RawEntry> raw;
  for (int i = 0; i < 170; ++i)
    raw.push_back({std::to_string(1000 + i) + std::string(200, 'a'), 0, "t"});
  options = Options{};
  options.blockBytes = 256;
  for (int version : {2, 3}) {
    options.version = version;
    EXPECT_FALSE(buildDictionaryFromRaw(raw, options, &error)) << version;
    EXPECT_NE(error.find("16 bits"), std::string::npos) << error;
  }
  options.version = 5;
  EXPECT_TRUE(buildDictionaryFromRaw(raw, options, &error)) << error;
}

}  // namespace
}  // namespace lexor::writer
