#include "core/dic_identity.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "core/dic_tables.h"

namespace lexor {
namespace {

std::string codeText(Signature s) {
  std::string text;
  for (int shift = 24; shift >= 0; shift -= 8) text += static_cast<char>((s >> shift) & 0xFF);
  return "'" + text + "'";
}

Signature codeOf(std::string_view code) {
  Signature s = 0;
  for (char c : code.substr(0, 4)) s = (s << 8) | static_cast<uint8_t>(c);
  return s;
}

constexpr Signature kNo = kNoSignature;
constexpr Signature kUnknown = kUnknownSignature;

struct SignatureCase {
  UString path;
  Signature expected;
};

TEST(DicSignature, FromFileNames) {
  const SignatureCase cases[] = {
      // Lower-cased before the split; the file number only serves "jaes".
      {u"AMBORA52.DIC", fourCharCode("EJam")},
      {u"ambora52.dic", fourCharCode("EJam")},
      {u"Ambora.Dic", fourCharCode("EJam")},
      {u"ambora52-uni.dic", fourCharCode("EJam")},
      // Exact key match only.
      {u"ambora-x.dic", kUnknown},
      {u"ambor.dic", kUnknown},
      {u"amboraa.dic", kUnknown},
      {u" ambora.dic", kUnknown},
      {u"ambora .dic", kUnknown},
      {u"52ambora.dic", kUnknown},  // empty file key
      // Length limits count UTF-16 units.
      {u"x.dic", kUnknown},
      {u".dic", kNo},
      {u"a.di", kNo},
      {u"", kNo},
      {u"/", kNo},
      {u"sub/dir/", kNo},
      {u"a\U0001F600.d", kUnknown},    // 4 characters but 5 units
      {u"\U0001F600\U0001F600", kNo},  // 2 characters, 4 units
      // Only the last path component counts; the extension is not looked at.
      {u"sub/dir/revora52.dic", fourCharCode("JErv")},
      {u"/home/u/Library/Lexor/REVORA.dic/", fourCharCode("JErv")},
      {u"ambora52.txt", fourCharCode("EJam")},
      {u"sub/ambora/x.dic", kUnknown},
      // Conditional rows.
      {u"jaes2.dic", fourCharCode("Jes2")},
      {u"JAES02.DIC", fourCharCode("Jes2")},
      {u"jaes2-x.dic", fourCharCode("Jes2")},
      {u"jaes.dic", fourCharCode("Jes1")},
      {u"jaes1.dic", fourCharCode("Jes1")},
      {u"jaes20.dic", fourCharCode("Jes1")},
      {u"jaes4294967298.dic", fourCharCode("Jes1")},  // 2^32 + 2 must not wrap to 2
      {u"jaes99999999999999999999992.dic", fourCharCode("Jes1")},
      {u"espana3-uni.dic", fourCharCode("SJeU")},
      {u"ESPANA3-UNI.DIC", fourCharCode("SJeU")},
      {u"espana3.dic", fourCharCode("SJes")},
      {u"espana.dic", fourCharCode("SJes")},
      {u"espana3-unix.dic", fourCharCode("SJes")},
      {u"espana-uni.dic", kUnknown},
      {u"gdig1w.dic", fourCharCode("IJgw")},
      {u"GDIG1W.DIC", fourCharCode("IJgw")},
      {u"gdig1.dic", fourCharCode("IJgu")},
      {u"gdig.dic", fourCharCode("IJgu")},
      {u"gdigw.dic", kUnknown},
      // Keys that differ only in punctuation.
      {u"dsample.dic", fourCharCode("ZEsa")},
      {u"dsample-orig.dic", fourCharCode("ZEsa")},
      {u"dsample-uni.dic", fourCharCode("ZEsu")},
      {u"dtest.dic", fourCharCode("ZEs$")},
      {u"uni2.dic", fourCharCode("GJdu")},
      {u"uni-lexorth.dic", fourCharCode("tJuS")},
      {u"uni-lexorthai3.dic", fourCharCode("tJup")},
      {u"irreg_f.dic", fourCharCode("F.ir")},
      {u"nl_en-ge.dic", fourCharCode("DGen")},
      // First characters outside 'a' to 'w'.
      {u"xray.dic", kUnknown},
      {u"zambora.dic", kUnknown},
      {u"_ambora.dic", kUnknown},
      {u"\u00E4mbora.dic", kUnknown},
      // Digits of category Nd other than ASCII end the key and count with their value.
      {u"jaes\uFF12.dic", fourCharCode("Jes2")},      // full-width 2
      {u"jaes\u0662.dic", fourCharCode("Jes2")},      // Arabic-Indic 2
      {u"jaes\u0661.dic", fourCharCode("Jes1")},      // Arabic-Indic 1
      {u"jaes\U0001D7D0.dic", fourCharCode("Jes2")},  // mathematical bold 2, outside the BMP
      {u"ambora\u0665x.dic", fourCharCode("EJam")},
      {u"\uFF15ambora.dic", kUnknown},
      // Characters outside the BMP elsewhere, and a surrogate cut in half by the 4 dropped units.
      {u"ambora\U0001F600.dic", kUnknown},
      {u"ambora1\U0001F600.dic", fourCharCode("EJam")},
      {u"jaes2\U0001F600ic", fourCharCode("Jes2")},
      {u"ambora\U0001F600dic", kUnknown},
      {u"\U0001F600.dic", kUnknown},
  };
  for (const SignatureCase& c : cases) {
    EXPECT_EQ(codeText(getDicSignatureFromPath(c.path)), codeText(c.expected))
        << "path " << toUtf8(c.path);
  }
}

TEST(DicSignature, AbsentPathGivesNoSignature) {
  EXPECT_EQ(getDicSignatureFromPath(std::nullopt), kNoSignature);
}

TEST(DicSignature, EveryKeyOfTheTableIsFound) {
  for (const FileKeyRow& row : fileKeyTable()) {
    const UString name = UString(row.key) + u".dic";
    EXPECT_EQ(codeText(getDicSignatureFromPath(name)), codeText(row.signature)) << toUtf8(name);
    EXPECT_EQ(codeText(getDicSignatureFromPath(u"dir/" + UString(row.key) + u"7.DIC")),
              codeText(row.signature))
        << toUtf8(name);
  }
}

TEST(DicSignature, FirstLetterIndexCoversEveryKeyOnce) {
  size_t rows = 0;
  for (char16_t letter = u'a'; letter <= u'w'; ++letter) {
    for (const FileKeyRow& row : fileKeysBeginningWith(letter)) {
      EXPECT_EQ(row.key.front(), letter) << toUtf8(UString(row.key));
      ++rows;
    }
  }
  EXPECT_EQ(rows, fileKeyTable().size());
  EXPECT_EQ(rows, 50u);
  for (char16_t outside : {u'`', u'x', u'y', u'z', u'A', u'W', u'0', char16_t{0xFFFF}}) {
    EXPECT_TRUE(fileKeysBeginningWith(outside).empty());
  }
}

std::set<Signature> signaturesThatKeysYield() {
  std::set<Signature> yielded;
  for (const FileKeyRow& row : fileKeyTable()) {
    yielded.insert(row.signature);
    if (row.condition != KeyCondition::kNone) yielded.insert(row.alternative);
  }
  return yielded;
}

TEST(DicTables, EveryYieldedSignatureHasANameAndCodePages) {
  const std::set<Signature> yielded = signaturesThatKeysYield();
  EXPECT_EQ(yielded.size(), 52u);
  for (Signature s : yielded) {
    EXPECT_TRUE(getDicNameFromSignature(s).has_value()) << codeText(s);
    EXPECT_NE(findCodePageRow(s), nullptr) << codeText(s);
  }
  EXPECT_EQ(displayNameTable().size(), 53u);
  EXPECT_EQ(codePageTable().size(), 53u);
  for (const DisplayNameRow& row : displayNameTable()) {
    EXPECT_TRUE(yielded.count(row.signature) == 1 || row.signature == fourCharCode("TJmS"))
        << codeText(row.signature);
  }
}

TEST(DicName, RowsAndAbsentSignatures) {
  EXPECT_EQ(getDicNameFromSignature(fourCharCode("E.ir")), u"英<不規則>");
  EXPECT_EQ(getDicNameFromSignature(fourCharCode("F.ir")), u"仏<不規則>");
  EXPECT_EQ(getDicNameFromSignature(fourCharCode("DGen")), u"(蘭-英&独)");
  EXPECT_EQ(getDicNameFromSignature(fourCharCode("CEb5")), u"中[繁]-英");
  EXPECT_EQ(getDicNameFromSignature(fourCharCode("ZEs$")), u"[実験用]Wylie表記データ");
  EXPECT_EQ(getDicNameFromSignature(fourCharCode("ZEsa")), u"サンプル辞書(蔵英)");
  EXPECT_TRUE(getDicNameFromSignature(fourCharCode("TJmS")).has_value());
  EXPECT_EQ(getDicNameFromSignature(kNoSignature), std::nullopt);
  EXPECT_EQ(getDicNameFromSignature(kUnknownSignature), std::nullopt);
  EXPECT_EQ(getDicNameFromSignature(fourCharCode("EJAM")), std::nullopt);  // no case folding
  for (const DisplayNameRow& row : displayNameTable()) {
    const UString name = getDicNameFromSignature(row.signature).value();
    EXPECT_FALSE(name.empty());
    EXPECT_EQ(name.find(u'\uFFFD'), UString::npos) << codeText(row.signature);
  }
}

struct TaggedName {
  const char* code;
  const char* tag;
};

// The title of a row: its display name less its tag, which it must end with.
UString titleOf(const TaggedName& row) {
  const UString name = getDicNameFromSignature(codeOf(row.code)).value_or(u"");
  const UString tag = u(row.tag);
  EXPECT_TRUE(hasSuffix(name, tag)) << row.code << " should end in " << row.tag;
  EXPECT_GT(name.size(), tag.size()) << row.code;
  return name.substr(0, name.size() - std::min(name.size(), tag.size()));
}

TEST(DicName, RowsOfOneTitleShareItsText) {
  const std::vector<std::vector<TaggedName>> groups = {
      {{"AJar", ""}, {"AJuc", "(UC)"}},
      {{"GJgm", "(独和)"}, {"GJdu", "(独和/UC)"}, {"JGdu", "(和独/UC)"}},
      {{"IJgu", "(伊日/UC)"}, {"IJgw", "(伊日)"}},
      {{"JKko", "(日韓)"}, {"KJko", "(韓日)"}},
      {{"Jes1", "(日-エス,ひらがな見出し)"},
       {"Jes2", "(日-エス,漢字見出し)"},
       {"eJs0", "(エス-日)"}},
      {{"SJeU", "(西和/UC)"}, {"SJes", "(西和)"}},
      {{"TJm1", "(土日)"}, {"TJmS", "(土日;sample)"}},
      {{"tJtS", "(泰日)"}, {"tJth", "(泰日)"}, {"tJuS", "(泰日)"}, {"tJup", "(泰日)"}},
      {{"CJcj", "(中日/UC)"}},
      {{"FJfr", "(仏和)"}},
      {{"IJit", "(伊和)"}},
      {{"SJej", "(西和)"}},
      {{"ZEry", "(蔵英)"}},
      {{"nJin", "(インドネシア-日)"}},
      {{"uJis", "(沖日)"}},
  };
  std::set<UString> titles;
  for (const auto& group : groups) {
    const UString title = titleOf(group.front());
    for (const TaggedName& row : group) EXPECT_EQ(titleOf(row), title) << row.code;
    EXPECT_TRUE(titles.insert(title).second) << "title reused by " << group.front().code;
  }
}

struct CodePageCase {
  Signature signature;
  CodePage headWord;
  CodePage translation;
};

TEST(DicCodePage, RowsAndDefaults) {
  const CodePageCase cases[] = {
      {kNoSignature, kCodePageShiftJIS, kCodePageShiftJIS},
      {kUnknownSignature, kCodePageShiftJIS, kCodePageShiftJIS},
      {fourCharCode("zEsa"), kCodePageShiftJIS, kCodePageShiftJIS},  // no case folding
      {fourCharCode("TJmS"), kCodePageWindowsLatin5, kCodePageShiftJIS},
      {fourCharCode("ZEs$"), kCodePageWindowsLatin1, kCodePageWindowsLatin1},
      {fourCharCode("E.ir"), kCodePageShiftJIS, kCodePageShiftJIS},
      {fourCharCode("F.ir"), kCodePageWindowsLatin1, kCodePageWindowsLatin1},
      {fourCharCode("CEb5"), kCodePageMacChineseTrad, kCodePageWindowsLatin1},
      {fourCharCode("ECb5"), kCodePageWindowsLatin1, kCodePageMacChineseTrad},
      {fourCharCode("CEgb"), kCodePageMacChineseSimp, kCodePageWindowsLatin1},
      {fourCharCode("ECgb"), kCodePageWindowsLatin1, kCodePageMacChineseSimp},
      {fourCharCode("KEke"), kCodePageMacKorean, kCodePageWindowsLatin1},
      {fourCharCode("EKek"), kCodePageWindowsLatin1, kCodePageMacKorean},
      {fourCharCode("SJej"), kCodePageMacRoman, kCodePageShiftJIS},
      {fourCharCode("SJes"), kCodePageWindowsLatin1, kCodePageShiftJIS},
      {fourCharCode("ZEry"), kCodePageMacRoman, kCodePageMacRoman},
      {fourCharCode("AJar"), kCodePageWindowsArabic, kCodePageShiftJIS},
      {fourCharCode("PJpj"), kCodePageWindowsLatin2, kCodePageShiftJIS},
      {fourCharCode("gJel"), kCodePageWindowsGreek, kCodePageShiftJIS},
      {fourCharCode("tJth"), kCodePageMacThai, kCodePageShiftJIS},
      {fourCharCode("tJup"), kCodePageNone, kCodePageNone},
      {fourCharCode("CJcj"), kCodePageNone, kCodePageNone},
  };
  for (const CodePageCase& c : cases) {
    EXPECT_EQ(getEWordEncodingFromSignature(c.signature), c.headWord) << codeText(c.signature);
    EXPECT_EQ(getJWordEncodingFromSignature(c.signature), c.translation) << codeText(c.signature);
  }
}

TEST(DicCodePage, TableShape) {
  int headWordsDiffer = 0;
  int translationsDiffer = 0;
  int bocuRows = 0;
  for (const CodePageRow& row : codePageTable()) {
    headWordsDiffer += row.headWord != kCodePageShiftJIS;
    translationsDiffer += row.translation != kCodePageShiftJIS;
    EXPECT_EQ(row.headWord == kCodePageNone, row.translation == kCodePageNone)
        << codeText(row.signature);
    bocuRows += row.headWord == kCodePageNone;
  }
  EXPECT_EQ(headWordsDiffer, 38);
  EXPECT_EQ(translationsDiffer, 24);
  EXPECT_EQ(bocuRows, 11);
  EXPECT_NE(kCodePageNone, kCodePageMacRoman);
}

}  // namespace
}  // namespace lexor
