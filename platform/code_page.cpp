#include "platform/code_page.h"

#include <unicode/ucnv.h>
#include <unicode/ucnv_err.h>

#include <array>
#include <climits>
#include <memory>

namespace lexor {

namespace {

// ICU's canonical converter names, so that no alias can be ambiguous. The Windows variants are
// supersets of the character sets the Mac code pages are built on: bytes those sets define
// decode the same, and text from either direction round-trips.
struct CodePageConverter {
  CodePage page;
  const char* icuName;
};

constexpr std::array<CodePageConverter, 11> kConverters = {{
    {kCodePageShiftJIS, "ibm-943_P15A-2003"},        // Windows code page 932
    {kCodePageMacRoman, "macos-0_2-10.2"},           // Mac OS Roman
    {kCodePageWindowsLatin1, "ibm-5348_P100-1997"},  // windows-1252
    {kCodePageWindowsLatin2, "ibm-5346_P100-1998"},  // windows-1250
    {kCodePageWindowsGreek, "ibm-5349_P100-1998"},   // windows-1253
    {kCodePageWindowsLatin5, "ibm-5350_P100-1998"},  // windows-1254
    {kCodePageWindowsArabic, "ibm-9448_X100-2005"},  // windows-1256
    {kCodePageMacChineseTrad, "windows-950-2000"},   // Big5 (cp950)
    {kCodePageMacKorean, "windows-949-2000"},        // EUC-KR (cp949)
    {kCodePageMacThai, "windows-874-2000"},          // TIS-620 (cp874)
    {kCodePageMacChineseSimp, "windows-936-2000"},   // GB 2312 (GBK)
}};

struct ConverterCloser {
  void operator()(UConverter* converter) const { ucnv_close(converter); }
};
using ConverterPtr = std::unique_ptr<UConverter, ConverterCloser>;

// Opening a converter costs far more than a conversion, and every record decodes several texts,
// so each thread keeps the converters it has opened. A converter is not thread-safe, hence one
// set per thread.
UConverter* converterFor(CodePage page) {
  thread_local std::array<ConverterPtr, kConverters.size()> cache;
  for (size_t i = 0; i < kConverters.size(); ++i) {
    if (kConverters[i].page != page) continue;
    if (!cache[i]) {
      UErrorCode status = U_ZERO_ERROR;
      ConverterPtr converter(ucnv_open(kConverters[i].icuName, &status));
      if (U_FAILURE(status) || !converter) return nullptr;
      // Strict both ways: an invalid byte sequence or a character the page lacks stops the
      // conversion instead of turning into a substitute.
      ucnv_setToUCallBack(converter.get(), UCNV_TO_U_CALLBACK_STOP, nullptr, nullptr, nullptr,
                          &status);
      ucnv_setFromUCallBack(converter.get(), UCNV_FROM_U_CALLBACK_STOP, nullptr, nullptr, nullptr,
                            &status);
      ucnv_setFallback(converter.get(), false);
      if (U_FAILURE(status)) return nullptr;
      cache[i] = std::move(converter);
    }
    return cache[i].get();
  }
  return nullptr;
}

// ICU counts in int32_t; texts of the system are far shorter, so longer ones are refused.
constexpr size_t kMaxConversionLength = INT32_MAX / 8;

}  // namespace

std::optional<UString> decodeCodePage(CodePage page, const uint8_t* bytes, size_t length) {
  UConverter* converter = converterFor(page);
  if (converter == nullptr || length > kMaxConversionLength) return std::nullopt;
  if (length == 0) return UString();
  if (bytes == nullptr) return std::nullopt;
  // Most bytes give one unit; a few mappings give more, which the retry below covers.
  UString text(length * 2, u'\0');
  for (int attempt = 0; attempt < 2; ++attempt) {
    UErrorCode status = U_ZERO_ERROR;
    const int32_t needed = ucnv_toUChars(
        converter, reinterpret_cast<UChar*>(text.data()), static_cast<int32_t>(text.size()),
        reinterpret_cast<const char*>(bytes), static_cast<int32_t>(length), &status);
    if (status == U_BUFFER_OVERFLOW_ERROR) {
      text.assign(static_cast<size_t>(needed), u'\0');
      continue;
    }
    if (U_FAILURE(status)) return std::nullopt;
    text.resize(static_cast<size_t>(needed));
    return text;
  }
  return std::nullopt;
}

std::optional<std::string> encodeCodePage(CodePage page, UStringView text) {
  UConverter* converter = converterFor(page);
  if (converter == nullptr || text.size() > kMaxConversionLength) return std::nullopt;
  if (text.empty()) return std::string();
  std::string bytes(text.size() * 2, '\0');
  for (int attempt = 0; attempt < 2; ++attempt) {
    UErrorCode status = U_ZERO_ERROR;
    const int32_t needed = ucnv_fromUChars(
        converter, bytes.data(), static_cast<int32_t>(bytes.size()),
        reinterpret_cast<const UChar*>(text.data()), static_cast<int32_t>(text.size()), &status);
    if (status == U_BUFFER_OVERFLOW_ERROR) {
      bytes.assign(static_cast<size_t>(needed), '\0');
      continue;
    }
    if (U_FAILURE(status)) return std::nullopt;
    bytes.resize(static_cast<size_t>(needed));
    return bytes;
  }
  return std::nullopt;
}

size_t wholeCharacterPrefix(CodePage page, const uint8_t* bytes, size_t length, size_t limit) {
  UConverter* converter = converterFor(page);
  if (converter == nullptr || bytes == nullptr) return 0;
  ucnv_resetToUnicode(converter);
  const char* const start = reinterpret_cast<const char*>(bytes);
  const char* const end = start + length;
  const char* source = start;
  size_t boundary = 0;
  // Step one character at a time; the prefix ends at the last character boundary within the
  // limit. An invalid sequence ends the walk, since what follows it forms no known characters.
  while (source < end) {
    UErrorCode status = U_ZERO_ERROR;
    ucnv_getNextUChar(converter, &source, end, &status);
    if (U_FAILURE(status)) break;
    const size_t consumed = static_cast<size_t>(source - start);
    if (consumed > limit) break;
    boundary = consumed;
  }
  ucnv_resetToUnicode(converter);
  return boundary;
}

}  // namespace lexor
