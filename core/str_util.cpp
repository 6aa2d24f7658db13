// The phonetic byte table, line-break rewriting and tone-numbered pinyin.
#include "core/str_util.h"

#include <cstring>
#include <new>

namespace lexor {

// The layout of the legacy 8-bit phonetic font that code-page dictionaries use for their
// pronunciation fields, one UTF-16 unit per byte. 0x0000 marks a byte without a character.
const char16_t sil_unicode_table[256] = {
    0x0000, 0x0000, 0x0000, 0x0000, 0x0000, 0x0000, 0x0000, 0x0000,  // 0x00
    0x0000, 0x0000, 0x0000, 0x0000, 0x0000, 0x0000, 0x0000, 0x0000,  // 0x08
    0x0000, 0x0000, 0x0000, 0x0000, 0x0000, 0x0000, 0x0000, 0x0000,  // 0x10
    0x0000, 0x0000, 0x0000, 0x0000, 0x0000, 0x0000, 0x0000, 0x0000,  // 0x18
    0x0020, 0x030B, 0x0131, 0x0304, 0x0300, 0x030F, 0x030C, 0x0313,  // 0x20
    0x0306, 0x0303, 0x030A, 0x031F, 0x002C, 0x0324, 0x002E, 0x0294,  // 0x28
    0x033A, 0x0318, 0x0319, 0x031D, 0x031E, 0x032A, 0x033B, 0x0328,  // 0x30
    0x0325, 0x032F, 0x02E1, 0x029F, 0x207F, 0x0331, 0x02D1, 0x02A1,  // 0x38
    0x0301, 0x0251, 0x03B2, 0x00E7, 0x00F0, 0x025B, 0x0264, 0x0262,  // 0x40
    0x02B0, 0x026A, 0x02B2, 0x029C, 0x026E, 0x0271, 0x014B, 0x00F8,  // 0x48
    0x0275, 0x00E6, 0x027E, 0x0283, 0x03B8, 0x028A, 0x028B, 0x02B7,  // 0x50
    0x03C7, 0x028F, 0x0292, 0x005B, 0x005C, 0x005D, 0x0302, 0x0308,  // 0x58
    0x0329, 0x0061, 0x0062, 0x0063, 0x0064, 0x0065, 0x0066, 0x0067,  // 0x60
    0x0068, 0x0069, 0x006A, 0x006B, 0x006C, 0x006D, 0x006E, 0x006F,  // 0x68
    0x0070, 0x0071, 0x0072, 0x0073, 0x0074, 0x0075, 0x0076, 0x0077,  // 0x70
    0x0078, 0x0079, 0x007A, 0x0280, 0x031A, 0x027D, 0x033D, 0x0000,  // 0x78
    0x0000, 0x0252, 0x0000, 0x0361, 0x2016, 0x0000, 0x0000, 0x0298,  // 0x80
    0x030B, 0x030B, 0x02E5, 0x2191, 0x0250, 0x0254, 0x007C, 0x0301,  // 0x88
    0x0301, 0x02E6, 0x0000, 0x0305, 0x0304, 0x02E7, 0x0000, 0x0021,  // 0x90
    0x0300, 0x0300, 0x02E8, 0x2193, 0x0000, 0x030F, 0x030F, 0x02E9,  // 0x98
    0x0000, 0x030A, 0x031E, 0x031D, 0x032E, 0x0325, 0x0339, 0x0282,  // 0xA0
    0x0279, 0x0260, 0x0319, 0x0259, 0x0289, 0x0331, 0x0268, 0x0152,  // 0xA8
    0x033A, 0x031F, 0x0274, 0x02C0, 0x028E, 0x026F, 0x0000, 0x0000,  // 0xB0
    0x0278, 0x0000, 0x0253, 0x032F, 0x0330, 0x0290, 0x0000, 0x0153,  // 0xB8
    0x02A2, 0x0318, 0x026C, 0x028C, 0x0263, 0x0020, 0x029D, 0x02CC,  // 0xC0
    0x02C8, 0x0000, 0x0020, 0x031F, 0x2197, 0x2198, 0x025C, 0x0000,  // 0xC8
    0x0324, 0x033C, 0x0281, 0x027B, 0x025A, 0x02DE, 0x0295, 0x0284,  // 0xD0
    0x0000, 0x0000, 0x030B, 0x0301, 0x0304, 0x0300, 0x030F, 0x0302,  // 0xD8
    0x030C, 0x0306, 0x0303, 0x028D, 0x027A, 0x0270, 0x0302, 0x0265,  // 0xE0
    0x0000, 0x0302, 0x0256, 0x0257, 0x02E0, 0x032E, 0x0267, 0x0000,  // 0xE8
    0x0127, 0x026D, 0x007E, 0x030C, 0x030C, 0x0299, 0x0268, 0x0273,  // 0xF0
    0x0272, 0x02D0, 0x0266, 0x0000, 0x0291, 0x0193, 0x0255, 0x0288,  // 0xF8
};

namespace {

constexpr uint8_t kCarriageReturn = 0x0D;
constexpr uint8_t kLineFeed = 0x0A;
constexpr uint8_t kEscapedCarriageReturn = '<';
constexpr uint8_t kEscapedLineFeed = '>';

constexpr unsigned kHighestTone = 4;
constexpr char16_t kUUmlaut = u'\u00FC';

// Rows by vowel (a, e, i, o, u, u-umlaut), columns by tone 0 (no mark) to 4.
constexpr char16_t accented_vowel[6][kHighestTone + 1] = {
    {u'\u0061', u'\u0101', u'\u00E1', u'\u01CE', u'\u00E0'},
    {u'\u0065', u'\u0113', u'\u00E9', u'\u011B', u'\u00E8'},
    {u'\u0069', u'\u012B', u'\u00ED', u'\u01D0', u'\u00EC'},
    {u'\u006F', u'\u014D', u'\u00F3', u'\u01D2', u'\u00F2'},
    {u'\u0075', u'\u016B', u'\u00FA', u'\u01D4', u'\u00F9'},
    {u'\u00FC', u'\u01D6', u'\u01D8', u'\u01DA', u'\u01DC'},
};

int accentedVowelRow(char16_t vowel) {
  switch (vowel) {
    case u'a':
      return 0;
    case u'e':
      return 1;
    case u'i':
      return 2;
    case u'o':
      return 3;
    case u'u':
      return 4;
    case u'v':
    case kUUmlaut:
      return 5;
    default:
      return -1;
  }
}

bool isPinyinVowel(char16_t c) {
  return c == u'a' || c == u'e' || c == u'i' || c == u'o' || c == u'u';
}

// In the diphthongs ao, ou, ai and ei the mark goes on the first vowel, not the last.
bool marksVowelBefore(char16_t before, char16_t last) {
  return (before == u'a' && (last == u'o' || last == u'i')) || (before == u'o' && last == u'u') ||
         (before == u'e' && last == u'i');
}

UString mapThroughTable(const uint8_t* bytes, size_t count) {
  UString text(count, u'\0');
  for (size_t i = 0; i < count; ++i) text[i] = sil_unicode_table[bytes[i]];
  return text;
}

}  // namespace

std::optional<UString> sil2NSString(const uint8_t* bytes) {
  if (bytes == nullptr) return std::nullopt;
  try {
    return mapThroughTable(bytes, std::strlen(reinterpret_cast<const char*>(bytes)));
  } catch (const std::bad_alloc&) {
    return std::nullopt;
  }
}

UString sil2NSString(const uint8_t* bytes, size_t length) {
  if (bytes == nullptr || length == 0) return UString();
  // A field that ends early in its NUL is as long as its bytes before it.
  const void* nul = std::memchr(bytes, 0, length);
  const size_t count = nul ? static_cast<size_t>(static_cast<const uint8_t*>(nul) - bytes) : length;
  return mapThroughTable(bytes, count);
}

void escape0A(uint8_t* buffer, int32_t length) {
  if (buffer == nullptr || length < 2) return;
  const int32_t last = length - 1;
  for (int32_t i = 0; i < last;) {
    if (buffer[i] == kCarriageReturn && buffer[i + 1] == kLineFeed) {
      buffer[i] = kEscapedCarriageReturn;
      buffer[i + 1] = kEscapedLineFeed;
      i += 2;
    } else {
      ++i;
    }
  }
}

int32_t omit0A(uint8_t* buffer, int32_t length) {
  if (buffer == nullptr || length <= 0) return 0;
  int32_t kept = 0;
  for (int32_t i = 0; i < length; ++i) {
    if (buffer[i] != kLineFeed) buffer[kept++] = buffer[i];
  }
  // Only a shortened text gets a terminator, so it is always written inside the buffer.
  if (kept < length) buffer[kept] = 0;
  return kept;
}

char16_t accentuer(char16_t vowel, unsigned tone) {
  if (tone > kHighestTone) return vowel;
  const int row = accentedVowelRow(vowel);
  if (row < 0) return vowel;
  return accented_vowel[row][tone];
}

UString buildPinyinStr(const char16_t* units, int32_t length) {
  if (units == nullptr || length <= 0) return UString();
  const size_t n = static_cast<size_t>(length);
  UString out(n, u'\0');
  constexpr size_t kNoVowel = static_cast<size_t>(-1);
  size_t lastVowel = kNoVowel;
  for (size_t i = 0; i < n; ++i) {
    const char16_t c = units[i];
    if (c >= u'1' && c <= u'4') {
      if (lastVowel != kNoVowel) {
        size_t marked = lastVowel;
        if (lastVowel > 0 && marksVowelBefore(out[lastVowel - 1], out[lastVowel])) --marked;
        out[marked] = accentuer(out[marked], static_cast<unsigned>(c - u'0'));
        lastVowel = kNoVowel;
      }
      out[i] = u' ';
    } else if (isPinyinVowel(c)) {
      out[i] = c;
      lastVowel = i;
    } else if (c == u'v') {
      out[i] = kUUmlaut;
      lastVowel = i;
    } else {
      out[i] = c;
    }
  }
  if (out.back() == u' ') out.pop_back();
  return out;
}

}  // namespace lexor
