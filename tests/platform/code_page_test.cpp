#include "platform/code_page.h"

#include <gtest/gtest.h>

#include <thread>

namespace lexor {
namespace {

std::optional<UString> decode(CodePage page, std::string_view bytes) {
  return decodeCodePage(page, reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
}

size_t prefix(CodePage page, std::string_view bytes, size_t limit) {
  return wholeCharacterPrefix(page, reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(),
                              limit);
}

TEST(CodePage, FromCoreFoundationConstants) {
  // Mac Roman's constant is 0, which must not become "no code page".
  EXPECT_EQ(codePageFromCoreFoundation(0), kCodePageMacRoman);
  EXPECT_EQ(codePageFromCoreFoundation(0x500), kCodePageWindowsLatin1);
  EXPECT_EQ(codePageFromCoreFoundation(0x504), kCodePageWindowsLatin5);
  EXPECT_EQ(codePageFromCoreFoundation(0x506), kCodePageWindowsArabic);
  EXPECT_EQ(codePageFromCoreFoundation(25), kCodePageMacChineseSimp);
}

// A word native to each code page, with its bytes there.
struct NativeWord {
  const char* name;
  CodePage page;
  UString text;
  std::string bytes;
};

const NativeWord kNativeWords[] = {
    {"Shift_JIS", kCodePageShiftJIS, u"\u8F9E\u66F8", "\x8E\xAB\x8F\x91"},
    {"Shift_JIS as cp932", kCodePageShiftJIS, u"\u2460\uFF5E", "\x87\x40\x81\x60"},
    {"Shift_JIS keeps ASCII", kCodePageShiftJIS, u"\\~", "\\~"},
    {"Mac Roman", kCodePageMacRoman, u"caf\u00E9 \u221A\u03C0", "caf\x8E \xC3\xB9"},
    {"Windows Latin 1", kCodePageWindowsLatin1, u"na\u00EFve \u20AC", "na\xEFve \x80"},
    {"Windows Latin 2", kCodePageWindowsLatin2, u"\u0141\u00F3d\u017A",
     "\xA3\xF3"
     "d\x9F"},
    {"Windows Greek", kCodePageWindowsGreek, u"\u03BB\u03AD\u03BE\u03B7", "\xEB\xDD\xEE\xE7"},
    {"Windows Latin 5", kCodePageWindowsLatin5, u"\u0130stanbul \u011F\u015F",
     "\xDDstanbul \xF0\xFE"},
    {"Windows Arabic", kCodePageWindowsArabic, u"\u0642\u0627\u0645\u0648\u0633",
     "\xDE\xC7\xE3\xE6\xD3"},
    {"Mac Traditional Chinese", kCodePageMacChineseTrad, u"\u5B57\u5178", "\xA6\x72\xA8\xE5"},
    {"Mac Korean", kCodePageMacKorean, u"\uC0AC\uC804", "\xBB\xE7\xC0\xFC"},
    {"Mac Thai", kCodePageMacThai, u"\u0E1E\u0E08\u0E19", "\xBE\xA8\xB9"},
    {"Mac Simplified Chinese", kCodePageMacChineseSimp, u"\u8BCD\u5178", "\xB4\xCA\xB5\xE4"},
};

TEST(CodePage, NativeWordsRoundTrip) {
  for (const auto& word : kNativeWords) {
    SCOPED_TRACE(word.name);
    EXPECT_EQ(encodeCodePage(word.page, word.text), word.bytes);
    EXPECT_EQ(decode(word.page, word.bytes), word.text);
    EXPECT_EQ(encodeCodePage(word.page, u"abc"), "abc");
    EXPECT_EQ(encodeCodePage(word.page, u""), "");
    EXPECT_EQ(decode(word.page, ""), u"");
  }
}

TEST(CodePage, InvalidBytesAndUnmappableCharactersFail) {
  const UString loneSurrogate(1, char16_t{0xD800});
  const struct {
    const char* name;
    CodePage page;
    std::string invalidBytes;
    UString unmappable;
  } cases[] = {
      {"Shift_JIS lead byte at the end", kCodePageShiftJIS, "a\x82", u"\U0001F600"},
      {"Shift_JIS bad trail byte", kCodePageShiftJIS, "\x82\x20", u"\u0E1E"},
      {"Shift_JIS unassigned byte", kCodePageShiftJIS, "\xA0", u"\u00E9"},
      {"Windows Greek", kCodePageWindowsGreek, "\xD2", u"\u0416"},
      {"Mac Korean", kCodePageMacKorean, "\xBB", u"\u0E1E"},
      {"Mac Traditional Chinese", kCodePageMacChineseTrad, "\xA6\x20", u"\u0E1E"},
      {"Mac Simplified Chinese", kCodePageMacChineseSimp, "a\x81", u"\u0E1E"},
      // The single-byte tables give every byte a character (the Windows ones map their gaps to
      // the C1 controls), so only encoding can fail there.
      {"Windows Latin 1", kCodePageWindowsLatin1, "", u"\u8F9E"},
      {"Windows Latin 2", kCodePageWindowsLatin2, "", u"\u00C6"},
      {"Windows Latin 5", kCodePageWindowsLatin5, "", u"\u0141"},
      {"Windows Arabic", kCodePageWindowsArabic, "", u"\u05D0"},
      {"Mac Thai", kCodePageMacThai, "", u"\u00E9"},
      {"Mac Roman", kCodePageMacRoman, "", u"\u8F9E"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    if (!c.invalidBytes.empty()) EXPECT_EQ(decode(c.page, c.invalidBytes), std::nullopt);
    EXPECT_EQ(encodeCodePage(c.page, u"a" + c.unmappable), std::nullopt);
    EXPECT_EQ(encodeCodePage(c.page, loneSurrogate), std::nullopt);
  }
}

TEST(CodePage, NoCodePageAndUnknownPagesAlwaysFail) {
  for (CodePage page : {kCodePageNone, CodePage{1}, CodePage{0x80000502}, CodePage{0xFFFFFFFF}}) {
    SCOPED_TRACE(page);
    EXPECT_EQ(decode(page, "abc"), std::nullopt);
    EXPECT_EQ(decode(page, ""), std::nullopt);
    EXPECT_EQ(encodeCodePage(page, u"abc"), std::nullopt);
    EXPECT_EQ(prefix(page, "abc", 2), 0u);
  }
}

TEST(CodePage, WholeCharacterPrefixNeverSplitsACharacter) {
  // 'a', then three two-byte characters, then a half-width katakana (one byte).
  const std::string bytes = *encodeCodePage(kCodePageShiftJIS, u"a\u3042\u3044\u3046\uFF71");
  ASSERT_EQ(bytes.size(), 8u);
  const size_t expected[] = {0, 1, 1, 3, 3, 5, 5, 7, 8, 8};
  for (size_t limit = 0; limit < std::size(expected); ++limit) {
    SCOPED_TRACE(limit);
    const size_t cut = prefix(kCodePageShiftJIS, bytes, limit);
    EXPECT_EQ(cut, expected[limit]);
    EXPECT_TRUE(decode(kCodePageShiftJIS, bytes.substr(0, cut)).has_value());
  }
  // A second byte in the ASCII range still belongs to its lead byte.
  EXPECT_EQ(prefix(kCodePageShiftJIS, "\x83\x41\x83\x41", 3), 2u);
  EXPECT_EQ(prefix(kCodePageWindowsLatin1, "abcdef", 4), 4u);
  EXPECT_EQ(prefix(kCodePageMacChineseSimp, "\xB4\xCA\xB5\xE4", 3), 2u);
  // Invalid bytes end the prefix: nothing after them is a known character.
  EXPECT_EQ(prefix(kCodePageShiftJIS, "ab\x82", 3), 2u);
}

TEST(CodePage, ConvertersServeSeveralThreads) {
  auto convertAll = [] {
    for (int i = 0; i < 200; ++i) {
      for (const auto& word : kNativeWords) {
        if (decode(word.page, word.bytes) != word.text) return false;
      }
    }
    return true;
  };
  bool results[4] = {};
  std::vector<std::thread> threads;
  for (bool& result : results)
    threads.emplace_back([&result, &convertAll] { result = convertAll(); });
  for (auto& thread : threads) thread.join();
  for (bool result : results) EXPECT_TRUE(result);
}

}  // namespace
}  // namespace lexor
