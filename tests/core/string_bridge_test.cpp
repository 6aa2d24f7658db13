#include "core/string_bridge.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "core/bocu1.h"
#include "platform/log.h"

namespace lexor {
namespace {

using Bytes = std::vector<uint8_t>;

// BOCU-1 of the text with a NUL, from the codec itself (checked against ICU in its own tests).
Bytes bocu(const std::u16string& text) {
  Bytes out(4 * text.size() + 1);
  out.resize(bocu1_encode_from16(text.c_str(), out.data(), static_cast<int32_t>(out.size())) + 1);
  return out;
}

TEST(StringBridgeTest, DecodesWhateverLengthIsPassed) {
  const std::u16string text = u"Grüße, 日本語 и 한국어\r\n\U0001F600!";
  Bytes bytes = bocu(text);
  const int32_t trueLength = static_cast<int32_t>(bytes.size()) - 1;
  for (int32_t length : {trueLength, 0, -1, 1, trueLength + 100}) {
    std::optional<UString> s = CreateNSStringWithBOCU1(bytes.data(), length);
    ASSERT_TRUE(s.has_value()) << length;
    EXPECT_EQ(*s, text) << length;
  }
}

TEST(StringBridgeTest, LoneNulIsEmptyText) {
  const uint8_t nul = 0;
  std::optional<UString> s = CreateNSStringWithBOCU1(&nul, 0);
  ASSERT_TRUE(s.has_value());
  EXPECT_TRUE(s->empty());
  EXPECT_FALSE(CreateNSStringWithBOCU1(nullptr, 0).has_value());
}

// Consecutive supplementary characters cost one byte each and two units each: twice as many
// units as bytes, however short the count the caller claims. Run under ASan this catches any
// work buffer sized from the bytes alone.
TEST(StringBridgeTest, SupplementaryOnlyTextFitsTheWorkBuffer) {
  for (size_t count : {1u, 2u, 100u, 600u, 5000u}) {
    std::u16string text;
    for (size_t i = 0; i < count; ++i) {
      char32_t c = 0x20000 + (i % 60);
      text.push_back(static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10)));
      text.push_back(static_cast<char16_t>(0xDC00 + (c & 0x3FF)));
    }
    Bytes bytes = bocu(text);
    ASSERT_LT(bytes.size(), 4 + count + 1 + count / 60 * 2) << "mostly one byte a character";
    for (int32_t length : {static_cast<int32_t>(bytes.size() - 1), 1}) {
      std::optional<UString> s = CreateNSStringWithBOCU1(bytes.data(), length);
      ASSERT_TRUE(s.has_value());
      EXPECT_EQ(*s, text) << count << " characters, length " << length;
    }
  }
}

TEST(StringBridgeTest, IllegalSequenceGivesNoText) {
  const uint8_t bytes[] = {0x91, 0xD0, 0x0A, 0x91, 0};
  CapturingLogSink sink;
  EXPECT_FALSE(CreateNSStringWithBOCU1(bytes, 4).has_value());
  EXPECT_EQ(sink.lines(), std::vector<std::string>{
                              "error: illegal BOCU-1 sequence at file byte index 2 {c=-99}\n"});
}

TEST(StringBridgeTest, Omit0ATakesOnlyTheGivenBytes) {
  Bytes bytes = bocu(u"abcdef");
  // A heap copy without a NUL: ASan flags any read past the given count.
  auto exact = std::make_unique<uint8_t[]>(3);
  std::copy(bytes.begin(), bytes.begin() + 3, exact.get());
  std::optional<UString> s = CreateNSStringWithBOCU1_omit0A(exact.get(), 3);
  ASSERT_TRUE(s.has_value());
  EXPECT_EQ(*s, u"abc");

  s = CreateNSStringWithBOCU1_omit0A(bytes.data(), 0);
  ASSERT_TRUE(s.has_value());
  EXPECT_EQ(*s, u"abcdef");

  // A two-byte character cut after its lead byte adds nothing; an earlier NUL ends the text.
  Bytes cyrillic = bocu(u"a\u0430");
  ASSERT_EQ(cyrillic.size(), 4u);
  EXPECT_EQ(CreateNSStringWithBOCU1_omit0A(cyrillic.data(), 2), u"a");
  const uint8_t withNul[] = {0x91, 0x00, 0x92};
  EXPECT_EQ(CreateNSStringWithBOCU1_omit0A(withNul, 3), u"A");
  EXPECT_EQ(CreateNSStringWithBOCU1_omit0A(bocu(u"x\ny").data(), 0), u"x\ny");
  EXPECT_FALSE(CreateNSStringWithBOCU1_omit0A(nullptr, 3).has_value());
}

TEST(StringBridgeTest, Omit0ALogsTheByteCountOfAnIllegalText) {
  const uint8_t bytes[] = {0x91, 0x92, 0xD0, 0x07, 0x93};
  CapturingLogSink sink;
  EXPECT_FALSE(CreateNSStringWithBOCU1_omit0A(bytes, 5).has_value());
  EXPECT_EQ(sink.lines(), (std::vector<std::string>{
                              "error: illegal BOCU-1 sequence at file byte index 3 {c=-99}\n",
                              "erroneus bocu string (len = 5)"}));
}

TEST(StringBridgeTest, EncodesWholeCharactersWithinTheBuffer) {
  // 200 ideographs, two bytes each from the CJK reference: far more than 255 bytes.
  std::u16string text;
  for (int i = 0; i < 200; ++i) text.push_back(static_cast<char16_t>(0x4E00 + i * 97));
  uint8_t out[257];
  out[256] = 0xEE;
  EXPECT_EQ(CreateBOCU1StringWithNSString(text, out, 256), 1);
  EXPECT_EQ(out[256], 0xEE);
  size_t n = std::strlen(reinterpret_cast<char*>(out));
  EXPECT_LE(n, 255u);
  std::optional<UString> back = CreateNSStringWithBOCU1(out, 0);
  ASSERT_TRUE(back.has_value());
  EXPECT_EQ(*back, text.substr(0, back->size())) << "a prefix of whole characters";
  EXPECT_EQ(bocu(*back).size() - 1, n) << "no partial sequence at the end";
  EXPECT_GE(back->size(), 127u);
}

TEST(StringBridgeTest, EncoderStopsAtU0000AndRefusesNoRoom) {
  const std::u16string text(u"ab\0cd", 5);
  uint8_t out[8];
  EXPECT_EQ(CreateBOCU1StringWithNSString(text, out, 8), 1);
  EXPECT_EQ(CreateNSStringWithBOCU1(out, 0), u"ab");
  EXPECT_EQ(CreateBOCU1StringWithNSString(UStringView(), out, 8), 1);
  EXPECT_EQ(out[0], 0);
  out[0] = 0xEE;
  EXPECT_EQ(CreateBOCU1StringWithNSString(u"ab", out, 0), 0);
  EXPECT_EQ(CreateBOCU1StringWithNSString_insert0A(u"ab", out, 0), 0);
  EXPECT_EQ(out[0], 0xEE);
  EXPECT_EQ(CreateBOCU1StringWithNSString(u"ab", nullptr, 8), 0);
}

struct Insert0ACase {
  const char* name;
  std::u16string text;
  int32_t size;
  Bytes expected;  // the whole of out, whose bytes start as 0xEE
};

TEST(StringBridgeTest, Insert0A) {
  const Insert0ACase cases[] = {
      {"line feed after the carriage return",
       u"a\rb",
       8,
       {0xB1, 0x0D, 0x0A, 0xB2, 0x00, 0xEE, 0xEE, 0x00}},
      {"a line feed already there gets a second",
       u"a\r\nb",
       6,
       {0xB1, 0x0D, 0x0A, 0x0A, 0xB2, 0x00}},
      {"size ends right after the carriage return", u"a\rb", 3, {0xB1, 0x0D, 0x00}},
      {"size ends right after the line feed", u"a\rb", 4, {0xB1, 0x0D, 0x0A, 0x00}},
      // U+0430 needs two bytes; with only one left before the NUL it is left out whole.
      {"no part of a character", u"\r\u0430", 4, {0x0D, 0x0A, 0x00, 0x00}},
      {"no text", u"", 2, {0x00, 0x00}},
      {"size 1", u"a\r", 1, {0x00}},
  };
  for (const Insert0ACase& c : cases) {
    SCOPED_TRACE(c.name);
    Bytes out(c.size + 1, 0xEE);
    EXPECT_EQ(CreateBOCU1StringWithNSString_insert0A(c.text, out.data(), c.size), 1);
    EXPECT_EQ(out.back(), 0xEE) << "nothing past the end";
    out.pop_back();
    EXPECT_EQ(out, c.expected);
  }
}

TEST(StringBridgeTest, Insert0AKeepsTheTextAroundEachBreak) {
  const std::u16string text = u"дом\rдверь\r\r日本\rx";
  uint8_t out[64];
  ASSERT_EQ(CreateBOCU1StringWithNSString_insert0A(text, out, sizeof out), 1);
  EXPECT_EQ(CreateNSStringWithBOCU1(out, 0), u"дом\r\nдверь\r\n\r\n日本\r\nx");
}

}  // namespace
}  // namespace lexor
