// BOCU-1 both ways. Bytes that decode must encode to bytes that decode to the same text; text
// (any UTF-16; unpaired surrogates are dropped) must come back through encoding and decoding,
// and for well-formed text our encoding must be the one the reference converter writes.
#include <unicode/ucnv.h>
#include <unicode/ustring.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <vector>

#include "core/bocu1.h"
#include "core/string_bridge.h"
#include "fuzz/fuzz_input.h"
#include "platform/log.h"

namespace {

// BOCU-1 writes at most 4 bytes per code point and a lone surrogate is one code point of one
// unit, so 4 bytes a unit and the NUL always suffice.
constexpr size_t kMaxBytesPerUnit = 4;

std::vector<uint8_t> encode(const lexor::UString& text) {
  std::vector<uint8_t> bytes(kMaxBytesPerUnit * text.size() + 1);
  lexor::CreateBOCU1StringWithNSString(text, bytes.data(), static_cast<int32_t>(bytes.size()));
  return bytes;
}

// The text up to its first 0 unit: a NUL ends a BOCU-1 string, so nothing after it survives.
lexor::UString upToNul(const lexor::UString& text) { return text.substr(0, text.find(u'\0')); }

bool isHighSurrogate(char16_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool isLowSurrogate(char16_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

// The encoder codes an unpaired surrogate as its own value, and the decoder drops surrogate code
// points, which have no place in well-formed text: the rest must come back exactly.
lexor::UString withoutLoneSurrogates(const lexor::UString& text) {
  lexor::UString kept;
  for (size_t i = 0; i < text.size(); ++i) {
    const char16_t unit = text[i];
    if (isHighSurrogate(unit) && i + 1 < text.size() && isLowSurrogate(text[i + 1])) {
      kept += unit;
      kept += text[++i];
    } else if (!isHighSurrogate(unit) && !isLowSurrogate(unit)) {
      kept += unit;
    }
  }
  return kept;
}

bool wellFormed(const lexor::UString& text) { return withoutLoneSurrogates(text) == text; }

void checkAgainstReference(const lexor::UString& text, const std::vector<uint8_t>& ours) {
  static UConverter* converter = [] {
    UErrorCode status = U_ZERO_ERROR;
    UConverter* c = ucnv_open("BOCU-1", &status);
    return U_SUCCESS(status) ? c : nullptr;
  }();
  if (converter == nullptr || !wellFormed(text)) return;
  ucnv_reset(converter);
  std::vector<char> reference(kMaxBytesPerUnit * text.size() + 1);
  UErrorCode status = U_ZERO_ERROR;
  const int32_t n = ucnv_fromUChars(
      converter, reference.data(), static_cast<int32_t>(reference.size()),
      reinterpret_cast<const UChar*>(text.data()), static_cast<int32_t>(text.size()), &status);
  if (U_FAILURE(status)) return;
  const size_t ourLength = std::strlen(reinterpret_cast<const char*>(ours.data()));
  if (static_cast<size_t>(n) != ourLength ||
      std::memcmp(reference.data(), ours.data(), ourLength) != 0)
    __builtin_trap();
}

void bytesFirst(const uint8_t* data, size_t size) {
  std::vector<uint8_t> bytes(data, data + size);
  bytes.push_back(0);
  const std::optional<lexor::UString> text = lexor::CreateNSStringWithBOCU1(bytes.data(), 0);
  // The length-taking form decodes the same bytes up to their first NUL.
  // (A count of 0 would mean "measure to the NUL", which these bytes need not have.)
  if (size > 0 && lexor::CreateNSStringWithBOCU1_omit0A(data, static_cast<uint32_t>(size)) != text)
    __builtin_trap();
  if (!text) return;
  const std::vector<uint8_t> encoded = encode(*text);
  const std::optional<lexor::UString> again = lexor::CreateNSStringWithBOCU1(encoded.data(), 0);
  if (!again || *again != *text) __builtin_trap();
}

void textFirst(const uint8_t* data, size_t size) {
  lexor::fuzz::ByteReader in(data, size);
  const lexor::UString text = upToNul(in.utf16(size / 2));
  const std::vector<uint8_t> encoded = encode(text);
  const std::optional<lexor::UString> decoded = lexor::CreateNSStringWithBOCU1(encoded.data(), 0);
  if (!decoded || *decoded != withoutLoneSurrogates(text)) __builtin_trap();
  checkAgainstReference(text, encoded);

  // A buffer too small for the whole text holds a prefix of whole characters that decodes.
  const size_t cut = encoded.size() / 2 + 1;
  std::vector<uint8_t> small(cut);
  lexor::CreateBOCU1StringWithNSString(text, small.data(), static_cast<int32_t>(small.size()));
  const std::optional<lexor::UString> prefix = lexor::CreateNSStringWithBOCU1(small.data(), 0);
  const lexor::UString whole = withoutLoneSurrogates(text);
  if (!prefix || whole.compare(0, prefix->size(), *prefix) != 0) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  lexor::silenceLog();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  bytesFirst(data, size);
  textFirst(data, size);
  return 0;
}
