#include "platform/ustring.h"

#include <gtest/gtest.h>

#include <climits>

namespace lexor {
namespace {

TEST(Utf8Conversion, RoundTripsAndReplacesWhatIsMalformed) {
  const UString text = u"a\u00E9\u8F9E\U0001D7CE";
  EXPECT_EQ(toUtf8(text), "a\xC3\xA9\xE8\xBE\x9E\xF0\x9D\x9F\x8E");
  EXPECT_EQ(fromUtf8(toUtf8(text)), text);
  EXPECT_EQ(fromUtf8("ab\xC3"), u"ab\uFFFD");  // cut inside a sequence
  EXPECT_EQ(fromUtf8(std::string_view("a\0b", 3)), UString(u"a\0b", 3));
  EXPECT_EQ(toUtf8(u"x" + UString(1, char16_t{0xDC00})), "x\xEF\xBF\xBD");
}

TEST(Lowercase, IsFullUnicodeLowerCasing) {
  const struct {
    UString in, out;
  } cases[] = {
      {u"\u00C0MBORA52.DIC", u"\u00E0mbora52.dic"},
      {u"\u0130", u"i\u0307"},                                     // one character, two units lower
      {u"\u039F\u0394\u039F\u03A3", u"\u03BF\u03B4\u03BF\u03C2"},  // final sigma
  };
  for (const auto& c : cases) EXPECT_EQ(lowercase(c.in), c.out) << toUtf8(c.in);
}

// Each text with where the first digit, white space and white-space-or-newline stand (in UTF-16
// units), and the integer it starts with.
TEST(CharacterSets, FirstMemberAndIntValue) {
  constexpr size_t N = UString::npos;
  const UString loneLead(1, char16_t{0xD835});
  const struct {
    UString text;
    size_t digit, space, spaceOrNewline;
    int32_t value;
  } cases[] = {
      {u"\u0663", 0, N, N, 0},  // an Arabic-Indic digit is a digit, but intValue reads only ASCII
      {u"x\U0001D400\U0001D7CE", 3, N, N, 0},  // pairs are joined
      {loneLead + u"5", 1, N, N, 0},
      {u"\u00B2\u2160a", N, N, N, 0},  // No and Nl are not Nd
      {u"\u00A0+7", 2, 0, 0, 7},
      {u"\t-4", 2, 0, N, -4},  // tab: white space, not the wider set
      {u"\u3000\u2028\n\t 12", 5, 0, 0, 12},
      {u"\n\r\u0085\u2028\u2029 7", 6, 5, 0, 7},  // intValue skips the wider set (and tab)
      {u"ab\ncd ef", N, 5, 2, 0},
      {u"-3x", 1, N, N, -3},
      {u"", N, N, N, 0},
      {u"+-3", 2, N, N, 0},
      {u"2147483648", 0, N, N, INT32_MAX},
      {u"-99999999999", 1, N, N, INT32_MIN},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(toUtf8(c.text));
    EXPECT_EQ(findFirstOf(c.text, CharacterSet::kDecimalDigit), c.digit);
    EXPECT_EQ(findFirstOf(c.text, CharacterSet::kWhitespace), c.space);
    EXPECT_EQ(findFirstOf(c.text, CharacterSet::kWhitespaceAndNewline), c.spaceOrNewline);
    EXPECT_EQ(intValue(c.text), c.value);
  }
  EXPECT_FALSE(isMember(CharacterSet::kDecimalDigit, 0x110000));
}

}  // namespace
}  // namespace lexor
