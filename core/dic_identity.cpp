// Signature, display name and code pages of a dictionary, from its file name alone.
//
// A file name splits into (lengths in UTF-16 units):
//   base name   = the name less its last 4 units (the ".dic"), lower-cased
//   file key    = the base name up to its first decimal digit (any character of category Nd)
//   file number = the run of decimal digits starting there, read as a decimal number
// The file key chooses the row of the file key table; three rows look further, at the file
// number or at the end of the whole base name.
#include "core/dic_identity.h"

#include <unicode/uchar.h>
#include <unicode/utf16.h>

#include <limits>

#include "core/dic_tables.h"
#include "platform/path.h"

namespace lexor {
namespace {

// "x.dic" is the shortest name with a base name; shorter names are not dictionaries at all.
constexpr size_t kShortestFileName = 5;
constexpr size_t kExtensionLength = 4;  // ".dic", not examined

// The value of the run of decimal digits at `start`. Any digit of category Nd counts with its
// digit value, so a full-width or Arabic-Indic 2 reads as 2 as the ASCII one does; a run too
// long for 32 bits saturates instead of wrapping.
uint32_t readFileNumber(UStringView baseName, size_t start) {
  constexpr uint32_t kMax = std::numeric_limits<uint32_t>::max();
  const size_t length = baseName.size();
  uint32_t number = 0;
  for (size_t i = start; i < length;) {
    UChar32 c;
    U16_NEXT(baseName.data(), i, length, c);
    const int32_t digit = u_charDigitValue(c);  // -1 for anything but category Nd
    if (digit < 0) break;
    const uint32_t d = static_cast<uint32_t>(digit);
    number = (number > (kMax - d) / 10) ? kMax : number * 10 + d;
  }
  return number;
}

const FileKeyRow* findFileKey(UStringView key) {
  if (key.empty()) return nullptr;
  for (const FileKeyRow& row : fileKeysBeginningWith(key.front())) {
    if (row.key == key) return &row;
  }
  return nullptr;
}

bool conditionHolds(const FileKeyRow& row, UStringView baseName, size_t digitPosition) {
  switch (row.condition) {
    case KeyCondition::kNone:
      return false;
    case KeyCondition::kFileNumberIsTwo:
      return digitPosition != UStringView::npos && readFileNumber(baseName, digitPosition) == 2;
    case KeyCondition::kBaseNameEndsWithUni:
      return hasSuffix(baseName, u"-uni");
    case KeyCondition::kBaseNameEndsWithW:
      return hasSuffix(baseName, u"w");
  }
  return false;
}

}  // namespace

Signature getDicSignatureFromPath(std::optional<UStringView> path) {
  if (!path) return kNoSignature;
  const UString fileName = lastPathComponent(*path);
  if (fileName.size() < kShortestFileName) return kNoSignature;
  const UString baseName =
      lowercase(UStringView(fileName).substr(0, fileName.size() - kExtensionLength));
  const size_t digitPosition = findFirstOf(baseName, CharacterSet::kDecimalDigit);
  const UStringView fileKey = UStringView(baseName).substr(0, digitPosition);
  const FileKeyRow* row = findFileKey(fileKey);
  if (row == nullptr) return kUnknownSignature;
  return conditionHolds(*row, baseName, digitPosition) ? row->alternative : row->signature;
}

std::optional<UString> getDicNameFromSignature(Signature signature) {
  const DisplayNameRow* row = findDisplayNameRow(signature);
  if (row == nullptr) return std::nullopt;
  return fromUtf8(row->title) + fromUtf8(row->tag);
}

CodePage getEWordEncodingFromSignature(Signature signature) {
  const CodePageRow* row = findCodePageRow(signature);
  return row ? row->headWord : kCodePageShiftJIS;
}

CodePage getJWordEncodingFromSignature(Signature signature) {
  const CodePageRow* row = findCodePageRow(signature);
  return row ? row->translation : kCodePageShiftJIS;
}

}  // namespace lexor
