#include "platform/code_page.h"

#include <gtest/gtest.h>

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
const struct NativeWord {
  CodePage page;
  UString text;
  std::string bytes;
} kNativeWords[] = {
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
  for (const auto& word : kNativeWords) {
    SCOPED_TRACE(word.page);
    EXPECT_EQ(encodeCodePage(word.page, word.text), word.bytes);
    EXPECT_EQ(decode(word.page, word.bytes), word.text);
    EXPECT_EQ(decode(word.page, ""), u"");
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

}  // namespace
}  // namespace lexor
