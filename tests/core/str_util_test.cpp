#include "core/str_util.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace lexor {
namespace {

using Bytes = std::vector<uint8_t>;

TEST(BuildPinyinStr, ToneDigitsBecomeMarks) {
  const struct {
    const char16_t* syllables;
    const char16_t* expected;
  } cases[] = {
      {u"zhong1guo2", u"zh\u014Dng gu\u00F3"},
      {u"hao3", u"h\u01CEo"},  // ao: mark on a
      {u"lv4", u"l\u01DC"},    // v is u-umlaut
      {u"gui4", u"gu\u00EC"},  // ui: mark on the last vowel
      {u"liu2", u"li\u00FA"},
      {u"dou1", u"d\u014Du"},  // ou: mark on o
      {u"mei2", u"m\u00E9i"},  // ei: mark on e
      {u"ai4", u"\u00E0i"},
      {u"xie4xie5", u"xi\u00E8 xie5"},  // 5 is no tone digit
      {u"m2", u"m"},                    // no vowel: the digit only becomes a space, then is dropped
      {u"Ai4", u"A\u00EC"},             // capitals are no vowels
      {u"n\u00FC3", u"n\u00FC"},        // a given u-umlaut is no vowel either
      {u"ma0", u"ma0"},
      {u"1a", u" a"},
      {u"a1 ", u"\u0101 "},  // only one trailing space is dropped
      {u"ma1ma", u"m\u0101 ma"},
  };
  for (const auto& c : cases) {
    const UString input = c.syllables;
    EXPECT_EQ(toUtf8(buildPinyinStr(input.data(), static_cast<int32_t>(input.size()))),
              toUtf8(c.expected))
        << toUtf8(input);
  }
}

TEST(BuildPinyinStr, ReadsOnlyTheGivenUnitsAndRejectsBadLengths) {
  const UString input = u"hao3ma";
  EXPECT_EQ(buildPinyinStr(input.data(), 4), u"h\u01CEo");
  EXPECT_EQ(buildPinyinStr(input.data(), 0), u"");
  EXPECT_EQ(buildPinyinStr(input.data(), -1), u"");
  EXPECT_EQ(buildPinyinStr(nullptr, 5), u"");
}

TEST(Accentuer, TableAndBounds) {
  EXPECT_EQ(accentuer(u'a', 0), u'a');
  EXPECT_EQ(accentuer(u'a', 1), u'\u0101');
  EXPECT_EQ(accentuer(u'e', 3), u'\u011B');
  EXPECT_EQ(accentuer(u'o', 4), u'\u00F2');
  EXPECT_EQ(accentuer(u'v', 0), u'\u00FC');
  EXPECT_EQ(accentuer(u'\u00FC', 2), u'\u01D8');
  EXPECT_EQ(accentuer(u'a', 5), u'a');
  EXPECT_EQ(accentuer(u'v', 5), u'v');
  EXPECT_EQ(accentuer(u'a', 0xFFFFFFFFu), u'a');
  EXPECT_EQ(accentuer(u'b', 2), u'b');
  EXPECT_EQ(accentuer(u'A', 2), u'A');
}

TEST(Escape0A, RewritesCrLfPairsInPlace) {
  const struct {
    Bytes input;
    Bytes expected;
  } cases[] = {
      {{0x0D, 0x0A, 0x0D, 0x0A}, {0x3C, 0x3E, 0x3C, 0x3E}},
      {{0x0A, 0x0D, 0x0A}, {0x0A, 0x3C, 0x3E}},
      {{'a', 0x0D}, {'a', 0x0D}},  // CR at the last position
      {{0x0D, 0x0D, 0x0A}, {0x0D, 0x3C, 0x3E}},
      {{0x0A, 0x0D}, {0x0A, 0x0D}},
      {{0x0D}, {0x0D}},
  };
  for (const auto& c : cases) {
    Bytes buffer = c.input;
    escape0A(buffer.data(), static_cast<int32_t>(buffer.size()));
    EXPECT_EQ(buffer, c.expected);
  }
}

TEST(Escape0A, StaysInsideTheGivenLength) {
  Bytes buffer = {'a', 0x0D, 0x0A};
  escape0A(buffer.data(), 2);  // the pair straddles the end
  EXPECT_EQ(buffer, (Bytes{'a', 0x0D, 0x0A}));
  escape0A(buffer.data(), -5);
  escape0A(buffer.data(), INT32_MIN);
  EXPECT_EQ(buffer, (Bytes{'a', 0x0D, 0x0A}));
  escape0A(nullptr, 10);
}

TEST(Omit0A, RemovesLineFeeds) {
  Bytes buffer = {'a', 0x0A, 'b', 0x0A};
  EXPECT_EQ(omit0A(buffer.data(), 4), 2);
  EXPECT_EQ(buffer, (Bytes{'a', 'b', 0, 0x0A}));

  Bytes plain = {'a', 'b', 'c', 'X'};
  EXPECT_EQ(omit0A(plain.data(), 3), 3);
  EXPECT_EQ(plain, (Bytes{'a', 'b', 'c', 'X'}));  // nothing removed, no NUL written

  Bytes onlyFeeds = {0x0A, 0x0A, 'X'};
  EXPECT_EQ(omit0A(onlyFeeds.data(), 2), 0);
  EXPECT_EQ(onlyFeeds, (Bytes{0, 0x0A, 'X'}));

  EXPECT_EQ(omit0A(plain.data(), 0), 0);
  EXPECT_EQ(omit0A(plain.data(), -1), 0);
  EXPECT_EQ(omit0A(nullptr, 4), 0);
  EXPECT_EQ(plain, (Bytes{'a', 'b', 'c', 'X'}));
}

TEST(Sil2NSString, MapsBytesThroughThePhoneticTable) {
  const uint8_t text[] = {0x61, 0x40, 0x80, 0x20, 0xFF, 0x00, 0x61};
  EXPECT_EQ(sil2NSString(text), (UString{u'a', u'\u0301', u'\0', u' ', u'\u0288'}));
  EXPECT_EQ(sil2NSString(nullptr), std::nullopt);
  const uint8_t empty[] = {0x00};
  EXPECT_EQ(sil2NSString(empty), u"");

  EXPECT_EQ(sil2NSString(text, 3), (UString{u'a', u'\u0301', u'\0'}));     // 0x80 has no character
  EXPECT_EQ(sil2NSString(text, sizeof text), sil2NSString(text).value());  // stops at the NUL
  EXPECT_EQ(sil2NSString(text, 0), u"");
  EXPECT_EQ(sil2NSString(nullptr, 4), u"");
}

TEST(Sil2NSString, TableLandmarks) {
  for (int byte = 0; byte < 0x20; ++byte) EXPECT_EQ(sil_unicode_table[byte], 0) << byte;
  EXPECT_EQ(sil_unicode_table[0x20], u' ');
  for (int byte = 0x61; byte <= 0x7A; ++byte) EXPECT_EQ(sil_unicode_table[byte], byte) << byte;
  EXPECT_EQ(sil_unicode_table[0x7F], 0);
  EXPECT_EQ(sil_unicode_table[0xAF], 0x0152);
  EXPECT_EQ(sil_unicode_table[0xCC], 0x2197);
  EXPECT_EQ(sil_unicode_table[0xFF], 0x0288);
}

}  // namespace
}  // namespace lexor
