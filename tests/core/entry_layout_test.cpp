#include "core/entry_layout.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/core/recordset_fixture.h"

namespace lexor {
namespace {

using testing::bocuEntry;
using testing::Bytes;
using testing::cpEntry;

// Entries laid out at offset 2, as in a block, with `slack` bytes of padding after them.
Bytes blockOf(const Bytes& entry, size_t slack = 0) {
  Bytes out(2, 0);
  out.insert(out.end(), entry.begin(), entry.end());
  out.resize(out.size() + slack, 0);
  return out;
}

TEST(EntryLayout, ReadsBothLayouts) {
  struct Case {
    const char* name;
    EntryLayout layout;
    Bytes entry;
  };
  const Case cases[] = {
      {"code page, 2-byte lengths", {2, false}, cpEntry(2, 3, "le", 0x11, "Y")},
      {"code page, 4-byte lengths", {4, false}, cpEntry(4, 3, "le", 0x11, "Y")},
      {"BOCU-1, 2-byte lengths", {2, true}, bocuEntry(2, 3, 0x11, "le", "Y")},
      {"BOCU-1, 4-byte lengths", {4, true}, bocuEntry(4, 3, 0x11, "le", "Y")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Bytes block = blockOf(c.entry, 4);
    EntryHead head;
    ASSERT_EQ(readEntryHead(block.data(), block.size(), 2, c.layout, &head), EntryStatus::kEntry);
    EXPECT_EQ(head.prefixCount, 3u);
    EXPECT_EQ(head.attribute, 0x11);
    EXPECT_EQ(std::string(block.begin() + head.tail, block.begin() + head.tail + head.tailLength),
              "le");
    EXPECT_EQ(std::string(block.begin() + head.body, block.begin() + head.end), "Y");
    EXPECT_EQ(head.end, 2 + c.entry.size());
    // The padding after the entry reads as the end-of-block mark.
    EXPECT_EQ(readEntryHead(block.data(), block.size(), head.end, c.layout, &head),
              EntryStatus::kEndOfBlock);
  }
}

TEST(EntryLayout, OnlyAWholeZeroLengthEndsTheBlock) {
  // 256 is stored 00 01: its low byte alone must not read as the mark.
  const Bytes entry = cpEntry(2, 0, "w", 0, std::string(253, 'x'));
  ASSERT_EQ(entry[0], 0x00);
  ASSERT_EQ(entry[1], 0x01);
  const Bytes block = blockOf(entry, 2);
  EntryHead head;
  ASSERT_EQ(readEntryHead(block.data(), block.size(), 2, {2, false}, &head), EntryStatus::kEntry);
  EXPECT_EQ(head.end - head.tail, 256u);
}

TEST(EntryLayout, BrokenEntriesAreReportedNotRead) {
  struct Case {
    const char* name;
    EntryLayout layout;
    Bytes bytes;  // from offset 0 of the block; the entry starts at 2
  };
  const Case cases[] = {
      {"length runs past the block", {2, false}, blockOf(cpEntry(2, 0, "a", 0, "x", 0xFFFF))},
      {"4-byte length near 2^32", {4, true}, blockOf(bocuEntry(4, 0, 0, "a", "x", 0xFFFFFFFF))},
      {"no room for the end-of-block mark", {2, false}, Bytes{0, 0, 0}},
      {"no room for the prefix count", {2, false}, Bytes{0, 0, 5, 0}},
      {"no room for the BOCU-1 attribute", {2, true}, Bytes{0, 0, 5, 0, 0}},
      {"tail without its NUL", {2, false}, blockOf(Bytes{3, 0, 0, 'a', 'b', 'c'}, 4)},
      {"no attribute after the tail",
       {2, false},
       blockOf(Bytes{3, 0, 0, 'a', 'b', 0})},  // L = 3 covers "ab" and the NUL only
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EntryHead head;
    EXPECT_EQ(readEntryHead(c.bytes.data(), c.bytes.size(), 2, c.layout, &head),
              EntryStatus::kCorrupt);
  }
  EntryHead head;
  const Bytes block = blockOf(cpEntry(2, 0, "a", 0, "x"));
  EXPECT_EQ(readEntryHead(block.data(), block.size(), block.size() + 1, {2, false}, &head),
            EntryStatus::kCorrupt);
}

TEST(EntryLayout, DecompressionStaysInsideTheHeadWordBuffer) {
  uint8_t word[kMaxHeadWordBytes + 1] = {};
  size_t length = 0;
  const std::string app = "app";
  ASSERT_TRUE(
      decompressHeadWord(reinterpret_cast<const uint8_t*>(app.data()), 3, 0, word, &length));
  const std::string le = "le";
  ASSERT_TRUE(decompressHeadWord(reinterpret_cast<const uint8_t*>(le.data()), 2, 3, word, &length));
  EXPECT_EQ(std::string(reinterpret_cast<char*>(word)), "apple");

  // A prefix longer than the previous head word, and a result over 248 bytes, leave it alone.
  EXPECT_FALSE(
      decompressHeadWord(reinterpret_cast<const uint8_t*>(le.data()), 2, 6, word, &length));
  const std::string longTail(244, 'z');
  EXPECT_FALSE(
      decompressHeadWord(reinterpret_cast<const uint8_t*>(longTail.data()), 244, 5, word, &length));
  EXPECT_EQ(length, 5u);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(word)), "apple");
  // Exactly 248 bytes fit, and a prefix of 0 replaces the whole word.
  EXPECT_TRUE(
      decompressHeadWord(reinterpret_cast<const uint8_t*>(longTail.data()), 243, 5, word, &length));
  EXPECT_EQ(length, kMaxHeadWordBytes);
  EXPECT_TRUE(decompressHeadWord(reinterpret_cast<const uint8_t*>(le.data()), 2, 0, word, &length));
  EXPECT_EQ(std::string(reinterpret_cast<char*>(word)), "le");
}

std::string text(const std::optional<std::span<const uint8_t>>& s) {
  return s ? std::string(s->begin(), s->end()) : std::string("<absent>");
}
std::string text(const std::optional<std::span<uint8_t>>& s) {
  return s ? std::string(s->begin(), s->end()) : std::string("<absent>");
}

TEST(EntryLayout, ReadsExtensionFields) {
  using std::string_literals::operator""s;
  struct Case {
    const char* name;
    int width;
    std::string body;
    std::string translation, example, pronunciation;
    bool complete;
  };
  const Case cases[] = {
      {"example and pronunciation", 2,
       "tr\0\x01"
       "ex\0\x02pr\0\x80"s,
       "tr", "ex", "pr", true},
      {"binary field skipped", 2,
       "t\0\x10\x03\x00"
       "abc\x01"
       "ex\0\x80"s,
       "t", "ex", "<absent>", true},
      {"binary field, 4-byte length", 4,
       "t\0\x50\x01\0\0\0z\x01"
       "ex\0\x80"s,
       "t", "ex", "<absent>", true},
      {"tag-only fields", 2,
       "t\0\x20\x30\x01"
       "ex\0\x80"s,
       "t", "ex", "<absent>", true},
      {"other text types skipped", 2, "t\0\x03zz\0\x80"s, "t", "<absent>", "<absent>", true},
      {"the later field wins", 2, "t\0\x01one\0\x01two\0\x80"s, "t", "two", "<absent>", true},
      {"end tag first", 2,
       "t\0\x80\x01"
       "ex\0"s,
       "t", "<absent>", "<absent>", true},
      {"translation without NUL", 2, "tr"s, "<absent>", "<absent>", "<absent>", false},
      {"text field without NUL", 2,
       "t\0\x01"
       "ex\0\x02pr"s,
       "t", "ex", "<absent>", false},
      {"binary length past the entry", 2,
       "t\0\x01"
       "ex\0\x10\x09\x00"
       "ab\x80"s,
       "t", "ex", "<absent>", false},
      {"binary length cut", 4, "t\0\x10\x01\x00"s, "t", "<absent>", "<absent>", false},
      {"no end tag", 2,
       "t\0\x01"
       "ex\0"s,
       "t", "ex", "<absent>", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Bytes body(c.body.begin(), c.body.end());
    const EntryBody fields = readEntryBody(body.data(), body.size(), true, c.width);
    EXPECT_EQ(text(fields.translation), c.translation);
    EXPECT_EQ(text(fields.example), c.example);
    EXPECT_EQ(text(fields.pronunciation), c.pronunciation);
    EXPECT_EQ(fields.complete, c.complete);
  }
}

TEST(EntryLayout, SimpleEntryTranslationIsTheWholeBody) {
  Bytes body = {'a', 0x0D, 0x0A, 0, 'b'};
  EntryBody fields = readEntryBody(body.data(), body.size(), false, 2);
  EXPECT_EQ(text(fields.translation), std::string("a\r\n\0b", 5));
  EXPECT_FALSE(fields.example);
  fields = readEntryBody(body.data(), 0, false, 2);
  EXPECT_EQ(text(fields.translation), "");
}

}  // namespace
}  // namespace lexor
