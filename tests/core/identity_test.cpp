// Which dictionary a file name names (signature, display name, code pages), and the text helpers
// of record decoding.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/dic_identity.h"
#include "core/dic_tables.h"
#include "core/str_util.h"

namespace lexor {
namespace {

using Bytes = std::vector<uint8_t>;

std::string codeText(Signature s) {
  std::string text = "'";
  for (int shift = 24; shift >= 0; shift -= 8) text += static_cast<char>((s >> shift) & 0xFF);
  return text + "'";
}

TEST(DicSignature, FromFileNames) {
  const Signature kNo = kNoSignature, kUnknown = kUnknownSignature;
  const struct {
    UString path;
    Signature expected;
  } cases[] = {
      // Lower-cased before the split; exact key match only; the extension is not looked at.
      {u"AMBORA52.DIC", fourCharCode("EJam")},
      {u"ambora52-uni.dic", fourCharCode("EJam")},
      {u"ambora-x.dic", kUnknown},
      {u"52ambora.dic", kUnknown},  // empty file key
      {u"xray.dic", kUnknown},      // first character outside 'a' to 'w'
      // Length limits count UTF-16 units.
      {u"x.dic", kUnknown},
      {u".dic", kNo},
      {u"a\U0001F600.d", kUnknown},    // 4 characters but 5 units
      {u"\U0001F600\U0001F600", kNo},  // 2 characters, 4 units
      // Only the last path component counts.
      {u"/home/u/Library/Lexor/REVORA.dic/", fourCharCode("JErv")},
      // Conditional rows.
      {u"JAES02.DIC", fourCharCode("Jes2")},
      {u"jaes20.dic", fourCharCode("Jes1")},
      {u"jaes4294967298.dic", fourCharCode("Jes1")},  // 2^32 + 2 must not wrap to 2
      {u"ESPANA3-UNI.DIC", fourCharCode("SJeU")},
      {u"espana3-unix.dic", fourCharCode("SJes")},
      {u"gdig1w.dic", fourCharCode("IJgw")},
      {u"gdigw.dic", kUnknown},
      // Digits of category Nd other than ASCII end the key and count with their value.
      {u"jaes\uFF12.dic", fourCharCode("Jes2")},      // full-width 2
      {u"jaes\U0001D7D0.dic", fourCharCode("Jes2")},  // mathematical bold 2, outside the BMP
      // A surrogate cut in half by the 4 dropped units.
      {u"ambora\U0001F600dic", kUnknown},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(codeText(getDicSignatureFromPath(c.path)), codeText(c.expected))
        << "path " << toUtf8(c.path);
  }
  EXPECT_EQ(getDicSignatureFromPath(std::nullopt), kNoSignature);
}

// Every key of the table is reachable by its file name, and every signature a key yields has a
// display name and code pages; signatures match case-sensitively, and without a row have no name.
// (The code pages a file name chooses are checked where the recordset reads dictionaries by them.)
TEST(DicSignature, EveryKeyLeadsToANameAndCodePages) {
  for (const FileKeyRow& row : fileKeyTable()) {
    const UString name = u"dir/" + UString(row.key) + u"7.DIC";
    EXPECT_EQ(codeText(getDicSignatureFromPath(name)), codeText(row.signature)) << toUtf8(name);
    for (Signature s : {row.signature, row.alternative}) {
      if (s == kNoSignature) continue;
      const std::optional<UString> title = getDicNameFromSignature(s);
      EXPECT_TRUE(title && !title->empty() && title->find(u'\uFFFD') == UString::npos)
          << codeText(s);
      EXPECT_NE(findCodePageRow(s), nullptr) << codeText(s);
    }
  }
  for (Signature s : {kUnknownSignature, fourCharCode("EJAM")})
    EXPECT_EQ(getDicNameFromSignature(s), std::nullopt) << codeText(s);
}

TEST(BuildPinyinStr, ToneDigitsBecomeMarks) {
  const std::pair<UString, UString> cases[] = {
      {u"lv4", u"l\u01DC"},             // v is u-umlaut
      {u"gui4", u"gu\u00EC"},           // ui: mark on the last vowel
      {u"mei2", u"m\u00E9i"},           // ei: mark on e
      {u"xie4xie5", u"xi\u00E8 xie5"},  // 5 is no tone digit
      {u"m2", u"m"},                    // no vowel: the digit only becomes a space, then is dropped
      {u"Ai4", u"A\u00EC"},             // capitals are no vowels
      {u"a1 ", u"\u0101 "},             // only one trailing space is dropped
  };
  for (const auto& [in, out] : cases)
    EXPECT_EQ(toUtf8(buildPinyinStr(in.data(), static_cast<int32_t>(in.size()))), toUtf8(out))
        << toUtf8(in);
  EXPECT_EQ(toUtf8(buildPinyinStr(u"hao3ma", 4)), toUtf8(u"h\u01CEo"));  // the length, not the NUL
  EXPECT_EQ(accentuer(u'a', 5), u'a');
  EXPECT_EQ(accentuer(u'v', 0xFFFFFFFFu), u'v');
}

TEST(LineBreaks, Escape0AAndOmit0A) {
  const std::tuple<Bytes, int32_t, Bytes> escapes[] = {
      {{0x0D, 0x0A, 0x0D, 0x0A}, 4, {'<', '>', '<', '>'}},
      {{0x0D, 0x0D, 0x0A, 0x0D}, 4, {0x0D, '<', '>', 0x0D}},
      {{'a', 0x0D, 0x0A}, 2, {'a', 0x0D, 0x0A}},  // the pair straddles the end
  };
  for (auto [buffer, length, expected] : escapes) {
    escape0A(buffer.data(), length);
    EXPECT_EQ(buffer, expected);
  }
  escape0A(nullptr, 10);
  Bytes buffer = {'a', 0x0A, 'b', 0x0A, 'X'};
  EXPECT_EQ(omit0A(buffer.data(), 4), 2);
  EXPECT_EQ(buffer, (Bytes{'a', 'b', 0, 0x0A, 'X'}));
  EXPECT_EQ(omit0A(buffer.data(), 1), 1);
  EXPECT_EQ(buffer, (Bytes{'a', 'b', 0, 0x0A, 'X'})) << "nothing removed, no NUL written";
  EXPECT_EQ(omit0A(buffer.data(), -1), 0);
}

TEST(Sil2NSString, ReadsThroughTheTableUpToTheNulOrTheLength) {
  const uint8_t text[] = {0x61, 0x40, 0x80, 0x20, 0xFF, 0x00, 0x61};
  const UString upToNul = {u'a', u'\u0301', u'\0', u' ', u'\u0288'};  // 0x80 has no character
  EXPECT_EQ(sil2NSString(text), upToNul);
  EXPECT_EQ(sil2NSString(text, sizeof text), upToNul);
  EXPECT_EQ(sil2NSString(text, 2), (UString{u'a', u'\u0301'}));
  EXPECT_EQ(sil2NSString(nullptr), std::nullopt);
}

}  // namespace
}  // namespace lexor
