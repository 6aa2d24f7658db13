// The identification tables. Every table is constant data checked at compile time: the file keys
// are sorted, lower-case ASCII without digits and begin with 'a' to 'w'; the display-name and
// code-page tables are sorted by signature and hold the same signatures.
#include "core/dic_tables.h"

#include <algorithm>
#include <array>

namespace lexor {
namespace {

constexpr Signature sig(const char (&code)[5]) { return fourCharCode(code); }

// ---------------------------------------------------------------------------------------------
// File keys. Most keys name one signature; three choose between two by the rest of the name.

constexpr FileKeyRow kFileKeys[] = {
    {u"abbora", sig("EJab"), KeyCondition::kNone, kNoSignature},
    {u"ambora", sig("EJam"), KeyCondition::kNone, kNoSignature},
    {u"arabic", sig("AJar"), KeyCondition::kNone, kNoSignature},
    {u"arabicuc", sig("AJuc"), KeyCondition::kNone, kNoSignature},
    {u"bunrei", sig("EJbr"), KeyCondition::kNone, kNoSignature},
    {u"chinese_big", sig("CEb5"), KeyCondition::kNone, kNoSignature},
    {u"chinese_gb", sig("CEgb"), KeyCondition::kNone, kNoSignature},
    {u"cj", sig("CJcj"), KeyCondition::kNone, kNoSignature},
    {u"dsample", sig("ZEsa"), KeyCondition::kNone, kNoSignature},
    {u"dsample-orig", sig("ZEsa"), KeyCondition::kNone, kNoSignature},
    {u"dsample-uni", sig("ZEsu"), KeyCondition::kNone, kNoSignature},
    {u"dtest", sig("ZEs$"), KeyCondition::kNone, kNoSignature},
    {u"ellinika", sig("gJel"), KeyCondition::kNone, kNoSignature},
    {u"en_nl", sig("EDen"), KeyCondition::kNone, kNoSignature},
    {u"english-korean", sig("EKek"), KeyCondition::kNone, kNoSignature},
    {u"english_chinese_big", sig("ECb5"), KeyCondition::kNone, kNoSignature},
    {u"english_chinese_gb", sig("ECgb"), KeyCondition::kNone, kNoSignature},
    {u"es_jp", sig("SJej"), KeyCondition::kNone, kNoSignature},
    {u"esja", sig("eJs0"), KeyCondition::kNone, kNoSignature},
    {u"espana", sig("SJes"), KeyCondition::kBaseNameEndsWithUni, sig("SJeU")},
    {u"exora", sig("EJex"), KeyCondition::kNone, kNoSignature},
    {u"fr", sig("FJfr"), KeyCondition::kNone, kNoSignature},
    {u"gdig", sig("IJgu"), KeyCondition::kBaseNameEndsWithW, sig("IJgw")},
    {u"german", sig("GJgm"), KeyCondition::kNone, kNoSignature},
    {u"indonesia", sig("nJin"), KeyCondition::kNone, kNoSignature},
    {u"irreg", sig("E.ir"), KeyCondition::kNone, kNoSignature},
    {u"irreg_f", sig("F.ir"), KeyCondition::kNone, kNoSignature},
    {u"islavo", sig("uJis"), KeyCondition::kNone, kNoSignature},
    {u"italiano", sig("IJit"), KeyCondition::kNone, kNoSignature},
    {u"jaes", sig("Jes1"), KeyCondition::kFileNumberIsTwo, sig("Jes2")},
    {u"korean-english", sig("KEke"), KeyCondition::kNone, kNoSignature},
    {u"korvo_jk", sig("JKko"), KeyCondition::kNone, kNoSignature},
    {u"korvo_kj", sig("KJko"), KeyCondition::kNone, kNoSignature},
    {u"learnora", sig("EJle"), KeyCondition::kNone, kNoSignature},
    {u"lexorth", sig("tJtS"), KeyCondition::kNone, kNoSignature},
    {u"lexorthai", sig("tJth"), KeyCondition::kNone, kNoSignature},
    {u"nl_en", sig("DEen"), KeyCondition::kNone, kNoSignature},
    {u"nl_en-ge", sig("DGen"), KeyCondition::kNone, kNoSignature},
    {u"phrasora", sig("EJph"), KeyCondition::kNone, kNoSignature},
    {u"poljap", sig("PJpj"), KeyCondition::kNone, kNoSignature},
    {u"postora", sig("EJpo"), KeyCondition::kNone, kNoSignature},
    {u"revora", sig("JErv"), KeyCondition::kNone, kNoSignature},
    {u"ry-dic", sig("ZEry"), KeyCondition::kNone, kNoSignature},
    {u"sample", sig("EJtn"), KeyCondition::kNone, kNoSignature},
    {u"tonora", sig("EJto"), KeyCondition::kNone, kNoSignature},
    {u"trm", sig("TJm1"), KeyCondition::kNone, kNoSignature},
    {u"ujd", sig("JGdu"), KeyCondition::kNone, kNoSignature},
    {u"uni", sig("GJdu"), KeyCondition::kNone, kNoSignature},
    {u"uni-lexorth", sig("tJuS"), KeyCondition::kNone, kNoSignature},
    {u"uni-lexorthai", sig("tJup"), KeyCondition::kNone, kNoSignature},
};
constexpr size_t kFileKeyCount = std::size(kFileKeys);
static_assert(kFileKeyCount == 50);

constexpr char16_t kFirstKeyLetter = u'a';
constexpr char16_t kLastKeyLetter = u'w';
constexpr size_t kKeyLetterCount = kLastKeyLetter - kFirstKeyLetter + 1;

constexpr bool fileKeysAreWellFormed() {
  for (size_t i = 0; i < kFileKeyCount; ++i) {
    const std::u16string_view key = kFileKeys[i].key;
    if (key.empty() || key[0] < kFirstKeyLetter || key[0] > kLastKeyLetter) return false;
    for (char16_t c : key) {
      if (c > 0x7F || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9')) return false;
    }
    if (i > 0 && !(kFileKeys[i - 1].key < key)) return false;
    const bool conditional = kFileKeys[i].condition != KeyCondition::kNone;
    if (conditional != (kFileKeys[i].alternative != kNoSignature)) return false;
  }
  return true;
}
static_assert(fileKeysAreWellFormed(), "file keys: sorted, unique, lower-case ASCII, 'a' to 'w'");

// kKeyLetterStart[k] is the first row whose key begins with kFirstKeyLetter + k or later, so the
// rows of one letter are [kKeyLetterStart[k], kKeyLetterStart[k + 1]).
constexpr std::array<size_t, kKeyLetterCount + 1> buildKeyLetterStart() {
  std::array<size_t, kKeyLetterCount + 1> start{};
  size_t row = 0;
  for (size_t k = 0; k <= kKeyLetterCount; ++k) {
    while (row < kFileKeyCount && kFileKeys[row].key[0] < kFirstKeyLetter + k) ++row;
    start[k] = row;
  }
  return start;
}
constexpr auto kKeyLetterStart = buildKeyLetterStart();
static_assert(kKeyLetterStart[kKeyLetterCount] == kFileKeyCount);

// ---------------------------------------------------------------------------------------------
// Display names, UTF-8. A title that several rows share is one constant; the rows differ only in
// their tags.

constexpr std::string_view kArabicTitle = "レクソル・アラビア語研究会編 アラビア語日本語辞典";
constexpr std::string_view kChineseProductTitle = "レクソル中国語辞典";
constexpr std::string_view kFrenchTitle = "レクソル・フランス語研究会編 フランス語単語集";
constexpr std::string_view kGermanTitle = "レクソル・ドイツ語研究会編 ドイツ語辞典";
constexpr std::string_view kItalianProductTitle = "レクソル・イタリア語辞典";
constexpr std::string_view kItalianTitle = "レクソル・イタリア語研究会編 イタリア語辞典";
constexpr std::string_view kKoreanTitle = "レクソル・韓国語研究会編 韓国語辞典";
constexpr std::string_view kEsperantoTitle = "レクソル・エスペラント研究会編 エスペラント基本辞典";
constexpr std::string_view kSpanishTitle = "レクソル・スペイン語研究会編 スペイン語辞典";
constexpr std::string_view kSpanishWordListTitle = "レクソル・スペイン語同好会編 スペイン語単語集";
constexpr std::string_view kTurkishTitle = "レクソル・トルコ語研究会編 トルコ語辞典";
constexpr std::string_view kTibetanProductTitle = "レクソル・チベット語辞典 2004年版";
constexpr std::string_view kIndonesianTitle = "レクソル・インドネシア語研究会編 インドネシア語辞典";
constexpr std::string_view kThaiTitle = "レクソル・タイ語研究会編 タイ語日本語辞典";
constexpr std::string_view kThaiTag = "(泰日)";
constexpr std::string_view kOkinawanTitle = "レクソル・沖縄語研究会編 沖縄語日本語辞典";

constexpr DisplayNameRow kDisplayNames[] = {
    {sig("AJar"), kArabicTitle, ""},
    {sig("AJuc"), kArabicTitle, "(UC)"},
    {sig("CEb5"), "中[繁]-英", ""},
    {sig("CEgb"), "中[簡]-英", ""},
    {sig("CJcj"), kChineseProductTitle, "(中日/UC)"},
    {sig("DEen"), "(蘭英)", ""},
    {sig("DGen"), "(蘭-英&独)", ""},
    {sig("E.ir"), "英<不規則>", ""},
    {sig("ECb5"), "英-中[繁]", ""},
    {sig("ECgb"), "英-中[簡]", ""},
    {sig("EDen"), "(英蘭)", ""},
    {sig("EJab"), "アンボラ略語辞典", ""},
    {sig("EJam"), "アンボラ英和辞典", ""},
    {sig("EJbr"), "文例", ""},
    {sig("EJex"), "アンボラ例文辞典", ""},
    {sig("EJle"), "アンボラ学習英和辞典", ""},
    {sig("EJph"), "アンボラ成句辞典", ""},
    {sig("EJpo"), "アンボラ掲示板辞典", ""},
    {sig("EJtn"), "サンプル辞書", ""},
    {sig("EJto"), "アンボラ音声辞典", ""},
    {sig("EKek"), "(英韓)", ""},
    {sig("F.ir"), "仏<不規則>", ""},
    {sig("FJfr"), kFrenchTitle, "(仏和)"},
    {sig("GJdu"), kGermanTitle, "(独和/UC)"},
    {sig("GJgm"), kGermanTitle, "(独和)"},
    {sig("IJgu"), kItalianProductTitle, "(伊日/UC)"},
    {sig("IJgw"), kItalianProductTitle, "(伊日)"},
    {sig("IJit"), kItalianTitle, "(伊和)"},
    {sig("JErv"), "アンボラ和英辞典", ""},
    {sig("JGdu"), kGermanTitle, "(和独/UC)"},
    {sig("JKko"), kKoreanTitle, "(日韓)"},
    {sig("Jes1"), kEsperantoTitle, "(日-エス,ひらがな見出し)"},
    {sig("Jes2"), kEsperantoTitle, "(日-エス,漢字見出し)"},
    {sig("KEke"), "(韓英)", ""},
    {sig("KJko"), kKoreanTitle, "(韓日)"},
    {sig("PJpj"), "ポーランド-日", ""},
    {sig("SJeU"), kSpanishTitle, "(西和/UC)"},
    {sig("SJej"), kSpanishWordListTitle, "(西和)"},
    {sig("SJes"), kSpanishTitle, "(西和)"},
    {sig("TJm1"), kTurkishTitle, "(土日)"},
    {sig("TJmS"), kTurkishTitle, "(土日;sample)"},
    {sig("ZEry"), kTibetanProductTitle, "(蔵英)"},
    {sig("ZEs$"), "[実験用]Wylie表記データ", ""},
    {sig("ZEsa"), "サンプル辞書(蔵英)", ""},
    {sig("ZEsu"), "サンプル辞書(蔵英/UC)", ""},
    {sig("eJs0"), kEsperantoTitle, "(エス-日)"},
    {sig("gJel"), "現代希日辞典", ""},
    {sig("nJin"), kIndonesianTitle, "(インドネシア-日)"},
    {sig("tJtS"), kThaiTitle, kThaiTag},
    {sig("tJth"), kThaiTitle, kThaiTag},
    {sig("tJuS"), kThaiTitle, kThaiTag},
    {sig("tJup"), kThaiTitle, kThaiTag},
    {sig("uJis"), kOkinawanTitle, "(沖日)"},
};

// ---------------------------------------------------------------------------------------------
// Code pages of head words and translations. kCodePageNone on both sides marks a BOCU-1
// dictionary.

constexpr CodePage kSJIS = kCodePageShiftJIS;
constexpr CodePage kNone = kCodePageNone;

constexpr CodePageRow kCodePages[] = {
    {sig("AJar"), kCodePageWindowsArabic, kSJIS},
    {sig("AJuc"), kNone, kNone},
    {sig("CEb5"), kCodePageMacChineseTrad, kCodePageWindowsLatin1},
    {sig("CEgb"), kCodePageMacChineseSimp, kCodePageWindowsLatin1},
    {sig("CJcj"), kNone, kNone},
    {sig("DEen"), kCodePageWindowsLatin1, kCodePageWindowsLatin1},
    {sig("DGen"), kCodePageWindowsLatin1, kCodePageWindowsLatin1},
    {sig("E.ir"), kSJIS, kSJIS},
    {sig("ECb5"), kCodePageWindowsLatin1, kCodePageMacChineseTrad},
    {sig("ECgb"), kCodePageWindowsLatin1, kCodePageMacChineseSimp},
    {sig("EDen"), kCodePageWindowsLatin1, kCodePageWindowsLatin1},
    {sig("EJab"), kSJIS, kSJIS},
    {sig("EJam"), kSJIS, kSJIS},
    {sig("EJbr"), kSJIS, kSJIS},
    {sig("EJex"), kSJIS, kSJIS},
    {sig("EJle"), kSJIS, kSJIS},
    {sig("EJph"), kSJIS, kSJIS},
    {sig("EJpo"), kSJIS, kSJIS},
    {sig("EJtn"), kSJIS, kSJIS},
    {sig("EJto"), kSJIS, kSJIS},
    {sig("EKek"), kCodePageWindowsLatin1, kCodePageMacKorean},
    {sig("F.ir"), kCodePageWindowsLatin1, kCodePageWindowsLatin1},
    {sig("FJfr"), kCodePageWindowsLatin1, kSJIS},
    {sig("GJdu"), kNone, kNone},
    {sig("GJgm"), kCodePageWindowsLatin1, kSJIS},
    {sig("IJgu"), kNone, kNone},
    {sig("IJgw"), kCodePageWindowsLatin1, kSJIS},
    {sig("IJit"), kCodePageWindowsLatin1, kSJIS},
    {sig("JErv"), kSJIS, kSJIS},
    {sig("JGdu"), kNone, kNone},
    {sig("JKko"), kNone, kNone},
    {sig("Jes1"), kSJIS, kSJIS},
    {sig("Jes2"), kSJIS, kSJIS},
    {sig("KEke"), kCodePageMacKorean, kCodePageWindowsLatin1},
    {sig("KJko"), kNone, kNone},
    {sig("PJpj"), kCodePageWindowsLatin2, kSJIS},
    {sig("SJeU"), kNone, kNone},
    {sig("SJej"), kCodePageMacRoman, kSJIS},
    {sig("SJes"), kCodePageWindowsLatin1, kSJIS},
    {sig("TJm1"), kCodePageWindowsLatin5, kSJIS},
    {sig("TJmS"), kCodePageWindowsLatin5, kSJIS},
    {sig("ZEry"), kCodePageMacRoman, kCodePageMacRoman},
    {sig("ZEs$"), kCodePageWindowsLatin1, kCodePageWindowsLatin1},
    {sig("ZEsa"), kCodePageWindowsLatin1, kCodePageWindowsLatin1},
    {sig("ZEsu"), kNone, kNone},
    {sig("eJs0"), kSJIS, kSJIS},
    {sig("gJel"), kCodePageWindowsGreek, kSJIS},
    {sig("nJin"), kCodePageMacRoman, kSJIS},
    {sig("tJtS"), kCodePageMacThai, kSJIS},
    {sig("tJth"), kCodePageMacThai, kSJIS},
    {sig("tJuS"), kNone, kNone},
    {sig("tJup"), kNone, kNone},
    {sig("uJis"), kSJIS, kSJIS},
};

static_assert(std::size(kDisplayNames) == 53);
static_assert(std::size(kCodePages) == std::size(kDisplayNames));

constexpr bool signatureTablesAgree() {
  for (size_t i = 0; i < std::size(kDisplayNames); ++i) {
    if (kDisplayNames[i].signature != kCodePages[i].signature) return false;
    if (i > 0 && kDisplayNames[i - 1].signature >= kDisplayNames[i].signature) return false;
    if (kDisplayNames[i].title.empty()) return false;
  }
  return true;
}
static_assert(signatureTablesAgree(), "display names and code pages: same signatures, ascending");

template <typename Row>
const Row* findBySignature(std::span<const Row> rows, Signature signature) {
  auto it = std::lower_bound(rows.begin(), rows.end(), signature,
                             [](const Row& row, Signature s) { return row.signature < s; });
  return (it != rows.end() && it->signature == signature) ? &*it : nullptr;
}

}  // namespace

std::span<const FileKeyRow> fileKeyTable() { return kFileKeys; }

std::span<const FileKeyRow> fileKeysBeginningWith(char16_t first) {
  if (first < kFirstKeyLetter || first > kLastKeyLetter) return {};
  const size_t k = first - kFirstKeyLetter;
  return std::span<const FileKeyRow>(kFileKeys).subspan(
      kKeyLetterStart[k], kKeyLetterStart[k + 1] - kKeyLetterStart[k]);
}

std::span<const DisplayNameRow> displayNameTable() { return kDisplayNames; }
std::span<const CodePageRow> codePageTable() { return kCodePages; }

const DisplayNameRow* findDisplayNameRow(Signature signature) {
  return findBySignature(displayNameTable(), signature);
}

const CodePageRow* findCodePageRow(Signature signature) {
  return findBySignature(codePageTable(), signature);
}

}  // namespace lexor
