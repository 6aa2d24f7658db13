#include "search/text_fold.h"

#include <unicode/unorm2.h>
#include <unicode/ustring.h>

#include <algorithm>
#include <vector>

namespace lexor {
namespace {

constexpr char16_t kReplacementCharacter = 0xFFFD;
// Full case folding turns one unit into at most three (U+0390 becomes three characters).
constexpr int32_t kFoldGrowth = 3;

const UNormalizer2* nfc() {
  static const UNormalizer2* instance = [] {
    UErrorCode status = U_ZERO_ERROR;
    const UNormalizer2* n = unorm2_getNFCInstance(&status);
    return U_SUCCESS(status) ? n : nullptr;
  }();
  return instance;
}

// Scratch buffers of one thread, kept between calls: the table build folds every head word.
struct FoldBuffers {
  std::vector<UChar> normalized;
  std::vector<UChar> folded;
};

FoldBuffers& buffers() {
  thread_local FoldBuffers instance;
  return instance;
}

void appendUtf8(const UChar* units, int32_t length, std::string* out) {
  const size_t start = out->size();
  out->resize(start + static_cast<size_t>(length) * 3);  // a UTF-16 unit never needs more
  UErrorCode status = U_ZERO_ERROR;
  int32_t written = 0;
  u_strToUTF8WithSub(out->data() + start, static_cast<int32_t>(out->size() - start), &written,
                     units, length, kReplacementCharacter, nullptr, &status);
  out->resize(U_SUCCESS(status) ? start + static_cast<size_t>(written) : start);
}

}  // namespace

void appendFoldedText(UStringView text, std::string* out) {
  // Most head words of Latin-script dictionaries are ASCII: their folding is lower-casing.
  if (std::all_of(text.begin(), text.end(), [](char16_t c) { return c < 0x80; })) {
    for (char16_t c : text) {
      out->push_back(static_cast<char>(c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c));
    }
    return;
  }
  if (text.size() > static_cast<size_t>(INT32_MAX / kFoldGrowth / 3)) return;
  FoldBuffers& scratch = buffers();
  const auto* units = reinterpret_cast<const UChar*>(text.data());
  auto length = static_cast<int32_t>(text.size());

  UErrorCode status = U_ZERO_ERROR;
  if (nfc() != nullptr && unorm2_quickCheck(nfc(), units, length, &status) != UNORM_YES) {
    status = U_ZERO_ERROR;
    int32_t needed = unorm2_normalize(nfc(), units, length, nullptr, 0, &status);
    if (status == U_BUFFER_OVERFLOW_ERROR || U_SUCCESS(status)) {
      scratch.normalized.resize(static_cast<size_t>(needed) + 1);
      status = U_ZERO_ERROR;
      needed = unorm2_normalize(nfc(), units, length, scratch.normalized.data(),
                                static_cast<int32_t>(scratch.normalized.size()), &status);
      if (U_SUCCESS(status)) {
        units = scratch.normalized.data();
        length = needed;
      }
    }
  }

  scratch.folded.resize(static_cast<size_t>(length) * kFoldGrowth + 1);
  status = U_ZERO_ERROR;
  const int32_t folded =
      u_strFoldCase(scratch.folded.data(), static_cast<int32_t>(scratch.folded.size()), units,
                    length, U_FOLD_CASE_DEFAULT, &status);
  if (U_FAILURE(status)) {
    appendUtf8(units, length, out);  // cannot happen with the buffer sized above
    return;
  }
  appendUtf8(scratch.folded.data(), folded, out);
}

std::string foldText(UStringView text) {
  std::string folded;
  folded.reserve(text.size());
  appendFoldedText(text, &folded);
  return folded;
}

}  // namespace lexor
