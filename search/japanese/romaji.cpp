// The conversion reads the text left to right and takes the longest spelling of the table that
// starts where it stands (four letters at most); ん and っ depend on the letter after them, so
// they are decided before the table is asked.
#include "search/japanese/romaji.h"

#include <algorithm>
#include <string_view>
#include <unordered_map>

namespace lexor {
namespace {

// Spelling (lower case ASCII) → hiragana.
constexpr std::pair<std::string_view, std::u16string_view> kSpellings[] = {
    {"a", u"あ"},     {"i", u"い"},     {"u", u"う"},     {"e", u"え"},     {"o", u"お"},
    {"ka", u"か"},    {"ki", u"き"},    {"ku", u"く"},    {"ke", u"け"},    {"ko", u"こ"},
    {"kya", u"きゃ"}, {"kyu", u"きゅ"}, {"kyo", u"きょ"}, {"kye", u"きぇ"}, {"ga", u"が"},
    {"gi", u"ぎ"},    {"gu", u"ぐ"},    {"ge", u"げ"},    {"go", u"ご"},    {"gya", u"ぎゃ"},
    {"gyu", u"ぎゅ"}, {"gyo", u"ぎょ"}, {"sa", u"さ"},    {"si", u"し"},    {"shi", u"し"},
    {"su", u"す"},    {"se", u"せ"},    {"so", u"そ"},    {"sya", u"しゃ"}, {"syu", u"しゅ"},
    {"syo", u"しょ"}, {"sye", u"しぇ"}, {"sha", u"しゃ"}, {"shu", u"しゅ"}, {"sho", u"しょ"},
    {"she", u"しぇ"}, {"za", u"ざ"},    {"zi", u"じ"},    {"zu", u"ず"},    {"ze", u"ぜ"},
    {"zo", u"ぞ"},    {"zya", u"じゃ"}, {"zyu", u"じゅ"}, {"zyo", u"じょ"}, {"zye", u"じぇ"},
    {"ja", u"じゃ"},  {"ji", u"じ"},    {"ju", u"じゅ"},  {"je", u"じぇ"},  {"jo", u"じょ"},
    {"jya", u"じゃ"}, {"jyu", u"じゅ"}, {"jyo", u"じょ"}, {"jye", u"じぇ"}, {"ta", u"た"},
    {"ti", u"ち"},    {"chi", u"ち"},   {"tu", u"つ"},    {"tsu", u"つ"},   {"te", u"て"},
    {"to", u"と"},    {"tya", u"ちゃ"}, {"tyu", u"ちゅ"}, {"tyo", u"ちょ"}, {"tye", u"ちぇ"},
    {"cha", u"ちゃ"}, {"chu", u"ちゅ"}, {"cho", u"ちょ"}, {"che", u"ちぇ"}, {"cya", u"ちゃ"},
    {"cyu", u"ちゅ"}, {"cyo", u"ちょ"}, {"tsa", u"つぁ"}, {"tsi", u"つぃ"}, {"tse", u"つぇ"},
    {"tso", u"つぉ"}, {"thi", u"てぃ"}, {"thu", u"てゅ"}, {"twu", u"とぅ"}, {"da", u"だ"},
    {"di", u"ぢ"},    {"du", u"づ"},    {"dzu", u"づ"},   {"dzi", u"ぢ"},   {"de", u"で"},
    {"do", u"ど"},    {"dya", u"ぢゃ"}, {"dyu", u"ぢゅ"}, {"dyo", u"ぢょ"}, {"dhi", u"でぃ"},
    {"dhu", u"でゅ"}, {"dwu", u"どぅ"}, {"na", u"な"},    {"ni", u"に"},    {"nu", u"ぬ"},
    {"ne", u"ね"},    {"no", u"の"},    {"nya", u"にゃ"}, {"nyu", u"にゅ"}, {"nyo", u"にょ"},
    {"nye", u"にぇ"}, {"ha", u"は"},    {"hi", u"ひ"},    {"hu", u"ふ"},    {"fu", u"ふ"},
    {"he", u"へ"},    {"ho", u"ほ"},    {"hya", u"ひゃ"}, {"hyu", u"ひゅ"}, {"hyo", u"ひょ"},
    {"fa", u"ふぁ"},  {"fi", u"ふぃ"},  {"fe", u"ふぇ"},  {"fo", u"ふぉ"},  {"fyu", u"ふゅ"},
    {"ba", u"ば"},    {"bi", u"び"},    {"bu", u"ぶ"},    {"be", u"べ"},    {"bo", u"ぼ"},
    {"bya", u"びゃ"}, {"byu", u"びゅ"}, {"byo", u"びょ"}, {"pa", u"ぱ"},    {"pi", u"ぴ"},
    {"pu", u"ぷ"},    {"pe", u"ぺ"},    {"po", u"ぽ"},    {"pya", u"ぴゃ"}, {"pyu", u"ぴゅ"},
    {"pyo", u"ぴょ"}, {"ma", u"ま"},    {"mi", u"み"},    {"mu", u"む"},    {"me", u"め"},
    {"mo", u"も"},    {"mya", u"みゃ"}, {"myu", u"みゅ"}, {"myo", u"みょ"}, {"ya", u"や"},
    {"yu", u"ゆ"},    {"ye", u"いぇ"},  {"yo", u"よ"},    {"ra", u"ら"},    {"ri", u"り"},
    {"ru", u"る"},    {"re", u"れ"},    {"ro", u"ろ"},    {"rya", u"りゃ"}, {"ryu", u"りゅ"},
    {"ryo", u"りょ"}, {"wa", u"わ"},    {"wi", u"うぃ"},  {"we", u"うぇ"},  {"wo", u"を"},
    {"va", u"ゔぁ"},  {"vi", u"ゔぃ"},  {"vu", u"ゔ"},    {"ve", u"ゔぇ"},  {"vo", u"ゔぉ"},
    {"ca", u"か"},    {"ci", u"し"},    {"cu", u"く"},    {"ce", u"せ"},    {"co", u"こ"},
    {"qa", u"くぁ"},  {"qi", u"くぃ"},  {"qe", u"くぇ"},  {"qo", u"くぉ"},  {"kwa", u"くぁ"},
    {"gwa", u"ぐぁ"}, {"xa", u"ぁ"},    {"xi", u"ぃ"},    {"xu", u"ぅ"},    {"xe", u"ぇ"},
    {"xo", u"ぉ"},    {"la", u"ぁ"},    {"li", u"ぃ"},    {"lu", u"ぅ"},    {"le", u"ぇ"},
    {"lo", u"ぉ"},    {"xya", u"ゃ"},   {"xyu", u"ゅ"},   {"xyo", u"ょ"},   {"lya", u"ゃ"},
    {"lyu", u"ゅ"},   {"lyo", u"ょ"},   {"xtu", u"っ"},   {"xtsu", u"っ"},  {"ltu", u"っ"},
    {"ltsu", u"っ"},  {"xwa", u"ゎ"},   {"lwa", u"ゎ"},   {"xka", u"ゕ"},   {"lka", u"ゕ"},
    {"xke", u"ゖ"},   {"lke", u"ゖ"},   {"xn", u"ん"},
};
constexpr size_t kLongestSpelling = 4;

const std::unordered_map<std::string_view, std::u16string_view>& spellings() {
  static const std::unordered_map<std::string_view, std::u16string_view> table(
      std::begin(kSpellings), std::end(kSpellings));
  return table;
}

bool isAsciiLetter(char16_t c) { return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z'); }
bool isUpper(char16_t c) { return c >= u'A' && c <= u'Z'; }
char lower(char16_t c) { return static_cast<char>(isUpper(c) ? c - u'A' + u'a' : c); }
bool isVowel(char c) { return c == 'a' || c == 'i' || c == 'u' || c == 'e' || c == 'o'; }

// The vowel a vowel with a macron or circumflex stands for, lower case, and whether it was upper.
struct LongVowel {
  char16_t mark;
  char vowel;
  bool upper;
};
constexpr LongVowel kLongVowels[] = {
    {u'ā', 'a', false}, {u'ī', 'i', false}, {u'ū', 'u', false}, {u'ē', 'e', false},
    {u'ō', 'o', false}, {u'â', 'a', false}, {u'î', 'i', false}, {u'û', 'u', false},
    {u'ê', 'e', false}, {u'ô', 'o', false}, {u'Ā', 'a', true},  {u'Ī', 'i', true},
    {u'Ū', 'u', true},  {u'Ē', 'e', true},  {u'Ō', 'o', true},  {u'Â', 'a', true},
    {u'Î', 'i', true},  {u'Û', 'u', true},  {u'Ê', 'e', true},  {u'Ô', 'o', true},
};

const LongVowel* longVowel(char16_t c) {
  for (const LongVowel& v : kLongVowels) {
    if (v.mark == c) return &v;
  }
  return nullptr;
}

// Hiragana to katakana: the two blocks run in parallel.
void appendKana(UString& out, std::u16string_view hiragana, bool katakana) {
  for (char16_t c : hiragana) {
    out.push_back(katakana && c >= u'ぁ' && c <= u'ゖ' ? static_cast<char16_t>(c + 0x60) : c);
  }
}

// The letter at i, lower case (a long vowel as its vowel), or 0 past the end or at anything that
// is no letter of romaji.
char letterAt(UStringView text, size_t i) {
  if (i >= text.size()) return 0;
  if (isAsciiLetter(text[i])) return lower(text[i]);
  const LongVowel* v = longVowel(text[i]);
  return v ? v->vowel : 0;
}

bool upperAt(UStringView text, size_t i) {
  const LongVowel* v = longVowel(text[i]);
  return v ? v->upper : isUpper(text[i]);
}

bool vowelAt(UStringView text, size_t i) { return isVowel(letterAt(text, i)); }

// What lengthens a long vowel: ー in katakana; in hiragana ō is おう, as it is written, and the
// other vowels double.
void appendLengthening(UString& out, char vowel, bool katakana) {
  if (katakana) {
    out.push_back(u'ー');
  } else {
    appendKana(out, vowel == 'o' ? u"う" : spellings().at(std::string_view(&vowel, 1)), false);
  }
}

}  // namespace

UString romajiToKana(UStringView text) {
  UString out;
  out.reserve(text.size());
  size_t i = 0;
  while (i < text.size()) {
    const char16_t c = text[i];
    if (c == u'-') {
      out.push_back(u'ー');
      ++i;
      continue;
    }
    const char first = letterAt(text, i);
    if (first == 0) {
      out.push_back(c);
      ++i;
      continue;
    }
    const bool katakana = upperAt(text, i);
    const char second = letterAt(text, i + 1);

    if (first == 'n') {
      if (i + 1 < text.size() && text[i + 1] == u'\'') {
        appendKana(out, u"ん", katakana);
        i += 2;
        continue;
      }
      // nn before a vowel is ん and the n of the next kana (konnichiwa); otherwise both are ん.
      if (second == 'n') {
        const bool nextSyllable = vowelAt(text, i + 2) || letterAt(text, i + 2) == 'y';
        appendKana(out, u"ん", katakana);
        i += nextSyllable ? 1 : 2;
        continue;
      }
      if (!vowelAt(text, i + 1) && second != 'y') {
        appendKana(out, u"ん", katakana);
        ++i;
        continue;
      }
    }
    // A doubled consonant, and the t of tch, is っ before the kana that follows.
    if (!isVowel(first) && first != 'n' &&
        (second == first || (first == 't' && second == 'c' && letterAt(text, i + 2) == 'h'))) {
      appendKana(out, u"っ", katakana);
      ++i;
      continue;
    }

    char spelling[kLongestSpelling];
    size_t length = 0;
    // A spelling ends at its vowel, which may be a long one.
    while (length < kLongestSpelling && letterAt(text, i + length) != 0) {
      spelling[length] = letterAt(text, i + length);
      ++length;
      if (longVowel(text[i + length - 1])) break;
    }
    bool matched = false;
    for (; length > 0; --length) {
      const auto found = spellings().find(std::string_view(spelling, length));
      if (found != spellings().end()) {
        appendKana(out, found->second, katakana);
        if (longVowel(text[i + length - 1])) appendLengthening(out, spelling[length - 1], katakana);
        i += length;
        matched = true;
        break;
      }
    }
    if (!matched) {
      out.push_back(c);
      ++i;
    }
  }
  return out;
}

}  // namespace lexor
