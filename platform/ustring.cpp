#include "platform/ustring.h"

#include <unicode/uchar.h>
#include <unicode/ustring.h>
#include <unicode/utf16.h>

#include <climits>
#include <limits>

namespace lexor {

namespace {

constexpr UChar32 kReplacementCharacter = 0xFFFD;

const UChar* icuUnits(UStringView text) { return reinterpret_cast<const UChar*>(text.data()); }
UChar* icuUnits(UString& text) { return reinterpret_cast<UChar*>(text.data()); }

// ICU counts lengths in int32_t; nothing the system handles comes near that, so longer input is
// refused rather than cut.
bool fitsIcuLength(size_t length) { return length <= static_cast<size_t>(INT32_MAX / 4); }

}  // namespace

std::string toUtf8(UStringView text) {
  if (text.empty() || !fitsIcuLength(text.size())) return {};
  // One UTF-16 unit never needs more than three UTF-8 bytes (a pair needs four for two units).
  std::string out(text.size() * 3, '\0');
  int32_t written = 0;
  UErrorCode status = U_ZERO_ERROR;
  u_strToUTF8WithSub(out.data(), static_cast<int32_t>(out.size()), &written, icuUnits(text),
                     static_cast<int32_t>(text.size()), kReplacementCharacter, nullptr, &status);
  if (U_FAILURE(status)) return {};
  out.resize(static_cast<size_t>(written));
  return out;
}

UString fromUtf8(std::string_view text) {
  if (text.empty() || !fitsIcuLength(text.size())) return {};
  // Every UTF-8 byte sequence yields at most as many UTF-16 units as it has bytes.
  UString out(text.size(), u'\0');
  int32_t written = 0;
  UErrorCode status = U_ZERO_ERROR;
  u_strFromUTF8WithSub(icuUnits(out), static_cast<int32_t>(out.size()), &written, text.data(),
                       static_cast<int32_t>(text.size()), kReplacementCharacter, nullptr, &status);
  if (U_FAILURE(status)) return {};
  out.resize(static_cast<size_t>(written));
  return out;
}

UString lowercase(UStringView text) {
  if (text.empty() || !fitsIcuLength(text.size())) return {};
  UString out(text.size(), u'\0');
  for (int attempt = 0; attempt < 2; ++attempt) {
    UErrorCode status = U_ZERO_ERROR;
    int32_t needed = u_strToLower(icuUnits(out), static_cast<int32_t>(out.size()), icuUnits(text),
                                  static_cast<int32_t>(text.size()), "", &status);
    if (status == U_BUFFER_OVERFLOW_ERROR) {
      // Some characters lower-case to longer sequences; the first call reported the length.
      out.assign(static_cast<size_t>(needed), u'\0');
      continue;
    }
    if (U_FAILURE(status)) return UString(text);
    out.resize(static_cast<size_t>(needed));
    return out;
  }
  return UString(text);
}

bool isMember(CharacterSet set, char32_t c) {
  if (c > 0x10FFFF) return false;
  const auto category = u_charType(static_cast<UChar32>(c));
  switch (set) {
    case CharacterSet::kDecimalDigit:
      return category == U_DECIMAL_DIGIT_NUMBER;
    case CharacterSet::kWhitespace:
      return category == U_SPACE_SEPARATOR || c == U'\t';
    case CharacterSet::kWhitespaceAndNewline:
      return category == U_SPACE_SEPARATOR || category == U_LINE_SEPARATOR ||
             category == U_PARAGRAPH_SEPARATOR || (c >= 0x0A && c <= 0x0D) || c == 0x85;
  }
  return false;
}

size_t findFirstOf(UStringView text, CharacterSet set) {
  size_t i = 0;
  while (i < text.size()) {
    const size_t start = i;
    char32_t c = text[i++];
    if (U16_IS_LEAD(c) && i < text.size() && U16_IS_TRAIL(text[i])) {
      c = U16_GET_SUPPLEMENTARY(c, text[i]);
      ++i;
    }
    if (isMember(set, c)) return start;
  }
  return UStringView::npos;
}

int32_t intValue(UStringView text) {
  size_t i = 0;
  while (i < text.size()) {
    char32_t c = text[i];
    size_t width = 1;
    if (U16_IS_LEAD(c) && i + 1 < text.size() && U16_IS_TRAIL(text[i + 1])) {
      c = U16_GET_SUPPLEMENTARY(c, text[i + 1]);
      width = 2;
    }
    // The wider set leaves out the tab, which is white space all the same.
    if (!isMember(CharacterSet::kWhitespaceAndNewline, c) && c != U'\t') break;
    i += width;
  }
  bool negative = false;
  if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) {
    negative = text[i] == u'-';
    ++i;
  }
  // Accumulate the magnitude with one unit of head-room past INT32_MAX so that INT32_MIN fits.
  constexpr int64_t kCap = static_cast<int64_t>(std::numeric_limits<int32_t>::max()) + 1;
  int64_t magnitude = 0;
  for (; i < text.size() && text[i] >= u'0' && text[i] <= u'9'; ++i) {
    if (magnitude < kCap) magnitude = magnitude * 10 + (text[i] - u'0');
  }
  if (magnitude > kCap) magnitude = kCap;
  if (negative) return static_cast<int32_t>(-magnitude);
  return static_cast<int32_t>(magnitude == kCap ? kCap - 1 : magnitude);
}

bool hasSuffix(UStringView text, UStringView suffix) { return text.ends_with(suffix); }

}  // namespace lexor
