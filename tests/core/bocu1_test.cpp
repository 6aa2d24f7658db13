// The BOCU-1 codec against ICU's converter of the same name, its edges, the string bridge built on
// it, and the little-endian accessors.
#include "core/bocu1.h"

#include <gtest/gtest.h>
#include <unicode/ucnv.h>
#include <unicode/utf16.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "core/data_util.h"
#include "core/string_bridge.h"
#include "platform/log.h"

namespace lexor {
namespace {

using Bytes = std::vector<uint8_t>;

// ICU's converter, used only as an independent oracle.
Bytes icuEncode(const std::u16string& text) {
  UErrorCode status = U_ZERO_ERROR;
  UConverter* cnv = ucnv_open("BOCU-1", &status);
  std::vector<char> out(4 * text.size() + 8);
  const int32_t n = ucnv_fromUChars(cnv, out.data(), static_cast<int32_t>(out.size()), text.data(),
                                    static_cast<int32_t>(text.size()), &status);
  ucnv_close(cnv);
  EXPECT_TRUE(U_SUCCESS(status)) << u_errorName(status);
  return Bytes(out.begin(), out.begin() + n);
}

void appendCodePoint(std::u16string* s, char32_t c) {
  char16_t units[2];
  int32_t n = 0;
  U16_APPEND_UNSAFE(units, n, c);
  s->append(units, n);
}

Bytes encode(const std::u16string& text) {
  Bytes out(4 * text.size() + 1);
  const int32_t n = bocu1_encode_from16(text.c_str(), out.data(), static_cast<int32_t>(out.size()));
  EXPECT_GE(n, 0);
  out.resize(n);
  return out;
}

struct Decoded {
  int32_t result;
  std::u16string text;
  std::vector<std::string> log;
  bool operator==(const Decoded&) const = default;
};

Decoded decode(Bytes bytes) {
  const size_t length = bytes.size();
  bytes.push_back(0);
  std::u16string dst(2 * length + 1, u'\xEEEE');
  CapturingLogSink sink;
  const int32_t n = bocu1_decode_to16(dst.data(), bytes.data());
  Decoded d{n, {}, sink.lines()};
  if (n >= 0) {
    EXPECT_EQ(dst[n], 0) << "terminator";
    d.text = dst.substr(0, n);
  }
  return d;
}

// Byte-by-byte decoding with the primitive: the reference for the string decoder's fast paths,
// which drop U+0000 as they drop surrogate code points.
Decoded decodeWithPrimitive(const Bytes& bytes) {
  Bocu1DecodeState state;
  Decoded d{0, {}, {}};
  for (size_t i = 0; i < bytes.size() && bytes[i] != 0; ++i) {
    const int32_t r = decodeBocu1(&state, bytes[i]);
    if (r < -1) {
      d.log.push_back("error: illegal BOCU-1 sequence at file byte index " + std::to_string(i) +
                      " {c=" + std::to_string(r) + "}\n");
      return {-1, {}, d.log};
    }
    if (r > 0 && (r < 0xD800 || r > 0xDFFF)) appendCodePoint(&d.text, static_cast<char32_t>(r));
  }
  d.result = static_cast<int32_t>(d.text.size());
  return d;
}

// Runs of one script, as real text has, with jumps between scripts and planes.
std::u16string randomText(std::mt19937& rng) {
  static const std::pair<char32_t, char32_t> kScripts[] = {
      {0x21, 0x7E},       {0x01, 0x20},       {0xA0, 0x4FF},        {0x5D0, 0x6FF},
      {0x3040, 0x30FF},   {0x4E00, 0x9FA5},   {0xAC00, 0xD7A3},     {0xE000, 0xFFEF},
      {0x1F300, 0x1F6FF}, {0x20000, 0x2A6DF}, {0x10FF80, 0x10FFFF}, {0x21, 0x10FFFF},
  };
  std::uniform_int_distribution<int> length(0, 40);
  std::u16string text;
  for (int run = length(rng) % 6; run >= 0; --run) {
    const auto& [first, last] = kScripts[rng() % std::size(kScripts)];
    std::uniform_int_distribution<char32_t> cp(first, last);
    for (int i = length(rng); i > 0; --i) {
      const char32_t c = cp(rng);
      if (c < 0xD800 || c > 0xDFFF) appendCodePoint(&text, c);
    }
  }
  return text;
}

// Each random text encodes as ICU encodes it and decodes back; the same bytes with one byte
// replaced (often by one that can never be a trail byte) decode exactly as the primitive decodes
// them, text, result and log line alike.
TEST(Bocu1Test, MatchesIcuAndThePrimitive) {
  std::mt19937 rng(20240611);
  const uint8_t kHostile[] = {0x07, 0x0A, 0x20, 0x21, 0x24, 0x25, 0x4F, 0x50,
                              0xCF, 0xD0, 0xFB, 0xFE, 0xFF, 0x1A, 0x00};
  for (int round = 0; round < 2000; ++round) {
    const std::u16string text = randomText(rng);
    Bytes bytes = encode(text);
    ASSERT_EQ(bytes, icuEncode(text)) << "round " << round;
    ASSERT_EQ(decode(bytes), (Decoded{static_cast<int32_t>(text.size()), text, {}}))
        << "round " << round;
    if (bytes.empty()) continue;
    bytes[rng() % bytes.size()] =
        rng() % 2 ? kHostile[rng() % std::size(kHostile)] : static_cast<uint8_t>(rng());
    ASSERT_EQ(decode(bytes), decodeWithPrimitive(bytes)) << "round " << round;
  }
}

// Every BMP character after, and then as the reference for, a character of each kind of region:
// every one- and two-byte difference and the three-byte ones near them pass the encoder's paths.
TEST(Bocu1Test, EveryBmpCharacterMatchesIcu) {
  for (char16_t lead : {u'A', u'\u3042', u'\u4E00', u'\uAC00', u'\uFFFD'}) {
    std::u16string text;
    for (char32_t c = 0x21; c <= 0xFFFF; ++c) {
      if (c >= 0xD800 && c <= 0xDFFF) continue;
      text += lead;
      text += static_cast<char16_t>(c);
    }
    const Bytes ours = encode(text);
    ASSERT_EQ(ours, icuEncode(text)) << "after " << std::hex << static_cast<int>(lead);
    ASSERT_EQ(decode(ours).text, text);
  }
  // Differences at the edge of the three-byte reach, up and down.
  const std::u16string reach = u"A\U0002DD4BA\U0002DD4C\U0010FFFF\U000E22B4\U0010FFFF\U000E22B3";
  EXPECT_EQ(encode(reach), icuEncode(reach));
  EXPECT_EQ(decode(encode(reach)).text, reach);
}

// A NUL inside a text would end it when encoded again, so a difference that spells U+0000 adds
// nothing (the fuzz regression's case); the random texts never spell it.
TEST(Bocu1Test, DifferencesSpellingU0000AreDropped) {
  EXPECT_EQ(decode({0xD0, 0x01, 0x4F, 0x80, 0x91}), (Decoded{2, u"\u0080A", {}}))
      << "a two-byte difference";
  EXPECT_EQ(decode({0xFB, 0x11, 0x59, 0x24, 0xF8, 0x46, 0x91}), (Decoded{2, u"\u3042A", {}}))
      << "a three-byte difference";
}

// For every size, the encoder writes the longest run of whole characters that fits before the
// NUL: never part of a sequence, never a byte past the end.
TEST(Bocu1Test, OutputSizeCutsAtWholeSequences) {
  const std::u16string text = u"A\u4E00 \uAC00\U00020000\n\u0430\uFFFDz\U0010FFFF!";
  const Bytes full = encode(text);
  std::vector<int32_t> ends;  // where each character's sequence ends
  for (size_t k = 0; k <= text.size(); ++k)
    if (k == 0 || text[k - 1] < 0xD800 || text[k - 1] > 0xDBFF)
      ends.push_back(static_cast<int32_t>(encode(text.substr(0, k)).size()));
  for (int32_t size = 1; size <= static_cast<int32_t>(full.size()) + 2; ++size) {
    SCOPED_TRACE(size);
    Bytes out(size + 1, 0xEE);  // one guard byte
    const int32_t n = bocu1_encode_from16(text.c_str(), out.data(), size);
    ASSERT_EQ(n, *std::prev(std::lower_bound(ends.begin(), ends.end(), size)));
    EXPECT_TRUE(std::equal(out.begin(), out.begin() + n, full.begin()));
    EXPECT_EQ(out[n], 0);
    EXPECT_EQ(out[size], 0xEE);
  }
  // The counted encoder never joins a high surrogate with what lies beyond its count.
  uint8_t out[16];
  const char16_t pair[] = {0xD840, 0xDC00, 0};
  EXPECT_EQ(bocu1EncodeUnits(pair, 1, out, 16, false), bocu1PackedLength(packDiff(0xD840 - 0x40)));
}

TEST(Bocu1Test, NullArgumentsAndOutOfRangeValues) {
  uint8_t bytes[4] = {0x91, 0};
  EXPECT_EQ(bocu1_decode_to16(nullptr, bytes), -1);
  EXPECT_EQ(bocu1_encode_from16(u"A", bytes, 0), -1);
  EXPECT_EQ(bytes[0], 0x91) << "nothing written for a size below 1";
  int32_t prev = 0x440;
  EXPECT_EQ(encodeBocu1(&prev, 0x110000) + encodeBocu1(&prev, -1), 0);
  EXPECT_EQ(prev, 0x440) << "out-of-range code points leave the state";
  Bocu1DecodeState state;
  EXPECT_EQ(decodeBocu1(&state, 256), -99);
  EXPECT_FALSE(CreateNSStringWithBOCU1(nullptr, 0));
  EXPECT_EQ(CreateBOCU1StringWithNSString(u"ab", nullptr, 8), 0);
}

// Consecutive supplementary characters cost one byte and two units each, however wrong the length
// the caller claims: a work buffer sized from the bytes alone overruns (ASan sees it).
TEST(StringBridgeTest, SupplementaryOnlyTextFitsTheWorkBuffer) {
  for (size_t count : {1u, 600u, 5000u}) {
    std::u16string text;
    for (size_t i = 0; i < count; ++i) appendCodePoint(&text, 0x20000 + (i % 60));
    Bytes bytes = encode(text);
    ASSERT_LT(bytes.size(), 6 + count + count / 30) << "mostly one byte a character";
    bytes.push_back(0);
    const int32_t trueLength = static_cast<int32_t>(bytes.size()) - 1;
    for (int32_t length : {trueLength, 0, -1, 1, trueLength + 100})
      EXPECT_EQ(CreateNSStringWithBOCU1(bytes.data(), length), text) << count << " " << length;
  }
}

TEST(StringBridgeTest, IllegalTextsAreLogged) {
  const uint8_t bytes[] = {0x91, 0x92, 0xD0, 0x07, 0x93, 0};
  CapturingLogSink sink;
  EXPECT_FALSE(CreateNSStringWithBOCU1(bytes, 5));
  EXPECT_FALSE(CreateNSStringWithBOCU1_omit0A(bytes, 5));
  const std::string illegal = "error: illegal BOCU-1 sequence at file byte index 3 {c=-99}\n";
  EXPECT_EQ(sink.lines(),
            (std::vector<std::string>{illegal, illegal, "erroneus bocu string (len = 5)"}));
}

TEST(StringBridgeTest, TextsTakeOnlyTheGivenBytes) {
  Bytes bytes = encode(u"abc\u0430");
  // A heap copy without a NUL: ASan flags any read past the given count.
  auto exact = std::make_unique<uint8_t[]>(3);
  std::copy(bytes.begin(), bytes.begin() + 3, exact.get());
  EXPECT_EQ(CreateNSStringWithBOCU1_omit0A(exact.get(), 3), u"abc");
  // A two-byte character cut after its lead byte adds nothing; length 0 reads to the NUL.
  EXPECT_EQ(CreateNSStringWithBOCU1_omit0A(bytes.data(), 4), u"abc");
  bytes.push_back(0);
  EXPECT_EQ(CreateNSStringWithBOCU1_omit0A(bytes.data(), 0), u"abc\u0430");
  // The encoder writes nothing without room, and stops at U+0000.
  uint8_t out[8] = {0xEE};
  EXPECT_EQ(CreateBOCU1StringWithNSString_insert0A(u"ab", out, 0), 0);
  EXPECT_EQ(out[0], 0xEE);
  EXPECT_EQ(CreateBOCU1StringWithNSString(std::u16string(u"ab\0cd", 5), out, 8), 1);
  EXPECT_EQ(CreateNSStringWithBOCU1(out, 0), u"ab");
}

TEST(StringBridgeTest, Insert0A) {
  const std::tuple<const char*, std::u16string, int32_t, Bytes> cases[] = {
      {"a line feed already there gets a second", u"a\r\nb", 6, {0xB1, 0x0D, 0x0A, 0x0A, 0xB2, 0}},
      {"size ends right after the carriage return", u"a\rb", 3, {0xB1, 0x0D, 0x00}},
  };
  for (const auto& [name, text, size, whole] : cases) {
    SCOPED_TRACE(name);
    Bytes out(size + 1, 0xEE);
    EXPECT_EQ(CreateBOCU1StringWithNSString_insert0A(text, out.data(), size), 1);
    EXPECT_EQ(out.back(), 0xEE) << "nothing past the end";
    out.pop_back();
    EXPECT_EQ(out, whole);
  }
  // The inserted line feeds leave the reference as it was.
  uint8_t out[64];
  ASSERT_EQ(CreateBOCU1StringWithNSString_insert0A(u"дом\r\r日本\rx", out, sizeof out), 1);
  EXPECT_EQ(CreateNSStringWithBOCU1(out, 0), u"дом\r\n\r\n日本\r\nx");
}

// Every field may stand at any address, and the 16- and 32-bit reads differ only in sign.
TEST(DataUtilTest, LittleEndianAtAnyAlignment) {
  const uint8_t* p = reinterpret_cast<const uint8_t*>("-\xFE\x80\x34\x92") + 1;
  EXPECT_EQ(getShortAt(p), -32514);
  EXPECT_EQ(getUIntOfWidth(p, 2), 0x80FEu);
  EXPECT_EQ(getLongAt(p), static_cast<int32_t>(0x923480FE));
  EXPECT_EQ(getUIntOfWidth(p, 4), 0x923480FEu);
  EXPECT_EQ(std::memcmp(getStringAt(reinterpret_cast<const uint8_t*>("a\0c"), 3).get(), "a\0c", 4),
            0)
      << "an inner NUL is copied, a NUL added";
  EXPECT_EQ(getStringAt(reinterpret_cast<const uint8_t*>("a"), SIZE_MAX), nullptr);
}

}  // namespace
}  // namespace lexor
