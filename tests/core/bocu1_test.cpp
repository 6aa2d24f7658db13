#include "core/bocu1.h"

#include <gtest/gtest.h>
#include <unicode/ucnv.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "platform/log.h"

namespace lexor {
namespace {

using Bytes = std::vector<uint8_t>;

// ICU's converter of the same name, used only as an independent oracle.
class IcuBocu1 {
 public:
  IcuBocu1() {
    UErrorCode status = U_ZERO_ERROR;
    cnv_ = ucnv_open("BOCU-1", &status);
    EXPECT_TRUE(U_SUCCESS(status)) << u_errorName(status);
  }
  ~IcuBocu1() { ucnv_close(cnv_); }

  Bytes encode(const std::u16string& text) {
    UErrorCode status = U_ZERO_ERROR;
    std::vector<char> out(4 * text.size() + 8);
    int32_t n = ucnv_fromUChars(cnv_, out.data(), static_cast<int32_t>(out.size()), text.data(),
                                static_cast<int32_t>(text.size()), &status);
    EXPECT_TRUE(U_SUCCESS(status)) << u_errorName(status);
    return Bytes(out.begin(), out.begin() + n);
  }

  std::u16string decode(const Bytes& bytes) {
    UErrorCode status = U_ZERO_ERROR;
    std::u16string out(2 * bytes.size() + 2, u'\0');
    int32_t n = ucnv_toUChars(cnv_, out.data(), static_cast<int32_t>(out.size()),
                              reinterpret_cast<const char*>(bytes.data()),
                              static_cast<int32_t>(bytes.size()), &status);
    EXPECT_TRUE(U_SUCCESS(status)) << u_errorName(status);
    out.resize(n);
    return out;
  }

 private:
  UConverter* cnv_ = nullptr;
};

void appendCodePoint(std::u16string* s, char32_t c) {
  if (c < 0x10000) {
    s->push_back(static_cast<char16_t>(c));
  } else {
    s->push_back(static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10)));
    s->push_back(static_cast<char16_t>(0xDC00 + (c & 0x3FF)));
  }
}

Bytes encodeAll(const std::u16string& text) {
  Bytes out(4 * text.size() + 1);
  int32_t n = bocu1_encode_from16(text.c_str(), out.data(), static_cast<int32_t>(out.size()));
  EXPECT_GE(n, 0);
  out.resize(n);
  return out;
}

struct Decoded {
  int32_t result;
  std::u16string text;
  std::vector<std::string> log;
};

Decoded decode(const Bytes& bytes) {
  Bytes src = bytes;
  src.push_back(0);
  std::u16string dst(2 * bytes.size() + 1, u'\xEEEE');
  CapturingLogSink sink;
  int32_t n = bocu1_decode_to16(dst.data(), src.data());
  Decoded d{n, {}, sink.lines()};
  if (n >= 0) {
    EXPECT_EQ(dst[n], 0) << "terminator";
    d.text = dst.substr(0, n);
  }
  return d;
}

// Byte-by-byte decoding with the primitive, as the reference for the string decoder's fast paths.
Decoded decodeWithPrimitive(const Bytes& bytes) {
  Bocu1DecodeState state;
  Decoded d{0, {}, {}};
  for (size_t i = 0; i < bytes.size() && bytes[i] != 0; ++i) {
    int32_t r = decodeBocu1(&state, bytes[i]);
    if (r < -1) {
      d.result = -1;
      d.text.clear();
      char line[96];
      std::snprintf(line, sizeof line,
                    "error: illegal BOCU-1 sequence at file byte index %d {c=%d}\n",
                    static_cast<int>(i), r);
      d.log.push_back(line);
      return d;
    }
    // The string decoder drops U+0000 and surrogate code points, which crafted bytes can yield.
    if (r > 0 && (r < 0xD800 || r > 0xDFFF)) appendCodePoint(&d.text, static_cast<char32_t>(r));
  }
  d.result = static_cast<int32_t>(d.text.size());
  return d;
}

// Code point ranges that random texts draw from, weighted towards real scripts.
struct Range {
  char32_t first, last;
};
const Range kScripts[] = {
    {0x21, 0x7E},         {0x09, 0x0D},       {0x20, 0x20},       {0xA0, 0x24F},
    {0x370, 0x3FF},       {0x400, 0x4FF},     {0x5D0, 0x5EA},     {0x600, 0x6FF},
    {0xE00, 0xE7F},       {0x3000, 0x303F},   {0x3040, 0x309F},   {0x30A0, 0x30FF},
    {0x4E00, 0x9FA5},     {0xAC00, 0xD7A3},   {0xE000, 0xF8FF},   {0xFF00, 0xFFEF},
    {0x10000, 0x1007F},   {0x1F300, 0x1F6FF}, {0x20000, 0x2A6DF}, {0xE0000, 0xE007F},
    {0x10FF80, 0x10FFFF}, {0x1, 0x1F},        {0x21, 0x10FFFF},
};

std::u16string randomText(std::mt19937& rng) {
  std::uniform_int_distribution<size_t> pick(0, std::size(kScripts) - 1);
  std::uniform_int_distribution<int> length(0, 40);
  std::u16string text;
  // Runs of one script, as real text has, with jumps between them.
  for (int run = length(rng) % 6; run >= 0; --run) {
    const Range& r = kScripts[pick(rng)];
    std::uniform_int_distribution<char32_t> cp(r.first, r.last);
    for (int i = length(rng); i > 0; --i) {
      char32_t c = cp(rng);
      if (c >= 0xD800 && c <= 0xDFFF) continue;
      appendCodePoint(&text, c);
    }
  }
  return text;
}

TEST(Bocu1Test, MatchesIcuOnRandomTexts) {
  IcuBocu1 icu;
  std::mt19937 rng(20240611);
  for (int round = 0; round < 5000; ++round) {
    std::u16string text = randomText(rng);
    Bytes ours = encodeAll(text);
    ASSERT_EQ(ours, icu.encode(text)) << "round " << round;
    Decoded d = decode(ours);
    ASSERT_EQ(d.result, static_cast<int32_t>(text.size())) << "round " << round;
    ASSERT_EQ(d.text, text) << "round " << round;
    ASSERT_EQ(icu.decode(ours), text) << "round " << round;
  }
}

Bytes encodeWithPrimitive(const std::u16string& text) {
  Bytes bytes;
  int32_t prev = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    char32_t c = text[i];
    if (c >= 0xD800 && c <= 0xDBFF) c = (c << 10) + text[++i] - 0x35FDC00;
    int32_t packed = encodeBocu1(&prev, static_cast<int32_t>(c));
    for (int k = bocu1PackedLength(packed) - 1; k >= 0; --k) {
      bytes.push_back(static_cast<uint8_t>(static_cast<uint32_t>(packed) >> (8 * k)));
    }
  }
  return bytes;
}

TEST(Bocu1Test, StringEncoderMatchesPrimitive) {
  std::mt19937 rng(7);
  for (int round = 0; round < 500; ++round) {
    std::u16string text = randomText(rng);
    ASSERT_EQ(encodeAll(text), encodeWithPrimitive(text)) << "round " << round;
  }
  // Every BMP character after references in each kind of region, so that every one- and
  // two-byte difference, and the three-byte ones near them, pass the string encoder's own paths.
  for (std::u16string lead : {u"A", u"\u3042", u"\u4E00", u"\uAC00", u"\uFFFD", u"\U00010400"}) {
    for (char32_t c = 0x21; c <= 0xFFFF; ++c) {
      if (c >= 0xD800 && c <= 0xDFFF) continue;
      std::u16string text = lead;
      text.push_back(static_cast<char16_t>(c));
      ASSERT_EQ(encodeAll(text), encodeWithPrimitive(text)) << std::hex << static_cast<uint32_t>(c);
    }
  }
}

// Random bytes, valid or not: the string decoder must agree with the primitive exactly, in the
// text, the result and the log line, and never write more than two units per byte.
TEST(Bocu1Test, StringDecoderMatchesPrimitiveOnArbitraryBytes) {
  std::mt19937 rng(99);
  std::uniform_int_distribution<int> byte(1, 255);
  std::uniform_int_distribution<int> length(0, 24);
  // Biased towards lead bytes of long sequences and the bytes that can never be trail bytes.
  const uint8_t kInteresting[] = {0x07, 0x0A, 0x0D, 0x20, 0x21, 0x22, 0x24, 0x25, 0x4F,
                                  0x50, 0xCF, 0xD0, 0xFA, 0xFB, 0xFD, 0xFE, 0xFF, 0x1A};
  for (int round = 0; round < 20000; ++round) {
    Bytes bytes;
    for (int i = length(rng); i > 0; --i) {
      bytes.push_back(rng() % 3 == 0 ? kInteresting[rng() % std::size(kInteresting)]
                                     : static_cast<uint8_t>(byte(rng)));
    }
    Decoded expected = decodeWithPrimitive(bytes);
    Decoded actual = decode(bytes);
    ASSERT_EQ(actual.result, expected.result) << "round " << round;
    ASSERT_EQ(actual.log, expected.log) << "round " << round;
    ASSERT_EQ(actual.text, expected.text) << "round " << round;
  }
}

struct DecodeCase {
  const char* name;
  Bytes bytes;
  std::u16string text;  // expected when result >= 0
  int32_t result;       // -1: illegal
  const char* logLine;  // expected single log line, or null
};

TEST(Bocu1Test, DecodeCases) {
  const DecodeCase cases[] = {
      {"empty", {}, u"", 0, nullptr},
      {"reset yields nothing", {0x91, 0xFF, 0x91}, u"AA", 2, nullptr},
      // After U+0430 the reference is 0x0440; the reset puts it back to 0x40.
      {"reset restores ascii reference", {0xD3, 0xE4, 0xFF, 0x91}, u"\u0430A", 2, nullptr},
      {"nul ends the text", {0x91, 0x00, 0x92}, u"A", 1, nullptr},
      {"lead byte cut by the end", {0x91, 0xD0}, u"A", 1, nullptr},
      {"four-byte sequence cut", {0x91, 0xFE, 0x30, 0x30}, u"A", 1, nullptr},
      {"control where a trail is due",
       {0x91, 0xD0, 0x07},
       u"",
       -1,
       "error: illegal BOCU-1 sequence at file byte index 2 {c=-99}\n"},
      {"space where a trail is due",
       {0xFE, 0x30, 0x20},
       u"",
       -1,
       "error: illegal BOCU-1 sequence at file byte index 2 {c=-99}\n"},
      // The largest four-byte difference from 0x40 lies past U+10FFFF.
      {"beyond the last code point",
       {0xFE, 0xFF, 0xFF, 0xFF},
       u"",
       -1,
       "error: illegal BOCU-1 sequence at file byte index 3 {c=-99}\n"},
      {"below code point 0",
       {0x21, 0x01, 0x01, 0x01},
       u"",
       -1,
       "error: illegal BOCU-1 sequence at file byte index 3 {c=-99}\n"},
      {"controls pass through", {0x09, 0x0A, 0x0D, 0x20}, u"\t\n\r ", 4, nullptr},
  };
  for (const DecodeCase& c : cases) {
    SCOPED_TRACE(c.name);
    Decoded d = decode(c.bytes);
    EXPECT_EQ(d.result, c.result);
    if (c.result >= 0) {
      EXPECT_EQ(d.text, c.text);
    }
    if (c.logLine) {
      EXPECT_EQ(d.log, std::vector<std::string>{c.logLine});
    } else {
      EXPECT_TRUE(d.log.empty());
    }
  }
}

TEST(Bocu1Test, NullArguments) {
  char16_t units[4];
  uint8_t bytes[4] = {0x91, 0};
  EXPECT_EQ(bocu1_decode_to16(nullptr, bytes), -1);
  EXPECT_EQ(bocu1_decode_to16(units, nullptr), -1);
  EXPECT_EQ(bocu1_encode_from16(nullptr, bytes, 4), -1);
  EXPECT_EQ(bocu1_encode_from16(u"A", nullptr, 4), -1);
  EXPECT_EQ(bocu1_encode_from16(u"A", bytes, 0), -1);
  EXPECT_EQ(bytes[0], 0x91) << "nothing written for a size below 1";
  EXPECT_EQ(encodeBocu1(nullptr, 0x41), 0);
  Bocu1DecodeState state;
  EXPECT_EQ(decodeBocu1(nullptr, 0x41), -99);
  EXPECT_EQ(decodeBocu1(&state, 256), -99);
}

TEST(Bocu1Test, SupplementaryBoundaries) {
  const std::pair<std::u16string, std::u16string> cases[] = {
      {u"\U00010000", {0xD800, 0xDC00}},
      {u"\U0010FFFF", {0xDBFF, 0xDFFF}},
      {u"a\U00010000\U0010FFFFb", {u'a', 0xD800, 0xDC00, 0xDBFF, 0xDFFF, u'b'}},
  };
  for (const auto& [text, units] : cases) EXPECT_EQ(decode(encodeAll(text)).text, units);
}

TEST(Bocu1Test, LoneSurrogatesEncodeAsThemselvesAndDecodeToNothing) {
  const std::u16string cases[] = {u"a\xD800", std::u16string(u"\xD800") + u"b",
                                  std::u16string(u"\xDC00") + u"c"};
  for (const std::u16string& text : cases) {
    Bytes bytes = encodeAll(text);
    EXPECT_FALSE(bytes.empty());
    std::u16string letters;
    for (char16_t u : text) {
      if (u < 0xD800 || u > 0xDFFF) letters.push_back(u);
    }
    EXPECT_EQ(decode(bytes).text, letters);
  }
}

// For every size, the encoder writes the longest prefix of whole characters that fits before the
// NUL: never part of a sequence, never a byte past the end.
TEST(Bocu1Test, OutputSizeCutsAtWholeSequences) {
  std::u16string text = u"A\u4E00 \uAC00\U00020000\n\u0430\u3042z\U0010FFFF!";
  Bytes full = encodeAll(text);
  // Byte offsets at which one character's sequence ends.
  std::vector<size_t> ends = {0};
  int32_t prev = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    char32_t c = text[i];
    if (c >= 0xD800 && c <= 0xDBFF) c = (c << 10) + text[++i] - 0x35FDC00;
    ends.push_back(ends.back() + bocu1PackedLength(encodeBocu1(&prev, static_cast<int32_t>(c))));
  }
  ASSERT_EQ(ends.back(), full.size());
  for (int32_t size = 1; size <= static_cast<int32_t>(full.size()) + 2; ++size) {
    Bytes out(size + 1, 0xEE);  // one guard byte
    int32_t n = bocu1_encode_from16(text.c_str(), out.data(), size);
    size_t expected = 0;
    for (size_t e : ends) {
      if (e + 1 <= static_cast<size_t>(size)) expected = e;
    }
    ASSERT_EQ(n, static_cast<int32_t>(expected)) << "size " << size;
    EXPECT_TRUE(std::equal(out.begin(), out.begin() + n, full.begin())) << "size " << size;
    EXPECT_EQ(out[n], 0) << "size " << size;
    EXPECT_EQ(out[size], 0xEE) << "size " << size;
  }
}

TEST(Bocu1Test, SmallOutputBuffers) {
  uint8_t out[5] = {0xEE, 0xEE, 0xEE, 0xEE, 0xEE};
  EXPECT_EQ(bocu1_encode_from16(u"A", out, 1), 0);
  EXPECT_EQ(out[0], 0);
  EXPECT_EQ(out[1], 0xEE);
  // U+FFFD lies three bytes away from the initial reference.
  EXPECT_EQ(bocu1_encode_from16(u"\uFFFD", out, 4), 3);
  EXPECT_EQ(out[3], 0);
  EXPECT_EQ(bocu1_encode_from16(u"\uFFFD", out, 3), 0);
  EXPECT_EQ(out[0], 0);
}

TEST(Bocu1Test, CountLimitedEncoderStopsAtCountAndAtZeroUnit) {
  uint8_t out[16];
  EXPECT_EQ(bocu1EncodeUnits(u"ABC", 2, out, 16, false), 2);
  EXPECT_EQ(bocu1EncodeUnits(u"A\0C", 3, out, 16, false), 1);
  // A high surrogate at the count limit is not joined with what lies beyond it.
  const char16_t pair[] = {0xD840, 0xDC00, 0};
  EXPECT_EQ(bocu1EncodeUnits(pair, 1, out, 16, false), bocu1PackedLength(packDiff(0xD840 - 0x40)));
  EXPECT_EQ(bocu1EncodeUnits(u"a\rb", 3, out, 16, true), 4);
  EXPECT_EQ(out[2], 0x0A);
}

// Differences at the edges of each sequence length, decoded back from a known reference.
TEST(Bocu1Test, PackDiffLengthsAtReachBoundaries) {
  struct {
    int32_t diff;
    int length;
  } const cases[] = {
      {0, 1},       {63, 1},     {-64, 1},     {64, 2},       {-65, 2},
      {10512, 2},   {-10513, 2}, {10513, 3},   {-10514, 3},   {187659, 3},
      {-187660, 3}, {187660, 4}, {-187661, 4}, {0x10FFBF, 4}, {-0x10FFBF, 4},
  };
  for (const auto& c : cases) {
    int32_t packed = packDiff(c.diff);
    EXPECT_EQ(bocu1PackedLength(packed), c.length) << c.diff;
    // Decode from a reference that puts the target inside 0..0x10FFFF.
    int32_t prev = c.diff < 0 ? 0x10FFC0 : 0x40;
    Bocu1DecodeState state{prev, 0, 0};
    int32_t r = -1;
    for (int k = c.length - 1; k >= 0; --k) {
      r = decodeBocu1(&state, static_cast<uint8_t>(static_cast<uint32_t>(packed) >> (8 * k)));
      if (k > 0) {
        EXPECT_EQ(r, -1) << c.diff;
      }
    }
    EXPECT_EQ(r, prev + c.diff) << c.diff;
  }
  EXPECT_EQ(packDiff(0), 0x01000090);
  EXPECT_EQ(packDiff(-65), 0x02004FFF);
  EXPECT_EQ(packDiff(64), 0x0200D001);
}

TEST(Bocu1Test, Reference) {
  struct {
    int32_t c, prev;
  } const cases[] = {
      {0x41, 0x40},     {0x7F, 0x40},     {0x80, 0xC0},         {0x3040, 0x3070}, {0x309F, 0x3070},
      {0x30A0, 0x30C0}, {0x4E00, 0x7711}, {0x9FA5, 0x7711},     {0x9FA6, 0x9FC0}, {0xAC00, 0xC1D1},
      {0xD7A3, 0xC1D1}, {0xD7A4, 0xD7C0}, {0x10FFFF, 0x10FFC0},
  };
  for (const auto& c : cases) EXPECT_EQ(bocu1Prev(c.c), c.prev) << std::hex << c.c;
}

TEST(Bocu1Test, EncodeBocu1State) {
  int32_t prev = 0;
  EXPECT_EQ(encodeBocu1(&prev, 0x430), packDiff(0x430 - 0x40));
  EXPECT_EQ(prev, 0x440);
  EXPECT_EQ(encodeBocu1(&prev, 0x20), 0x01000020);
  EXPECT_EQ(prev, 0x440) << "a space keeps the reference";
  EXPECT_EQ(encodeBocu1(&prev, 0x0A), 0x0100000A);
  EXPECT_EQ(prev, 0x40);
  EXPECT_EQ(encodeBocu1(&prev, 0x110000), 0);
  EXPECT_EQ(encodeBocu1(&prev, -1), 0);
  EXPECT_EQ(prev, 0x40) << "out-of-range code points leave the state";
}

TEST(Bocu1Test, TrailTablesAreInverse) {
  const std::vector<int> neverTrail = {0x00, 0x07, 0x08, 0x09, 0x0A, 0x0B, 0x0C,
                                       0x0D, 0x0E, 0x0F, 0x1A, 0x1B, 0x20};
  int used = 0;
  for (int b = 0; b <= 0x20; ++b) {
    bool excluded = std::find(neverTrail.begin(), neverTrail.end(), b) != neverTrail.end();
    EXPECT_EQ(bocu1ByteToTrail[b] < 0, excluded) << b;
    if (!excluded) {
      ++used;
      EXPECT_EQ(bocu1TrailToByte[bocu1ByteToTrail[b]], b);
    }
  }
  EXPECT_EQ(used, 20);
}

}  // namespace
}  // namespace lexor
