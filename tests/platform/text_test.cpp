// Text in the platform layer: legacy code pages, UTF-8 and case, character sets, and the log.
#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "platform/code_page.h"
#include "platform/log.h"
#include "platform/ustring.h"

namespace lexor {
namespace {

std::optional<UString> decode(CodePage page, std::string_view bytes) {
  return decodeCodePage(page, reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
}

size_t prefix(CodePage page, std::string_view bytes, size_t limit) {
  return wholeCharacterPrefix(page, reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(),
                              limit);
}

// One word native to each code page, with its bytes there.
const std::tuple<CodePage, UString, std::string> kNativeWords[] = {
    // Shift_JIS is read as cp932: circled digits and the wave dash, and '\' stays a backslash.
    {kCodePageShiftJIS, u"\u8F9E\u66F8\u2460\uFF5E\\~", "\x8E\xAB\x8F\x91\x87\x40\x81\x60\\~"},
    {kCodePageMacRoman, u"caf\u00E9 \u221A\u03C0", "caf\x8E \xC3\xB9"},
    {kCodePageWindowsLatin1, u"na\u00EFve \u20AC", "na\xEFve \x80"},
    {kCodePageWindowsLatin2, u"\u0141\u00F3d\u017A", "\xA3\xF3\x64\x9F"},
    {kCodePageWindowsGreek, u"\u03BB\u03AD\u03BE\u03B7", "\xEB\xDD\xEE\xE7"},
    {kCodePageWindowsLatin5, u"\u0130stanbul \u011F\u015F", "\xDDstanbul \xF0\xFE"},
    {kCodePageWindowsArabic, u"\u0642\u0627\u0645\u0648\u0633", "\xDE\xC7\xE3\xE6\xD3"},
    {kCodePageMacChineseTrad, u"\u5B57\u5178", "\xA6\x72\xA8\xE5"},
    {kCodePageMacKorean, u"\uC0AC\uC804", "\xBB\xE7\xC0\xFC"},
    {kCodePageMacThai, u"\u0E1E\u0E08\u0E19", "\xBE\xA8\xB9"},
    {kCodePageMacChineseSimp, u"\u8BCD\u5178", "\xB4\xCA\xB5\xE4"},
};

TEST(CodePage, NativeWordsRoundTrip) {
  for (const auto& [page, text, bytes] : kNativeWords) {
    SCOPED_TRACE(page);
    EXPECT_EQ(encodeCodePage(page, text), bytes);
    EXPECT_EQ(decode(page, bytes), text);
    EXPECT_EQ(decode(page, ""), u"");
  }
}

TEST(CodePage, InvalidBytesUnmappableCharactersAndUnknownPagesFail) {
  const std::pair<CodePage, std::string> invalid[] = {{kCodePageShiftJIS, "a\x82"},
                                                      {kCodePageShiftJIS, "\x82\x20"},
                                                      {kCodePageWindowsGreek, "\xD2"},
                                                      {kCodePageMacKorean, "\xBB"}};
  for (const auto& [page, bytes] : invalid) EXPECT_EQ(decode(page, bytes), std::nullopt) << page;
  // Near neighbours that a best-fit mapping would take, and what no legacy page holds.
  const std::pair<CodePage, UString> unmappable[] = {{kCodePageShiftJIS, u"\u00E9"},
                                                     {kCodePageWindowsGreek, u"\u0416"},
                                                     {kCodePageWindowsLatin5, u"\u0141"}};
  for (const auto& [page, text] : unmappable)
    EXPECT_EQ(encodeCodePage(page, u"a" + text), std::nullopt) << page;
  EXPECT_EQ(encodeCodePage(kCodePageShiftJIS, u"a\U0001F600"), std::nullopt);
  EXPECT_EQ(encodeCodePage(kCodePageWindowsLatin1, UString(1, char16_t{0xD800})), std::nullopt);
  for (CodePage page : {kCodePageNone, CodePage{0x80000502}}) {
    EXPECT_EQ(decode(page, "abc"), std::nullopt);
    EXPECT_EQ(encodeCodePage(page, u"abc"), std::nullopt);
    EXPECT_EQ(prefix(page, "abc", 2), 0u);
  }
}

TEST(CodePage, WholeCharacterPrefixNeverSplitsACharacter) {
  // 'a', then three two-byte characters, then a half-width katakana (one byte).
  const std::string bytes = *encodeCodePage(kCodePageShiftJIS, u"a\u3042\u3044\u3046\uFF71");
  const size_t expected[] = {0, 1, 1, 3, 3, 5, 5, 7, 8, 8};
  for (size_t limit = 0; limit < std::size(expected); ++limit) {
    EXPECT_EQ(prefix(kCodePageShiftJIS, bytes, limit), expected[limit]) << limit;
  }
  EXPECT_EQ(prefix(kCodePageShiftJIS, "\x83\x41\x83\x41", 3), 2u);  // an ASCII-range trail byte
  EXPECT_EQ(prefix(kCodePageShiftJIS, "ab\x82", 3), 2u);            // invalid bytes end the prefix
}

TEST(Utf8Conversion, RoundTripsAndReplacesWhatIsMalformed) {
  const UString text = u"a\u00E9\u8F9E\U0001D7CE";
  EXPECT_EQ(toUtf8(text), "a\xC3\xA9\xE8\xBE\x9E\xF0\x9D\x9F\x8E");
  EXPECT_EQ(fromUtf8(toUtf8(text)), text);
  EXPECT_EQ(fromUtf8("ab\xC3"), u"ab\uFFFD");  // cut inside a sequence
  EXPECT_EQ(fromUtf8(std::string_view("a\0b", 3)), UString(u"a\0b", 3));
  EXPECT_EQ(toUtf8(u"x" + UString(1, char16_t{0xDC00})), "x\xEF\xBF\xBD");
}

TEST(Lowercase, IsFullUnicodeLowerCasing) {
  const std::pair<UString, UString> cases[] = {
      {u"\u00C0MBORA52.DIC", u"\u00E0mbora52.dic"},
      {u"\u0130", u"i\u0307"},                                     // one character, two units lower
      {u"\u039F\u0394\u039F\u03A3", u"\u03BF\u03B4\u03BF\u03C2"},  // final sigma
  };
  for (const auto& [in, out] : cases) EXPECT_EQ(lowercase(in), out) << toUtf8(in);
}

// Each text with where the first digit, white space and white-space-or-newline stand (in UTF-16
// units), and the integer it starts with.
TEST(CharacterSets, FirstMemberAndIntValue) {
  constexpr size_t N = UString::npos;
  const UString loneLead(1, char16_t{0xD835});
  const std::tuple<UString, size_t, size_t, size_t, int32_t> cases[] = {
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
  for (const auto& [text, digit, space, spaceOrNewline, value] : cases) {
    SCOPED_TRACE(toUtf8(text));
    EXPECT_EQ(findFirstOf(text, CharacterSet::kDecimalDigit), digit);
    EXPECT_EQ(findFirstOf(text, CharacterSet::kWhitespace), space);
    EXPECT_EQ(findFirstOf(text, CharacterSet::kWhitespaceAndNewline), spaceOrNewline);
    EXPECT_EQ(intValue(text), value);
  }
  EXPECT_FALSE(isMember(CharacterSet::kDecimalDigit, 0x110000));
}

using Lines = std::vector<std::string>;

TEST(Log, CapturingSinksTakeLinesExactlyAndNest) {
  CapturingLogSink outer;
  logFormat("resolveAlias(%s)", "/home/\xC3\xA9/Library/Lexor");
  {
    CapturingLogSink inner;
    logFormat("needle too long, maybe.\n");
    EXPECT_EQ(inner.lines(), Lines{"needle too long, maybe.\n"});
  }
  const std::string path(5000, 'x');  // longer than any fixed buffer
  logFormat("cannot get filehandle for path %s\n", path.c_str());
  EXPECT_EQ(outer.lines(), (Lines{"resolveAlias(/home/\xC3\xA9/Library/Lexor)",
                                  "cannot get filehandle for path " + path + "\n"}));
  silenceLog();
  logLine("dropped");
  EXPECT_EQ(outer.lines().size(), 2u);
}

TEST(Log, DefaultSinkEndsEveryLineWithOneLineFeed) {
  setLogSink(nullptr);
  ::testing::internal::CaptureStderr();
  logFormat(": bResult=%s", "f");
  logFormat("needle too long, maybe.\n");
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), ": bResult=f\nneedle too long, maybe.\n");
}

}  // namespace
}  // namespace lexor
