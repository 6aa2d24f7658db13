#include "platform/ustring.h"

#include <gtest/gtest.h>

#include <climits>

namespace lexor {
namespace {

TEST(Utf8Conversion, RoundTripsEveryPlane) {
  const UString text = u"a\u00E9\u8F9E\U0001D7CE";
  EXPECT_EQ(toUtf8(text), "a\xC3\xA9\xE8\xBE\x9E\xF0\x9D\x9F\x8E");
  EXPECT_EQ(fromUtf8(toUtf8(text)), text);
  EXPECT_EQ(toUtf8(u""), "");
  EXPECT_EQ(fromUtf8(""), u"");
}

TEST(Utf8Conversion, MalformedInputBecomesReplacementCharacters) {
  EXPECT_EQ(fromUtf8("a\xFF"
                     "b"),
            u"a\uFFFDb");
  EXPECT_EQ(fromUtf8("ab\xC3"), u"ab\uFFFD");  // cut inside a sequence
  EXPECT_EQ(fromUtf8(std::string_view("a\0b", 3)), UString(u"a\0b", 3));
  const UString loneLead(1, char16_t{0xD835});
  EXPECT_EQ(toUtf8(loneLead + u"x"), "\xEF\xBF\xBDx");
  const UString loneTrail(1, char16_t{0xDC00});
  EXPECT_EQ(toUtf8(u"x" + loneTrail), "x\xEF\xBF\xBD");
}

TEST(Lowercase, IsFullUnicodeLowerCasing) {
  const struct {
    UString in, out;
  } cases[] = {
      {u"\u00C0MBORA52.DIC", u"\u00E0mbora52.dic"},
      {u"\u0130", u"i\u0307"},                                     // one character, two units lower
      {u"\u039F\u0394\u039F\u03A3", u"\u03BF\u03B4\u03BF\u03C2"},  // final sigma
      {u"\U00010400", u"\U00010428"},                              // outside the basic plane
      {u"already lower 123", u"already lower 123"},
      {u"", u""},
  };
  for (const auto& c : cases) EXPECT_EQ(lowercase(c.in), c.out) << toUtf8(c.in);
}

TEST(CharacterSets, MembershipFollowsGeneralCategories) {
  const struct {
    char32_t c;
    bool digit, whitespace, whitespaceAndNewline;
  } cases[] = {
      {U'7', true, false, false},      {0x0663, true, false, false},  // Arabic-Indic three
      {0xFF11, true, false, false},                                   // full-width one
      {0x1D7CE, true, false, false},  // mathematical bold zero, a supplementary Nd
      {0x00B2, false, false, false},  // superscript two is No, not Nd
      {0x2160, false, false, false},  // Roman numeral one is Nl
      {U'a', false, false, false},     {U' ', false, true, true},
      {U'\t', false, true, false},  // the tab is white space but not in the wider set
      {0x00A0, false, true, true},     {0x3000, false, true, true},  // ideographic space
      {U'\n', false, false, true},     {U'\r', false, false, true},
      {0x0085, false, false, true},    {0x2028, false, false, true},  // line separator, Zl
      {0x2029, false, false, true},                                   // paragraph separator, Zp
      {0x200B, false, false, false},                                  // zero width space is Cf
      {0x110000, false, false, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(static_cast<uint32_t>(c.c));
    EXPECT_EQ(isMember(CharacterSet::kDecimalDigit, c.c), c.digit);
    EXPECT_EQ(isMember(CharacterSet::kWhitespace, c.c), c.whitespace);
    EXPECT_EQ(isMember(CharacterSet::kWhitespaceAndNewline, c.c), c.whitespaceAndNewline);
  }
}

TEST(CharacterSets, FindFirstOfCountsUnitsAndJoinsPairs) {
  const UString loneLead(1, char16_t{0xD835});
  const struct {
    UString text;
    CharacterSet set;
    size_t expected;
  } cases[] = {
      {u"ambora52", CharacterSet::kDecimalDigit, 6},
      {u"ambora", CharacterSet::kDecimalDigit, UString::npos},
      {u"", CharacterSet::kDecimalDigit, UString::npos},
      {u"\U0001D400x\U0001D7CE", CharacterSet::kDecimalDigit, 3},
      {loneLead + u"5", CharacterSet::kDecimalDigit, 1},
      {u"ab\ncd ef", CharacterSet::kWhitespace, 5},
      {u"ab\ncd ef", CharacterSet::kWhitespaceAndNewline, 2},
      {u"x\u3000y", CharacterSet::kWhitespace, 1},
  };
  for (const auto& c : cases) EXPECT_EQ(findFirstOf(c.text, c.set), c.expected) << toUtf8(c.text);
}

TEST(IntValue, ReadsTheLeadingDecimalInteger) {
  const struct {
    UString text;
    int32_t expected;
  } cases[] = {
      {u"52", 52},
      {u"  52", 52},
      {u"\u3000\u2028\n\t 12", 12},
      {u"\t-4", -4},
      {u"+7", 7},
      {u"-3x", -3},
      {u"5.", 5},
      {u"0052", 52},
      {u"12 34", 12},
      {u".d", 0},
      {u"", 0},
      {u"+-3", 0},
      {u"- 3", 0},
      {u"\u0663", 0},  // only ASCII digits count
      {u"2147483648", INT32_MAX},
      {u"99999999999", INT32_MAX},
      {u"99999999999999999999999999", INT32_MAX},
      {u"-2147483648", INT32_MIN},
      {u"-99999999999", INT32_MIN},
  };
  for (const auto& c : cases) EXPECT_EQ(intValue(c.text), c.expected) << toUtf8(c.text);
}

TEST(HasSuffix, IsAnAnchoredBackwardMatch) {
  EXPECT_TRUE(hasSuffix(u"espana3-uni", u"-uni"));
  EXPECT_FALSE(hasSuffix(u"uni", u"-uni"));
  EXPECT_FALSE(hasSuffix(u"-uni.dic", u"-uni"));
  EXPECT_FALSE(hasSuffix(u"-UNI", u"-uni"));
}

}  // namespace
}  // namespace lexor
